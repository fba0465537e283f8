// The panels' geometry, hit tests, conversions and validations, computed by
// hand for fixed rectangles.
#include <gtest/gtest.h>

#include <vector>

#include "panels/params_header.h"
#include "panels/subset_panel.h"
#include "support/recording_sink.h"

namespace etalon {
namespace {

using platform::Rect;

// The graph area of a 1024 x 700 client: W 850, H 678, so both margins are 5.
constexpr Rect kPanel{10, 10, 859, 687};
constexpr SubsetPanelMetrics kMetrics{13, 6, 60};

TEST(SubsetPanel, LayoutOfThePlainAndTheTuplesPanel) {
    SubsetPanelState panel;
    allocSubsetPanel(panel);
    layoutSubsetPanel(panel, kPanel, kMetrics, 20, 12, 3, false);
    // 20 etalons in 2 rows of cells 78 x 75; only the 12 listed are offered.
    EXPECT_EQ(panel.offeredAreaRect, (Rect{15, 15, 854, 180}));
    EXPECT_EQ(panel.offeredCellRects[0], (Rect{20, 20, 98, 95}));
    EXPECT_EQ(panel.offeredCellRects[11], (Rect{103, 100, 181, 175}));
    EXPECT_EQ(panel.offeredCount, 12);
    EXPECT_EQ(panel.selectionAreaRect, (Rect{15, 198, 854, 283}));
    EXPECT_EQ(panel.selectionCells, 3);  // wMaxPulses 3
    EXPECT_EQ(panel.possibleSubsetRect[2], (Rect{186, 203, 264, 278}));
    EXPECT_EQ(panel.possibleSubsetRect[3], Rect{});
    ASSERT_EQ(panel.buttonCount, 4);
    EXPECT_EQ(panel.buttonsWhileSelectedSubsetRect[0], (Rect{15, 289, 99, 314}));
    EXPECT_EQ(panel.buttonsWhileSelectedSubsetRect[3], (Rect{303, 289, 387, 314}));

    layoutSubsetPanel(panel, kPanel, kMetrics, 20, 20, 3, true);
    EXPECT_EQ(panel.selectionCells, 10);
    ASSERT_EQ(panel.buttonCount, 6);
    // Cancel and OK end at the selection's right edge; Accept and Clear All follow Delete.
    EXPECT_EQ(panel.buttonsWhileSelectedSubsetRect[2].left, 674);
    EXPECT_EQ(panel.buttonsWhileSelectedSubsetRect[3], (Rect{770, 289, 854, 314}));
    EXPECT_EQ(panel.buttonsWhileSelectedSubsetRect[4].left, 207);
    EXPECT_EQ(panel.buttonsWhileSelectedSubsetRect[5].left, 303);
    // Ten reserved rows in two columns of five.
    const auto& frame = [&](int r) { return panel.possibleSubsetArrayRect[r][10]; };
    EXPECT_EQ(frame(0), (Rect{15, 320, 433, 389}));
    EXPECT_EQ(frame(6), (Rect{437, 393, 855, 462}));
    EXPECT_EQ(panel.possibleSubsetArrayRect[0][0], (Rect{17, 319, 53, 369}));
    EXPECT_EQ(panel.possibleSubsetArrayRect[0][9].right, 15 + 10 * 41 - 3);

    // One row of cells for a series of ten etalons.
    layoutSubsetPanel(panel, kPanel, kMetrics, 10, 10, 30, false);
    EXPECT_EQ(panel.offeredCellRects[0], (Rect{20, 20, 98, 175}));
    EXPECT_EQ(panel.selectionCells, 10);
}

TEST(SubsetPanel, SelectionEditsAndStoredRows) {
    SubsetPanelState panel;
    allocSubsetPanel(panel);
    for (int e = 1; e <= 11; ++e)
        appendSelected(panel, e);
    EXPECT_EQ(panel.selectionCount, 10);  // the eleventh is not taken
    EXPECT_EQ(panel.selectedSubset[9], 10);

    markSelectedOnly(panel, 2);
    markSelectedOnly(panel, 4);
    EXPECT_EQ(panel.selectedMarks[2], 0);
    panel.selectedMarks[7] = 1;
    removeMarkedSelected(panel);
    EXPECT_EQ(panel.selectionCount, 8);
    EXPECT_EQ(std::vector<int32_t>(panel.selectedSubset.begin(), panel.selectedSubset.begin() + 8),
              (std::vector<int32_t>{1, 2, 3, 4, 6, 7, 9, 10}));

    // A second allocation keeps what the panel holds.
    allocSubsetPanel(panel);
    EXPECT_EQ(panel.selectionCount, 8);

    const std::vector<int32_t> tuple{4, 5, 6};
    EXPECT_EQ(storeSubsetRow(tuple, panel.selectedSubsetArraySize, panel.reservedSubsets, 9, 10),
              10);
    EXPECT_EQ(panel.selectedSubsetArraySize[9], 3);
    EXPECT_EQ(panel.reservedSubsets[9][2], 6);
    panel.reservedSubsets[9][0] = 0;
    EXPECT_EQ(storeSubsetRow(tuple, panel.selectedSubsetArraySize, panel.reservedSubsets, 10, 10),
              10);
    EXPECT_EQ(panel.reservedSubsets[9][0], 0);
}

SeriesHeader seriesOf(uint32_t n, uint16_t l, uint16_t tmin, uint16_t tmax, uint16_t q) {
    SeriesHeader s;
    s.dwSeriesSize = n;
    s.wImpulseSize = l;
    s.wTmin = tmin;
    s.wTmax = tmax;
    s.wImpulseQuantity = q;
    return s;
}

std::unique_ptr<ParamsHeader> paramsOf(const SeriesHeader& series) {
    test::RecordingSink sink;
    auto h = getParamsHeader(sink, &series, nullptr);
    EXPECT_TRUE(sink.empty());
    return h;
}

TEST(ParamsPanel, RecordFromTheSeries) {
    test::RecordingSink sink;
    EXPECT_EQ(getParamsHeader(sink, nullptr, nullptr), nullptr);

    const SeriesHeader short200 = seriesOf(200, 20, 40, 181, 3);
    auto h = paramsOf(short200);
    ASSERT_NE(h, nullptr);
    EXPECT_EQ(h->Mmin, 1);
    EXPECT_EQ(h->Mmax, 5);
    EXPECT_EQ(h->wAreas, 5);
    EXPECT_EQ(h->a, 0);
    EXPECT_EQ(h->aPlus, 161);
    EXPECT_EQ(h->bMinus, 19);
    EXPECT_EQ(h->b, 180);
    EXPECT_EQ(h->saved.Tmin, 40);

    // The smallest count is raised to 1 as the generator raises it.
    const SeriesHeader tiny = seriesOf(100, 20, 40, 181, 2);
    h = getParamsHeader(sink, &tiny, std::move(h));
    EXPECT_EQ(h->Mmin, 1);
    EXPECT_EQ(h->Mmax, 3);
    EXPECT_EQ(h->wAreas, 3);
    EXPECT_EQ(h->wReservedAreas, 5);  // the area block only grows
}

TEST(ParamsPanel, HitTestsAndConversions) {
    const SeriesHeader series = seriesOf(1200, 20, 40, 181, 18);
    auto h = paramsOf(series);
    layoutParamsGrips(*h, {100, 50, 499, 449}, 5, 5, 13);

    GripLine& line = h->tmaxLine;
    line = {100, 200, 200, 100, 3};
    EXPECT_EQ(hitTmaxLine(150, 150, *h), 1);
    EXPECT_EQ(hitTmaxLine(150, 153, *h), 1);
    EXPECT_EQ(hitTmaxLine(150, 154, *h), 0);
    for (int32_t y : {0, 150, 200, 449})
        EXPECT_EQ(hitTmaxLine(99, y, *h), 0) << y;
    line = {100, 200, 100, 200, 3};  // a single point: no slope, no hit
    EXPECT_EQ(hitTmaxLine(100, 200, *h), 0);

    // Not dragged: no value. Dragged: the value of a point on the line comes back.
    EXPECT_EQ(tmaxFromPoint(155, 149, *h), 0);
    h->tmaxLine.drag = 1;
    EXPECT_EQ(tmaxFromPoint(100, 149, *h), 0);  // dx = 0
    EXPECT_NEAR(tmaxFromPoint(pulseX(*h, 5), valueY(*h, 161 + 4 * 181), *h), 181, 2);
    h->tminLine.drag = 1;
    EXPECT_NEAR(tminFromPoint(pulseX(*h, 14), valueY(*h, 1180 - 4 * 40), *h), 40, 2);
    EXPECT_EQ(markerValue(449, *h), 0);
    EXPECT_EQ(markerValue(50, *h), 1180 * 399 / 400);
}

TEST(ParamsPanel, Validations) {
    const SeriesHeader series = seriesOf(200, 20, 40, 181, 3);
    auto h = paramsOf(series);
    EXPECT_EQ(isValidTmin(19, *h), 0);  // below the pulse length
    EXPECT_EQ(isValidTmin(0, *h), 0);
    EXPECT_EQ(isValidTmin(40, *h), 1);
    EXPECT_EQ(isValidTmin(182, *h), 0);
    // At Tmax only the pulse count decides: 180 div 181 leaves room for one pulse.
    EXPECT_EQ(isValidTmin(181, *h), 0);
    h->pulses = 1;
    EXPECT_EQ(isValidTmin(181, *h), 1);
    EXPECT_EQ(isValidTmax(19, *h), 0);  // at most bMinus, above Tmin
    EXPECT_EQ(isValidTmax(0, *h), 0);
    h->Tmin = 10;
    EXPECT_EQ(isValidTmax(19, *h), 1);
}

TEST(ParamsPanel, DegenerateScalesGiveNoValues) {
    // A largest count of 1, and a series exactly one pulse long.
    for (uint32_t n : {30u, 20u}) {
        SCOPED_TRACE(n);
        auto h = paramsOf(seriesOf(n, 20, 40, 181, 1));
        EXPECT_EQ(h->Mmax, 1);
        layoutParamsGrips(*h, {100, 50, 499, 449}, 5, 5, 13);
        const ParamsLines lines = paramsLines(*h);
        EXPECT_GE(lines.upperEnd.to.x, 100);
        h->tmaxLine.drag = h->tminLine.drag = 1;
        EXPECT_EQ(tmaxFromPoint(300, 200, *h), 0);
        EXPECT_EQ(tminFromPoint(300, 200, *h), 0);
        EXPECT_EQ(markerValue(200, *h), std::nullopt);
        EXPECT_EQ(hitTmaxLine(h->tmaxLine.x1, h->tmaxLine.y1, *h), 0);
        EXPECT_EQ(hitTminLine(h->tminLine.x2, h->tminLine.y2, *h), 0);
    }
}

}  // namespace
}  // namespace etalon
