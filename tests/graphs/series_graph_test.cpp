#include "graphs/series_graph.h"

#include <gtest/gtest.h>

#include "graphs/graph_parts.h"
#include "graphs/plot_primitives.h"
#include "graphs/series_graph_fixture.h"
#include "support/pixels.h"

namespace etalon {
namespace {

using platform::kBlack;
using platform::kWhite;
using platform::Rect;
using test::GraphFixture;
using test::inkOf;
using test::pixelsOf;

// Two pulses restored exactly by a recognition run.
void recognize(GraphFixture& f) {
    f.addTrue(100, 1);
    f.addTrue(300, 3);
    f.addRestored(100, 1);
    f.addRestored(300, 3);
    f.recordRun(1, 2);
}

size_t inkIn(const GraphFixture& f, const Rect& r) {
    return inkOf(f.surface, {r.left, r.top, r.right + 1, r.bottom + 1}).size();
}

TEST(SeriesGraph, GeometryFollowsTheGraphRectangle) {
    GraphFixture f;
    const SeriesGraphGeometry g = f.geometry();
    EXPECT_EQ(g.W, 850);
    EXPECT_EQ(g.H, 678);
    EXPECT_EQ(g.ML, 10);
    EXPECT_EQ(g.PW, 680);
    EXPECT_EQ(g.PH % 2, 0);
    EXPECT_EQ(g.Y2 - g.Y1, g.PH + g.lh);
    EXPECT_EQ(g.rows, 10);
    EXPECT_EQ(g.AN, g.AH);  // ten rows shrink the cells to fit
    f.view.settings.bSpecialGraphSize = 1;
    const SeriesGraphGeometry s = f.geometry();
    EXPECT_EQ(s.PW, 618);
    EXPECT_EQ(s.PH, 112);
    f.required.resize(4);
    EXPECT_EQ(f.geometry().AN, (f.geometry().CH + f.geometry().MT2 + f.geometry().lh) * 2 +
                                   2 * f.geometry().MT);  // room kept as for eight rows
}

TEST(SeriesGraph, DefaultSettingsFrameClearShadeAndHighlight) {
    GraphFixture f;
    recognize(f);
    f.draw();
    const SeriesGraphGeometry g = f.geometry();
    // The frame runs one pixel outside the graph rectangle at right and bottom.
    EXPECT_EQ(f.surface.pixel(g.L, g.T + 200), kBlack);
    EXPECT_EQ(f.surface.pixel(g.R + 1, g.T + 200), kBlack);
    EXPECT_EQ(f.surface.pixel(g.L + 300, g.B + 1), kBlack);
    // Each panel is outlined, its right edge one past the panel.
    for (int k = 1; k <= 3; ++k) {
        const Rect p = g.panel(k);
        EXPECT_EQ(f.surface.pixel(p.right, p.top + 2), kBlack) << k;
        EXPECT_EQ(f.surface.pixel(p.left + 5, p.bottom), kBlack) << k;
    }
    // The observed series is blue in panel 2 only.
    EXPECT_FALSE(pixelsOf(f.surface, kSeriesBlue, g.panel(2)).empty());
    EXPECT_TRUE(pixelsOf(f.surface, kSeriesBlue, g.panel(1)).empty());

    // Shading and the dotted boxes add ink where the flags ask for them.
    const size_t full1 = inkIn(f, g.panel(1)), full2 = inkIn(f, g.panel(2));
    f.view.settings.bShadedOriginalPulses = 0;
    f.draw();
    EXPECT_LT(inkIn(f, g.panel(1)), full1);
    EXPECT_EQ(inkIn(f, g.panel(2)), full2);
    f.view.settings.bHighlightDetectedPulses = 0;
    f.draw();
    EXPECT_LT(inkIn(f, g.panel(2)), full2);
}

TEST(SeriesGraph, SpecialSizeDrawsFixedPanelsWithoutFrames) {
    GraphFixture f;
    recognize(f);
    f.view.settings.bSpecialGraphSize = 1;
    f.draw();
    const SeriesGraphGeometry g = f.geometry();
    const Rect p = g.panel(1);
    EXPECT_EQ(p.right - p.left, 618);
    EXPECT_EQ(p.bottom - p.top, 112);
    EXPECT_EQ(f.surface.pixel(p.right, p.top + 2), kWhite);  // no frame
    EXPECT_EQ(f.surface.pixel(p.left, p.top + 2), kBlack);   // the axis
    EXPECT_EQ(f.surface.pixel(p.right - 1, p.top + 56), kBlack);
    EXPECT_EQ(f.surface.pixel(p.right, p.top + 56), kWhite);
}

TEST(SeriesGraph, UnidentifiedRestoredPulseLeavesTheThirdPanelEmpty) {
    GraphFixture f;
    recognize(f);
    f.draw();
    const SeriesGraphGeometry g = f.geometry();
    const Rect below{g.X0, g.Y4, g.X0 + 300, g.Y4 + g.lh};
    const size_t textBelow = inkIn(f, below);
    ASSERT_GT(inkIn(f, g.panel(3)), 0u);
    f.series.lpRestoredEtalons[1] = 0;
    f.draw();
    EXPECT_EQ(inkIn(f, g.panel(3)), 0u);
    // The lines below keep their place.
    EXPECT_GT(inkIn(f, below), 0u);
    EXPECT_NEAR(double(inkIn(f, below)), double(textBelow), double(textBelow) * 0.2);
}

TEST(SeriesGraph, TuplesAreHighlightedWhereTheRunAndTheSeriesAreOfTuples) {
    GraphFixture f;
    f.addTrue(100, 1);
    f.addTrue(140, 2);
    f.addRestored(100, 1);
    f.addRestored(140, 2);
    f.series.wRestoredTuples = 1;
    f.series.lpRestoredTupleFirst = {1};
    f.series.lpRestoredTupleSecond = {2};
    const SeriesGraphGeometry g = f.geometry();
    const auto tinted = [&](int k) {
        return !pixelsOf(f.surface, kTupleBackground, g.panel(k)).empty();
    };
    f.recordRun(36, 36);
    f.draw();
    EXPECT_TRUE(tinted(1) && tinted(2) && tinted(3));
    // Tuples detection on a plain series marks the true panel only.
    f.recordRun(1, 36);
    f.draw();
    EXPECT_TRUE(tinted(1));
    EXPECT_FALSE(tinted(2) || tinted(3));
    // A dotted frame instead of the background, or nothing.
    f.recordRun(36, 36);
    f.view.settings.wTuplesHighlight = TuplesHighlight::DottedFrame;
    f.draw();
    EXPECT_FALSE(tinted(1));
    f.view.settings.wTuplesHighlight = TuplesHighlight::None;
    f.view.settings.bHighlightDetectedPulses = 0;
    f.view.settings.bShadedOriginalPulses = 0;
    const size_t plain = inkIn(f, g.panel(2));
    f.draw();
    EXPECT_LE(inkIn(f, g.panel(2)), plain);
}

TEST(SeriesGraph, RecognitionMarksTheFoundEtalonInTheStrip) {
    GraphFixture f;
    recognize(f);  // the best chain starts with etalon 1
    f.draw();
    const SeriesGraphGeometry g = f.geometry();
    EXPECT_FALSE(pixelsOf(f.surface, kFoundGrey, g.stripCell(0)).empty());
    for (int k = 1; k < 20; ++k)
        EXPECT_TRUE(pixelsOf(f.surface, kFoundGrey, g.stripCell(k)).empty()) << k;
    // Detection marks nothing.
    f.recordRun(1, 1);
    f.draw();
    EXPECT_TRUE(pixelsOf(f.surface, kFoundGrey, g.stripCell(0)).empty());
}

// Stored subsets of the series: {1, 2}, {3}, {4, 5, 6}, ...
struct StoredSubsets {
    std::vector<std::vector<int16_t>> rows;
    void attach(SeriesHeader& s, int count) {
        rows.clear();
        s.selectedSubsetSize.clear();
        s.selectedSubsetList.clear();
        for (int t = 0; t < count; ++t)
            rows.push_back(t % 3 == 0   ? std::vector<int16_t>{1, 2}
                           : t % 3 == 1 ? std::vector<int16_t>{3}
                                        : std::vector<int16_t>{4, 5, 6});
        constexpr uint16_t kRowLength = 10;
        s.selectedSubsetSize.assign(count * (kRowLength + 1), 0);
        for (int t = 0; t < count; ++t) {
            s.selectedSubsetSize[t] = static_cast<int16_t>(rows[t].size());
            s.selectedSubsetList.push_back(count + t * kRowLength);
            std::copy(rows[t].begin(), rows[t].end(),
                      s.selectedSubsetSize.begin() + count + t * kRowLength);
        }
        s.wSubsets = s.wReservedSubsets = static_cast<uint16_t>(count);
        s.wReservedSubsetLength = kRowLength;
    }
};

TEST(SeriesGraph, TuplesRecognitionListsStoredSubsetsAndKeepsTheirRows) {
    GraphFixture f;
    recognize(f);
    StoredSubsets stored;
    stored.attach(f.series, 3);
    f.series.wTupleCriterion = 1;
    f.view.pickedReserved = 2;
    f.recordRun(40, 40);
    f.draw();
    for (int t = 0; t < 3; ++t) {
        EXPECT_LT(f.listed[t].left, f.listed[t].right) << t;
        if (t > 0) {
            EXPECT_EQ(f.listed[t].top, f.listed[t - 1].bottom) << t;
        }
    }
    EXPECT_EQ(f.listed[3], Rect{});
    EXPECT_FALSE(pixelsOf(f.surface, kFoundGrey, f.listed[0]).empty());  // the subset found
    EXPECT_FALSE(pixelsOf(f.surface, kPickedRed, f.listed[1]).empty());  // the one picked
    EXPECT_TRUE(pixelsOf(f.surface, kPickedRed, f.listed[2]).empty());

    // More subsets than rows kept: the first ten are kept, nothing more is written.
    stored.attach(f.series, 12);
    f.draw();
    EXPECT_LT(f.listed[9].left, f.listed[9].right);
    // Leaving tuples clears the kept rows.
    f.recordRun(1, 2);
    f.draw();
    EXPECT_EQ(f.listed[0], Rect{});
}

TEST(SeriesGraph, TuplesDetectionShowsThePatternRightAlignedWithThePanels) {
    GraphFixture f;
    recognize(f);
    f.series.lpSelectedSubset = {1, 3};
    f.series.wSubsetLength = 2;
    f.recordRun(36, 36);
    f.view.settings.bFrameGraphFields = 0;
    f.draw();
    const SeriesGraphGeometry g = f.geometry();
    // The box's right edge is the panels' right edge.
    const int32_t right = g.X0 + g.PW;
    const int32_t bottomOfBox = g.B - (g.lh + g.lh / 4 - 3) - 1;
    EXPECT_EQ(f.surface.pixel(right, bottomOfBox - 3), kBlack);
    EXPECT_EQ(f.surface.pixel(right + 1, bottomOfBox - 3), kWhite);
    EXPECT_EQ(f.listed[0], Rect{});  // no rows kept for a single pattern
}

// Text that would run under the etalon strip is cut after its last whole item.
TEST(SeriesGraph, LongLinesStopBeforeTheStrip) {
    GraphFixture f;
    platform::DeviceContext dc(f.surface);
    const std::string line = "pulses: 56f[0..19] 236f[0..19] 326f[0..19] 424f[0..19] 532f[0..19]";
    EXPECT_EQ(fittedText(dc, line, 10000), line);
    const int32_t room = dc.textExtent("pulses: 56f[0..19] 236f[0..19] ...").cx + 2;
    EXPECT_EQ(fittedText(dc, line, room), "pulses: 56f[0..19] 236f[0..19] ...");
    EXPECT_EQ(fittedText(dc, line, 5), "");

    // A cut-off run with many pulses writes nothing between the strip and the frame.
    for (int k = 0; k < 19; ++k)
        f.addTrue(40 + 60 * k, 1);
    f.recordRun(2, 2);
    f.draw();
    const SeriesGraphGeometry g = f.geometry();
    // Beside the strip: the header lines above the panels, the table below them.
    EXPECT_EQ(inkOf(f.surface, {g.AX - g.ML / 2, g.AY, g.AX, g.Y1}).size(), 0u);
    EXPECT_EQ(inkOf(f.surface, {g.AX - g.ML / 2, g.Y4, g.AX, g.B}).size(), 0u);
}

TEST(SeriesGraph, DegenerateInputsDrawWithoutFailing) {
    for (uint32_t n : {0u, 1u, 2u}) {
        GraphFixture f(n);
        f.addRestored(0, 1);
        f.recordRun(1, 2);
        f.draw();
        EXPECT_FALSE(inkOf(f.surface).empty()) << n;  // frame and texts still there
    }
    GraphFixture f;
    recognize(f);
    platform::DeviceContext dc(f.surface);
    f.surface.fill(kWhite);
    EXPECT_EQ(DrawSeriesGraph(dc, f.view, 20, f.required, f.chains.get(), nullptr), 1);
    EXPECT_TRUE(inkOf(f.surface).empty());
    EXPECT_EQ(DrawSeriesGraph(dc, f.view, 20, f.required, nullptr, &f.series), 1);
    EXPECT_FALSE(inkOf(f.surface).empty());
    // Restored pulses naming etalons outside the alphabet and an empty strip.
    f.series.lpRestoredEtalons[0] = 40;
    EXPECT_EQ(DrawSeriesGraph(dc, f.view, 0, {}, f.chains.get(), &f.series), 1);
}

}  // namespace
}  // namespace etalon
