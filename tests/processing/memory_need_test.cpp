// The memory a restoring procedure says it needs bounds what it allocates,
// and is near enough to be worth refusing a request by.
#include <gtest/gtest.h>

#include <random>

#include <vector>

#include "processing/matched_filter.h"
#include "processing/processing_support.h"
#include "processing/recording_chain.h"
#include "processing/restoring.h"
#include "support/heap_counter.h"
#include "support/recording_sink.h"

namespace etalon {
namespace {

using P = RestoringProcedure;

struct Case {
    P procedure;
    uint16_t type;
};

struct Geometry {
    uint32_t length;
    uint16_t tmin;
};

TEST(MemoryNeed, BoundsWhatEveryProcedureAllocates) {
    const std::vector<Case> cases = {
        {P::DetectKnownNumberChain, 2},   {P::RecognizeKnownNumberChain, 2},
        {P::DetectUnknownNumberChain, 8}, {P::RecognizeUnknownNumberChain, 8},
        {P::DetectKnownNumberTuples, 36}, {P::RecognizeKnownNumberTuples, 36},
        {P::TuplesDetection, 40},         {P::TuplesRecognition, 40},
    };
    // The default geometry, and one whose lane tables pass their budget.
    const Geometry geometries[] = {{1200, 40}, {6000, 3}};
    const std::vector<uint16_t> all = {1,  2,  3,  4,  5,  6,  7,  8,  9,  10,
                                       11, 12, 13, 14, 15, 16, 17, 18, 19, 20};
    const std::vector<int32_t> pattern = {3, 7, 12};
    const std::vector<std::vector<int32_t>> stored = {{5, 9, 2}, {3, 7, 12}, {14, 1, 18}};
    const std::vector<std::span<const int32_t>> patterns(stored.begin(), stored.end());
    for (const Geometry& g : geometries) {
        for (const Case& c : cases) {
            SCOPED_TRACE(std::string(restoringProcedureName(c.procedure)) + " at N " +
                         std::to_string(g.length) + ", Tmin " + std::to_string(g.tmin));
            test::SeriesFromRecipe made;
            test::SeriesRecipe recipe;
            recipe.type = c.type;
            recipe.length = g.length;
            recipe.tmin = g.tmin;
            recipe.makingLevel = 75;
            recipe.sequence.assign(8, 5);
            if (c.type >= 36) recipe.subset = pattern;
            ASSERT_TRUE(made.make(recipe));
            auto chains = test::makeChains(made.series().wMaxPulses);
            test::RecordingSink sink;
            int32_t debugging = 0;
            RestoringWork work;
            RestoringRequest request;
            request.alphabet = made.alphabet();
            request.etalons = all;
            request.pattern = pattern;
            request.patterns = patterns;
            request.tmin = g.tmin;
            request.tmax = 181;
            request.processingLevel = 75;
            request.proceeding = 2;  // every shift of every pattern: lanes for the tuples
            request.debugging = &debugging;
            request.chains = chains.get();
            request.series = &made.series();
            request.work = &work;
            const std::size_t need = restoringMemoryNeed(c.procedure, request);
            test::resetHeapPeak();
            runRestoringProcedure(sink, c.procedure, request);
            const std::size_t used = test::heapPeakSinceReset();
            EXPECT_TRUE(sink.empty());
            EXPECT_LE(used, need);
            EXPECT_LE(need, 2 * used + (std::size_t{1} << 20)) << "used " << used;
            if (!matchedFilterRestores(c.procedure)) continue;
            // The matched filter's own estimate, on the same series.
            const std::size_t baselineNeed = matchedFilterMemoryNeed(request);
            test::resetHeapPeak();
            runMatchedFilter(sink, c.procedure, request);
            const std::size_t baselineUsed = test::heapPeakSinceReset();
            EXPECT_LE(baselineUsed, baselineNeed);
            EXPECT_LE(baselineNeed, 2 * baselineUsed + (std::size_t{1} << 20));
        }
    }
}

// The whole-recording chain at a million samples: what it takes besides the
// samples stays within its estimate, and the estimate within the 64 MB the
// run is allowed over its samples.
TEST(MemoryNeed, TheWholeRecordingChainStaysWithinItsEstimate) {
    test::SeriesFromRecipe made;
    std::vector<int16_t> samples(1'000'000);
    std::mt19937 random(36);
    std::normal_distribution<double> noise(0, 40);
    for (int16_t& v : samples)
        v = static_cast<int16_t>(noise(random));
    const std::vector<uint16_t> list = {1, 3, 5};
    for (const auto task : {RecordingTask::Detection, RecordingTask::Recognition}) {
        for (const uint16_t level : {uint16_t{100}, uint16_t{75}}) {
            RecordingChainRequest r;
            r.samples = samples;
            r.alphabet = made.alphabet();
            r.etalons = list;
            r.geometry = {40, 181};
            r.processingLevel = level;
            r.task = task;
            const std::size_t need = recordingChainMemoryNeed(r);
            test::resetHeapPeak();
            const RecordingChainResult result = restoreRecordingChain(r);
            const std::size_t peak = test::heapPeakSinceReset();
            EXPECT_LE(peak, need) << level;
            EXPECT_LE(need, std::size_t{64} << 20);
            EXPECT_FALSE(result.chains.empty());
        }
    }
}

}  // namespace
}  // namespace etalon
