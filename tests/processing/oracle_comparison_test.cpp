// The fast procedures against their step-by-step references on random series
// of every type, noise and level.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <random>

#include "oracle/oracle_processing.h"
#include "processing/cpu_dispatch.h"
#include "processing/processing_support.h"
#include "processing/restoring.h"
#include "support/recording_sink.h"

namespace etalon::test {
namespace {

using Procedure = RestoringProcedure;

struct Geometry {
    uint32_t length;
    uint16_t tmin, tmax;
};

// Default, shorter series, Tmin = Tmax, Tmin below the pulse length.
constexpr Geometry kGeometries[] = {{1200, 40, 181}, {600, 40, 181}, {200, 40, 181},
                                    {300, 30, 30},   {400, 12, 60},  {250, 25, 90}};
constexpr uint16_t kTypes[] = {1, 2, 4, 8, 16, 32, 36, 40};

struct Case {
    SeriesRecipe recipe;
    uint16_t processingLevel = 100;
    std::vector<uint16_t> list;
    std::vector<std::vector<int32_t>> tuples;
    uint16_t proceeding = 1;
    uint16_t tmin = 40, tmax = 181;
    int32_t debugging = 0;
};

int pick(std::mt19937& rng, int lo, int hi) {
    return std::uniform_int_distribution<int>(lo, hi)(rng);
}

// Levels at the ends of the range come up often.
uint16_t pickLevel(std::mt19937& rng) {
    switch (pick(rng, 0, 4)) {
        case 0:
            return 0;
        case 1:
            return 100;
        case 2:
            return 100;
        default:
            return static_cast<uint16_t>(pick(rng, 0, 100));
    }
}

std::vector<int32_t> randomTuple(std::mt19937& rng, int maxLength) {
    std::vector<int32_t> t(pick(rng, 1, maxLength));
    for (auto& m : t)
        m = pick(rng, 1, 20);
    return t;
}

Case randomCase(std::mt19937& rng, Procedure p) {
    Case c;
    const Geometry g = kGeometries[pick(rng, 0, std::size(kGeometries) - 1)];
    c.recipe.type = kTypes[pick(rng, 0, std::size(kTypes) - 1)];
    c.recipe.length = g.length;
    c.recipe.tmin = c.tmin = g.tmin;
    c.recipe.tmax = c.tmax = g.tmax;
    c.recipe.noise = static_cast<int16_t>(pick(rng, 0, 100));
    c.recipe.makingLevel = pickLevel(rng);
    c.processingLevel = pickLevel(rng);
    c.recipe.sequence.resize(40);
    for (auto& e : c.recipe.sequence)
        e = static_cast<uint16_t>(pick(rng, 1, 20));
    c.list.resize(pick(rng, 1, 20));
    for (auto& e : c.list)
        e = static_cast<uint16_t>(pick(rng, 1, 20));
    if (pick(rng, 0, 4) == 0 && c.list.size() > 1) c.list[1] = c.list[0];  // a repeated etalon
    const int tupleCount = pick(rng, 1, 4);
    for (int i = 0; i < tupleCount; ++i)
        c.tuples.push_back(randomTuple(rng, 6));
    if (pick(rng, 0, 5) == 0) c.tuples.push_back(c.tuples.front());     // identical candidates
    if (pick(rng, 0, 5) == 0) c.tuples.front() = randomTuple(rng, 40);  // longer than the count
    c.recipe.subset = c.tuples.back();
    c.recipe.employment = static_cast<uint16_t>(pick(rng, 4, 5));
    c.proceeding = static_cast<uint16_t>(pick(rng, 1, 2));
    c.debugging = pick(rng, 0, 9) == 0;
    (void)p;
    return c;
}

// Keeps the references affordable: their fits cost O(L^3) with windows and
// are redone for every layer and candidate.
void trimCost(Case& c, const SeriesHeader& s, Procedure p) {
    const double q = s.wImpulseQuantity, n = s.dwSeriesSize;
    auto fitCost = [&] { return c.processingLevel < 100 ? 1500.0 : 60.0; };
    auto cost = [&] {
        double tuplesWork = 0;
        for (const auto& t : c.tuples)
            tuplesWork += c.proceeding == 1 ? 1 : t.size();
        double layersWork = 0;
        for (const auto& t : c.tuples)
            layersWork += std::min<double>(t.size(), s.wMaxPulses);
        switch (p) {
            case Procedure::DetectKnownNumberChain:
            case Procedure::RecognizeKnownNumberChain:
                return q * n / 2 * c.list.size() * fitCost();
            case Procedure::DetectUnknownNumberChain:
            case Procedure::RecognizeUnknownNumberChain:
                return n * c.list.size() * fitCost();
            case Procedure::DetectKnownNumberTuples:
                return q * n / 2 * (c.proceeding == 1 ? 1 : c.tuples.back().size()) * fitCost();
            case Procedure::RecognizeKnownNumberTuples:
                return q * n / 2 * tuplesWork * fitCost();
            case Procedure::TuplesDetection:
                return n * c.tuples.back().size() * fitCost();
            case Procedure::TuplesRecognition:
                return n * layersWork * fitCost();
            case Procedure::None:
                break;
        }
        return 0.0;
    };
    constexpr double kBudget = 2e7;
    while (cost() > kBudget && c.list.size() > 1)
        c.list.pop_back();
    while (cost() > kBudget && c.tuples.size() > 1)
        c.tuples.erase(c.tuples.begin());
    if (cost() > kBudget) c.processingLevel = 100;
    while (cost() > kBudget && c.tuples.back().size() > 1)
        c.tuples.back().pop_back();
}

std::vector<std::span<const int32_t>> spans(const std::vector<std::vector<int32_t>>& tuples) {
    return {tuples.begin(), tuples.end()};
}

struct Outcome {
    int returned = 0;
    std::vector<std::string> texts;
};

// One procedure from a table, the fast one or its reference.
Outcome run(const RestoringProcedures& table, Procedure p, const Case& c,
            std::span<const PulseHeader> alphabet, ChainsHeader* chains, SeriesHeader& s,
            RestoringWork* work = nullptr) {
    RecordingSink sink;
    Outcome o;
    int32_t debugging = c.debugging;
    const auto tuples = spans(c.tuples);
    RestoringRequest request;
    request.alphabet = alphabet;
    request.etalons = c.list;
    request.pattern = c.tuples.back();
    request.patterns = tuples;
    request.tmin = c.tmin;
    request.tmax = c.tmax;
    request.processingLevel = c.processingLevel;
    request.proceeding = c.proceeding;
    request.debugging = &debugging;
    request.chains = chains;
    request.series = &s;
    request.work = work;
    o.returned = runRestoringProcedure(sink, p, request, table);
    for (const auto& m : sink.messages)
        o.texts.push_back(m.text);
    if (p == Procedure::TuplesDetection || p == Procedure::TuplesRecognition) {
        EXPECT_EQ(debugging, 0);
    }
    return o;
}

void compareOnRandomSeries(Procedure p, unsigned seed, int cases) {
    std::mt19937 rng(seed);
    SeriesFromRecipe maker;
    int compared = 0, withChains = 0;
    for (int i = 0; compared < cases && i < cases * 3; ++i) {
        Case c = randomCase(rng, p);
        if (!maker.make(c.recipe)) continue;
        trimCost(c, maker.series(), p);
        auto fast = std::make_unique<SeriesHeader>(maker.series());
        auto slow = std::make_unique<SeriesHeader>(maker.series());
        markRestored(*fast);
        markRestored(*slow);
        // Some runs without a results record, and some with a small one.
        const bool record = pick(rng, 0, 5) != 0;
        const uint16_t size = static_cast<uint16_t>(pick(rng, 0, 3) == 0 ? pick(rng, 1, 3) : 10);
        auto fastChains = makeChains(maker.series().wMaxPulses, size);
        auto slowChains = makeChains(maker.series().wMaxPulses, size);
        ChainsHeader* fc = record ? fastChains.get() : nullptr;
        ChainsHeader* sc = record ? slowChains.get() : nullptr;

        const Outcome f = run(workbenchRestoringProcedures(), p, c, maker.alphabet(), fc, *fast);
        const Outcome s =
            run(oracle::referenceRestoringProcedures(), p, c, maker.alphabet(), sc, *slow);
        const std::string where =
            "case " + std::to_string(i) + " type " + std::to_string(c.recipe.type) + " N " +
            std::to_string(c.recipe.length) + " level " + std::to_string(c.processingLevel) + ": ";
        ASSERT_EQ(f.returned, s.returned) << where;
        ASSERT_EQ(diffSeries(*fast, *slow), "") << where;
        if (record) {
            ASSERT_EQ(diffChains(*fastChains, *slowChains), "") << where;
        }
        ASSERT_EQ(f.texts, s.texts) << where;
        // Lane chains read out from checkpoints instead of every layer, each
        // stretch in one pass or, with no cache to keep it in, in two.
        RestoringWork checkpoints;
        checkpoints.everyLayerBudget = 0;
        if (i % 2) checkpoints.traceCacheBytes = 0;
        auto again = std::make_unique<SeriesHeader>(maker.series());
        markRestored(*again);
        auto againChains = makeChains(maker.series().wMaxPulses, size);
        const Outcome a = run(workbenchRestoringProcedures(), p, c, maker.alphabet(),
                              record ? againChains.get() : nullptr, *again, &checkpoints);
        ASSERT_EQ(a.returned, s.returned) << where << "checkpoints";
        ASSERT_EQ(diffSeries(*again, *slow), "") << where << "checkpoints";
        if (record) {
            ASSERT_EQ(diffChains(*againChains, *slowChains), "") << where << "checkpoints";
        }
        withChains += fast->wRestoredQuantity > 0;
        ++compared;
    }
    EXPECT_EQ(compared, cases);
    // The comparisons must mostly be about real chains.
    EXPECT_GT(withChains, cases / 2);
}

constexpr int kCases = 300;

// The comparisons run once on each path (scripts/test sets the variable for
// the second run), so the switch must really switch.
TEST(OracleComparison, PlainLoopsWhenTheEnvironmentAsks) {
    const char* plain = std::getenv("ETALON_PLAIN_LOOPS");
    if (plain && *plain && std::strcmp(plain, "0") != 0) {
        EXPECT_FALSE(vectorLoops());
        return;
    }
#if ETALON_AVX2_TWINS && !defined(ETALON_FORCE_PLAIN_LOOPS)
    EXPECT_EQ(vectorLoops(), __builtin_cpu_supports("avx2") != 0);
#else
    EXPECT_FALSE(vectorLoops());
#endif
}

TEST(OracleComparison, DetectKnownNumberChain) {
    compareOnRandomSeries(Procedure::DetectKnownNumberChain, 11, kCases);
}
TEST(OracleComparison, RecognizeKnownNumberChain) {
    compareOnRandomSeries(Procedure::RecognizeKnownNumberChain, 12, kCases);
}
TEST(OracleComparison, DetectUnknownNumberChain) {
    compareOnRandomSeries(Procedure::DetectUnknownNumberChain, 13, kCases);
}
TEST(OracleComparison, RecognizeUnknownNumberChain) {
    compareOnRandomSeries(Procedure::RecognizeUnknownNumberChain, 14, kCases);
}
TEST(OracleComparison, DetectKnownNumberTuples) {
    compareOnRandomSeries(Procedure::DetectKnownNumberTuples, 15, kCases);
}
TEST(OracleComparison, RecognizeKnownNumberTuples) {
    compareOnRandomSeries(Procedure::RecognizeKnownNumberTuples, 16, kCases);
}
TEST(OracleComparison, TuplesDetection) {
    compareOnRandomSeries(Procedure::TuplesDetection, 17, kCases);
}
TEST(OracleComparison, TuplesRecognition) {
    compareOnRandomSeries(Procedure::TuplesRecognition, 18, kCases);
}

}  // namespace
}  // namespace etalon::test
