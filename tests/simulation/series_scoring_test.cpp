// What one restored series scores and how the scores of the repeats become
// the cells of the error record.
#include "simulation/series_scoring.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "support/recording_sink.h"

namespace etalon {
namespace {

TEST(SeriesScoring, ComparesTheSoughtPulsesAndRoundsTheMeanSquaredMiss) {
    SeriesHeader s;
    s.dwSeriesSize = 2;
    s.lpPureData = {3, 4};  // nothing restored: the restored error is the energy
    s.wRestoredQuantity = 0;
    s.lpPositions = {10, 20, 30};
    s.lpRestoredPositions = {11, 19, 30};

    const SeriesErrors all = scoreSeries(s, 3, 3);
    EXPECT_EQ(all.restored, 25);
    EXPECT_EQ(all.detection, 85);  // 128 · 2 / 3 = 85.3
    EXPECT_FALSE(all.missed);
    EXPECT_EQ(scoreSeries(s, 3, 1).detection, 43);   // 128 · 1 / 3 = 42.7, rounded up
    EXPECT_EQ(scoreSeries(s, 1, 3).detection, 128);  // one pulse, one sample off
    EXPECT_EQ(scoreSeries(s, 3, 0).detection, 0);    // nothing sought, nothing compared
    EXPECT_EQ(scoreSeries(s, 0, 3).detection, 0);    // no pulses, no division
    EXPECT_EQ(all.truePulses, 3u);
    EXPECT_EQ(all.exactPositions, 0u);  // nothing restored

    // A true pulse counts when any restored pulse lies exactly on it.
    s.lpPureData = {0, 0};
    s.wImpulseSize = 1;
    s.lpRestoredEtalons = {1, 1, 1};
    s.lpRestoredCutStarts = s.lpRestoredCutEnds = {0, 0, 0};
    s.lpRestoredPositions = {20, 10, 31};
    s.wRestoredQuantity = 3;
    EXPECT_EQ(scoreSeries(s, 3, 3).exactPositions, 2u);
    s.wRestoredQuantity = 1;
    EXPECT_EQ(scoreSeries(s, 3, 3).exactPositions, 1u);
}

TEST(SeriesScoring, StoresPerRepeatAveragesSummedDetectionAndMissesIntoEveryCell) {
    test::RecordingSink sink;
    auto grid = getRestErrHeader(sink, 2, 1, 3, nullptr);
    ASSERT_TRUE(grid);
    std::fill(grid->errorCells.begin(), grid->errorCells.end(), 7u);  // a run before
    ErrorSums sums(*grid);
    sums.add(1, {25, 128, false});
    sums.add(1, {26, 128, true});
    sums.add(1, {26, 128, false});

    sums.store(3, *grid);
    EXPECT_EQ(grid->lpErrors(0)[1], 26u);  // 77 / 3 = 25.7, rounded
    EXPECT_EQ(grid->lpDetectionErrors(0)[1], 3u);
    EXPECT_EQ(grid->lpRecognitionErrors(0)[1], 1u);
    EXPECT_EQ(grid->lpErrors(0)[0], 0u);  // a point without series holds zeros
    using Row = std::span<uint32_t> (RestErrorHeader::*)(std::size_t);
    for (Row spare : {static_cast<Row>(&RestErrorHeader::lpSpareErrors1),
                      static_cast<Row>(&RestErrorHeader::lpSpareErrors2),
                      static_cast<Row>(&RestErrorHeader::lpSpareErrors3)}) {
        const std::span<uint32_t> row = ((*grid).*spare)(0);
        EXPECT_EQ(std::vector<uint32_t>(row.begin(), row.end()), (std::vector<uint32_t>{0, 0}));
    }

    sums.store(0, *grid);  // no repeats: nothing to average, and no division by zero
    EXPECT_EQ(grid->lpErrors(0)[1], 0u);
}

}  // namespace
}  // namespace etalon
