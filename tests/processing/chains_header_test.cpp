#include "processing/chains_header.h"

#include <gtest/gtest.h>

#include <vector>

#include "base/allocation.h"
#include "support/recording_sink.h"

namespace etalon {
namespace {

struct Chain {
    std::vector<int16_t> etalons, positions, starts, ends;
    ChainView view() const { return {etalons, positions, starts, ends}; }
};

Chain wholeChain(std::vector<int16_t> positions, int16_t etalon) {
    Chain c;
    c.positions = positions;
    c.etalons.assign(positions.size(), etalon);
    c.starts.assign(positions.size(), 0);
    c.ends.assign(positions.size(), 19);
    return c;
}

TEST(ChainsHeader, SizesOnlyGrowAndEveryCallEmpties) {
    test::RecordingSink sink;
    auto h = getChainsHeader(sink, 10, 5, nullptr);
    ASSERT_TRUE(h);
    EXPECT_EQ(h->wMaxSize, 10);
    EXPECT_EQ(h->wMaxPulses, 5);
    EXPECT_EQ(h->wState, 0);
    insertChain(h.get(), -5, 2, wholeChain({1, 30}, 3).view());
    addToChainsHeader(sink, SeriesCode{1}, TaskCode{2}, 100, 75, h.get());

    h = getChainsHeader(sink, 3, 2, std::move(h));
    EXPECT_EQ(h->wMaxSize, 10);
    EXPECT_EQ(h->wMaxPulses, 5);
    EXPECT_EQ(h->wPretenders, 0);
    EXPECT_EQ(h->distance(0), 0);
    EXPECT_EQ(h->wState, 2);  // the description survives
    EXPECT_STREQ(h->lpTaskName, "recognition");

    h = getChainsHeader(sink, 10, 30, std::move(h));
    EXPECT_EQ(h->wMaxPulses, 30);
    EXPECT_EQ(h->listData.size(), 4u * 10 * 30);
    EXPECT_TRUE(sink.empty());
    freeChainsHeader(h);
    EXPECT_FALSE(h);
    EXPECT_EQ(freeChainsHeader(h), 1);
}

TEST(ChainsHeader, RankedInsertion) {
    test::RecordingSink sink;
    auto h = getChainsHeader(sink, 3, 4, nullptr);
    for (int32_t d : {7, 3, 7, 1})
        insertChain(h.get(), d, 1, wholeChain({int16_t(d)}, 1).view());
    EXPECT_EQ(h->wPretenders, 3);
    EXPECT_EQ(h->distance(0), 1);
    EXPECT_EQ(h->distance(1), 3);
    EXPECT_EQ(h->distance(2), 7);
    EXPECT_EQ(h->positionsList(2)[0], 7);

    // Equal to the last held one in a full record: discarded.
    insertChain(h.get(), 7, 1, wholeChain({99}, 2).view());
    EXPECT_EQ(h->pulsesList(2)[0], 1);
    // Equal criteria keep arrival order.
    insertChain(h.get(), 3, 2, wholeChain({50, 90}, 4).view());
    EXPECT_EQ(h->distance(1), 3);
    EXPECT_EQ(h->positionsList(1)[0], 3);
    EXPECT_EQ(h->distance(2), 3);
    EXPECT_EQ(h->pulsesQuantity(2), 2);
    EXPECT_EQ(h->positionsList(2)[1], 90);
    EXPECT_EQ(h->pulsesList(2)[1], 4);

    // A chain longer than the rows is cut to them; a null record is ignored.
    insertChain(h.get(), -100, 9, wholeChain({1, 2, 3, 4, 5, 6, 7, 8, 9}, 5).view());
    EXPECT_EQ(h->pulsesQuantity(0), 4);
    insertChain(nullptr, 0, 1, wholeChain({1}, 1).view());

    resetChains(h.get(), 4, 2);
    EXPECT_EQ(h->wPretenders, 0);
    EXPECT_EQ(h->wQuanPulses, 4);
    EXPECT_EQ(h->wSeekingPulsesQuantity, 4);
    EXPECT_EQ(h->positionsList(0)[1], 0);
    EXPECT_EQ(h->positionsList(0)[2], 3);  // beyond the cleared entries
    resetChains(nullptr, 1, 1);
}

TEST(ChainsHeader, DescriptionAndDump) {
    test::RecordingSink sink;
    auto h = getChainsHeader(sink, 10, 5, nullptr);
    EXPECT_EQ(chainsHeaderDump(*h),
              "ChainsHeader:\nwMaxSize: 10\nwPretenders: 0\nwMaxPulses: 5\nwQuanPulses: 0\n"
              "wSeekingPulsesQuantity: 0\n");
    resetChains(h.get(), 2, 2);
    insertChain(h.get(), -812, 2, wholeChain({12, 70}, 3).view());
    EXPECT_EQ(aboutChainsHeader(sink, h.get()), kMessageOk);
    EXPECT_EQ(sink.last().caption, "aboutChainsHeader Info");
    EXPECT_EQ(sink.last().text,
              "ChainsHeader:\nwMaxSize: 10\nwPretenders: 1\nwMaxPulses: 5\nwQuanPulses: 2\n"
              "wSeekingPulsesQuantity: 2\n 1. -812 12 (3) [0 19] 70 (3) [0 19]\n");

    // A dump far longer than a fixed buffer would hold.
    auto big = getChainsHeader(sink, 10, 200, nullptr);
    std::vector<int16_t> positions(200);
    for (int i = 0; i < 200; ++i)
        positions[i] = static_cast<int16_t>(i * 30);
    for (int c = 0; c < 10; ++c)
        insertChain(big.get(), c, 200, wholeChain(positions, 20).view());
    const std::string dump = chainsHeaderDump(*big);
    EXPECT_GT(dump.size(), 20000u);
    EXPECT_NE(dump.find(" 10. 9 0 (20) [0 19]"), std::string::npos);

    EXPECT_EQ(addToChainsHeader(sink, SeriesCode{16}, TaskCode{64}, 100, 100, h.get()), 1);
    EXPECT_EQ(h->wSeriesType, SeriesCode{16});
    EXPECT_EQ(h->lpSeriesTypeName, nullptr);
    EXPECT_EQ(h->lpTaskName, nullptr);
    addToChainsHeader(sink, SeriesCode{40}, TaskCode{36}, 75, 50, h.get());
    EXPECT_STREQ(h->lpSeriesTypeName, "unknown number of whole pulses tuples");
    EXPECT_STREQ(h->lpTaskName, "detection");
    EXPECT_EQ(h->wMakingLevel, 75);
    EXPECT_EQ(h->wProcessingLevel, 50);
    EXPECT_STREQ(chainsTaskName(TaskCode{4}), "joint detection and identification");
    EXPECT_STREQ(chainsTaskName(TaskCode{32}), "detection");
    EXPECT_STREQ(chainsSeriesTypeName(SeriesCode{2}), "known number of cut-off pulses");

    sink.messages.clear();
    EXPECT_EQ(addToChainsHeader(sink, SeriesCode{1}, TaskCode{1}, 100, 100, nullptr), 0);
    EXPECT_EQ(sink.last().text, "Не определен lpChainsHeader!");
    EXPECT_EQ(sink.last().caption, " addToChainsHeader ");
}

TEST(ChainsHeader, AllocationFailures) {
    test::RecordingSink sink;
    const char* expected[] = {"Нет памяти для newChainsHeader!",
                              "Нет памяти для newChainsHeader->distance!",
                              "Нет памяти для newChainsHeader->pulsesList[0]!"};
    for (int n = 1; n <= 3; ++n) {
        failAllocationAfter(n);
        EXPECT_FALSE(getChainsHeader(sink, 10, 30, nullptr));
        EXPECT_EQ(sink.last().text, expected[n - 1]);
        EXPECT_EQ(sink.last().caption, " getChainsHeader ");
    }
    // A failed regrowth frees the record it was given.
    auto h = getChainsHeader(sink, 10, 5, nullptr);
    failAllocationAfter(1);
    h = getChainsHeader(sink, 10, 50, std::move(h));
    EXPECT_FALSE(h);
}

}  // namespace
}  // namespace etalon
