#include "series/subsets.h"

#include <gtest/gtest.h>

#include "base/allocation.h"
#include "support/series_fixture.h"

namespace etalon {
namespace {

using test::SeriesFixture;

std::vector<uint16_t> head(const std::vector<uint16_t>& v, int n) {
    return {v.begin(), v.begin() + n};
}

TEST(Subsets, PlacementModes) {
    SeriesFixture f;
    f.make(f.request(1200, 8));
    const std::vector<int32_t> subset{3, 5, 7};

    // Complete: back to back from the init position, stopping at the last pulse.
    setSelectedSubset(subset, 4, 2, f.series.get());
    std::fill_n(f.sequence.begin(), 8, 9);
    f.make(f.request(1200, 8));
    EXPECT_EQ(head(f.sequence, 8), (std::vector<uint16_t>{9, 3, 5, 7, 3, 5, 7, 3}));
    EXPECT_EQ(f.series->lpEtalons[1], 3);

    // Single fixed: once, at the init position.
    setSelectedSubset(subset, 2, 3, f.series.get());
    std::fill_n(f.sequence.begin(), 8, 9);
    f.make(f.request(1200, 8));
    EXPECT_EQ(head(f.sequence, 8), (std::vector<uint16_t>{9, 9, 3, 5, 7, 9, 9, 9}));

    // Single random: once, starting at one of the g = Q - init - m + 2 places.
    std::set<int> starts;
    setSelectedSubset(subset, 1, 1, f.series.get());
    for (int round = 0; round < 60; ++round) {
        std::fill_n(f.sequence.begin(), 8, 9);
        f.make(f.request(1200, 8));
        const auto seq = head(f.sequence, 8);
        const auto at = std::search(seq.begin(), seq.end(), subset.begin(), subset.end(),
                                    [](uint16_t a, int32_t b) { return a == b; });
        ASSERT_NE(at, seq.end());
        starts.insert(static_cast<int>(at - seq.begin()));
        EXPECT_EQ(std::count(seq.begin(), seq.end(), 9), 5);
    }
    EXPECT_EQ(starts, (std::set<int>{0, 1, 2, 3, 4, 5}));

    // Shifted complete: the pattern repeats from a random phase.
    std::set<uint16_t> firsts;
    setSelectedSubset(subset, 5, 1, f.series.get());
    for (int round = 0; round < 30; ++round) {
        f.make(f.request(1200, 8));
        for (int k = 1; k < 8; ++k) {
            const int i = static_cast<int>(
                std::find(subset.begin(), subset.end(), f.sequence[k - 1]) - subset.begin());
            EXPECT_EQ(f.sequence[k], subset[(i + 1) % 3]);
        }
        firsts.insert(f.sequence[0]);
    }
    EXPECT_EQ(firsts, (std::set<uint16_t>{3, 5, 7}));

    // Multiple random: every written run is the pattern (or its cut tail).
    setSelectedSubset(std::vector<int32_t>{2}, 3, 1, f.series.get());
    std::fill_n(f.sequence.begin(), 30, 9);
    f.make(f.request(1200, 30));
    EXPECT_GT(std::count(f.sequence.begin(), f.sequence.begin() + 30, 2), 0);
}

TEST(Subsets, CurrentSubsetIsCutToTheLargestCount) {
    SeriesFixture f;
    f.make(f.request(200, 3));  // maxP 5
    EXPECT_EQ(setSelectedSubset(std::vector<int32_t>{1, 2, 3, 4, 5, 6, 7}, 4, 1, f.series.get()),
              1);
    EXPECT_EQ(f.series->wSubsetLength, 5);
    EXPECT_EQ(f.series->lpSelectedSubset[4], 5);
    EXPECT_EQ(setSelectedSubset(std::vector<int32_t>{1}, 4, 1, nullptr), 1);
    // Only the low 16 bits of an entry are the etalon number.
    setSelectedSubset(std::vector<int32_t>{0x10003}, 4, 1, f.series.get());
    EXPECT_EQ(f.series->lpSelectedSubset[0], 3);
}

TEST(Subsets, StoreKeepsItsBlocksUntilItMustGrow) {
    SeriesFixture f;
    SeriesHeader& s = f.make(f.request());
    const std::vector<int32_t> a{1, 2, 3}, b{4, 5}, c{6, 7, 8, 9};
    const std::vector<std::span<const int32_t>> lists{a, b, c};
    const std::vector<int32_t> lengths{3, 2, 4};

    EXPECT_EQ(addSomeSelectedSubsetToSeriesHeader(f.sink, lengths, lists, 5, 6, 2, 4, 1, &s), 1);
    EXPECT_EQ(s.wReservedSubsets, 5);
    EXPECT_EQ(s.wReservedSubsetLength, 6);
    EXPECT_EQ(s.wSubsets, 3);
    EXPECT_EQ(s.storedSubsetLength(2), 4);
    EXPECT_EQ(s.storedSubsetRow(2)[3], 9);
    EXPECT_EQ(s.wSubsetLength, 2);  // pick 2 (1-based)
    EXPECT_EQ(s.lpSelectedSubset[0], 4);
    const int16_t* block = s.selectedSubsetSize.data();

    // Pick 0 and a pick past the end both mean the last subset.
    addSomeSelectedSubsetToSeriesHeader(f.sink, lengths, lists, 5, 6, 0, 4, 1, &s);
    EXPECT_EQ(s.wSubsetLength, 4);
    addSomeSelectedSubsetToSeriesHeader(f.sink, std::span(lengths).first(2),
                                        std::span(lists).first(2), 3, 3, 9, 4, 1, &s);
    EXPECT_EQ(s.wSubsetLength, 2);
    EXPECT_EQ(s.wSubsets, 2);
    EXPECT_EQ(s.selectedSubsetSize.data(), block);  // large enough: kept

    addSomeSelectedSubsetToSeriesHeader(f.sink, lengths, lists, 5, 8, 1, 4, 1, &s);
    EXPECT_EQ(s.wReservedSubsetLength, 8);
    EXPECT_EQ(s.selectedSubsetList[1] - s.selectedSubsetList[0], 8);

    EXPECT_EQ(addSomeSelectedSubsetToSeriesHeader(f.sink, {}, {}, 5, 8, 1, 4, 1, &s), 0);
    EXPECT_EQ(addSomeSelectedSubsetToSeriesHeader(f.sink, lengths, lists, 5, 8, 1, 4, 1, nullptr),
              1);
    EXPECT_TRUE(f.sink.empty());

    // A capacity smaller than what is given is raised instead of overrun.
    addSomeSelectedSubsetToSeriesHeader(f.sink, lengths, lists, 1, 1, 3, 4, 1, &s);
    EXPECT_EQ(s.storedSubsetRow(2)[3], 9);

    failAllocationAfter(1);
    EXPECT_EQ(addSomeSelectedSubsetToSeriesHeader(f.sink, lengths, lists, 9, 9, 1, 4, 1, &s), 0);
    EXPECT_EQ(f.sink.last().text, "Нет памяти для lpSeriesHeader->selectedSubsetSize!");
    EXPECT_EQ(f.sink.last().caption, " addSomeSelectedSubsetToSeriesHeader ");
    EXPECT_EQ(s.wSubsetLength, 4);  // the current subset is unchanged
    failAllocationAfter(2);
    EXPECT_EQ(addSomeSelectedSubsetToSeriesHeader(f.sink, lengths, lists, 9, 9, 1, 4, 1, &s), 0);
    EXPECT_EQ(f.sink.last().text, "Нет памяти для lpSeriesHeader->selectedSubsetList!");
    EXPECT_TRUE(s.selectedSubsetSize.empty());
}

TEST(Subsets, RequiredList) {
    test::RecordingSink sink;
    std::vector<uint16_t> list{7, 7};
    ASSERT_TRUE(getRequiredList(sink, 20, list));
    ASSERT_EQ(list.size(), 20u);
    for (int i = 0; i < 20; ++i)
        EXPECT_EQ(list[i], i + 1);
    failAllocationAfter(1);
    EXPECT_FALSE(getRequiredList(sink, 20, list));
    EXPECT_TRUE(list.empty());
    EXPECT_EQ(sink.last().text, "Нет памяти для newList!");
    EXPECT_EQ(sink.last().caption, " getRequiredList ");
}

// Worker threads each take a copy of the record: it must not lean on the original.
TEST(Subsets, ACopiedRecordIsIndependentOfTheOriginal) {
    SeriesFixture f;
    SeriesHeader& s = f.make(f.request());
    const std::vector<int32_t> a{1, 2, 3}, b{4, 5};
    const std::vector<std::span<const int32_t>> lists{a, b};
    const std::vector<int32_t> lengths{3, 2};
    ASSERT_EQ(addSomeSelectedSubsetToSeriesHeader(f.sink, lengths, lists, 4, 5, 1, 4, 1, &s), 1);
    const SeriesHeader before = s;

    SeriesHeader copy = s;
    copy.storedSubsetRow(1)[0] = 17;
    copy.lpSelectedSubset[0] = 18;
    copy.lpPureData[0] = 1000;
    addSomeSelectedSubsetToSeriesHeader(f.sink, lengths, lists, 9, 9, 2, 4, 1, &copy);
    EXPECT_EQ(copy.storedSubset(1)[0], 4);

    EXPECT_EQ(s.storedSubset(1)[0], 4);
    EXPECT_EQ(s.lpSelectedSubset, before.lpSelectedSubset);
    EXPECT_EQ(s.selectedSubsetSize, before.selectedSubsetSize);
    EXPECT_EQ(s.lpPureData, before.lpPureData);
    EXPECT_EQ(s.wReservedSubsets, 4);
}

}  // namespace
}  // namespace etalon
