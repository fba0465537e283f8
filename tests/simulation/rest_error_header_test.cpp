#include "simulation/rest_error_header.h"

#include <gtest/gtest.h>

#include <vector>

#include "base/allocation.h"
#include "support/recording_sink.h"

namespace etalon {
namespace {

using test::RecordingSink;

std::vector<int16_t> values(std::span<const int16_t> s) {
    return {s.begin(), s.end()};
}

// Visits every cell of the six arrays through the row accessors, in order.
template <class Header, class Visit>
void forEachCell(Header& h, Visit visit) {
    for (std::size_t v = 0; v < h.wNoiseLevels; ++v) {
        for (auto row : {h.lpErrors(v), h.lpDetectionErrors(v), h.lpSpareErrors1(v),
                         h.lpRecognitionErrors(v), h.lpSpareErrors2(v), h.lpSpareErrors3(v)}) {
            for (auto& cell : row)
                visit(cell);
        }
    }
}

// A distinct value in every cell; overlapping rows would not read them back.
void fillAllCells(RestErrorHeader& h) {
    uint32_t next = 1;
    forEachCell(h, [&](uint32_t& cell) { cell = next++; });
}
bool holdsAllCells(const RestErrorHeader& h) {
    uint32_t next = 1;
    bool same = true;
    forEachCell(h, [&](uint32_t cell) { same = same && cell == next++; });
    return same;
}
bool allZero(const RestErrorHeader& h) {
    bool zero = true;
    forEachCell(h, [&](uint32_t cell) { zero = zero && cell == 0; });
    return zero;
}

TEST(RestErrorHeader, GridFromTheBoundsAndSteps) {
    RecordingSink sink;
    auto h = getRestErrHeader(sink, 3, 4, 10, nullptr);
    ASSERT_TRUE(h);
    fillAllCells(*h);
    EXPECT_TRUE(holdsAllCells(*h));
    h->ifComplete = 1;
    EXPECT_EQ(initRestErrHeader(sink, 3, 5, 2, 4, 0, 5, 10, h.get()), 1);
    EXPECT_TRUE(sink.empty());
    EXPECT_EQ(values(h->wPulseValues()), (std::vector<int16_t>{5, 7, 9}));
    EXPECT_EQ(values(h->lpNoiseLevels()), (std::vector<int16_t>{0, 5, 10, 15}));
    EXPECT_EQ(h->repeats, 10u);
    EXPECT_EQ(h->ifComplete, 0);
    EXPECT_TRUE(allZero(*h));

    // The command derives the pulse side from the bounds; a step of 0 counts as 1.
    EXPECT_EQ(pulseGridFor(6, 30, 0).increment, 1);
    EXPECT_EQ(pulseGridFor(6, 30, 0).steps, 25);
    EXPECT_EQ(pulseGridFor(6, 30, 4).steps, 7);  // 6, 10, ..., 30
    EXPECT_EQ(pulseGridFor(6, 29, 4).steps, 6);  // 26 is the last that fits
    EXPECT_EQ(pulseGridFor(7, 6, 1).steps, 0);
}

TEST(RestErrorHeader, InitRefusesWhatTheRecordCannotHoldAndChangesNothing) {
    RecordingSink sink;
    EXPECT_EQ(initRestErrHeader(sink, 3, 5, 2, 4, 0, 5, 10, nullptr), 0);
    EXPECT_EQ(sink.last().text, "Не определен lpErrorHeader!");
    EXPECT_EQ(sink.last().caption, " initRestErrHeader ");

    auto h = getRestErrHeader(sink, 3, 4, 10, nullptr);
    ASSERT_TRUE(h);
    EXPECT_EQ(initRestErrHeader(sink, 4, 5, 2, 5, 0, 5, 10, h.get()), 0);
    EXPECT_EQ(sink.last().text, "Неверно задан wVariousPulsesNumber!");
    EXPECT_EQ(initRestErrHeader(sink, 3, 5, 2, 5, 0, 5, 10, h.get()), 0);
    EXPECT_EQ(sink.last().text, "Неверно задан wNoiseLevels!");
    EXPECT_EQ(sink.last().caption, " initRestErrHeader ");
    EXPECT_EQ(h->wVariousPulses, 3);
    EXPECT_EQ(h->wNoiseLevels, 4);
    EXPECT_EQ(values(h->wPulseValues()), (std::vector<int16_t>{0, 0, 0}));

    EXPECT_EQ(addInitRestErrHeader(sink, SeriesCode{1}, TaskCode{2}, 100, 100, nullptr), 0);
    EXPECT_EQ(sink.last().text, "Не определен lpErrorHeader!");
    EXPECT_EQ(sink.last().caption, " addInitRestErrHeader ");
}

TEST(RestErrorHeader, ResizingKeepsEveryGridWithinItsCapacityUsable) {
    RecordingSink sink;
    auto h = getRestErrHeader(sink, 5, 10, 1, nullptr);
    ASSERT_TRUE(h);
    // Same shape again: results cleared.
    fillAllCells(*h);
    h = getRestErrHeader(sink, 5, 10, 1, std::move(h));
    ASSERT_TRUE(h);
    EXPECT_TRUE(allZero(*h));
    // More pulse counts, fewer levels: the record grows and the grid is accepted,
    // although the old blocks had room for as many values in all.
    h = getRestErrHeader(sink, 8, 2, 1, std::move(h));
    ASSERT_TRUE(h);
    EXPECT_EQ(initRestErrHeader(sink, 8, 1, 1, 2, 0, 5, 1, h.get()), 1);
    fillAllCells(*h);
    EXPECT_TRUE(holdsAllCells(*h));
    // A smaller grid inside the capacity gets rows of its own length.
    EXPECT_EQ(initRestErrHeader(sink, 3, 1, 1, 7, 0, 5, 1, h.get()), 1);
    EXPECT_TRUE(allZero(*h));
    fillAllCells(*h);
    EXPECT_TRUE(holdsAllCells(*h));
    EXPECT_TRUE(sink.empty());
    EXPECT_GE(h->wReservedPulses, 8);
    EXPECT_GE(h->wReservedLevels, 10);
}

TEST(RestErrorHeader, AllocationFailuresAreReportedAndFreeTheRecord) {
    RecordingSink sink;
    const char* expected[] = {"Нет памяти для newRestErrorHeader!",
                              "Нет памяти для newRestErrorHeader->lpNoiseLevel!",
                              "Нет памяти для newRestErrorHeader->lpErrors!",
                              "Нет памяти для newRestErrorHeader->lpErrors[]!"};
    for (int n = 1; n <= 4; ++n) {
        failAllocationAfter(n);
        EXPECT_FALSE(getRestErrHeader(sink, 25, 29, 100, nullptr));
        EXPECT_EQ(sink.last().text, expected[n - 1]);
        EXPECT_EQ(sink.last().caption, " getRestErrHeader ");
    }
    failAllocationAfter(0);
    auto h = getRestErrHeader(sink, 2, 2, 1, nullptr);
    failAllocationAfter(1);
    h = getRestErrHeader(sink, 30, 30, 1, std::move(h));
    EXPECT_FALSE(h);
    failAllocationAfter(0);
}

TEST(RestErrorHeader, DescribesTheRunAndDumpsIt) {
    RecordingSink sink;
    auto h = getRestErrHeader(sink, 2, 2, 10, nullptr);
    ASSERT_TRUE(h);
    ASSERT_EQ(initRestErrHeader(sink, 2, 6, 12, 2, 0, 70, 10, h.get()), 1);
    ASSERT_EQ(addInitRestErrHeader(sink, SeriesCode{1}, TaskCode{2}, 100, 75, h.get()), 1);
    EXPECT_EQ(h->wState, 2);
    EXPECT_STREQ(h->lpSeriesTypeName, "known number of whole pulses");
    EXPECT_STREQ(h->lpTaskName, "recognition");
    h->lpErrors(0)[1] = 12;
    h->lpDetectionErrors(1)[0] = 3;
    h->lpRecognitionErrors(1)[1] = 4;
    h->ifComplete = 1;
    EXPECT_EQ(aboutRestErrHeader(sink, h.get()), kMessageOk);
    EXPECT_EQ(sink.last().caption, "aboutRestErrHeader Info");
    EXPECT_EQ(sink.last().text,
              "RestErrorHeader:\n"
              "wReservedPulses: 2\n"
              "wVariousPulses: 2\n"
              "wReservedLevels: 2\n"
              "wNoiseLevels: 2\n"
              "repeats: 10\n"
              "wState: 2\n"
              "wSeriesType: 1 (known number of whole pulses)\n"
              "wEffectiveTask: 2 (recognition)\n"
              "wMakingLevel: 100\n"
              "wProcessingLevel: 75\n"
              "ifComplete: 1\n"
              "wPulseValues: 6 18\n"
              "0: 0 (0) [0] 12 (0) [0]\n"
              "70: 0 (3) [0] 0 (0) [4]\n");

    // Codes without a text leave it null.
    ASSERT_EQ(addInitRestErrHeader(sink, SeriesCode{32}, TaskCode{64}, 100, 100, h.get()), 1);
    EXPECT_EQ(h->lpSeriesTypeName, nullptr);
    EXPECT_EQ(h->lpTaskName, nullptr);
    ASSERT_EQ(addInitRestErrHeader(sink, SeriesCode{16}, TaskCode{16}, 100, 100, h.get()), 1);
    EXPECT_EQ(h->lpSeriesTypeName, nullptr);
    EXPECT_STREQ(h->lpTaskName, "joint detection and estimation");
}

TEST(RestErrorHeader, CopiesAreIndependent) {
    RecordingSink sink;
    auto h = getRestErrHeader(sink, 3, 2, 5, nullptr);
    ASSERT_TRUE(h);
    ASSERT_EQ(initRestErrHeader(sink, 3, 5, 2, 2, 0, 5, 5, h.get()), 1);
    fillAllCells(*h);
    RestErrorHeader copy = *h;
    copy.lpErrors(1)[2] = 999;
    copy.wPulseValues()[0] = 77;
    ASSERT_EQ(initRestErrHeader(sink, 1, 1, 1, 1, 0, 1, 1, &copy), 1);
    EXPECT_TRUE(holdsAllCells(*h));
    EXPECT_EQ(values(h->wPulseValues()), (std::vector<int16_t>{5, 7, 9}));
    EXPECT_EQ(h->wVariousPulses, 3);
    // And the copy works on its own blocks once the original is gone.
    freeRestErrHeader(h);
    EXPECT_FALSE(h);
    freeRestErrHeader(h);  // null accepted
    fillAllCells(copy);
    EXPECT_TRUE(holdsAllCells(copy));
}

}  // namespace
}  // namespace etalon
