#include "graphs/plot_primitives.h"

#include <gtest/gtest.h>

#include "graphs/series_mapping.h"
#include "support/pixels.h"

namespace etalon {
namespace {

using platform::Color;
using platform::kBlack;
using platform::kWhite;
using platform::Surface;
using test::inkOf;
using test::pixelsOf;

PulseHeader etalonOf(std::vector<int16_t> samples, uint16_t number = 1) {
    PulseHeader p;
    p.wSize = p.wReservedSize = static_cast<uint16_t>(samples.size());
    p.wNumber = number;
    p.lpData = std::move(samples);
    return p;
}

// A series of n samples whose true pulses all use `etalon`.
struct TestSeries {
    PulseHeader etalon;
    SeriesHeader series;

    TestSeries(uint32_t n, std::vector<int16_t> samples) : etalon(etalonOf(std::move(samples))) {
        series.dwSeriesSize = series.dwReservedSize = n;
        series.lpNoisyData.assign(n, 0);
        series.lpPureData.assign(n, 0);
        series.wImpulseSize = etalon.wSize;
        series.lpPulsesList = {&etalon};
    }
    void addPulse(int16_t position, int16_t cutStart, int16_t cutEnd) {
        series.lpPositions.push_back(position);
        series.lpEtalons.push_back(1);
        series.lpCutStarts.push_back(cutStart);
        series.lpCutEnds.push_back(cutEnd);
        series.wImpulseQuantity = static_cast<uint16_t>(series.lpPositions.size());
    }
    void addRestored(int16_t position, int16_t cutStart, int16_t cutEnd) {
        series.lpRestoredPositions.push_back(position);
        series.lpRestoredEtalons.push_back(1);
        series.lpRestoredCutStarts.push_back(cutStart);
        series.lpRestoredCutEnds.push_back(cutEnd);
        series.wRestoredQuantity = static_cast<uint16_t>(series.lpRestoredPositions.size());
    }
};

TEST(SeriesMapping, EdgesOfThePanel) {
    const SeriesMapping m{{10, 20, 110, 100}, 11, 100};
    EXPECT_EQ(m.x(0), 10);
    EXPECT_EQ(m.x(10), 110);
    EXPECT_EQ(m.x(3), 40);
    EXPECT_EQ(m.y(-100), 100);  // bottom edge
    EXPECT_EQ(m.y(100), 20);    // top edge
    EXPECT_EQ(m.y(0), m.zeroY());
    EXPECT_EQ(m.y(200), -20);  // beyond the range: outside, not clipped
    EXPECT_FALSE((SeriesMapping{{0, 0, 10, 10}, 1, 100}.drawable()));
    EXPECT_FALSE((SeriesMapping{{0, 0, 10, 10}, 5, 0}.drawable()));
}

TEST(PlotPrimitives, AxesAndNoisySeries) {
    Surface s(120, 100);
    DeviceContext dc(s);
    DrawAxes(dc, {10, 10, 110, 90});
    EXPECT_EQ(s.pixel(10, 10), kBlack);
    EXPECT_EQ(s.pixel(10, 89), kBlack);
    EXPECT_EQ(s.pixel(109, 50), kBlack);
    EXPECT_EQ(s.pixel(110, 50), kWhite);

    Surface t(120, 100);
    DeviceContext dt(t);
    TestSeries ts(11, {0, 0});
    ts.series.lpNoisyData[5] = 100;  // top edge
    DrawNoisySeries(dt, {10, 10, 110, 90}, 100, ts.series);
    EXPECT_EQ(dt.pen(), kBlack);
    EXPECT_EQ(t.pixel(10, 50), kSeriesBlue);
    EXPECT_EQ(t.pixel(60, 10), kSeriesBlue);
    EXPECT_EQ(t.pixel(109, 50), kSeriesBlue);
    EXPECT_EQ(t.pixel(110, 50), kWhite);  // the last end point is not drawn
    EXPECT_TRUE(pixelsOf(t, kBlack).empty());
}

TEST(PlotPrimitives, PulseCurveGoesUpAlongTheSamplesAndBackDown) {
    Surface s(120, 100);
    DeviceContext dc(s);
    TestSeries ts(11, {100, 100});
    ts.addPulse(2, 0, 1);
    DrawSeriesPulses(dc, {0, 0, 100, 80}, 100, ts.series);
    for (const auto& [x, y] : {std::pair{20, 40}, {20, 1}, {20, 0}, {29, 0}, {30, 0}, {30, 39}}) {
        EXPECT_EQ(s.pixel(x, y), kBlack) << x << "," << y;
    }
    EXPECT_EQ(s.pixel(30, 40), kWhite);
    EXPECT_EQ(inkOf(s).size(), 40u + 10u + 40u);

    Surface cut(120, 100);
    DeviceContext dcut(cut);
    TestSeries three(11, {100, 100, 100});
    three.addPulse(2, 1, 2);  // kept part: samples 1 and 2
    DrawPulseCutOffs(dcut, {0, 0, 100, 80}, 100, three.series);
    EXPECT_EQ(cut.pixel(20, 20), kWhite);
    EXPECT_EQ(cut.pixel(30, 20), kBlack);
    EXPECT_EQ(cut.pixel(40, 20), kBlack);
}

TEST(PlotPrimitives, DetectedPulsesAreWholeEtalons) {
    Surface s(120, 100);
    DeviceContext dc(s);
    TestSeries ts(11, {-100, -100, -100});
    ts.addRestored(4, 1, 1);
    DrawDetectedPulses(dc, {0, 0, 100, 80}, 100, ts.series);
    EXPECT_EQ(s.pixel(40, 79), kBlack);  // from sample 0, not the kept part
    EXPECT_EQ(s.pixel(59, 80), kBlack);  // bottom edge
}

TEST(PlotPrimitives, HatchIsACheckerboardUpToTheCurve) {
    Surface s(120, 100);
    DeviceContext dc(s);
    TestSeries ts(11, {100, 100, 100});
    ts.addPulse(2, 0, 2);
    ShadeSeriesPulses(dc, {0, 0, 100, 80}, 100, ts.series);
    // Columns 20..39, above the zero line at 40; the last kept sample (column 40) shades nothing.
    EXPECT_EQ(inkOf(s).size(), 20u * 20u);
    EXPECT_EQ(s.pixel(20, 40), kBlack);
    EXPECT_EQ(s.pixel(20, 39), kWhite);
    EXPECT_EQ(s.pixel(20, 2), kBlack);
    EXPECT_EQ(s.pixel(21, 39), kBlack);
    EXPECT_EQ(s.pixel(21, 40), kWhite);
    EXPECT_EQ(s.pixel(21, 1), kBlack);
    EXPECT_TRUE(inkOf(s, {40, 0, 41, 100}).empty());

    Surface below(120, 100);
    DeviceContext db(below);
    TestSeries neg(11, {-100, -100});
    neg.addPulse(0, 0, 1);
    ShadeSeriesPulses(db, {0, 0, 100, 80}, 100, neg.series);
    EXPECT_EQ(below.pixel(0, 40), kBlack);
    EXPECT_EQ(below.pixel(0, 78), kBlack);
    EXPECT_EQ(below.pixel(1, 41), kBlack);
    EXPECT_EQ(below.pixel(1, 79), kBlack);
    EXPECT_EQ(inkOf(below).size(), 10u * 20u);
}

TEST(PlotPrimitives, HatchPhaseCarriesOverFromPulseToPulse) {
    Surface s(120, 100);
    DeviceContext dc(s);
    TestSeries ts(10, {100, 100});  // 99 / 9 = 11 columns per sample: an odd count
    ts.addPulse(0, 0, 1);
    ts.addPulse(5, 0, 1);
    ShadeSeriesPulses(dc, {0, 0, 99, 80}, 100, ts.series);
    EXPECT_EQ(s.pixel(0, 40), kBlack);
    EXPECT_EQ(s.pixel(55, 40), kWhite);  // second pulse starts in the other phase
    EXPECT_EQ(s.pixel(55, 39), kBlack);

    Surface single(120, 100);
    DeviceContext d1(single);
    TestSeries one(11, {100, 100});
    one.addPulse(3, 1, 1);
    ShadeSeriesPulses(d1, {0, 0, 100, 80}, 100, one.series);
    EXPECT_TRUE(inkOf(single).empty());
}

TEST(PlotPrimitives, HighlightDrawsADottedBoxAndKeptPartMarks) {
    Surface s(120, 100);
    DeviceContext dc(s);
    TestSeries ts(11, {1, 1, 1});
    ts.addRestored(2, 1, 1);
    HighlightDetectedPulses(dc, {0, 0, 100, 90}, ts.series);
    // yc = 45, h3 = 30: verticals at t = 0, 2, ..., 28, horizontals at 45 -+ 30.
    EXPECT_EQ(s.pixel(20, 45), kBlack);
    EXPECT_EQ(s.pixel(20, 17), kBlack);
    EXPECT_EQ(s.pixel(20, 16), kWhite);
    EXPECT_EQ(s.pixel(40, 73), kBlack);
    EXPECT_EQ(s.pixel(20, 15), kBlack);
    EXPECT_EQ(s.pixel(21, 15), kWhite);
    EXPECT_EQ(s.pixel(22, 75), kBlack);
    EXPECT_EQ(s.pixel(40, 75), kBlack);
    EXPECT_EQ(s.pixel(30, 45), kBlack);  // kept part: sample 1 of the pulse
    EXPECT_EQ(s.pixel(31, 45), kWhite);
    EXPECT_EQ(inkOf(s).size(), 29u * 2 + 11u * 2 + 29u);
}

TEST(PlotPrimitives, TupleMarksStayInsideThePanel) {
    TestSeries ts(101, {1, 1, 1, 1, 1});
    ts.addRestored(1, 0, 4);
    ts.addRestored(94, 0, 4);  // ends at column 98
    ts.series.wRestoredTuples = 1;
    ts.series.lpRestoredTupleFirst = {1};
    ts.series.lpRestoredTupleSecond = {2};

    Surface s(140, 100);
    DeviceContext dc(s);
    FrameDetectedTuples(dc, {10, 0, 110, 80}, ts.series);
    EXPECT_EQ(s.pixel(10, 40), kBlack);   // widened from column 1 to 0
    EXPECT_EQ(s.pixel(109, 40), kBlack);  // widened from 98 to W - 1 only
    EXPECT_TRUE(inkOf(s, {0, 0, 10, 100}).empty());
    EXPECT_TRUE(inkOf(s, {110, 0, 140, 100}).empty());
    EXPECT_EQ(s.pixel(10, 40 - 30), kBlack);  // 3H/8 = 30: horizontals at 40 -+ 30
    EXPECT_EQ(s.pixel(12, 70), kBlack);

    Surface f(140, 100);
    DeviceContext df(f);
    FillDetectedTuples(df, {10, 0, 110, 80}, ts.series);
    EXPECT_EQ(df.pen(), kBlack);
    EXPECT_EQ(df.brush(), kWhite);
    const auto filled = pixelsOf(f, kTupleBackground);
    EXPECT_EQ(filled.size(), 99u * 60u);  // right and bottom edges excluded
    EXPECT_EQ(filled.front(), (platform::Point{10, 10}));

    ts.series.wRestoredTuples = 0;
    Surface none(140, 100);
    DeviceContext dn(none);
    FrameDetectedTuples(dn, {10, 0, 110, 80}, ts.series);
    FillDetectedTuples(dn, {10, 0, 110, 80}, ts.series);
    EXPECT_TRUE(inkOf(none).empty());
}

TEST(PlotPrimitives, PulseLabels) {
    EXPECT_EQ(pulseLabel(117, 3, false, false, 2, 15), "117");
    EXPECT_EQ(pulseLabel(117, 3, true, false, 2, 15), "117c");
    EXPECT_EQ(pulseLabel(117, 3, true, true, 2, 15), "117c[2..15] ");

    Surface s(300, 120);
    DeviceContext dc(s);
    TestSeries ts(11, {1, 1});
    ts.addPulse(4, 0, 1);
    const platform::Rect panel{20, 10, 220, 60};
    DrawPulseLabels(dc, panel, SeriesCode::FixedWhole, 0, true, ts.series);
    const int32_t x0 = 20 + 80 - 5, y0 = 60 - 1;
    const auto ink = inkOf(s);
    ASSERT_FALSE(ink.empty());
    const platform::Size extent = dc.textExtent("4a");
    for (const auto& p : ink) {
        EXPECT_GE(p.x, x0);
        EXPECT_LT(p.x, x0 + extent.cx);
        EXPECT_GE(p.y, y0);
        EXPECT_LT(p.y, y0 + extent.cy);
    }
}

TEST(PlotPrimitives, SeriesOfOneSampleDrawsNothing) {
    Surface s(100, 100);
    DeviceContext dc(s);
    TestSeries ts(1, {100, 100});
    ts.addPulse(0, 0, 1);
    ts.addRestored(0, 0, 1);
    ts.series.wRestoredTuples = 1;
    ts.series.lpRestoredTupleFirst = {1};
    ts.series.lpRestoredTupleSecond = {1};
    const platform::Rect panel{0, 0, 80, 80};
    DrawNoisySeries(dc, panel, 100, ts.series);
    DrawSeriesPulses(dc, panel, 100, ts.series);
    DrawPulseCutOffs(dc, panel, 100, ts.series);
    DrawDetectedPulses(dc, panel, 100, ts.series);
    ShadeSeriesPulses(dc, panel, 100, ts.series);
    HighlightDetectedPulses(dc, panel, ts.series);
    FrameDetectedTuples(dc, panel, ts.series);
    FillDetectedTuples(dc, panel, ts.series);
    DrawPulseLabels(dc, panel, SeriesCode::FixedCutoff, 1, true, ts.series);
    EXPECT_TRUE(inkOf(s).empty());
}

TEST(PlotPrimitives, EtalonGlyphPlainAndMarked) {
    const PulseHeader etalon = etalonOf(std::vector<int16_t>(20, 60), 3);
    const platform::Rect cell{10, 10, 110, 60};  // w = 100, h = 50

    Surface plain(200, 140);
    DeviceContext dp(plain);
    const int32_t lh = lineHeight(dp);
    const int32_t y = 10 + 1 + lh + lh / 4;
    DrawEtalon(dp, etalon, 128, 0, cell);
    EXPECT_FALSE(inkOf(plain, {10, 12, 60, 12 + lh}).empty());  // the letter " c "
    EXPECT_EQ(plain.pixel(10, y), kBlack);                      // vertical axis
    EXPECT_EQ(plain.pixel(114, y + 25), kBlack);                // zero line to x + w + 5
    EXPECT_EQ(plain.pixel(115, y + 25), kWhite);
    EXPECT_EQ(plain.pixel(50, y + 50 - (188 * 50) / 256), kBlack);  // the curve
    EXPECT_EQ(plain.pixel(50, y + 50 - (188 * 50) / 256 - 1), kWhite);

    Surface marked(200, 140);
    DeviceContext dm(marked);
    DrawEtalon(dm, etalon, 128, 2, cell);
    EXPECT_EQ(dm.pen(), kBlack);
    EXPECT_EQ(marked.pixel(7, y - 1), kPickedRed);  // background corner
    EXPECT_EQ(marked.pixel(115, y + 50),
              kPickedRed);  // right and bottom excluded: x + w + 5, y + h
    EXPECT_EQ(marked.pixel(116, y + 51), kWhite);
    EXPECT_EQ(marked.pixel(10, y + 5), kWhite);  // axis in white
    const int32_t cy = y + 50 - (188 * 50) / 256;
    EXPECT_EQ(marked.pixel(50, cy), kWhite);
    EXPECT_EQ(marked.pixel(50, cy - 1), kWhite);  // the stroke shifted up
    EXPECT_EQ(marked.pixel(50, cy + 1), kPickedRed);

    Surface found(200, 140);
    DeviceContext df(found);
    DrawEtalon(df, etalon, 128, 1, cell);
    EXPECT_EQ(found.pixel(7, y - 1), kFoundGrey);
}

}  // namespace
}  // namespace etalon
