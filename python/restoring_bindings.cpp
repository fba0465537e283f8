// The restoring functions (detect, recognize, their tuples forms, restore) and
// etalon.Chains, what they return.
#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <exception>
#include <mutex>
#include <string>
#include <thread>

#include "arguments.h"
#include "arrays.h"
#include "bindings.h"
#include "io/recording.h"
#include "restoring_calls.h"

namespace etalon::python {

namespace {

struct Chain {
    int64_t criterion;
    py::array_t<int64_t> positions;
    py::array_t<int16_t> etalons, cutStarts, cutEnds;
};

// etalon.Chains: a list subclass, so the chains index as before and the
// result can also carry what the procedure returned. Made when the module loads.
py::handle chainsType;

// On a worker thread, while this thread passes its progress on and lets
// Ctrl-C (or an exception from `progress`) stop it.
Restored restoreWatched(std::span<const int16_t> samples, RestoringCall& call,
                        const py::object& progress) {
    std::atomic<bool> cancel{false};
    std::atomic<uint64_t> done{0}, total{0};
    std::mutex mutex;
    std::condition_variable changed;
    bool finished = false;
    call.stop = &cancel;
    call.progress = [&](uint64_t now, uint64_t all) {
        total.store(all);
        done.store(now);
    };
    Restored restored;
    std::exception_ptr failure;
    std::thread worker([&] {
        try {
            restored = restoreSamples(samples, call);
        } catch (...) {
            failure = std::current_exception();
        }
        std::lock_guard lock(mutex);
        finished = true;
        changed.notify_one();
    });
    const auto join = [&worker] {
        py::gil_scoped_release released;
        worker.join();
    };
    uint64_t shown = 0;
    for (;;) {
        {
            py::gil_scoped_release released;
            std::unique_lock lock(mutex);
            changed.wait_for(lock, std::chrono::milliseconds(100), [&] { return finished; });
            if (finished) break;
        }
        if (PyErr_CheckSignals() != 0) {
            cancel = true;
            join();
            throw py::error_already_set();
        }
        if (!progress.is_none() && done.load() != shown) {
            shown = done.load();
            try {
                progress(shown, total.load());
            } catch (py::error_already_set&) {
                cancel = true;  // the callback's exception ends the run
                join();
                throw;
            }
        }
    }
    join();
    if (failure) std::rethrow_exception(failure);
    if (!progress.is_none() && total.load() > 0 && done.load() != shown)
        progress(done.load(), total.load());
    return restored;
}

py::list runRestoring(const py::object& samples, RestoringCall& call,
                      const py::object& progress = py::none()) {
    const SamplesInput input = samplesFrom(samples, "samples");
    if (!progress.is_none() && !PyCallable_Check(progress.ptr()))
        throw py::type_error("progress: expected a callable");
    Restored restored;
    // A long recording runs apart, so that Ctrl-C reaches it.
    if (!progress.is_none() || input.span().size() > io::kMostRecordingSamples) {
        restored = restoreWatched(input.span(), call, progress);
    } else {
        py::gil_scoped_release released;
        restored = restoreSamples(input.span(), call);
    }
    py::list out = chainsType();
    for (const RestoredChain& c : restored.chains)
        out.append(Chain{c.criterion, int64Array(c.positions), int16Array(c.etalons),
                         int16Array(c.cutStarts), int16Array(c.cutEnds)});
    out.attr("returned") = restored.returned;
    return out;
}

// The settings every restoring function shares.
RestoringCall commonCall(TaskCode task, const py::object& alphabet, const py::object& tmin,
                         const py::object& tmax, const py::object& pulses,
                         const py::object& processingLevel, const py::object& memoryLimit) {
    RestoringCall call;
    call.task = task;
    // Recordings: the whole path takes etalons of any energy; the series
    // path refuses what could wrap its sums when it is chosen.
    call.alphabet = alphabetOf(alphabet, "alphabet", io::EtalonDepth::Recording);
    checkRecordingBounds(tmin, tmax, call);
    call.pulses = optionalCount(pulses, "pulses");
    call.processingLevel =
        static_cast<uint16_t>(whole(processingLevel, "processing_level", 0, 100));
    call.memoryLimit = memoryLimitOf(memoryLimit);
    return call;
}

// The method keyword, in etalon-cli's words: whether the greedy baseline runs.
bool matchedFilterNamed(const std::string& method) {
    if (method == "exact") return false;
    if (method == "matched-filter") return true;
    throw py::value_error("method: '" + method + "' is not exact or matched-filter");
}

// detect(): `etalon` is a number of the alphabet or one pulse shape.
py::list detect(const py::object& samples, const py::object& etalon, const py::object& tmin,
                const py::object& tmax, const py::object& pulses, const py::object& processingLevel,
                const py::object& alphabet, const py::object& memoryLimit,
                const std::string& method, const py::object& progress) {
    RestoringCall call =
        commonCall(TaskCode::Detection, alphabet, tmin, tmax, pulses, processingLevel, memoryLimit);
    call.matchedFilter = matchedFilterNamed(method);
    if (PyIndex_Check(etalon.ptr()) && !py::isinstance<py::array>(etalon)) {
        call.list = {static_cast<uint16_t>(whole(etalon, "etalon", 1, call.alphabet.size()))};
    } else {
        if (!alphabet.is_none())
            throw py::value_error("etalon: give its number when alphabet= is given");
        py::array shape = py::array::ensure(etalon);
        if (!shape || shape.ndim() != 1)
            throw py::type_error("etalon: expected an etalon number or a 1-D array of samples");
        call.alphabet = etalonsFrom(shape.reshape({py::ssize_t{1}, shape.size()}), "etalon",
                                    io::EtalonDepth::Recording);
        call.list = {1};
    }
    return runRestoring(samples, call, progress);
}

py::list recognize(const py::object& samples, const py::object& etalons, const py::object& tmin,
                   const py::object& tmax, const py::object& pulses,
                   const py::object& processingLevel, const py::object& memoryLimit,
                   const std::string& method, const py::object& progress) {
    RestoringCall call = commonCall(TaskCode::Recognition, etalons, tmin, tmax, pulses,
                                    processingLevel, memoryLimit);
    call.matchedFilter = matchedFilterNamed(method);
    call.list = everyEtalon(call.alphabet);
    return runRestoring(samples, call, progress);
}

py::list detectTuples(const py::object& samples, const py::object& subset,
                      const py::object& proceeding, const py::object& tmin, const py::object& tmax,
                      const py::object& pulses, const py::object& processingLevel,
                      const py::object& alphabet, const py::object& memoryLimit) {
    RestoringCall call = commonCall(TaskCode::TuplesDetection, alphabet, tmin, tmax, pulses,
                                    processingLevel, memoryLimit);
    if (subset.is_none())
        throw py::value_error("subset: tuples detection needs a pattern: give subset=");
    call.pattern = numbersFrom(subset, "subset", static_cast<uint16_t>(call.alphabet.size()));
    call.proceeding = proceedingOf(proceeding);
    call.list = everyEtalon(call.alphabet);
    return runRestoring(samples, call);
}

py::list recognizeTuples(const py::object& samples, const py::object& subsets,
                         const py::object& pick, const py::object& proceeding,
                         const py::object& tmin, const py::object& tmax, const py::object& pulses,
                         const py::object& processingLevel, const py::object& alphabet,
                         const py::object& memoryLimit) {
    RestoringCall call = commonCall(TaskCode::TuplesRecognition, alphabet, tmin, tmax, pulses,
                                    processingLevel, memoryLimit);
    if (subsets.is_none() || py::len(subsets) == 0)
        throw py::value_error("subsets: tuples recognition needs patterns: give subsets=");
    for (py::handle s : py::reinterpret_borrow<py::sequence>(subsets))
        call.patterns.push_back(
            numbersFrom(s, "subsets", static_cast<uint16_t>(call.alphabet.size())));
    call.pick =
        pick.is_none()
            ? 0
            : static_cast<int>(whole(pick, "pick", 1, static_cast<int64_t>(call.patterns.size())));
    call.proceeding = proceedingOf(proceeding);
    call.list = everyEtalon(call.alphabet);
    return runRestoring(samples, call);
}

// restore(): the window's choice. Patterns make the detection and recognition
// tasks their tuples forms, as a tuples series does.
py::list restore(const py::object& samples, const std::string& task, const py::object& etalon,
                 const py::object& etalons, const py::object& subset, const py::object& subsets,
                 const py::object& pick, const py::object& proceeding, const py::object& tmin,
                 const py::object& tmax, const py::object& pulses,
                 const py::object& processingLevel, const py::object& alphabet,
                 const py::object& memoryLimit, const std::string& method,
                 const py::object& progress) {
    const TaskCode code = taskNamed(task);
    const bool matchedFilter = matchedFilterNamed(method);
    const bool tuples = (code == TaskCode::Detection && !subset.is_none()) ||
                        (code == TaskCode::Recognition && !subsets.is_none());
    if (matchedFilter && tuples)
        throw py::value_error("method: the matched filter restores single pulses, not tuples");
    if (code == TaskCode::Detection && !subset.is_none())
        return detectTuples(samples, subset, proceeding, tmin, tmax, pulses, processingLevel,
                            alphabet, memoryLimit);
    if (code == TaskCode::Recognition && !subsets.is_none())
        return recognizeTuples(samples, subsets, pick, proceeding, tmin, tmax, pulses,
                               processingLevel, alphabet, memoryLimit);
    RestoringCall call =
        commonCall(code, alphabet, tmin, tmax, pulses, processingLevel, memoryLimit);
    call.matchedFilter = matchedFilter;
    call.list = workingListOf(code, etalon, etalons, call.alphabet);
    return runRestoring(samples, call, progress);
}

const char* const kGeometryDoc = R"(
    tmin, tmax: least and largest distance between pulse starts; for an
        unknown count tmax may pass 32767, or be None: no upper bound and no
        edge conditions, and the chain may be empty.
    pulses: the pulse count when it is known; None restores an unknown count.
    processing_level: saved-energy level (percent) of the processing.
    alphabet: an (n, L) int array of etalons; None: the built-in 20.
    memory_limit: refuse work needing more (bytes or "512M", "2G"); None: what
        the kernel reports available, lowered by ETALON_MEMORY_LIMIT.

    `samples` is a 1-D integer or float array. int16 C-contiguous arrays are
    read in place; other arrays are converted as recordings are (integers
    within +-32767 kept, anything else scaled so its largest magnitude is 128).
    An unknown count of single pulses takes samples of any length and their
    full 16-bit depth; a known count, tuples and the matched filter take at
    most 32,767 samples.
    Returns the chains ranked best first (smallest criterion first) as an
    etalon.Chains list, whose `returned` is what etalon-cli prints as returned.
    Raises TypeError for a wrong type or dtype, ValueError for a wrong value or
    shape, MemoryError when the work does not fit in memory.)";

std::string withGeometry(const char* head) {
    return std::string(head) + kGeometryDoc;
}

const char* const kMethodDoc = R"(
    method: "exact" (the exact procedure) or "matched-filter", the greedy
        baseline practitioners use: the whole-pulse fit E - 2*sum(y*e) at every
        position, then the smallest fits taken greedily at least tmin apart
        (tmax unused), pulses of them or, for an unknown count, while a fit is
        below 0; recognition keeps the etalon whose fits taken sum smallest. Its
        one chain's criterion is that sum. Not for tuples.
    progress: a callable, called now and then with (done, total) while a
        recording restored whole is swept; Ctrl-C stops the work.)";

// The method among the parameters, before the paragraph on `samples`.
std::string withMethod(const char* head) {
    std::string doc = withGeometry(head);
    return doc.insert(doc.find("\n\n    `samples`"), kMethodDoc);
}

}  // namespace

void bindRestoring(py::module_& m) {
    using py::arg;

    {
        py::dict body;
        body["__module__"] = "etalon";
        body["__doc__"] =
            "The chains a restoring function found, ranked best first (a list of\n"
            "etalon.Chain), and `returned`: what the procedure returned, as etalon-cli\n"
            "prints it: for the recognitions the recognised etalon, or the 1-based\n"
            "pattern of recognize_tuples (when none gives a chain: 0 for the tuples,\n"
            "-1 with a known count, 65535 with an unknown one); for the detections 1.";
        py::object type =
            py::reinterpret_borrow<py::object>(reinterpret_cast<PyObject*>(&PyType_Type))(
                "Chains",
                py::make_tuple(
                    py::reinterpret_borrow<py::object>(reinterpret_cast<PyObject*>(&PyList_Type))),
                body);
        m.attr("Chains") = type;
        chainsType = type.release();  // held for the life of the process
    }

    py::class_<Chain>(m, "Chain", "One restored chain: its criterion and its pulses as arrays.")
        .def_readonly("criterion", &Chain::criterion, "The chain's criterion (smaller is better).")
        .def_readonly("positions", &Chain::positions, "Pulse start positions, increasing (int64).")
        .def_readonly("etalons", &Chain::etalons, "The etalon (1-based) of each pulse.")
        .def_readonly("cut_starts", &Chain::cutStarts, "First sample of each pulse kept.")
        .def_readonly("cut_ends", &Chain::cutEnds, "Last sample of each pulse kept.")
        .def("__repr__", [](const Chain& c) {
            return "<etalon.Chain criterion=" + std::to_string(c.criterion) +
                   " pulses=" + std::to_string(c.positions.size()) + ">";
        });

    m.def("detect", &detect,
          withMethod("Finds the pulses of one etalon (a number of the alphabet, or a 1-D\n"
                     "array of its samples).\n")
              .c_str(),
          arg("samples"), arg("etalon"), py::kw_only(), arg("tmin") = 40, arg("tmax") = 181,
          arg("pulses") = py::none(), arg("processing_level") = 100, arg("alphabet") = py::none(),
          arg("memory_limit") = py::none(), arg("method") = "exact", arg("progress") = py::none());
    m.def("recognize", &recognize,
          withMethod("Finds the pulses and tells which of `etalons` (an (n, L) int array;\n"
                     "None: the built-in 20) each one is.\n")
              .c_str(),
          arg("samples"), arg("etalons") = py::none(), py::kw_only(), arg("tmin") = 40,
          arg("tmax") = 181, arg("pulses") = py::none(), arg("processing_level") = 100,
          arg("memory_limit") = py::none(), arg("method") = "exact", arg("progress") = py::none());
    m.def("detect_tuples", &detectTuples,
          withGeometry("Finds tuples of the pattern `subset` (etalon numbers); proceeding 1\n"
                       "complete, 2 probably shifted complete.\n")
              .c_str(),
          arg("samples"), py::kw_only(), arg("subset"), arg("proceeding") = 1, arg("tmin") = 40,
          arg("tmax") = 181, arg("pulses") = py::none(), arg("processing_level") = 100,
          arg("alphabet") = py::none(), arg("memory_limit") = py::none());
    m.def("recognize_tuples", &recognizeTuples,
          withGeometry("Finds tuples and tells which of the patterns `subsets` (lists of\n"
                       "etalon numbers) they follow; pick: the pattern made current (1-based,\n"
                       "None: the last).\n")
              .c_str(),
          arg("samples"), py::kw_only(), arg("subsets"), arg("pick") = py::none(),
          arg("proceeding") = 1, arg("tmin") = 40, arg("tmax") = 181, arg("pulses") = py::none(),
          arg("processing_level") = 100, arg("alphabet") = py::none(),
          arg("memory_limit") = py::none());
    m.def("restore", &restore,
          withMethod("Restores with the procedure the window chooses for `task`\n"
                     "(detection, recognition, joint, processing): detection of `etalon`,\n"
                     "or with `subset` tuples detection; recognition among `etalons` (numbers;\n"
                     "None: all), or with `subsets` tuples recognition (no matched filter).\n")
              .c_str(),
          arg("samples"), py::kw_only(), arg("task") = "recognition", arg("etalon") = 1,
          arg("etalons") = py::none(), arg("subset") = py::none(), arg("subsets") = py::none(),
          arg("pick") = py::none(), arg("proceeding") = 1, arg("tmin") = 40, arg("tmax") = 181,
          arg("pulses") = py::none(), arg("processing_level") = 100, arg("alphabet") = py::none(),
          arg("memory_limit") = py::none(), arg("method") = "exact", arg("progress") = py::none());
}

}  // namespace etalon::python
