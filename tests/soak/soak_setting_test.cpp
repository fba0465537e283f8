#include "soak/soak_setting.h"

#include <gtest/gtest.h>

#include <set>

#include "series/series_header.h"

namespace etalon::soak {
namespace {

TEST(SoakSettings, DrawnFromSeedAndIndexCappedAndCoveringTheOddCases) {
    constexpr uint64_t kSeed = 77;
    constexpr uint64_t kBound = 5'000'000;
    std::set<uint16_t> types, tasks;
    int reversedBounds = 0, outsideCounts = 0, emptyLists = 0, longSubsets = 0, oddEtalons = 0;
    for (uint64_t i = 0; i < 2000; ++i) {
        SCOPED_TRACE(i);
        SoakSetting s = drawSetting(kSeed, i);
        EXPECT_EQ(describe(s), describe(drawSetting(kSeed, i)));  // resumable
        capWork(s, kBound);
        EXPECT_LE(estimatedSteps(s), kBound);
        EXPECT_GE(s.length, 1u);
        types.insert(codeNumber(s.seriesType));
        tasks.insert(codeNumber(s.taskType));
        reversedBounds += s.tmin > s.tmax;
        const PulseCountBounds b = pulseCountBounds(s.length, kEtalonLength, s.tmin, s.tmax);
        outsideCounts += s.pulses < b.minPulses || s.pulses > b.maxPulses;
        emptyLists += s.list.empty();
        longSubsets += s.subset.size() > b.maxPulses;
        for (uint16_t e : s.list)
            oddEtalons += e == 0 || e > kEtalonsNumber;
    }
    EXPECT_EQ(types.size(), 8u);
    EXPECT_EQ(tasks.size(), 9u);
    EXPECT_GT(reversedBounds, 20);
    EXPECT_GT(outsideCounts, 100);
    EXPECT_GT(emptyLists, 50);
    EXPECT_GT(longSubsets, 50);
    EXPECT_GT(oddEtalons, 50);
    EXPECT_NE(describe(drawSetting(kSeed, 1)), describe(drawSetting(kSeed + 1, 1)));
}

}  // namespace
}  // namespace etalon::soak
