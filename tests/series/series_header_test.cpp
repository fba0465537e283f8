#include "series/series_header.h"

#include <gtest/gtest.h>

#include "support/recording_sink.h"

namespace etalon {
namespace {

TEST(SeriesHeader, CountBounds) {
    EXPECT_EQ(pulseCountBounds(1200, 20, 40, 181).minPulses, 6);
    EXPECT_EQ(pulseCountBounds(1200, 20, 40, 181).maxPulses, 30);
    EXPECT_EQ(pulseCountBounds(200, 20, 40, 181).minPulses, 1);
    EXPECT_EQ(pulseCountBounds(200, 20, 40, 181).maxPulses, 5);
    EXPECT_EQ(pulseCountBounds(600, 20, 40, 181).minPulses, 3);
    EXPECT_EQ(pulseCountBounds(600, 20, 40, 181).maxPulses, 15);
    // Degenerate settings give zero counts rather than a division by zero.
    EXPECT_EQ(pulseCountBounds(1200, 20, 0, 0).maxPulses, 0);
    EXPECT_EQ(pulseCountBounds(5, 20, 10, 181).maxPulses, 0);
}

TEST(SeriesHeader, GrowsButNeverShrinksAndKeepsItsSubset) {
    test::RecordingSink sink;
    auto s = getCutOffSeriesHeader(sink, 20, 20, 40, 181, 600, nullptr);
    ASSERT_TRUE(s);
    EXPECT_EQ(s->dwReservedSize, 600u);
    EXPECT_EQ(s->wReservedQuantity, 15);
    EXPECT_EQ(s->wMinPulses, 3);
    EXPECT_EQ(s->wMaxPulses, 15);
    EXPECT_EQ(s->wReservedEtalons, 20);
    for (auto* p : s->lpPulsesList)
        EXPECT_EQ(p, nullptr);

    s->wSubsetLength = 3;
    s->lpSelectedSubset[0] = 4;
    s->lpSelectedSubset[1] = 5;
    s->lpSelectedSubset[2] = 6;
    s->wSubsetEmployment = 2;
    s->wSubsetInitPosition = 3;
    const int16_t* oldBlock = s->lpPureData.data();

    s = getCutOffSeriesHeader(sink, 20, 20, 40, 181, 200, std::move(s));  // smaller: kept
    EXPECT_EQ(s->lpPureData.data(), oldBlock);
    EXPECT_EQ(s->dwReservedSize, 600u);
    EXPECT_EQ(s->dwSeriesSize, 200u);
    EXPECT_EQ(s->wMaxPulses, 5);

    s = getCutOffSeriesHeader(sink, 20, 20, 40, 181, 1200, std::move(s));  // larger: regrown
    EXPECT_EQ(s->dwReservedSize, 1200u);
    EXPECT_EQ(s->wReservedQuantity, 30);
    EXPECT_EQ(s->wSubsetLength, 3);
    EXPECT_EQ(s->lpSelectedSubset[0], 4);
    EXPECT_EQ(s->lpSelectedSubset[2], 6);
    EXPECT_EQ(s->lpSelectedSubset[3], 0);
    EXPECT_EQ(s->wSubsetEmployment, 2);
    EXPECT_EQ(s->wSubsetInitPosition, 3);

    // No regrowth: the subset stays even when longer than the count bounds.
    s->wSubsetLength = 25;
    s = getCutOffSeriesHeader(sink, 20, 20, 40, 181, 200, std::move(s));
    EXPECT_EQ(s->wSubsetLength, 25);
    // Regrowth with room for it: carried over.
    s = getCutOffSeriesHeader(sink, 20, 20, 40, 181, 2000, std::move(s));  // maxP 50
    EXPECT_EQ(s->wReservedQuantity, 50);
    EXPECT_EQ(s->wSubsetLength, 25);
    // Regrowth to a largest count below its length: not carried over, and its
    // length no longer describes cleared entries.
    s = getCutOffSeriesHeader(sink, 20, 20, 200, 250, 2400, std::move(s));  // maxP 12
    EXPECT_EQ(s->dwReservedSize, 2400u);
    EXPECT_EQ(s->wSubsetLength, 0);
    EXPECT_TRUE(sink.empty());

    freeSeriesHeader(s);
    EXPECT_FALSE(s);
    freeSeriesHeader(s);  // a null record is accepted
}

}  // namespace
}  // namespace etalon
