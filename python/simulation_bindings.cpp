// The statistical simulation: simulate and etalon.Simulation, its error grid.
#include <pybind11/functional.h>
#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <oneapi/tbb/global_control.h>
#include <oneapi/tbb/info.h>
#include <oneapi/tbb/task_arena.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <limits>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "arguments.h"
#include "arrays.h"
#include "base/memory_budget.h"
#include "bindings.h"
#include "restoring_calls.h"
#include "series/series_generator.h"
#include "series/subsets.h"
#include "simulation/simulation_grid.h"
#include "simulation/stat_cutoff_varnel.h"
#include "streams.h"

namespace etalon::python {

namespace {

struct Simulation {
    py::array_t<int16_t> pulses, noiseLevels;
    py::array_t<uint32_t> errors, detectionErrors, recognitionErrors;
    uint32_t repeats;
    int seriesType, effectiveTask, makingLevel, processingLevel;
    std::optional<std::string> taskName, seriesTypeName;
    // With baseline=True: the matched filter's grid and both methods' shares
    // of true pulses restored at exactly their position; empty without.
    std::optional<py::array_t<uint32_t>> baselineErrors{}, baselineDetectionErrors{},
        baselineRecognitionErrors{};
    std::optional<py::array_t<uint64_t>> truePulses{};
    std::optional<py::array_t<double>> exactShare{}, baselineShare{};
};

py::array_t<uint32_t> grid(const RestErrorHeader& r,
                           std::span<const uint32_t> (RestErrorHeader::*row)(std::size_t) const) {
    py::array_t<uint32_t> out(
        {static_cast<py::ssize_t>(r.wNoiseLevels), static_cast<py::ssize_t>(r.wVariousPulses)});
    uint32_t* cell = out.mutable_data();
    for (std::size_t v = 0; v < r.wNoiseLevels; ++v) {
        const auto cells = (r.*row)(v);
        cell = std::copy(cells.begin(), cells.begin() + r.wVariousPulses, cell);
    }
    return out;
}

// Per grid point counts (row-major as the error rows) as a (V, P) array.
template <class Value>
py::array_t<Value> gridOf(const RestErrorHeader& r, const std::vector<Value>& cells) {
    py::array_t<Value> out(
        {static_cast<py::ssize_t>(r.wNoiseLevels), static_cast<py::ssize_t>(r.wVariousPulses)});
    std::copy(cells.begin(), cells.end(), out.mutable_data());
    return out;
}

// hits / true pulses per grid point; NaN where there were no pulses.
py::array_t<double> sharesOf(const RestErrorHeader& r, const std::vector<uint64_t>& hits,
                             const std::vector<uint64_t>& pulses) {
    std::vector<double> share(hits.size(), std::numeric_limits<double>::quiet_NaN());
    for (std::size_t i = 0; i < hits.size(); ++i)
        if (pulses[i] > 0) share[i] = static_cast<double>(hits[i]) / static_cast<double>(pulses[i]);
    return gridOf(r, share);
}

// The simulation runs on a worker thread without the GIL; the calling thread
// waits, calls `progress` and lets Ctrl-C cancel it.
Simulation simulate(const py::kwargs& kw) {
    const auto get = [&kw](const char* name, py::object fallback) {
        return kw.contains(name) ? py::reinterpret_borrow<py::object>(kw[name]) : fallback;
    };
    static const std::vector<std::string> kNames{"type",        "length",      "tmin",
                                                 "tmax",        "level",       "task",
                                                 "etalon",      "etalons",     "processing_level",
                                                 "subset",      "subsets",     "pick",
                                                 "proceeding",  "employment",  "init_position",
                                                 "pulses_from", "pulses_to",   "pulses_step",
                                                 "noise_from",  "noise_steps", "noise_step",
                                                 "repeats",     "threads",     "alphabet",
                                                 "streams",     "progress",    "memory_limit",
                                                 "baseline"};
    for (auto item : kw) {
        const auto name = item.first.cast<std::string>();
        if (std::find(kNames.begin(), kNames.end(), name) == kNames.end())
            throw py::type_error("simulate() got an unexpected keyword argument '" + name + "'");
    }
    const int type = static_cast<int>(whole(get("type", py::int_(1)), "type", 1, 40));
    checkSeriesType(type);
    const std::vector<PulseHeader> alphabet = alphabetOf(get("alphabet", py::none()), "alphabet");
    const auto etalonCount = static_cast<uint16_t>(alphabet.size());
    const auto pulseLength = alphabet[0].wSize;
    const auto length =
        static_cast<uint32_t>(whole(get("length", py::int_(1200)), "length", 1, kLargestPosition));
    RestoringCall bounds;
    checkBounds(get("tmin", py::int_(40)), get("tmax", py::int_(181)), bounds);
    checkSeriesGeometry(length, pulseLength, bounds.tmin, bounds.tmax);
    const auto level = static_cast<uint16_t>(whole(get("level", py::int_(100)), "level", 0, 100));
    const TaskCode task = taskNamed(get("task", py::str("recognition")).cast<std::string>());
    const std::vector<uint16_t> list =
        workingListOf(task, get("etalon", py::int_(1)), get("etalons", py::none()), alphabet);
    const py::object processing = get("processing_level", py::none());
    const auto processingLevel =
        processing.is_none() ? level
                             : static_cast<uint16_t>(whole(processing, "processing_level", 0, 100));
    const auto proceeding = proceedingOf(get("proceeding", py::int_(1)));
    const auto employment =
        static_cast<uint16_t>(whole(get("employment", py::int_(4)), "employment", 1, 5));
    const auto initPosition =
        static_cast<uint16_t>(whole(get("init_position", py::int_(1)), "init_position", 1, 65535));

    const PulseCountRange range =
        simulationPulseRange(pulseCountBounds(length, pulseLength, bounds.tmin, bounds.tmax));
    const py::object fromArg = get("pulses_from", py::none()), toArg = get("pulses_to", py::none());
    const int64_t from =
        fromArg.is_none() ? range.least : whole(fromArg, "pulses_from", range.least, range.most);
    const int64_t to =
        toArg.is_none() ? range.most : whole(toArg, "pulses_to", range.least, range.most);
    const auto step = whole(get("pulses_step", py::int_(1)), "pulses_step", 1, 65535);
    const auto noiseFrom =
        whole(get("noise_from", py::int_(0)), "noise_from", 0, kLargestNoiseLevel);
    const auto noiseSteps = whole(get("noise_steps", py::int_(29)), "noise_steps", 1, 65535);
    const auto noiseStep =
        whole(get("noise_step", py::int_(5)), "noise_step", 0, kLargestNoiseLevel);
    // Each count was checked against the range as it was read.
    const GridCheck check = checkSimulationGrid(from, to, noiseFrom, noiseSteps, noiseStep, range);
    if (check.fault == GridFault::PulsesFromAboveTo)
        throw py::value_error("pulses_from: " + std::to_string(check.value) +
                              " is above the largest count " + std::to_string(check.bound));
    if (check.fault == GridFault::LastNoiseAboveCeiling)
        throw py::value_error("noise_steps: the last noise level " + std::to_string(check.value) +
                              " is above " + std::to_string(check.bound) +
                              " (more could overflow the 16-bit samples)");
    const auto repeats = whole(get("repeats", py::int_(100)), "repeats", 1, 65535);
    const auto threads = whole(get("threads", py::int_(0)), "threads", 0, 1024);
    const std::optional<std::size_t> limit = memoryLimitOf(get("memory_limit", py::none()));
    const py::object baselineArg = get("baseline", py::bool_(false));
    if (!PyBool_Check(baselineArg.ptr())) throw py::type_error("baseline: expected True or False");
    const bool baseline = baselineArg.cast<bool>();
    const py::object progress = get("progress", py::none());
    if (!progress.is_none() && !PyCallable_Check(progress.ptr()))
        throw py::type_error("progress: expected a callable");
    const py::object streamsArg = get("streams", py::none());
    Streams* const shared = streamsArg.is_none() ? nullptr : streamsArg.cast<Streams*>();

    RecordingSink sink;
    auto series = getCutOffSeriesHeader(sink, etalonCount, pulseLength, bounds.tmin, bounds.tmax,
                                        length, nullptr);
    if (!series) sink.raiseReports();
    if (const py::object s = get("subsets", py::none()); !s.is_none()) {
        std::vector<std::vector<int32_t>> patterns;
        for (py::handle p : py::reinterpret_borrow<py::sequence>(s))
            patterns.push_back(numbersFrom(p, "subsets", etalonCount));
        if (patterns.empty()) throw py::value_error("subsets: the list is empty");
        const py::object pickArg = get("pick", py::none());
        const int pick = pickArg.is_none()
                             ? static_cast<int>(patterns.size())
                             : static_cast<int>(whole(pickArg, "pick", 1, patterns.size()));
        if (!storePatterns(sink, patterns, pick, employment, initPosition, series.get()))
            sink.raiseReports();
    }
    if (const py::object s = get("subset", py::none()); !s.is_none())
        setSelectedSubset(numbersFrom(s, "subset", etalonCount), employment, initPosition,
                          series.get());

    const SimulationGrid ranges{static_cast<uint16_t>(from),       static_cast<uint16_t>(to),
                                static_cast<uint16_t>(step),       static_cast<uint16_t>(noiseFrom),
                                static_cast<uint16_t>(noiseSteps), static_cast<uint16_t>(noiseStep),
                                static_cast<uint32_t>(repeats)};
    auto errors = makeErrorGrid(sink, ranges);
    if (!errors) sink.raiseReports();

    SimulationRun run;
    run.alphabet = alphabet;
    run.etalonsNumber = etalonCount;
    run.requiredList = list;
    run.seriesType = static_cast<SeriesCode>(type);
    run.effectiveTask = effectiveTask(task, run.seriesType);
    run.makingLevel = level;
    run.processingLevel = processingLevel;
    run.subsetProceeding = proceeding;
    if (baseline && !baselineApplies(run))
        throw py::value_error("baseline: the matched filter restores single pulses, not tuples");
    const MemoryBudget budget = memoryBudget(limit, "memory_limit");
    const uint32_t total = simulationSeriesCount(*errors);
    // Taken last: a call waiting for the Streams holds nothing else.
    StreamsLease lease(shared);
    // A count beyond the cores is honoured as etalon-cli honours it; the
    // raised limit lasts only as long as the call.
    std::optional<tbb::global_control> pool;
    if (threads > tbb::info::default_concurrency())
        pool.emplace(tbb::global_control::max_allowed_parallelism,
                     static_cast<std::size_t>(threads));

    std::atomic<uint32_t> done{0};
    std::atomic<bool> cancel{false};
    std::mutex mutex;
    std::condition_variable changed;
    bool finished = false;
    SimulationResult result;
    RestErrorHeader baselineGrid;
    // The run's reports come from the worker; the sink is read after the join.
    std::thread worker([&] {
        tbb::task_arena arena(threads > 0 ? static_cast<int>(threads) : tbb::task_arena::automatic);
        SimulationOptions how;
        how.arena = &arena;
        how.memoryBudget = &budget;
        how.cancel = &cancel;
        how.progress = [&](uint32_t count) {
            done.store(count);
            changed.notify_one();
        };
        SimulationRecords records{errors.get(), series.get(), &lease.work(),
                                  baseline ? &baselineGrid : nullptr};
        result = statCutoffVarnel(sink, run, records, how);
        std::lock_guard lock(mutex);
        finished = true;
        changed.notify_one();
    });
    uint32_t shown = 0;
    bool interrupted = false;
    py::object progressError;
    for (;;) {
        {
            py::gil_scoped_release released;
            std::unique_lock lock(mutex);
            changed.wait_for(lock, std::chrono::milliseconds(100));
            if (finished) break;
        }
        if (PyErr_CheckSignals() != 0) {
            interrupted = true;
            cancel = true;
            break;
        }
        if (!progress.is_none() && done.load() != shown) {
            shown = done.load();
            try {
                progress(shown, total);
            } catch (py::error_already_set&) {
                cancel = true;  // the callback's exception ends the run
                {
                    py::gil_scoped_release released;
                    worker.join();
                }
                throw;
            }
        }
    }
    {
        py::gil_scoped_release released;
        worker.join();
    }
    if (interrupted) throw py::error_already_set();
    if (!progress.is_none() && done.load() != shown) progress(done.load(), total);
    if (result.outcome == SimulationOutcome::Refused)
        throw MemoryRefused(sink.reports.empty() ? "the run does not fit in memory"
                                                 : sink.reports.front().text);
    if (!result.completed()) {
        sink.raiseReports();
        throw std::runtime_error("the simulation did not complete");
    }
    for (const auto& m : result.messages)
        sink.reports.push_back({m.text, m.outOfMemory});
    sink.raiseReports();
    lease.keep();

    const RestErrorHeader& r = *errors;
    const auto name = [](const char* text) {
        return text ? std::optional<std::string>(text) : std::nullopt;
    };
    Simulation out{int16Array(r.wPulseValues()),
                   int16Array(r.lpNoiseLevels()),
                   grid(r, &RestErrorHeader::lpErrors),
                   grid(r, &RestErrorHeader::lpDetectionErrors),
                   grid(r, &RestErrorHeader::lpRecognitionErrors),
                   r.repeats,
                   codeNumber(r.wSeriesType),
                   codeNumber(r.wEffectiveTask),
                   r.wMakingLevel,
                   r.wProcessingLevel,
                   name(r.lpTaskName),
                   name(r.lpSeriesTypeName)};
    if (baseline) {
        out.baselineErrors = grid(baselineGrid, &RestErrorHeader::lpErrors);
        out.baselineDetectionErrors = grid(baselineGrid, &RestErrorHeader::lpDetectionErrors);
        out.baselineRecognitionErrors = grid(baselineGrid, &RestErrorHeader::lpRecognitionErrors);
        out.truePulses = gridOf(r, result.truePulses);
        out.exactShare = sharesOf(r, result.exactHits, result.truePulses);
        out.baselineShare = sharesOf(r, result.baselineHits, result.truePulses);
    }
    return out;
}

}  // namespace

void bindSimulation(py::module_& m) {
    py::class_<Simulation>(m, "Simulation",
                           "The error grid of a simulation: rows are noise levels, columns "
                           "pulse counts, cells the errors summed over the repeats.")
        .def_readonly("pulses", &Simulation::pulses)
        .def_readonly("noise_levels", &Simulation::noiseLevels)
        .def_readonly("errors", &Simulation::errors)
        .def_readonly("detection_errors", &Simulation::detectionErrors)
        .def_readonly("recognition_errors", &Simulation::recognitionErrors)
        .def_readonly("repeats", &Simulation::repeats)
        .def_readonly("series_type", &Simulation::seriesType)
        .def_readonly("effective_task", &Simulation::effectiveTask)
        .def_readonly("making_level", &Simulation::makingLevel)
        .def_readonly("processing_level", &Simulation::processingLevel)
        .def_readonly("task_name", &Simulation::taskName)
        .def_readonly("series_type_name", &Simulation::seriesTypeName)
        .def_readonly("baseline_errors", &Simulation::baselineErrors,
                      "With baseline=True: the matched filter's errors (None without).")
        .def_readonly("baseline_detection_errors", &Simulation::baselineDetectionErrors)
        .def_readonly("baseline_recognition_errors", &Simulation::baselineRecognitionErrors)
        .def_readonly("true_pulses", &Simulation::truePulses,
                      "With baseline=True: the true pulses of each grid point's series.")
        .def_readonly("exact_position_share", &Simulation::exactShare,
                      "With baseline=True: the share of true pulses the exact procedure "
                      "restored at exactly their position (NaN without pulses).")
        .def_readonly("baseline_exact_position_share", &Simulation::baselineShare,
                      "The same share for the matched filter.");

    m.def("simulate", &simulate,
          "Runs the statistical simulation as etalon-cli simulate does (keyword arguments):\n"
          "type=1, length=1200, tmin=40, tmax=181, level=100, task='recognition', etalon=1,\n"
          "etalons=None, processing_level=None (the making level), subset=None,\n"
          "subsets=None, pick=None, proceeding=1, employment=4, init_position=1,\n"
          "pulses_from=None, pulses_to=None (the geometry's bounds), pulses_step=1,\n"
          "noise_from=0, noise_steps=29, noise_step=5, repeats=100, threads=0 (every\n"
          "core; more than the cores runs that many; the result does not depend on it),\n"
          "alphabet=None, streams=None (calls sharing one run one after another),\n"
          "memory_limit=None, progress=None (called as progress(done, total) from the\n"
          "calling thread), baseline=False (True: every series is restored by the\n"
          "matched filter too, as method=\"matched-filter\" restores it, and the result\n"
          "gains its error grids and both methods' exact-position shares; not for the\n"
          "tuples tasks). Ctrl-C or an exception from progress cancels the run and leaves\n"
          "streams as it was. Returns an etalon.Simulation.");
}

}  // namespace etalon::python
