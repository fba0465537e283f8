#include "soak/soak_setting.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <set>

#include "series/series_header.h"
#include "soak/soak_files.h"

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

TEST(SoakSettings, FileSettingsReachEveryFormatAndTheEndsOfTheAlphabetBounds) {
    constexpr uint64_t kBound = 5'000'000;
    std::set<int> recordings, wavs;
    std::set<std::size_t> counts;
    std::size_t shortest = 1000, longest = 2;
    int oddAlphabets = 0, overLong = 0;
    for (uint64_t i = 0; i < 3000; ++i) {
        SCOPED_TRACE(i);
        FileSetting f = drawFileSetting(77, i);
        EXPECT_EQ(describe(f), describe(drawFileSetting(77, i)));  // resumable
        capWork(f, kBound);
        EXPECT_LE(f.samples.size() * f.list.size() * f.etalons.front().size(), kBound);
        recordings.insert(static_cast<int>(f.recordingFormat));
        wavs.insert(static_cast<int>(f.wavSamples));
        counts.insert(f.etalons.size());
        shortest = std::min(shortest, f.etalons.front().size());
        longest = std::max(longest, f.etalons.front().size());
        oddAlphabets += f.etalons.back().size() != f.etalons.front().size();
        overLong += f.samples.size() > 32767;
    }
    EXPECT_EQ(recordings.size(), 3u);
    EXPECT_EQ(wavs.size(), 3u);
    EXPECT_EQ(counts.size(), 20u);
    EXPECT_EQ(shortest, 2u);
    EXPECT_GE(longest, 990u);
    EXPECT_GT(oddAlphabets, 20);
    EXPECT_GT(overLong, 5);
}

}  // namespace
}  // namespace etalon::soak
