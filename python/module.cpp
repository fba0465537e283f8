// The NumPy face of the workbench: bindings only; every procedure is the core's.
#include <pybind11/functional.h>
#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <oneapi/tbb/global_control.h>
#include <oneapi/tbb/info.h>
#include <oneapi/tbb/task_arena.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <limits>
#include <mutex>
#include <thread>

#include "arrays.h"
#include "base/memory_budget.h"
#include "io/alphabet_file.h"
#include "io/geometry_text.h"
#include "io/recording.h"
#include "processing/matched_filter.h"
#include "pulses/alphabet.h"
#include "restoring_calls.h"
#include "series/series_generator.h"
#include "series/series_making.h"
#include "series/subsets.h"
#include "simulation/stat_cutoff_varnel.h"
#include "streams.h"

namespace etalon::python {

namespace {

constexpr int64_t kLargestPosition = 32767;

std::vector<PulseHeader> alphabetOf(const py::object& etalons, const char* name) {
    return etalons.is_none() ? builtInAlphabet() : etalonsFrom(etalons, name);
}

int64_t whole(const py::object& value, const char* name, int64_t low, int64_t high) {
    if (!PyIndex_Check(value.ptr()) || PyBool_Check(value.ptr()) ||
        py::isinstance<py::array>(value))
        throw py::type_error(std::string(name) + ": expected a whole number, got " +
                             py::str(py::type::of(value).attr("__name__")).cast<std::string>());
    const auto v = value.cast<int64_t>();
    if (v < low || v > high)
        throw py::value_error(std::string(name) + ": " + std::to_string(v) + " is outside " +
                              std::to_string(low) + ".." + std::to_string(high));
    return v;
}

std::optional<uint16_t> optionalCount(const py::object& value, const char* name) {
    if (value.is_none()) return std::nullopt;
    return static_cast<uint16_t>(whole(value, name, 1, kLargestPosition));
}

std::optional<std::size_t> memoryLimitOf(const py::object& value) {
    if (value.is_none()) return std::nullopt;
    if (py::isinstance<py::str>(value)) {
        const auto parsed = parseMemorySize(value.cast<std::string>());
        if (!parsed)
            throw py::value_error("memory_limit: '" + value.cast<std::string>() +
                                  "' is no size like 512M, 2G or 1000000");
        return parsed;
    }
    return static_cast<std::size_t>(whole(value, "memory_limit", 1, INT64_MAX));
}

void checkBounds(const py::object& tmin, const py::object& tmax, RestoringCall& call) {
    call.tmin = static_cast<uint16_t>(whole(tmin, "tmin", 1, kLargestPosition));
    call.tmax = static_cast<uint16_t>(whole(tmax, "tmax", 1, kLargestPosition));
    if (call.tmin > call.tmax)
        throw py::value_error("tmin: " + std::to_string(call.tmin) + " is above tmax " +
                              std::to_string(call.tmax));
}

struct Chain {
    int32_t criterion;
    py::array_t<int16_t> positions, etalons, cutStarts, cutEnds;
};

// etalon.Chains: a list subclass, so the chains index as before and the
// result can also carry what the procedure returned. Made when the module loads.
py::handle chainsType;

py::list runRestoring(const py::object& samples, RestoringCall& call) {
    const SamplesInput input = samplesFrom(samples, "samples");
    Restored restored;
    {
        py::gil_scoped_release released;
        restored = restoreSamples(input.span(), call);
    }
    py::list out = chainsType();
    for (const RestoredChain& c : restored.chains)
        out.append(Chain{c.criterion, int16Array(c.positions), int16Array(c.etalons),
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
    call.alphabet = alphabetOf(alphabet, "alphabet");
    checkBounds(tmin, tmax, call);
    call.pulses = optionalCount(pulses, "pulses");
    call.processingLevel =
        static_cast<uint16_t>(whole(processingLevel, "processing_level", 0, 100));
    call.memoryLimit = memoryLimitOf(memoryLimit);
    return call;
}

std::vector<uint16_t> everyEtalon(const std::vector<PulseHeader>& alphabet) {
    std::vector<uint16_t> list;
    for (uint16_t e = 1; e <= alphabet.size(); ++e)
        list.push_back(e);
    return list;
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
                const std::string& method) {
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
        call.alphabet = etalonsFrom(shape.reshape({py::ssize_t{1}, shape.size()}), "etalon");
        call.list = {1};
    }
    return runRestoring(samples, call);
}

py::list recognize(const py::object& samples, const py::object& etalons, const py::object& tmin,
                   const py::object& tmax, const py::object& pulses,
                   const py::object& processingLevel, const py::object& memoryLimit,
                   const std::string& method) {
    RestoringCall call = commonCall(TaskCode::Recognition, etalons, tmin, tmax, pulses,
                                    processingLevel, memoryLimit);
    call.matchedFilter = matchedFilterNamed(method);
    call.list = everyEtalon(call.alphabet);
    return runRestoring(samples, call);
}

uint16_t proceedingOf(const py::object& proceeding) {
    return static_cast<uint16_t>(whole(proceeding, "proceeding", 1, 2));
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

TaskCode taskNamed(const std::string& task) {
    if (task == "detection") return TaskCode::Detection;
    if (task == "recognition") return TaskCode::Recognition;
    if (task == "joint") return TaskCode::Joint;
    if (task == "processing") return TaskCode::SeriesProcessing;
    throw py::value_error("task: '" + task +
                          "' is not one of detection, recognition, joint, processing");
}

// restore(): the window's choice. Patterns make the detection and recognition
// tasks their tuples forms, as a tuples series does.
py::list restore(const py::object& samples, const std::string& task, const py::object& etalon,
                 const py::object& etalons, const py::object& subset, const py::object& subsets,
                 const py::object& pick, const py::object& proceeding, const py::object& tmin,
                 const py::object& tmax, const py::object& pulses,
                 const py::object& processingLevel, const py::object& alphabet,
                 const py::object& memoryLimit, const std::string& method) {
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
    const auto count = static_cast<uint16_t>(call.alphabet.size());
    if (code == TaskCode::Detection) {
        call.list = {static_cast<uint16_t>(whole(etalon, "etalon", 1, count))};
    } else if (!etalons.is_none()) {
        for (int32_t e : numbersFrom(etalons, "etalons", count))
            call.list.push_back(static_cast<uint16_t>(e));
    } else {
        call.list = everyEtalon(call.alphabet);
    }
    return runRestoring(samples, call);
}

void checkSeriesType(int type) {
    static const std::vector<int> kTypes{1, 2, 4, 8, 16, 32, 36, 40};
    if (std::find(kTypes.begin(), kTypes.end(), type) == kTypes.end())
        throw py::value_error("type: " + std::to_string(type) +
                              " is not one of 1, 2, 4, 8, 16, 32, 36, 40");
}

struct Series {
    py::array_t<int16_t> samples, pure, positions, etalons, cutStarts, cutEnds, minPositions,
        maxPositions;
    int type, length, tmin, tmax, pulses, minPulses, maxPulses, noise, level, etalonLength;
};

Series makeSeries(int type, const py::object& length, const py::object& tmin,
                  const py::object& tmax, const py::object& pulses, const py::object& noise,
                  const py::object& level, const py::object& sequence, const py::object& alphabet,
                  const py::object& subset, const py::object& employment,
                  const py::object& initPosition, Streams* streams) {
    checkSeriesType(type);
    SeriesMakingRequest r;
    const std::vector<PulseHeader> etalons = alphabetOf(alphabet, "alphabet");
    r.seriesType = static_cast<SeriesCode>(type);
    r.alphabet = etalons;
    r.etalons = static_cast<uint16_t>(etalons.size());
    r.pulseLength = etalons[0].wSize;
    r.seriesLength = static_cast<uint32_t>(whole(length, "length", 1, kLargestPosition));
    RestoringCall bounds;
    checkBounds(tmin, tmax, bounds);
    r.tmin = bounds.tmin;
    r.tmax = bounds.tmax;
    const std::string fault =
        io::geometryFaultText(r.seriesLength, r.pulseLength, r.tmin, r.tmax,
                              {"length " + std::to_string(r.seriesLength),
                               "tmin " + std::to_string(r.tmin), "tmax " + std::to_string(r.tmax)});
    if (!fault.empty()) throw py::value_error(fault + ": no series can be made");
    const PulseCountBounds b = pulseCountBounds(r.seriesLength, r.pulseLength, r.tmin, r.tmax);
    r.pulses = middlePulseCount(r.seriesLength, r.pulseLength, r.tmin, r.tmax);
    if (const auto count = optionalCount(pulses, "pulses")) {
        const int64_t least = std::max<int64_t>(b.minPulses, 1);
        if (!isUnfixedSeries(r.seriesType) && (*count < least || *count > b.maxPulses))
            throw py::value_error("pulses: " + std::to_string(*count) + " is outside " +
                                  std::to_string(least) + ".." + std::to_string(b.maxPulses) +
                                  ", the counts a series of " + std::to_string(r.seriesLength) +
                                  " samples with Tmin " + std::to_string(r.tmin) + " and Tmax " +
                                  std::to_string(r.tmax) + " can hold");
        r.pulses = *count;
    }
    r.noise = static_cast<int16_t>(whole(noise, "noise", 0, maxNoiseLevelFor(kPulseAmplitude)));
    r.makingLevel = static_cast<uint16_t>(whole(level, "level", 0, 100));
    std::vector<uint16_t> order;
    if (!sequence.is_none()) {
        if (py::isinstance<py::str>(sequence) || !py::isinstance<py::sequence>(sequence))
            throw py::type_error("sequence: expected a list of etalon numbers");
        for (py::handle e : py::reinterpret_borrow<py::sequence>(sequence))
            order.push_back(static_cast<uint16_t>(
                whole(py::reinterpret_borrow<py::object>(e), "sequence", 0, 65535)));
    }
    r.sequence = &order;
    std::vector<int32_t> placed;
    if (!subset.is_none()) placed = numbersFrom(subset, "subset", r.etalons);
    r.subset = placed;
    r.employment = static_cast<uint16_t>(whole(employment, "employment", 1, 5));
    r.initPosition = static_cast<uint16_t>(whole(initPosition, "init_position", 1, 65535));

    StreamsLease lease(streams);
    RecordingSink sink;
    std::unique_ptr<SeriesHeader> record;
    SeriesMade made;
    {
        py::gil_scoped_release released;
        made = makeRequestedSeries(sink, r, record, lease.work());
    }
    sink.raiseReports();
    if (made != SeriesMade::Made) throw std::bad_alloc();
    lease.keep();
    const SeriesHeader& s = *record;
    const auto q = s.wImpulseQuantity;
    const auto first = [q](const std::vector<int16_t>& v) {
        return int16Array(std::span<const int16_t>(v.data(), q));
    };
    return Series{int16Array(s.noisyData()),
                  int16Array(s.pureData()),
                  first(s.lpPositions),
                  first(s.lpEtalons),
                  first(s.lpCutStarts),
                  first(s.lpCutEnds),
                  first(s.lpMinPositions),
                  first(s.lpMaxPositions),
                  type,
                  static_cast<int>(s.dwSeriesSize),
                  s.wTmin,
                  s.wTmax,
                  q,
                  s.wMinPulses,
                  s.wMaxPulses,
                  s.wNoiseLevel,
                  r.makingLevel,
                  s.wImpulseSize};
}

struct Recording {
    py::array_t<int16_t> samples;
    uint64_t first;
    bool scaled;
    double scale;
    std::optional<double> sampleRate;
};

Recording readRecording(const std::string& path, const py::object& column, uint32_t channel,
                        const py::object& scale, const py::object& first, const py::object& count,
                        const py::object& format) {
    io::RecordingRequest request;
    request.path = path;
    const auto kind = format.is_none() ? io::recordingFormatOfPath(path)
                                       : io::recordingFormatNamed(format.cast<std::string>());
    if (!kind)
        throw py::value_error("format: " + path +
                              ": the ending does not say the format; give format='csv', 'wav' "
                              "or 'json'");
    request.format = *kind;
    if (!column.is_none()) request.column = py::str(column).cast<std::string>();
    request.channel = channel + 1;
    if (!scale.is_none()) {
        request.scale = scale.cast<double>();
        if (!(*request.scale > 0)) throw py::value_error("scale: the factor must be above 0");
    }
    request.first = static_cast<uint64_t>(whole(first, "first", 0, INT64_MAX));
    if (!count.is_none())
        request.count = static_cast<uint32_t>(whole(count, "count", 1, kLargestPosition));
    io::Recording recording;
    std::string problem;
    {
        py::gil_scoped_release released;
        problem = io::readRecording(request, recording);
    }
    if (!problem.empty()) throw py::value_error(problem);
    return {int16Array(recording.samples), recording.first, recording.scaled, recording.scale,
            recording.sampleRate};
}

py::array_t<int16_t> readAlphabet(const std::string& path) {
    std::vector<PulseHeader> alphabet;
    std::string problem;
    {
        py::gil_scoped_release released;
        problem = io::readAlphabetFile(path, io::guessAlphabetFormat(path), alphabet);
    }
    if (!problem.empty()) throw py::value_error(problem);
    return alphabetArray(alphabet);
}

void writeAlphabet(const std::string& path, const py::object& etalons, const py::object& format) {
    const std::vector<PulseHeader> alphabet = etalonsFrom(etalons, "etalons");
    io::AlphabetFormat kind = io::alphabetFormatOfPath(path).value_or(io::AlphabetFormat::Json);
    if (!format.is_none()) {
        const auto name = format.cast<std::string>();
        if (name != "json" && name != "csv")
            throw py::value_error("format: '" + name + "' is not json or csv");
        kind = name == "csv" ? io::AlphabetFormat::Csv : io::AlphabetFormat::Json;
    }
    std::string problem;
    {
        py::gil_scoped_release released;
        problem = io::writeAlphabetFile(path, alphabet, kind);
    }
    if (!problem.empty()) throw py::value_error(problem);
}

struct Simulation {
    py::array_t<int16_t> pulses, noiseLevels;
    py::array_t<uint32_t> errors, detectionErrors, recognitionErrors;
    uint32_t repeats;
    int seriesType, effectiveTask, makingLevel, processingLevel;
    std::optional<std::string> taskName, seriesTypeName;
    // With baseline=True: the matched filter's grid and both methods' shares
    // of true pulses restored at exactly their position.
    std::optional<py::array_t<uint32_t>> baselineErrors, baselineDetectionErrors,
        baselineRecognitionErrors;
    std::optional<py::array_t<uint64_t>> truePulses;
    std::optional<py::array_t<double>> exactShare, baselineShare;
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
    const std::string fault = io::geometryFaultText(
        length, pulseLength, bounds.tmin, bounds.tmax,
        {"length " + std::to_string(length), "tmin " + std::to_string(bounds.tmin),
         "tmax " + std::to_string(bounds.tmax)});
    if (!fault.empty()) throw py::value_error(fault + ": no series can be made");
    const auto level = static_cast<uint16_t>(whole(get("level", py::int_(100)), "level", 0, 100));
    const TaskCode task = taskNamed(get("task", py::str("recognition")).cast<std::string>());
    std::vector<uint16_t> list;
    if (task == TaskCode::Detection) {
        list = {static_cast<uint16_t>(whole(get("etalon", py::int_(1)), "etalon", 1, etalonCount))};
    } else if (const py::object e = get("etalons", py::none()); !e.is_none()) {
        for (int32_t n : numbersFrom(e, "etalons", etalonCount))
            list.push_back(static_cast<uint16_t>(n));
    } else {
        list = everyEtalon(alphabet);
    }
    const py::object processing = get("processing_level", py::none());
    const auto processingLevel =
        processing.is_none() ? level
                             : static_cast<uint16_t>(whole(processing, "processing_level", 0, 100));
    const auto proceeding = proceedingOf(get("proceeding", py::int_(1)));
    const auto employment =
        static_cast<uint16_t>(whole(get("employment", py::int_(4)), "employment", 1, 5));
    const auto initPosition =
        static_cast<uint16_t>(whole(get("init_position", py::int_(1)), "init_position", 1, 65535));

    const PulseCountBounds b = pulseCountBounds(length, pulseLength, bounds.tmin, bounds.tmax);
    const int64_t least = std::max<int64_t>(b.minPulses, 1);
    const py::object fromArg = get("pulses_from", py::none()), toArg = get("pulses_to", py::none());
    const int64_t from =
        fromArg.is_none() ? least : whole(fromArg, "pulses_from", least, b.maxPulses);
    const int64_t to =
        toArg.is_none() ? b.maxPulses : whole(toArg, "pulses_to", least, b.maxPulses);
    if (from > to)
        throw py::value_error("pulses_from: " + std::to_string(from) +
                              " is above the largest count " + std::to_string(to));
    const auto step = whole(get("pulses_step", py::int_(1)), "pulses_step", 1, 65535);
    const auto noiseFrom = whole(get("noise_from", py::int_(0)), "noise_from", 0, 5439);
    const auto noiseSteps = whole(get("noise_steps", py::int_(29)), "noise_steps", 1, 65535);
    const auto noiseStep = whole(get("noise_step", py::int_(5)), "noise_step", 0, 5439);
    const int64_t lastNoise = noiseFrom + noiseStep * (noiseSteps - 1);
    if (lastNoise > maxNoiseLevelFor(kPulseAmplitude))
        throw py::value_error("noise_steps: the last noise level " + std::to_string(lastNoise) +
                              " is above " + std::to_string(maxNoiseLevelFor(kPulseAmplitude)) +
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
        std::vector<int32_t> lengths;
        std::vector<std::span<const int32_t>> lists;
        std::size_t longest = 0;
        for (const auto& p : patterns) {
            lengths.push_back(static_cast<int32_t>(p.size()));
            lists.emplace_back(p);
            longest = std::max(longest, p.size());
        }
        if (!addSomeSelectedSubsetToSeriesHeader(
                sink, lengths, lists, static_cast<uint16_t>(patterns.size()),
                static_cast<uint16_t>(longest), pick, employment, initPosition, series.get()))
            sink.raiseReports();
    }
    if (const py::object s = get("subset", py::none()); !s.is_none())
        setSelectedSubset(numbersFrom(s, "subset", etalonCount), employment, initPosition,
                          series.get());

    const PulseGrid pulseGrid = pulseGridFor(static_cast<uint16_t>(from), static_cast<uint16_t>(to),
                                             static_cast<uint16_t>(step));
    auto errors = getRestErrHeader(sink, pulseGrid.steps, static_cast<uint16_t>(noiseSteps),
                                   static_cast<uint32_t>(repeats), nullptr);
    if (!errors ||
        !initRestErrHeader(sink, pulseGrid.steps, static_cast<uint16_t>(from), pulseGrid.increment,
                           static_cast<uint16_t>(noiseSteps), static_cast<uint16_t>(noiseFrom),
                           static_cast<uint16_t>(noiseStep), static_cast<uint32_t>(repeats),
                           errors.get()))
        sink.raiseReports();

    SimulationRun run;
    run.alphabet = alphabet;
    run.etalonsNumber = etalonCount;
    run.requiredList = list;
    run.seriesType = static_cast<SeriesCode>(type);
    run.effectiveTask = effectiveTask(task, run.seriesType);
    run.makingLevel = level;
    run.processingLevel = processingLevel;
    run.subsetProceeding = proceeding;
    if (baseline &&
        !matchedFilterRestores(chooseRestoringProcedure(run.effectiveTask, run.seriesType)))
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
        throw MemoryRefused(sink.texts.empty() ? "the run does not fit in memory"
                                               : sink.texts.front());
    if (!result.completed()) {
        sink.raiseReports();
        throw std::runtime_error("the simulation did not complete");
    }
    for (const auto& m : result.messages)
        sink.texts.push_back(m.text);
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

}  // namespace etalon::python

namespace py = pybind11;
using namespace etalon::python;
using py::arg;

namespace {

const char* const kGeometryDoc = R"(
    tmin, tmax: least and largest distance between pulse starts.
    pulses: the pulse count when it is known; None restores an unknown count.
    processing_level: saved-energy level (percent) of the processing.
    alphabet: an (n, L) int array of etalons; None: the built-in 20.
    memory_limit: refuse work needing more (bytes or "512M", "2G"); None: what
        the kernel reports available, lowered by ETALON_MEMORY_LIMIT.

    `samples` is a 1-D integer or float array. int16 C-contiguous arrays are
    read in place; other arrays are converted as recordings are (integers
    within +-32767 kept, anything else scaled so its largest magnitude is 128).
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
        one chain's criterion is that sum. Not for tuples.)";

// The method among the parameters, before the paragraph on `samples`.
std::string withMethod(const char* head) {
    std::string doc = withGeometry(head);
    return doc.insert(doc.find("\n\n    `samples`"), kMethodDoc);
}

}  // namespace

PYBIND11_MODULE(etalon, m) {
    m.doc() =
        "Etalon Workbench: exact restoration of known pulse shapes in a noisy series.\n\n"
        "Every function runs the workbench's own procedures and gives what etalon-cli\n"
        "gives for the same settings. The GIL is released while they work.";

    py::register_exception_translator([](std::exception_ptr p) {
        try {
            if (p) std::rethrow_exception(p);
        } catch (const MemoryRefused& e) {
            PyErr_SetString(PyExc_MemoryError, e.what());
        }
    });

    bindStreams(m);

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
        .def_readonly("positions", &Chain::positions, "Pulse start positions, increasing.")
        .def_readonly("etalons", &Chain::etalons, "The etalon (1-based) of each pulse.")
        .def_readonly("cut_starts", &Chain::cutStarts, "First sample of each pulse kept.")
        .def_readonly("cut_ends", &Chain::cutEnds, "Last sample of each pulse kept.")
        .def("__repr__", [](const Chain& c) {
            return "<etalon.Chain criterion=" + std::to_string(c.criterion) +
                   " pulses=" + std::to_string(c.positions.size()) + ">";
        });

    py::class_<Series>(m, "Series", "A made series with its truth.")
        .def_readonly("samples", &Series::samples, "The noisy samples (int16).")
        .def_readonly("pure", &Series::pure, "The samples before noise.")
        .def_readonly("positions", &Series::positions, "True pulse start positions.")
        .def_readonly("etalons", &Series::etalons, "True etalon of each pulse.")
        .def_readonly("cut_starts", &Series::cutStarts)
        .def_readonly("cut_ends", &Series::cutEnds)
        .def_readonly("min_positions", &Series::minPositions)
        .def_readonly("max_positions", &Series::maxPositions)
        .def_readonly("type", &Series::type)
        .def_readonly("length", &Series::length)
        .def_readonly("tmin", &Series::tmin)
        .def_readonly("tmax", &Series::tmax)
        .def_readonly("pulses", &Series::pulses, "The pulse count.")
        .def_readonly("min_pulses", &Series::minPulses)
        .def_readonly("max_pulses", &Series::maxPulses)
        .def_readonly("noise", &Series::noise)
        .def_readonly("level", &Series::level)
        .def_readonly("etalon_length", &Series::etalonLength);

    py::class_<Recording>(m, "Recording", "The samples of a recording's span.")
        .def_readonly("samples", &Recording::samples)
        .def_readonly("first", &Recording::first, "Index of samples[0] in the file.")
        .def_readonly("scaled", &Recording::scaled, "False: the values were kept as they are.")
        .def_readonly("scale", &Recording::scale, "The factor used.")
        .def_readonly("sample_rate", &Recording::sampleRate, "Hz, where the file carries one.");

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

    m.def(
        "alphabet", []() { return alphabetArray(builtInAlphabet()); },
        "The built-in 20 etalons as an int16 array of shape (20, 20).");

    m.def("make_series", &makeSeries,
          "Makes a series as the workbench does (etalon-cli series).\n\n"
          "type: 1, 2, 4, 8, 16, 32, 36 or 40; length: samples; tmin, tmax: distances\n"
          "between pulse starts; pulses: count of the fixed types (None: the middle of\n"
          "the bounds); noise: sigma; level: saved-energy level for making; sequence: the\n"
          "etalon of each pulse (padded with 1); alphabet: (n, L) etalons (None: built-in);\n"
          "subset, employment, init_position: the subset placed; streams: an\n"
          "etalon.Streams carried on (None: fresh streams; calls sharing one run one\n"
          "after another).",
          py::kw_only(), arg("type") = 1, arg("length") = 1200, arg("tmin") = 40, arg("tmax") = 181,
          arg("pulses") = py::none(), arg("noise") = 0, arg("level") = 100,
          arg("sequence") = py::none(), arg("alphabet") = py::none(), arg("subset") = py::none(),
          arg("employment") = 4, arg("init_position") = 1, arg("streams") = nullptr);

    m.def("detect", &detect,
          withMethod("Finds the pulses of one etalon (a number of the alphabet, or a 1-D\n"
                     "array of its samples).\n")
              .c_str(),
          arg("samples"), arg("etalon"), py::kw_only(), arg("tmin") = 40, arg("tmax") = 181,
          arg("pulses") = py::none(), arg("processing_level") = 100, arg("alphabet") = py::none(),
          arg("memory_limit") = py::none(), arg("method") = "exact");
    m.def("recognize", &recognize,
          withMethod("Finds the pulses and tells which of `etalons` (an (n, L) int array;\n"
                     "None: the built-in 20) each one is.\n")
              .c_str(),
          arg("samples"), arg("etalons") = py::none(), py::kw_only(), arg("tmin") = 40,
          arg("tmax") = 181, arg("pulses") = py::none(), arg("processing_level") = 100,
          arg("memory_limit") = py::none(), arg("method") = "exact");
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
          arg("memory_limit") = py::none(), arg("method") = "exact");

    m.def("read_recording", &readRecording,
          "Reads a span of a recording as etalon-cli process --samples does: CSV (a column\n"
          "by number from 1 or header name), WAV (channel from 0) or a series JSON.\n"
          "first: first sample (from 0); count: samples (None: to the end, at most 32767);\n"
          "scale: factor (None: integers kept, anything else scaled to a largest magnitude\n"
          "of 128); format: 'csv', 'wav' or 'json' (None: from the ending).",
          arg("path"), py::kw_only(), arg("column") = py::none(), arg("channel") = 0,
          arg("scale") = py::none(), arg("first") = 0, arg("count") = py::none(),
          arg("format") = py::none());
    m.def("read_alphabet", &readAlphabet,
          "Reads an alphabet file (JSON as etalon-cli alphabet prints it, or CSV with one\n"
          "etalon a row) into an (n, L) int16 array.",
          arg("path"));
    m.def("write_alphabet", &writeAlphabet,
          "Writes (n, L) etalons as an alphabet file, all or nothing; format 'json' or\n"
          "'csv' (None: from the ending, else JSON).",
          arg("path"), arg("etalons"), py::kw_only(), arg("format") = py::none());

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
