// The parallel simulation driver against the step-by-step one, its etalon
// stepping, its refusals and what a cancelled run leaves behind.
#include "simulation/stat_cutoff_varnel.h"
#include "simulation/restoring_budget.h"

#include <gtest/gtest.h>
#include <oneapi/tbb/global_control.h>

#include <stdexcept>
#include <string>
#include <tuple>
#include <vector>

#include "oracle/oracle_processing.h"
#include "oracle/oracle_simulation.h"
#include "series/subsets.h"
#include "support/series_fixture.h"

namespace etalon::test {
namespace {

struct Case {
    uint16_t task = 2;
    uint16_t seriesType = 1;
    std::vector<uint16_t> list{2, 5, 9};
    uint16_t firstPulses = 2, pulsesStep = 2, pulseSteps = 2;
    uint16_t firstNoise = 0, noiseStep = 30, noiseSteps = 2;
    uint32_t repeats = 3;
    std::vector<std::vector<int32_t>> subsets;  // stored; the first made current
    uint16_t employment = 4;
};

// The records a run is given: alphabet and streams as at start-up, a series
// record sized for 200 samples, the grid filled.
struct SimulationFixture : SeriesFixture {
    std::unique_ptr<RestErrorHeader> errors;
    RestErrorHeader* baseline = nullptr;  // given: the matched filter restores too
    Case c;

    explicit SimulationFixture(const Case& settings) : c(settings) {
        series = getCutOffSeriesHeader(sink, kEtalonsNumber, kEtalonLength, 40, 181, 200, nullptr);
        if (!c.subsets.empty()) {
            std::vector<int32_t> lengths;
            std::vector<std::span<const int32_t>> lists;
            for (const auto& s : c.subsets) {
                lengths.push_back(static_cast<int32_t>(s.size()));
                lists.emplace_back(s);
            }
            addSomeSelectedSubsetToSeriesHeader(sink, lengths, lists, 4, 4, 1, c.employment, 1,
                                                series.get());
        }
        errors = getRestErrHeader(sink, c.pulseSteps, c.noiseSteps, c.repeats, nullptr);
        initRestErrHeader(sink, c.pulseSteps, c.firstPulses, c.pulsesStep, c.noiseSteps,
                          c.firstNoise, c.noiseStep, c.repeats, errors.get());
    }

    SimulationRun run() const {
        SimulationRun r;
        r.alphabet = alphabet;
        r.requiredList = c.list;
        r.seriesType = SeriesCode{c.seriesType};
        r.effectiveTask = TaskCode{c.task};
        return r;
    }

    SimulationResult simulate(unsigned threads, const RestoringProcedures* procedures = nullptr,
                              std::function<void(uint32_t)> progress = {},
                              const std::atomic<bool>* cancel = nullptr,
                              const MemoryBudget* budget = nullptr) {
        // Even more threads than cores, for orders the cores alone would not give.
        tbb::global_control pool(tbb::global_control::max_allowed_parallelism, threads);
        tbb::task_arena arena(static_cast<int>(threads));
        SimulationOptions options;
        options.arena = &arena;
        options.procedures = procedures;
        options.progress = std::move(progress);
        options.cancel = cancel;
        options.memoryBudget = budget;
        return statCutoffVarnel(sink, run(), {errors.get(), series.get(), &streams, baseline},
                                options);
    }

    int simulateStepByStep(const RestoringProcedures& procedures) {
        return oracle::statCutoffVarnel(
            sink, errors.get(), kEtalonsNumber, alphabet, static_cast<uint16_t>(c.list.size()),
            c.list.data(), c.seriesType, c.task, 100, 100, series, streams, {}, procedures);
    }
};

template <class T>
std::vector<T> head(const std::vector<T>& v, std::size_t n) {
    return std::vector<T>(v.begin(), v.begin() + std::min(n, v.size()));
}

void expectSameSeries(const SeriesHeader& a, const SeriesHeader& b) {
    const std::size_t q = a.wImpulseQuantity;
    EXPECT_EQ(a.wImpulseQuantity, b.wImpulseQuantity);
    EXPECT_EQ(a.lpPureData, b.lpPureData);
    EXPECT_EQ(a.lpNoisyData, b.lpNoisyData);
    EXPECT_EQ(a.wNoiseLevel, b.wNoiseLevel);
    EXPECT_EQ(head(a.lpPositions, q), head(b.lpPositions, q));
    EXPECT_EQ(head(a.lpEtalons, q), head(b.lpEtalons, q));
    EXPECT_EQ(head(a.lpCutStarts, q), head(b.lpCutStarts, q));
    EXPECT_EQ(head(a.lpCutEnds, q), head(b.lpCutEnds, q));
    EXPECT_EQ(a.wSubsetLength, b.wSubsetLength);
    EXPECT_EQ(a.lpSelectedSubset, b.lpSelectedSubset);
    const std::size_t r = a.wRestoredQuantity;
    EXPECT_EQ(a.wRestoredQuantity, b.wRestoredQuantity);
    EXPECT_EQ(head(a.lpRestoredPositions, r), head(b.lpRestoredPositions, r));
    EXPECT_EQ(head(a.lpRestoredEtalons, r), head(b.lpRestoredEtalons, r));
    EXPECT_EQ(head(a.lpRestoredCutStarts, r), head(b.lpRestoredCutStarts, r));
    EXPECT_EQ(head(a.lpRestoredCutEnds, r), head(b.lpRestoredCutEnds, r));
    EXPECT_EQ(a.wRestoredTuples, b.wRestoredTuples);
}

void expectSameGrid(const RestErrorHeader& a, const RestErrorHeader& b) {
    EXPECT_EQ(a.errorCells, b.errorCells);
    EXPECT_EQ(a.ifComplete, b.ifComplete);
    EXPECT_EQ(a.wState, b.wState);
    EXPECT_EQ(a.wSeriesType, b.wSeriesType);
    EXPECT_EQ(a.wEffectiveTask, b.wEffectiveTask);
}

std::vector<std::string> texts(const std::vector<RecordingSink::Message>& messages) {
    std::vector<std::string> t;
    for (const auto& m : messages)
        t.push_back(m.text);
    return t;
}

std::vector<std::string> texts(const std::vector<CollectingSink::Message>& messages) {
    std::vector<std::string> t;
    for (const auto& m : messages)
        t.push_back(m.text);
    return t;
}

// Compares every thread count with the step-by-step run; returns whether the
// run found any error at all (so that the comparison was not of zeros).
bool expectLikeStepByStep(const Case& c) {
    SimulationFixture reference(c);
    EXPECT_EQ(reference.simulateStepByStep(oracle::referenceRestoringProcedures()), 1);
    bool anyError = false;
    for (uint32_t cell : reference.errors->errorCells)
        anyError = anyError || cell != 0;
    for (unsigned threads : {1u, 2u, 4u}) {
        SCOPED_TRACE("threads " + std::to_string(threads));
        SimulationFixture fast(c);
        const SimulationResult result = fast.simulate(threads);
        EXPECT_TRUE(result.completed());
        expectSameGrid(*fast.errors, *reference.errors);
        expectSameSeries(*fast.series, *reference.series);
        EXPECT_EQ(fast.streams, reference.streams);
        EXPECT_EQ(texts(result.messages), texts(reference.sink.messages));
        EXPECT_TRUE(fast.sink.empty());
    }
    return anyError;
}

TEST(Simulation, ParallelDriverEqualsTheStepByStepRunForEveryTaskAndThreadCount) {
    const std::vector<std::vector<int32_t>> subsets{{3, 7}, {12, 1, 5}, {9}};
    std::vector<Case> cases;
    for (uint16_t task : {1, 2, 4, 8, 64}) {
        for (uint16_t type : {1, 2, 4, 8}) {
            Case c;
            c.task = task;
            c.seriesType = type;
            cases.push_back(c);
        }
    }
    for (uint16_t task : {36, 40}) {
        for (uint16_t type : {36, 40}) {
            Case c;
            c.task = task;
            c.seriesType = type;
            c.firstPulses = 3;
            c.repeats = 4;
            c.subsets = subsets;
            c.employment = task == 40 ? 2 : 5;
            cases.push_back(c);
        }
    }
    Case withNoPulses;  // the generator refuses a count of 0 and the run goes on
    withNoPulses.task = 1;
    withNoPulses.firstPulses = 0;
    withNoPulses.pulsesStep = 4;
    cases.push_back(withNoPulses);
    Case singleEtalon;  // the odometer has nothing to carry into
    singleEtalon.task = 4;
    singleEtalon.list = {7};
    singleEtalon.firstPulses = 1;
    singleEtalon.repeats = 8;
    cases.push_back(singleEtalon);

    int withErrors = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE("task " + std::to_string(c.task) + ", series type " +
                     std::to_string(c.seriesType) + ", first count " +
                     std::to_string(c.firstPulses));
        withErrors += expectLikeStepByStep(c) ? 1 : 0;
    }
    EXPECT_GT(withErrors, static_cast<int>(cases.size()) * 3 / 4);
}

// Stand-in procedures that report the etalons of the series they get, so the
// collected messages show what every repeat was made of.
RestoringProcedures etalonReporters() {
    RestoringProcedures p;
    p.detectKnownNumberChain = p.recognizeKnownNumberChain =
        [](MessageSink& sink, std::span<const PulseHeader>, std::span<const uint16_t>,
           const SearchBounds&, ChainsHeader*, SeriesHeader& series) {
            std::string text;
            for (std::size_t i = 0; i < series.wImpulseQuantity; ++i)
                text += std::to_string(series.lpEtalons[i]) + " ";
            sink.show(text, "", MessageIcon::None);
            return 0;
        };
    return p;
}

TEST(Simulation, TheBaselineLeavesTheExactRunAloneAndDoesNotDependOnThreads) {
    Case known;
    known.firstNoise = 20;
    Case unknown = known;
    unknown.task = 4;
    unknown.seriesType = 4;
    for (const Case& c : {known, unknown}) {
        SimulationFixture plain(c);
        ASSERT_TRUE(plain.simulate(2).completed());
        std::vector<RestErrorHeader> baselines;
        for (unsigned threads : {1u, 2u}) {
            SimulationFixture both(c);
            both.baseline = &baselines.emplace_back();
            const SimulationResult result = both.simulate(threads);
            ASSERT_TRUE(result.completed());
            expectSameGrid(*both.errors, *plain.errors);
            expectSameSeries(*both.series, *plain.series);
            EXPECT_EQ(both.streams, plain.streams);
            EXPECT_EQ(result.exactHits.size(), result.baselineHits.size());
            EXPECT_EQ(result.truePulses[0], c.repeats * c.firstPulses);
        }
        expectSameGrid(baselines[0], baselines[1]);
        EXPECT_EQ(baselines[0].ifComplete, 1);
    }
    // Tuples have no baseline: refused, nothing kept.
    Case tuples;
    tuples.task = 36;
    tuples.seriesType = 36;
    tuples.subsets = {{3, 7}};
    SimulationFixture f(tuples);
    RestErrorHeader untouched;
    f.baseline = &untouched;
    const RestErrorHeader before = *f.errors;
    EXPECT_FALSE(f.simulate(1).completed());
    EXPECT_EQ(*f.errors, before);
    EXPECT_EQ(untouched, RestErrorHeader{});
    EXPECT_EQ(f.sink.messages.size(), 1u);
}

TEST(Simulation, RecognitionStepsThroughTheListAndJointDetectionCountsLikeAnOdometer) {
    const RestoringProcedures reporters = etalonReporters();
    Case recognition;
    recognition.list = {4, 6, 8};
    recognition.firstPulses = 3;
    recognition.pulseSteps = 1;
    recognition.noiseSteps = 1;
    recognition.repeats = 9;
    SimulationFixture r(recognition);
    const SimulationResult stepped = r.simulate(2, &reporters);
    ASSERT_TRUE(stepped.completed());
    EXPECT_EQ(texts(stepped.messages),
              (std::vector<std::string>{"4 4 4 ", "4 4 4 ", "4 4 4 ", "6 6 6 ", "6 6 6 ", "6 6 6 ",
                                        "8 8 8 ", "8 8 8 ", "8 8 8 "}));

    Case joint = recognition;
    joint.task = 4;
    joint.firstPulses = 2;
    joint.repeats = 8;
    SimulationFixture j(joint);
    const SimulationResult counted = j.simulate(2, &reporters);
    ASSERT_TRUE(counted.completed());
    EXPECT_EQ(texts(counted.messages), (std::vector<std::string>{"4 4 ", "4 4 ", "6 4 ", "6 4 ",
                                                                 "8 4 ", "8 4 ", "4 6 ", "4 6 "}));
}

TEST(Simulation, ExactRestorationGivesNoErrors) {
    RestoringProcedures exact;
    exact.detectKnownNumberChain = [](MessageSink&, std::span<const PulseHeader>,
                                      std::span<const uint16_t>, const SearchBounds&,
                                      ChainsHeader* chains, SeriesHeader& s) {
        s.wRestoredQuantity = s.wImpulseQuantity;
        chains->wSeekingPulsesQuantity = s.wImpulseQuantity;
        for (std::size_t i = 0; i < s.wImpulseQuantity; ++i) {
            s.lpRestoredPositions[i] = s.lpPositions[i];
            s.lpRestoredEtalons[i] = s.lpEtalons[i];
            s.lpRestoredCutStarts[i] = s.lpCutStarts[i];
            s.lpRestoredCutEnds[i] = s.lpCutEnds[i];
        }
        return 0;
    };
    Case c;
    c.task = 1;
    c.firstPulses = 4;
    c.pulseSteps = 1;
    c.noiseSteps = 1;
    c.repeats = 1;
    SimulationFixture f(c);
    ASSERT_TRUE(f.simulate(1, &exact).completed());
    EXPECT_EQ(f.errors->lpErrors(0)[0], 0u);
    EXPECT_EQ(f.errors->lpDetectionErrors(0)[0], 0u);
    EXPECT_EQ(f.errors->ifComplete, 1);
    EXPECT_EQ(f.series->wRestoredQuantity, 4);
}

// A refused or cancelled run leaves the caller's records as they were.
struct Snapshot {
    RestErrorHeader errors;
    SeriesHeader series;
    RandomStreams streams;
    explicit Snapshot(const SimulationFixture& f)
        : errors(*f.errors), series(*f.series), streams(f.streams) {}
    void expectUnchanged(const SimulationFixture& f) const {
        expectSameGrid(*f.errors, errors);
        EXPECT_EQ(f.errors->ifComplete, 0);
        expectSameSeries(*f.series, series);
        EXPECT_EQ(f.streams, streams);
    }
};

TEST(Simulation, RunsThatCannotWorkAreRefusedAndChangeNothing) {
    struct Refusal {
        Case c;
        std::string text, caption;
    };
    Case tuplesWithoutSubset;
    tuplesWithoutSubset.task = 36;
    tuplesWithoutSubset.seriesType = 36;
    Case emptyList;
    emptyList.list = {};
    Case noStoredSubsets;  // a current subset but nothing stored
    noStoredSubsets.task = 40;
    noStoredSubsets.seriesType = 36;
    Case badEtalon;
    badEtalon.list = {3, 21};
    const std::vector<Refusal> refusals{
        {tuplesWithoutSubset, "Error: selected Subset is absence!", " About selectedSubset "},
        {emptyList, "Empty list of etalons!", " About statCutoffVarnel "},
        {noStoredSubsets, "Error: reserved subsets are absence!", " About statCutoffVarnel "},
        {badEtalon, "Wrong etalon number in the list of etalons!", " About statCutoffVarnel "},
    };
    for (const Refusal& refusal : refusals) {
        SCOPED_TRACE(refusal.text);
        SimulationFixture f(refusal.c);
        if (refusal.c.task == 40)
            setSelectedSubset(std::vector<int32_t>{2, 3}, 4, 1, f.series.get());
        const Snapshot before(f);
        const SimulationResult result = f.simulate(2);
        EXPECT_EQ(result.outcome, SimulationOutcome::Failed);
        ASSERT_EQ(f.sink.messages.size(), 1u);
        EXPECT_EQ(f.sink.last().text, refusal.text);
        EXPECT_EQ(f.sink.last().caption, refusal.caption);
        before.expectUnchanged(f);
    }

    SimulationFixture f{Case{}};
    EXPECT_FALSE(
        statCutoffVarnel(f.sink, f.run(), {nullptr, f.series.get(), &f.streams}).completed());
    EXPECT_EQ(f.sink.last().text, "Absence of RestoreErrorHeader!");
    EXPECT_EQ(f.sink.last().caption, "statCutoffVarnel");
}

// A budget that holds one series but not two restores them one at a time,
// says so and gives the same grid; one that holds none refuses and keeps
// everything; the refusal's suggestions fit.
TEST(Simulation, AMemoryBudgetRunsFewerSeriesAtOnceOrRefuses) {
    SimulationFixture unlimited{Case{}};
    ASSERT_TRUE(unlimited.simulate(2).completed());

    SimulationFixture f{Case{}};
    const Snapshot before(f);
    const MemoryBudget none{1, "the limit set by ETALON_MEMORY_LIMIT"};
    EXPECT_EQ(f.simulate(2, nullptr, {}, nullptr, &none).outcome, SimulationOutcome::Refused);
    ASSERT_EQ(f.sink.messages.size(), 1u);
    EXPECT_NE(f.sink.last().text.find("Restoring one series of the simulation needs "),
              std::string::npos)
        << f.sink.last().text;
    EXPECT_NE(f.sink.last().text.find("1 KB is the limit set by ETALON_MEMORY_LIMIT."),
              std::string::npos)
        << f.sink.last().text;
    before.expectUnchanged(f);

    RestoringRequest request;
    request.alphabet = f.alphabet;
    request.etalons = f.c.list;
    request.tmin = 40;
    request.tmax = 181;
    request.series = f.series.get();
    const auto procedure = chooseRestoringProcedure(TaskCode{f.c.task}, SeriesCode{f.c.seriesType});
    const std::size_t need = geometryMemoryNeed(procedure, request, 200, 4);
    const MemoryBudget one{need + need / 2, "available (MemAvailable)"};
    f.sink.messages.clear();
    ASSERT_TRUE(f.simulate(2, nullptr, {}, nullptr, &one).completed());
    ASSERT_EQ(f.sink.messages.size(), 1u);
    EXPECT_NE(f.sink.last().text.find(": 1 of the 2 threads restore at once."), std::string::npos)
        << f.sink.last().text;
    expectSameGrid(*f.errors, *unlimited.errors);

    // A long series at Tmin 1: the suggested Tmin and length fit, one step less does not.
    auto big = getCutOffSeriesHeader(f.sink, kEtalonsNumber, kEtalonLength, 1, 181, 16000, nullptr);
    ASSERT_TRUE(big);
    big->dwSeriesSize = 16000;
    big->wImpulseSize = kEtalonLength;
    request.series = big.get();
    request.tmin = 1;
    const std::size_t bigNeed = geometryMemoryNeed(procedure, request, 16000, 4000);
    const BudgetFit fit = fitRestoring(procedure, request, bigNeed, bigNeed / 8);
    ASSERT_TRUE(fit.tmin && fit.length);
    const auto needAt = [&](uint16_t tmin, uint32_t length) {
        RestoringRequest r = request;
        r.tmin = tmin;
        const PulseCountBounds b = pulseCountBounds(length, kEtalonLength, tmin, 181);
        return geometryMemoryNeed(procedure, r, length,
                                  static_cast<uint16_t>((b.minPulses + b.maxPulses) / 2));
    };
    EXPECT_LE(needAt(*fit.tmin, 16000), bigNeed / 8);
    EXPECT_GT(needAt(*fit.tmin - 1, 16000), bigNeed / 8);
    EXPECT_LE(needAt(1, *fit.length), bigNeed / 8);
    EXPECT_GT(needAt(1, *fit.length + 1), bigNeed / 8);
}

TEST(Simulation, GridsWithoutPointsCompleteWithoutMakingSeries) {
    for (const auto& [pulseSteps, noiseSteps, repeats] :
         {std::tuple{2, 0, 1}, std::tuple{0, 2, 1}, std::tuple{2, 2, 0}}) {
        SCOPED_TRACE(testing::Message() << pulseSteps << "x" << noiseSteps << "x" << repeats);
        Case c;
        c.pulseSteps = static_cast<uint16_t>(pulseSteps);
        c.noiseSteps = static_cast<uint16_t>(noiseSteps);
        c.repeats = static_cast<uint32_t>(repeats);
        SimulationFixture f(c);
        const RandomStreams before = f.streams;
        uint32_t progressed = 0;
        const SimulationResult result = f.simulate(2, nullptr, [&](uint32_t) { ++progressed; });
        EXPECT_TRUE(result.completed());
        EXPECT_TRUE(result.messages.empty());
        EXPECT_EQ(progressed, 0u);
        EXPECT_EQ(f.streams.wNoiseSeed, before.wNoiseSeed);
    }
}

// Whatever a worker or the progress callback throws stops the run wherever it
// falls: the run says why and, as after Cancel, keeps nothing.
TEST(Simulation, AnExceptionInTheRunIsReportedAndKeepsNothing) {
    Case c;
    c.repeats = 20;  // 80 series
    for (int k : {1, 17, 80}) {
        SCOPED_TRACE("thrown by procedure call " + std::to_string(k));
        std::atomic<int> calls = 0;
        RestoringProcedures throwing = workbenchRestoringProcedures();
        throwing.recognizeKnownNumberChain =
            [&, real = throwing.recognizeKnownNumberChain](auto&&... arguments) {
                if (++calls == k) throw std::runtime_error("no lane left");
                return real(arguments...);
            };
        SimulationFixture f(c);
        const Snapshot before(f);
        const SimulationResult result = f.simulate(2, &throwing);
        EXPECT_EQ(result.outcome, SimulationOutcome::Failed);
        ASSERT_EQ(f.sink.messages.size(), 1u);
        EXPECT_EQ(f.sink.last().text, "The simulation stopped: no lane left");
        EXPECT_EQ(f.sink.last().caption, " About statCutoffVarnel ");
        before.expectUnchanged(f);
    }

    SimulationFixture f(c);
    const Snapshot before(f);
    const SimulationResult result = f.simulate(2, nullptr, [](uint32_t done) {
        if (done == 5) throw 5;
    });
    EXPECT_EQ(result.outcome, SimulationOutcome::Failed);
    EXPECT_EQ(f.sink.last().text, "The simulation stopped on an unknown error.");
    before.expectUnchanged(f);
}

TEST(Simulation, ProgressCountsEverySeriesAndCancelKeepsNothing) {
    Case c;
    c.repeats = 20;
    SimulationFixture complete(c);
    std::vector<uint32_t> reported;
    ASSERT_TRUE(complete.simulate(4, nullptr, [&](uint32_t done) { reported.push_back(done); })
                    .completed());
    ASSERT_EQ(reported.size(), 80u);
    for (std::size_t i = 0; i < reported.size(); ++i)
        EXPECT_EQ(reported[i], i + 1);

    for (uint32_t cancelAfter : {0u, 5u}) {
        SCOPED_TRACE(cancelAfter);
        SimulationFixture f(c);
        const Snapshot before(f);
        std::atomic<bool> cancel = cancelAfter == 0;
        const SimulationResult result = f.simulate(
            2, nullptr, [&](uint32_t done) { cancel = cancel || done >= cancelAfter; }, &cancel);
        EXPECT_EQ(result.outcome, SimulationOutcome::Cancelled);
        before.expectUnchanged(f);
    }
}

}  // namespace
}  // namespace etalon::test
