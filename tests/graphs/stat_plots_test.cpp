#include "graphs/stat_plots.h"

#include <gtest/gtest.h>

#include "graphs/graph_parts.h"
#include "graphs/stat_plots_fixture.h"
#include "platform/svg_recorder.h"
#include "support/pixels.h"

namespace etalon {
namespace {

using platform::kBlack;
using platform::Point;
using test::StatFixture;

// How many of the points are black in the fixture's surface.
size_t blackAt(const StatFixture& f, const std::vector<Point>& points) {
    size_t black = 0;
    for (const Point& p : points)
        black += f.surface.pixel(p.x, p.y) == kBlack;
    return black;
}

// Curve points must be there with the errors and mostly absent without them
// (grid dots fall on some).
void expectCurve(StatFixture& f, const std::vector<Point>& points) {
    ASSERT_EQ(f.drawStats(), 1);
    EXPECT_EQ(blackAt(f, points), points.size());
    for (uint16_t l = 0; l < f.errors->wNoiseLevels; ++l) {
        std::fill(f.errors->lpErrors(l).begin(), f.errors->lpErrors(l).end(), 0u);
        std::fill(f.errors->lpRecognitionErrors(l).begin(), f.errors->lpRecognitionErrors(l).end(),
                  0u);
    }
    ASSERT_EQ(f.drawStats(), 1);
    EXPECT_LT(blackAt(f, points), points.size() / 2);
}

TEST(StatPlots, ComponentwiseRestoredErrorCurvesSitWhereTheirValuesSay) {
    StatFixture f;
    f.mode = StatPlotMode::RestoredComponents;
    const std::vector<uint16_t> required(f.required.begin(), f.required.end());
    const uint64_t n0 =
        errorNormalisers(etalonFigures(*f.errors, f.series, required), f.series).restored;
    ASSERT_GT(n0, 0u);
    // Count k at level l gets the share (k + 1) l / 1000 of the normaliser: at
    // most 0.14, so the axis top is 0.2 and a share s lies s / 0.2 plot heights up.
    for (uint16_t l = 0; l < f.errors->wNoiseLevels; ++l)
        for (uint16_t k = 0; k < f.errors->wVariousPulses; ++k)
            f.errors->lpErrors(l)[k] = static_cast<uint32_t>(n0 * (k + 1) * l / 1000);
    const StatPlotGeometry pg = f.plotGeometry();
    std::vector<Point> points;
    for (uint16_t k = 0; k < f.errors->wVariousPulses; ++k) {
        for (int32_t l = 1; l + 1 < f.errors->wNoiseLevels; ++l) {
            const uint64_t error = f.errors->lpErrors(l)[k];
            const int32_t y = pg.py + pg.PH - static_cast<int32_t>(5 * error * pg.PH / n0);
            const int32_t x = pg.px + l * pg.xStep;
            points.push_back({x, y});
            points.push_back({x, y + 1});  // the second pass, one lower
        }
    }
    expectCurve(f, points);
}

TEST(StatPlots, AggregateRecognitionCurveSitsWhereItsShareSays) {
    StatFixture f;
    f.mode = StatPlotMode::RecognitionAggregate;
    f.makeGrid(5, 6, 6, 12, 0, 5, 100);
    // 4 l misses in each of the 100 repeats of every count: share 4 l / 100,
    // against an axis top of 0.5. The curve climbs steeply, so the pixel right
    // of each point comes from the pass one pixel right only.
    for (uint16_t l = 0; l < f.errors->wNoiseLevels; ++l)
        for (uint16_t k = 0; k < f.errors->wVariousPulses; ++k)
            f.errors->lpRecognitionErrors(l)[k] = 4 * l;
    const StatPlotGeometry pg = f.plotGeometry();
    std::vector<Point> points;
    for (int32_t l = 1; l + 1 < f.errors->wNoiseLevels; ++l) {
        const int32_t x = pg.px + l * pg.xStep, y = pg.py + pg.PH - 2 * 4 * l * pg.PH / 100;
        points.insert(points.end(), {{x, y}, {x + 1, y}});
    }
    expectCurve(f, points);
}

TEST(StatPlots, CurvesAboveTheAxisTopAreClippedAlongTheirTrueLines) {
    StatFixture f;
    f.mode = StatPlotMode::RecognitionComponents;
    f.makeGrid(5, 6, 6, 12, 0, 5, 100);
    // A fixed top of 0.05 and every repeat missed from the second level on:
    // the curves climb twenty plot heights within the first step.
    f.statView.bFixedUpperBound = 1;
    f.statView.dUpperBound = 0.05;
    for (uint16_t l = 1; l < f.errors->wNoiseLevels; ++l)
        for (uint16_t k = 0; k < f.errors->wVariousPulses; ++k)
            f.errors->lpRecognitionErrors(l)[k] = 100;
    ASSERT_EQ(f.drawStats(), 1);
    const platform::Surface curves = f.surface;
    for (uint16_t l = 0; l < f.errors->wNoiseLevels; ++l)
        std::fill(f.errors->lpRecognitionErrors(l).begin(), f.errors->lpRecognitionErrors(l).end(),
                  0u);
    ASSERT_EQ(f.drawStats(), 1);
    const StatPlotGeometry pg = f.plotGeometry();
    std::vector<Point> changed, halfway;  // ink the curves add
    for (int32_t y = 0; y < curves.height(); ++y)
        for (int32_t x = 0; x < curves.width(); ++x)
            if (curves.pixel(x, y) == kBlack && f.surface.pixel(x, y) == platform::kWhite)
                changed.push_back({x, y});
    ASSERT_FALSE(changed.empty());
    for (const Point& p : changed) {
        EXPECT_TRUE(pg.px - 1 <= p.x && p.x <= pg.px + pg.PW + 1 && pg.py - 1 <= p.y &&
                    p.y <= pg.py + pg.PH + 1)
            << p.x << ", " << p.y;
        if (p.y == pg.py + pg.PH / 2) halfway.push_back(p);
    }
    // Halfway up the curves are still on the plot's left edge, the bold pass
    // one pixel right of it: nearly vertical, as the true line is.
    EXPECT_EQ(halfway, (std::vector<Point>{{pg.px + 1, pg.py + pg.PH / 2}}));
}

TEST(StatPlots, DegenerateGridsDrawWhatTheyCanWithoutDividingByZero) {
    const int modes[] = {0, 1, 2, 3, 4, 5, 12, 13};
    for (int setup = 0; setup < 2; ++setup) {
        for (int mode : modes) {
            SCOPED_TRACE(testing::Message() << "setup " << setup << " mode " << mode);
            StatFixture f;
            f.mode = static_cast<StatPlotMode>(mode);
            const PulseHeader silent{20, 20, 1, std::vector<int16_t>(20, 0)};  // outlives f's use
            if (setup == 0) {
                f.makeGrid(5, 6, 6, 1, 0, 5, 0);  // one noise level, no repeats
            } else {
                // Zero normalisers: Tmax equal to the pulse length, etalons without energy.
                f.series.wTmax = f.series.wImpulseSize;
                f.series.lpFirstPulse = &silent;
                f.required.clear();
                f.series.wEtalons = 0;
                f.fillPlausible();
                ASSERT_EQ(f.drawStats(), 1);
            }
            f.statView.bFixedUpperBound = 1;
            f.statView.dUpperBound = 0.0001;
            ASSERT_EQ(f.drawStats(), 1);
            const SeriesGraphGeometry g = f.geometry();
            EXPECT_EQ(f.surface.pixel(g.L, g.T + 200), kBlack);  // the frame
            const StatPlotGeometry pg = f.plotGeometry();
            EXPECT_EQ(f.surface.pixel(pg.px - 1, pg.py + pg.PH / 2), kBlack);  // the plot's edge
        }
    }
}

// The matched filter's curves sit where its grid says, in its colour over the
// exact ones, on an axis taken over both grids (its shares reach 0.56, the
// exact ones half that: top 1, not 0.5); a legend names both methods. A grid
// of another run, or none, leaves the exact plot alone, pixel for pixel; a
// tuples simulation says it has none.
TEST(StatPlots, MatchedFilterCurvesSitWhereTheirGridSays) {
    StatFixture f;
    const ErrorNormalisers n =
        errorNormalisers(etalonFigures(*f.errors, f.series, f.required), f.series);
    const uint32_t rp = f.errors->repeats;
    RestErrorHeader mf = *f.errors;
    for (uint16_t l = 0; l < mf.wNoiseLevels; ++l) {
        for (uint16_t k = 0; k < mf.wVariousPulses; ++k) {
            const double share = 0.004 * (k + 1) * l;
            for (auto [grid, s] : {std::pair{&mf, share}, {f.errors.get(), share / 2}}) {
                grid->lpDetectionErrors(l)[k] = static_cast<uint32_t>(s * s * rp * n.detection);
                grid->lpErrors(l)[k] = static_cast<uint32_t>(s * n.restored);
            }
        }
    }
    const platform::Surface alone = (f.drawStats(), f.surface);
    f.statView.matchedFilter = &mf;
    const StatPlotGeometry pg = f.plotGeometry();
    for (StatPlotMode mode :
         {StatPlotMode::RestoredComponents, StatPlotMode::DetectionComponents}) {
        f.mode = mode;
        ASSERT_EQ(f.drawStats(), 1);
        for (uint16_t k = 0; k < mf.wVariousPulses; ++k) {
            for (int32_t l : {5, 12, 20}) {
                const double v =
                    mode == StatPlotMode::RestoredComponents
                        ? double(mf.lpErrors(l)[k]) / n.restored
                        : std::sqrt(double(mf.lpDetectionErrors(l)[k]) / rp / n.detection);
                const int32_t y = pg.py + pg.PH - static_cast<int32_t>(v * pg.PH);
                EXPECT_EQ(f.surface.pixel(pg.px + l * pg.xStep, y), kMatchedFilterColour)
                    << "mode " << int(mode) << " count " << k << " level " << l;
            }
        }
    }
    // The texts of the view, as the SVG picture writes them.
    const auto texts = [&] {
        platform::SvgRecorder svg(f.surface.width(), f.surface.height());
        platform::DeviceContext dc(f.surface, svg);
        DrawDetectionArrayZ(f.sink, dc, f.statView, f.request());
        return svg.finish();
    };
    EXPECT_NE(texts().find(">exact<"), std::string::npos);
    EXPECT_NE(texts().find(">matched filter<"), std::string::npos);

    for (const bool wanted : {false, true}) {
        f.statView.matchedFilterWanted = wanted;
        f.statView.matchedFilter = wanted ? nullptr : &mf;
        mf.ifComplete = 0;
        ASSERT_EQ(f.drawStats(), 1);
        EXPECT_TRUE(test::samePixels(f.surface, alone));
    }
    f.errors->wEffectiveTask = TaskCode::TuplesDetection;
    EXPECT_NE(texts().find(kNoMatchedFilterForTuples), std::string::npos);
}

TEST(StatPlots, TupleRecognitionListsStoredSubsetsAsClickableRows) {
    StatFixture f;
    f.errors->wSeriesType = SeriesCode{40};
    f.errors->wEffectiveTask = TaskCode{40};
    f.series.wSubsets = f.series.wReservedSubsets = 2;
    f.series.wReservedSubsetLength = 3;
    f.series.selectedSubsetSize = {2, 3, 1, 2, 0, 3, 4, 5};
    f.series.selectedSubsetList = {2, 5};
    f.listed.fill({1, 1, 1, 1});
    ASSERT_EQ(f.drawStats(), 1);
    EXPECT_GT(f.listed[0].bottom, f.listed[0].top);
    EXPECT_EQ(f.listed[1].top, f.listed[0].bottom);  // rows follow each other
    EXPECT_EQ(f.listed[2], platform::Rect{});        // rows not drawn are cleared
}

}  // namespace
}  // namespace etalon
