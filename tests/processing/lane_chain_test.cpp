// The recognitions run the etalons of their list eight to a group of vector
// lanes: lists that fill their groups, leave the last one part-empty or
// repeat etalons must give the reference's results, record and all.
#include <gtest/gtest.h>

#include <algorithm>
#include <numeric>
#include <random>

#include "oracle/oracle_processing.h"
#include "processing/processing_support.h"
#include "processing/restoring.h"
#include "support/recording_sink.h"

namespace etalon::test {
namespace {

struct Outcome {
    int returned = 0;
    std::vector<std::string> texts;
};

Outcome recognize(const RestoringProcedures& table, RestoringProcedure procedure,
                  std::span<const PulseHeader> alphabet, const std::vector<uint16_t>& list,
                  const SearchBounds& bounds, ChainsHeader* chains, SeriesHeader& series,
                  RestoringWork* work = nullptr) {
    RecordingSink sink;
    Outcome o;
    int32_t debugging = 0;
    RestoringRequest request;
    request.alphabet = alphabet;
    request.etalons = list;
    request.tmin = bounds.tmin;
    request.tmax = bounds.tmax;
    request.processingLevel = bounds.processingLevel;
    request.debugging = &debugging;
    request.chains = chains;
    request.series = &series;
    request.work = work;
    o.returned = runRestoringProcedure(sink, procedure, request, table);
    for (const auto& m : sink.messages)
        o.texts.push_back(m.text);
    return o;
}

std::vector<std::vector<uint16_t>> groupShapes(std::mt19937& rng) {
    std::vector<uint16_t> all(20);
    std::iota(all.begin(), all.end(), uint16_t{1});
    std::vector<std::vector<uint16_t>> lists;
    for (const std::size_t n : {1, 7, 8, 9, 16, 17, 20}) {
        std::shuffle(all.begin(), all.end(), rng);
        lists.emplace_back(all.begin(), all.begin() + n);
    }
    // Repeats within a group and across groups; nine distinct etalons.
    lists.push_back({5, 3, 5, 12, 3, 3, 7, 5, 20, 1, 9, 12, 14, 2, 5, 20});
    return lists;
}

void compareEveryGroupShape(RestoringProcedure procedure) {
    std::mt19937 rng(2024);
    SeriesFromRecipe maker;
    struct Geometry {
        uint16_t type;
        uint32_t length;
        uint16_t tmin, tmax;  // the series'
        uint16_t runTmin, runTmax;
    };
    // Blocks of one position (Tmin = Tmax), windows cut at the series start,
    // Tmin above Tmax (every window empty) and windows wider than the series'.
    const Geometry geometries[] = {{1, 300, 40, 181, 40, 181}, {4, 400, 12, 60, 12, 60},
                                   {32, 300, 30, 30, 30, 30},  {8, 250, 25, 90, 25, 90},
                                   {1, 170, 40, 60, 60, 50},   {2, 300, 40, 181, 3, 250}};
    int compared = 0;
    for (const Geometry& g : geometries) {
        for (const auto& list : groupShapes(rng)) {
            SeriesRecipe recipe;
            recipe.type = g.type;
            recipe.length = g.length;
            recipe.tmin = g.tmin;
            recipe.tmax = g.tmax;
            recipe.noise = static_cast<int16_t>(std::uniform_int_distribution<int>(0, 60)(rng));
            recipe.sequence.resize(40);
            for (auto& e : recipe.sequence)
                e = static_cast<uint16_t>(std::uniform_int_distribution<int>(1, 20)(rng));
            if (!maker.make(recipe)) continue;
            const SearchBounds bounds{.tmin = g.runTmin,
                                      .tmax = g.runTmax,
                                      .processingLevel = uint16_t(compared % 3 == 0 ? 80 : 100)};
            // No record, a full one, and a small one with short rows that
            // keeps only the two best chains.
            for (const int record : {0, 1, 2}) {
                const uint16_t pulses = record == 2 ? 4 : maker.series().wMaxPulses;
                auto fastChains = makeChains(pulses, record == 2 ? 2 : 10);
                auto slowChains = makeChains(pulses, record == 2 ? 2 : 10);
                SeriesHeader fast = maker.series(), slow = maker.series();
                markRestored(fast);
                markRestored(slow);
                const Outcome f =
                    recognize(workbenchRestoringProcedures(), procedure, maker.alphabet(), list,
                              bounds, record ? fastChains.get() : nullptr, fast);
                const Outcome s =
                    recognize(oracle::referenceRestoringProcedures(), procedure, maker.alphabet(),
                              list, bounds, record ? slowChains.get() : nullptr, slow);
                const std::string where = "type " + std::to_string(g.type) + ", Tmin " +
                                          std::to_string(g.runTmin) + ", " +
                                          std::to_string(list.size()) + " entries, record " +
                                          std::to_string(record);
                ASSERT_EQ(f.returned, s.returned) << where;
                ASSERT_EQ(diffSeries(fast, slow), "") << where;
                ASSERT_EQ(diffChains(*fastChains, *slowChains), "") << where;
                ASSERT_EQ(f.texts, s.texts) << where;
                // The same chains read out from checkpoints instead of every layer;
                // stretches in two passes of the least room, of short
                // sub-stretches, or in one.
                RestoringWork checkpoints;
                checkpoints.everyLayerBudget = 0;
                checkpoints.traceCacheBytes = record == 0 ? 0 : record == 1 ? 48 << 10 : 16 << 20;
                auto againChains = makeChains(pulses, record == 2 ? 2 : 10);
                SeriesHeader again = maker.series();
                markRestored(again);
                const Outcome c =
                    recognize(workbenchRestoringProcedures(), procedure, maker.alphabet(), list,
                              bounds, record ? againChains.get() : nullptr, again, &checkpoints);
                ASSERT_EQ(c.returned, s.returned) << where << ", checkpoints";
                ASSERT_EQ(diffSeries(again, slow), "") << where << ", checkpoints";
                ASSERT_EQ(diffChains(*againChains, *slowChains), "") << where << ", checkpoints";
                ++compared;
            }
        }
    }
    EXPECT_GE(compared, 100);
}

TEST(LaneRecognition, KnownNumberChainOnEveryGroupShape) {
    compareEveryGroupShape(RestoringProcedure::RecognizeKnownNumberChain);
}

TEST(LaneRecognition, UnknownNumberChainOnEveryGroupShape) {
    compareEveryGroupShape(RestoringProcedure::RecognizeUnknownNumberChain);
}

}  // namespace
}  // namespace etalon::test
