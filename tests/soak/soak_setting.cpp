#include "soak/soak_setting.h"

#include <algorithm>
#include <memory>
#include <sstream>

#include "processing/chains_header.h"
#include "processing/matched_filter.h"
#include "processing/restoring.h"
#include "processing/task_codes.h"
#include "series/series_codes.h"
#include "series/series_generator.h"
#include "series/series_header.h"
#include "series/series_making.h"
#include "series/subsets.h"
#include "simulation/rest_error_header.h"
#include "simulation/restored_error.h"
#include "simulation/stat_cutoff_varnel.h"
#include "support/recording_sink.h"

namespace etalon::soak {

namespace {

constexpr uint16_t kLength = kEtalonLength;
constexpr uint16_t kSeriesTypes[] = {1, 2, 4, 8, 16, 32, 36, 40};  // every code, as numbers
constexpr uint16_t kTasks[] = {1, 2, 4, 8, 16, 32, 36, 40, 64};

class Draw {
  public:
    Draw(uint64_t seed, uint64_t index) {
        std::seed_seq seq{uint32_t(seed), uint32_t(seed >> 32), uint32_t(index),
                          uint32_t(index >> 32)};
        rng_.seed(seq);
    }
    int64_t between(int64_t lo, int64_t hi) {
        return std::uniform_int_distribution<int64_t>(lo, std::max(lo, hi))(rng_);
    }
    bool oneIn(int n) { return between(0, n - 1) == 0; }
    // Settings with odd numbers have one now and then in every list.
    void allowOddEtalons(bool allow) { odd_ = allow; }
    // An etalon number, or in the odd settings now and then one no alphabet holds.
    int32_t etalon() {
        if (!odd_ || !oneIn(8)) return static_cast<int32_t>(between(1, kEtalonsNumber));
        static constexpr int32_t kOdd[] = {0, 21, 255, 32767, 65535, -1};
        return kOdd[between(0, 5)];
    }

  private:
    std::mt19937_64 rng_;
    bool odd_ = false;
};

uint16_t drawBound(Draw& d, uint32_t length) {
    const int64_t beyond = std::min<int64_t>(int64_t{length} * 2 + 30, 65535);
    switch (d.between(0, 3)) {
        case 0:
            return static_cast<uint16_t>(d.between(1, 25));
        case 1:
            return static_cast<uint16_t>(d.between(20, 200));
        case 2:
            return static_cast<uint16_t>(d.between(1, beyond));
        default:
            return static_cast<uint16_t>(d.between(std::max<int64_t>(1, length / 8), length + 30));
    }
}

std::vector<int32_t> drawPattern(Draw& d, int64_t longest) {
    std::vector<int32_t> pattern(static_cast<std::size_t>(d.between(0, longest)));
    for (auto& e : pattern)
        e = d.etalon();
    return pattern;
}

PulseCountBounds boundsOf(uint32_t length, uint16_t tmin, uint16_t tmax) {
    return pulseCountBounds(length, kLength, tmin, tmax);
}

}  // namespace

SoakSetting drawSetting(uint64_t seed, uint64_t index) {
    Draw d(seed, index);
    SoakSetting s;
    d.allowOddEtalons(d.oneIn(6));
    s.seriesType = SeriesCode{kSeriesTypes[d.between(0, 7)]};
    s.taskType = TaskCode{kTasks[d.between(0, 8)]};
    switch (d.between(0, 2)) {
        case 0:
            s.length = static_cast<uint32_t>(d.between(1, 60));
            break;
        case 1:
            s.length = static_cast<uint32_t>(d.between(61, 600));
            break;
        default:
            s.length = static_cast<uint32_t>(d.between(601, 4000));
    }
    s.tmin = drawBound(d, s.length);
    s.tmax = drawBound(d, s.length);
    if (s.tmin > s.tmax && !d.oneIn(6)) std::swap(s.tmin, s.tmax);
    s.processingTmin = s.tmin;
    s.processingTmax = s.tmax;
    if (d.oneIn(6)) {
        s.processingTmin = drawBound(d, s.length);
        s.processingTmax = std::max(s.processingTmin, drawBound(d, s.length));
    }

    const PulseCountBounds b = boundsOf(s.length, s.tmin, s.tmax);
    const int64_t least = std::max<int64_t>(b.minPulses, 1);
    if (b.maxPulses >= least && !d.oneIn(5))
        s.pulses = static_cast<uint16_t>(d.between(least, b.maxPulses));
    else
        s.pulses = static_cast<uint16_t>(d.between(0, b.maxPulses + 3));

    s.makingLevel = d.oneIn(2) ? 100 : static_cast<uint16_t>(d.between(0, 100));
    s.processingLevel = d.oneIn(2) ? s.makingLevel : static_cast<uint16_t>(d.between(0, 100));
    const int16_t noiseBound = maxNoiseLevelFor(kPulseAmplitude);
    s.noise = d.oneIn(4)
                  ? 0
                  : static_cast<int16_t>(d.oneIn(2) ? d.between(0, 100) : d.between(0, noiseBound));

    const int64_t room = std::min<int64_t>(b.maxPulses + 5, 80);
    s.sequence.resize(static_cast<std::size_t>(d.between(0, room)));
    for (auto& e : s.sequence)
        e = static_cast<uint16_t>(d.etalon());
    if (!d.oneIn(10)) {
        s.list.resize(static_cast<std::size_t>(d.between(1, 25)));
        for (auto& e : s.list)
            e = static_cast<uint16_t>(d.etalon());
        if (d.oneIn(4)) s.list.insert(s.list.end(), s.list.begin(), s.list.end());
    }
    if (!d.oneIn(3)) s.subset = drawPattern(d, room);
    s.employment = static_cast<uint16_t>(d.between(0, 6));
    s.initPosition = static_cast<uint16_t>(d.between(0, b.maxPulses + 3));
    s.proceeding = static_cast<uint16_t>(d.between(0, 3));
    if (d.oneIn(2)) {
        s.patterns.resize(static_cast<std::size_t>(d.between(1, 5)));
        for (auto& p : s.patterns)
            p = drawPattern(d, room);
        s.pick = static_cast<int>(d.between(0, static_cast<int64_t>(s.patterns.size()) + 1));
    }
    s.streams.wCutStartSeed = static_cast<int16_t>(d.between(0, 32767));
    s.streams.wCutEndSeed = static_cast<int16_t>(d.between(0, 32767));
    s.streams.wPositionSeed = static_cast<int16_t>(d.between(0, 32767));
    s.streams.wPulseCountSeed = static_cast<int16_t>(d.between(0, 32767));
    s.streams.wSubsetSeed = static_cast<int16_t>(d.between(0, 32767));
    s.streams.wSubsetRepeatSeed = static_cast<int16_t>(d.between(0, 32767));
    s.streams.wNoiseSeed = static_cast<int16_t>(d.between(0, 32767));

    s.gridPulses = static_cast<uint16_t>(d.oneIn(8) ? 0 : d.between(1, 2));
    s.firstPulses = b.maxPulses >= least && !d.oneIn(4)
                        ? static_cast<uint16_t>(d.between(least, b.maxPulses))
                        : static_cast<uint16_t>(d.between(0, b.maxPulses + 3));
    s.pulsesStep = static_cast<uint16_t>(d.between(0, 3));
    s.gridLevels = static_cast<uint16_t>(d.oneIn(8) ? 0 : d.between(1, 2));
    s.firstLevel = static_cast<uint16_t>(d.between(0, noiseBound));
    s.levelStep = static_cast<uint16_t>(d.between(0, 500));
    s.repeats = static_cast<uint32_t>(d.oneIn(8) ? 0 : d.between(1, 2));
    return s;
}

uint64_t estimatedSteps(const SoakSetting& s) {
    const uint64_t n = s.length;
    uint64_t candidates = std::max<std::size_t>(s.list.size(), 1);
    candidates = std::max<uint64_t>(candidates, s.subset.size());
    uint64_t stored = 0;
    for (const auto& p : s.patterns)
        stored += p.size();
    candidates = std::max(candidates, stored);
    const uint64_t window =
        s.processingTmax >= s.processingTmin
            ? std::min<uint64_t>(uint64_t{s.processingTmax} - s.processingTmin + 1, n)
            : 1;
    const uint64_t layers =
        std::max({boundsOf(s.length, s.tmin, s.tmax).maxPulses,
                  boundsOf(s.length, s.processingTmin, s.processingTmax).maxPulses, uint16_t{1}});
    const uint64_t fit = s.processingLevel < 100 ? uint64_t{kLength} * kLength : kLength;
    return n * candidates * (window + layers + fit);
}

namespace {

uint64_t gridSeries(const SoakSetting& s) {
    return uint64_t{s.gridPulses} * s.gridLevels * s.repeats;
}

}  // namespace

void capWork(SoakSetting& s, uint64_t bound) {
    const auto total = [&s] { return estimatedSteps(s) * (1 + gridSeries(s)); };
    while (total() > bound && gridSeries(s) > 1) {
        if (s.repeats > 1)
            s.repeats = 1;
        else if (s.gridLevels > 1)
            s.gridLevels = 1;
        else
            s.gridPulses = 1;
    }
    if (total() > bound) s.gridPulses = 0;
    while (estimatedSteps(s) > bound && s.length > 1)
        s.length /= 2;
}

std::string describe(const SoakSetting& s) {
    std::ostringstream out;
    const auto list = [&out](const auto& values) {
        out << '[';
        for (std::size_t i = 0; i < values.size(); ++i)
            out << (i ? "," : "") << values[i];
        out << ']';
    };
    out << "type " << codeNumber(s.seriesType) << " task " << codeNumber(s.taskType) << " N "
        << s.length << " Tmin " << s.tmin << " Tmax " << s.tmax << " processing Tmin "
        << s.processingTmin << " Tmax " << s.processingTmax << " Q " << s.pulses << " levels "
        << s.makingLevel << '/' << s.processingLevel << " noise " << s.noise << " employment "
        << s.employment << " init " << s.initPosition << " proceeding " << s.proceeding << " pick "
        << s.pick << " grid " << s.gridPulses << 'x' << s.gridLevels << 'x' << s.repeats << " from "
        << s.firstPulses << '+' << s.pulsesStep << ", " << s.firstLevel << '+' << s.levelStep;
    out << "\n  sequence ";
    list(s.sequence);
    out << " list ";
    list(s.list);
    out << " subset ";
    list(s.subset);
    out << " patterns";
    for (const auto& p : s.patterns) {
        out << ' ';
        list(p);
    }
    return out.str();
}

namespace {

class Checker {
  public:
    void expect(bool holds, const std::string& what) {
        if (!holds) outcome.findings.push_back(what);
    }
    SettingOutcome outcome;
};

void checkSeries(Checker& c, const SeriesHeader& r, const SoakSetting& s) {
    const uint16_t q = r.wImpulseQuantity;
    c.expect(r.dwSeriesSize == s.length, "series: length differs from the request");
    c.expect(r.wMinPulses <= q && q <= r.wMaxPulses && r.wMaxPulses <= r.wReservedQuantity,
             "series: pulse count outside its bounds or capacity");
    if (q > r.wReservedQuantity) return;
    for (std::size_t k = 0; k < q; ++k) {
        const int32_t pos = r.lpPositions[k];
        c.expect(r.lpMinPositions[k] <= pos && pos <= r.lpMaxPositions[k],
                 "series: position outside its range, pulse " + std::to_string(k));
        c.expect(pos >= 0 && pos + kLength <= static_cast<int64_t>(r.dwSeriesSize),
                 "series: pulse " + std::to_string(k) + " outside the series");
        c.expect(
            0 <= r.lpCutStarts[k] && r.lpCutStarts[k] <= r.lpCutEnds[k] && r.lpCutEnds[k] < kLength,
            "series: window outside the pulse");
        c.expect(1 <= r.lpEtalons[k] && r.lpEtalons[k] <= kEtalonsNumber,
                 "series: etalon number outside the alphabet");
        if (k > 0) {
            const int32_t gap = pos - r.lpPositions[k - 1];
            c.expect(s.tmin <= gap && gap <= s.tmax,
                     "series: distance between pulses outside Tmin..Tmax");
        }
    }
}

}  // namespace

void checkChains(std::vector<std::string>& findings, const ChainsHeader& chains,
                 const SeriesHeader& r, uint16_t tmin, uint16_t tmax, uint16_t pulseLength,
                 uint16_t etalons, bool withTmax) {
    const auto expect = [&findings](bool holds, const std::string& what) {
        if (!holds) findings.push_back(what);
    };
    expect(chains.wPretenders <= chains.wMaxSize, "chains: more held than the record holds");
    const std::size_t held = std::min(chains.wPretenders, chains.wMaxSize);
    for (std::size_t i = 0; i < held; ++i) {
        const std::string where = "chain " + std::to_string(i) + ": ";
        if (i > 0)
            expect(chains.distance(i - 1) <= chains.distance(i), where + "not sorted by criterion");
        const int32_t n = chains.pulsesQuantity(i);
        expect(0 <= n && n <= chains.wMaxPulses, where + "pulse count outside capacity");
        if (n < 0 || n > chains.wMaxPulses) continue;
        const auto pos = chains.positionsList(i);
        const auto etl = chains.pulsesList(i);
        const auto cs = chains.cutStartsList(i);
        const auto ce = chains.cutEndsList(i);
        for (int32_t k = 0; k < n; ++k) {
            expect(pos[k] >= 0 && pos[k] + ce[k] < static_cast<int64_t>(r.dwSeriesSize),
                   where + "pulse outside the series");
            expect(0 <= cs[k] && cs[k] <= ce[k] && ce[k] < pulseLength,
                   where + "window outside the pulse");
            expect(1 <= etl[k] && etl[k] <= etalons, where + "etalon outside the alphabet");
            if (k > 0) {
                const int32_t gap = pos[k] - pos[k - 1];
                expect(tmin <= gap && (!withTmax || gap <= tmax),
                       where + "distance outside Tmin..Tmax");
            }
        }
    }
    expect(r.wRestoredQuantity <= r.wReservedQuantity, "series: more restored than it holds");
    if (r.wRestoredQuantity > r.wReservedQuantity) return;
    for (std::size_t k = 0; k < r.wRestoredQuantity; ++k) {
        const int32_t pos = r.lpRestoredPositions[k];
        expect(pos >= 0 && pos < static_cast<int64_t>(r.dwSeriesSize),
               "series: restored position outside the series");
        if (k > 0)
            expect(pos - r.lpRestoredPositions[k - 1] >= tmin,
                   "series: restored positions closer than Tmin");
    }
}

namespace {

std::vector<std::vector<int32_t>> storedPatterns(const SeriesHeader& r) {
    std::vector<std::vector<int32_t>> stored;
    for (std::size_t g = 0; g < r.wSubsets; ++g) {
        const auto row = r.storedSubset(g);
        stored.emplace_back(row.begin(), row.end());
    }
    return stored;
}

void restoreAndCheck(Checker& c, test::RecordingSink& sink, const SoakSetting& s,
                     std::span<const PulseHeader> alphabet, SeriesHeader& series) {
    const TaskCode effective = effectiveTask(s.taskType, s.seriesType);
    const RestoringProcedure procedure = chooseRestoringProcedure(effective, s.seriesType);
    const uint16_t room =
        std::max(series.wMaxPulses,
                 boundsOf(series.dwSeriesSize, s.processingTmin, s.processingTmax).maxPulses);
    const std::size_t before = sink.messages.size();
    auto chains = getChainsHeader(sink, 10, room, nullptr);
    if (!chains) {
        c.expect(sink.messages.size() > before, "chains: no record and no message");
        return;
    }
    const std::vector<int32_t> pattern(series.lpSelectedSubset.begin(),
                                       series.lpSelectedSubset.begin() + series.wSubsetLength);
    const auto stored = storedPatterns(series);
    const std::vector<std::span<const int32_t>> patterns(stored.begin(), stored.end());
    RestoringRequest request;
    request.alphabet = alphabet;
    request.etalons = s.list;
    request.pattern = pattern;
    request.patterns = patterns;
    request.tmin = s.processingTmin;
    request.tmax = s.processingTmax;
    request.processingLevel = s.processingLevel;
    request.proceeding = s.proceeding;
    request.chains = chains.get();
    request.series = &series;
    const std::size_t beforeRun = sink.messages.size();
    const int returned = runRestoringProcedure(sink, procedure, request);
    const bool chainProcedure = procedure == RestoringProcedure::DetectKnownNumberChain ||
                                procedure == RestoringProcedure::DetectUnknownNumberChain ||
                                procedure == RestoringProcedure::DetectKnownNumberTuples ||
                                procedure == RestoringProcedure::TuplesDetection;
    if (chainProcedure && returned == 0)
        c.expect(sink.messages.size() > beforeRun, "restoring: refused without a message");
    checkChains(c.outcome.findings, *chains, series, s.processingTmin, s.processingTmax, kLength,
                kEtalonsNumber, true);
    c.outcome.restored = chains->wPretenders > 0;
    addToChainsHeader(sink, s.seriesType, effective, s.makingLevel, s.processingLevel,
                      chains.get());
    (void)getRestoredError(series);
    if (!matchedFilterRestores(procedure)) return;
    // The baseline on the same series, into a chains record of its own.
    auto filtered = getChainsHeader(sink, 10, room, nullptr);
    if (!filtered) return;
    request.chains = filtered.get();
    const std::size_t beforeFilter = sink.messages.size();
    if (runMatchedFilter(sink, procedure, request) == 0)
        c.expect(sink.messages.size() > beforeFilter, "matched filter: refused without a message");
    checkChains(c.outcome.findings, *filtered, series, s.processingTmin, s.processingTmax, kLength,
                kEtalonsNumber, false);
    c.outcome.filtered = filtered->wPretenders > 0 && series.wRestoredQuantity > 0;
}

void simulateAndCheck(Checker& c, test::RecordingSink& sink, const SoakSetting& s,
                      std::span<const PulseHeader> alphabet, SeriesHeader& series,
                      RandomStreams streams) {
    const std::size_t before = sink.messages.size();
    auto errors = getRestErrHeader(sink, s.gridPulses, s.gridLevels, s.repeats, nullptr);
    if (!errors) {
        c.expect(sink.messages.size() > before, "grid: no record and no message");
        return;
    }
    if (!initRestErrHeader(sink, s.gridPulses, s.firstPulses, s.pulsesStep, s.gridLevels,
                           s.firstLevel, s.levelStep, s.repeats, errors.get())) {
        c.expect(sink.messages.size() > before, "grid: refused without a message");
        return;
    }
    SimulationRun run;
    run.alphabet = alphabet;
    run.requiredList = s.list;
    run.seriesType = s.seriesType;
    run.effectiveTask = effectiveTask(s.taskType, s.seriesType);
    run.makingLevel = s.makingLevel;
    run.processingLevel = s.processingLevel;
    run.subsetProceeding = s.proceeding;
    tbb::task_arena oneThread(1);
    SimulationOptions how;
    how.arena = &oneThread;
    const std::size_t beforeRun = sink.messages.size();
    const SimulationResult result =
        statCutoffVarnel(sink, run, SimulationRecords{errors.get(), &series, &streams}, how);
    if (result.outcome == SimulationOutcome::Failed)
        c.expect(sink.messages.size() > beforeRun, "simulation: failed without a message");
    if (result.completed()) {
        c.outcome.simulated = simulationSeriesCount(*errors) > 0;
        c.expect(errors->ifComplete == 1, "simulation: completed but not marked complete");
        c.expect(series.wImpulseQuantity <= series.wReservedQuantity,
                 "simulation: last series holds more pulses than it has room for");
    }
}

}  // namespace

SettingOutcome runSetting(const SoakSetting& s, std::span<const PulseHeader> alphabet) {
    Checker c;
    test::RecordingSink sink;
    RandomStreams streams = s.streams;
    std::unique_ptr<SeriesHeader> series;
    if (!s.patterns.empty()) {
        series =
            getCutOffSeriesHeader(sink, kEtalonsNumber, kLength, s.tmin, s.tmax, s.length, nullptr);
        if (!series) {
            c.expect(!sink.empty(), "series: no record and no message");
            return c.outcome;
        }
        std::vector<int32_t> lengths;
        std::vector<std::span<const int32_t>> lists;
        std::size_t longest = 0;
        for (const auto& p : s.patterns) {
            lengths.push_back(static_cast<int32_t>(p.size()));
            lists.emplace_back(p);
            longest = std::max(longest, p.size());
        }
        const std::size_t before = sink.messages.size();
        if (!addSomeSelectedSubsetToSeriesHeader(
                sink, lengths, lists, static_cast<uint16_t>(s.patterns.size()),
                static_cast<uint16_t>(longest), s.pick, s.employment, s.initPosition, series.get()))
            c.expect(sink.messages.size() > before || longest == 0,
                     "patterns: refused without a message");
    }

    std::vector<uint16_t> sequence = s.sequence;
    SeriesMakingRequest request;
    request.seriesType = s.seriesType;
    request.alphabet = alphabet;
    request.seriesLength = s.length;
    request.tmin = s.tmin;
    request.tmax = s.tmax;
    request.pulses = s.pulses;
    request.makingLevel = s.makingLevel;
    request.sequence = &sequence;
    request.subset = s.subset;
    request.employment = s.employment;
    request.initPosition = s.initPosition;
    request.noise = s.noise;
    const SeriesMade made = makeRequestedSeries(sink, request, series, streams);
    const PulseCountBounds b = boundsOf(s.length, s.tmin, s.tmax);
    switch (made) {
        case SeriesMade::Refused:
            break;  // refused means a message came
        case SeriesMade::NoRecord:
            c.expect(!sink.empty() || b.maxPulses < std::max<uint16_t>(b.minPulses, 1),
                     "series: no record and no message");
            return c.outcome;
        case SeriesMade::Made:
            c.outcome.made = true;
            checkSeries(c, *series, s);
            if (c.outcome.findings.empty()) restoreAndCheck(c, sink, s, alphabet, *series);
            break;
    }
    // The grid sizes its series record itself, as the simulation command does.
    series = getCutOffSeriesHeader(sink, kEtalonsNumber, kLength, s.tmin, s.tmax, s.length,
                                   std::move(series));
    if (series) simulateAndCheck(c, sink, s, alphabet, *series, streams);
    return c.outcome;
}

}  // namespace etalon::soak
