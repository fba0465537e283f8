#pragma once

// The parts the statistics view is drawn from; used only inside graphs/.

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "graphs/label_placer.h"
#include "graphs/series_graph.h"
#include "graphs/stat_plot_clipping.h"
#include "graphs/stat_plot_text.h"
#include "graphs/stat_plots.h"
#include "platform/device_context.h"
#include "platform/geometry.h"
#include "series/series_header.h"
#include "simulation/rest_error_header.h"

namespace etalon::stat_plot {

// Curve styles and curves (stat_plot_curves.cpp).

// How one method's curves are drawn: the exact procedures' solid in the
// selected pen, labelled at their ends; the matched filter's dashed in its
// colour, unlabelled, since the exact curve of the same count carries the label.
struct CurveStyle {
    bool dashed = false;
    bool labelled = true;
};
inline constexpr CurveStyle kExactCurves{};
inline constexpr CurveStyle kMatchedFilterCurves{true, false};

// Two passes, the second one pixel lower.
inline constexpr std::array<platform::Point, 2> kTwice{{{0, 0}, {0, 1}}};
// Three passes: as is, one pixel lower, one right (detection curves).
inline constexpr std::array<platform::Point, 3> kLowerRight{{{0, 0}, {0, 1}, {1, 0}}};
// Three passes: as is, one pixel right, one lower (recognition curves and bounds).
inline constexpr std::array<platform::Point, 3> kRightLower{{{0, 0}, {1, 0}, {0, 1}}};

void drawSegment(platform::DeviceContext& dc, platform::Point a, platform::Point b,
                 const CurveStyle& style);

// A curve from the plot's bottom-left corner through its points, once per
// offset, clipped to the plot.
void drawCurve(platform::DeviceContext& dc, const PlotBox& box,
               const std::vector<CurvePoint>& points, std::span<const platform::Point> offsets,
               const CurveStyle& style = kExactCurves);

// A label at the end of a curve, offset rows above its last point.
Label curveLabel(int32_t x, const std::vector<CurvePoint>& points, int32_t offset,
                 std::string text);

// The curves of DrawErrorCurves, in the given style.
void detectionCurves(platform::DeviceContext& dc, const RestErrorHeader& errors,
                     const ErrorCurvesRequest& request, LabelPlacer& labels,
                     const CurveStyle& style);

// Everything the parts of the view share while one paint lasts.
struct StatPaint {
    platform::DeviceContext& dc;
    LabelPlacer& labels;  // every text goes through it
    const StatPlotView& view;
    const SeriesGraphGeometry& g;
    const StatPlotGeometry& pg;
    const RestErrorHeader& e;
    const SeriesHeader& s;
    StatPlotMode mode;
    int16_t amplitude;  // of the etalon glyphs
    EtalonFigures figures;
    std::span<const uint32_t> n0, n1;  // normalisers per pulse count
    CurveStyle style = kExactCurves;   // of the curves of `e`

    int32_t V() const { return e.wVariousPulses; }
    int32_t NL() const { return e.wNoiseLevels; }
    int32_t x(int32_t l) const { return pg.px + l * pg.xStep; }
    PlotBox box() const { return {pg.px, pg.py, pg.PW, pg.PH}; }
    int32_t textX() const { return g.L + g.ML; }
    // The same view over another method's grid, drawn in its style.
    StatPaint over(const RestErrorHeader& grid, const CurveStyle& curves) const {
        return {dc, labels, view, g, pg, grid, s, mode, amplitude, figures, n0, n1, curves};
    }
};

// The curves of the mode over p's grid, in p's style, against an error axis
// topped at `top` thousandths; the bounds are the exact plot's own.
void drawCurves(const StatPaint& p, int32_t top);

// Text boxes, frame, grid and axes (stat_plot_boxes.cpp).

void drawHeader(const StatPaint& p, int32_t shownAmplitude);
// Figures and times; returns where the next block starts.
int32_t drawFiguresAndTimes(const StatPaint& p);
// The pattern box of a tuples series; returns where the next block starts.
// Without a pattern to show, nothing moves.
int32_t drawPatternBox(const StatPaint& p, int32_t y);
// The formula in its own font; returns where the next line starts.
int32_t drawFormula(const StatPaint& p, int32_t y);
void drawPlotFrame(const StatPaint& p);
void drawDottedGrid(const StatPaint& p);
// Noise levels under every fourth level and sigma after them; the error axis in fifths of Z.
void drawAxisLabels(const StatPaint& p, int32_t top);

// The comparison with the matched filter (stat_plot_legend.cpp).

// Under the label line, in the text font: a line sample and the name of each
// method, then what the comparison leaves out; for a tuples simulation only
// that there is none. Text that would not fit is left out with its sample.
void drawComparisonLegend(const StatPaint& p, int32_t y, bool curves);

}  // namespace etalon::stat_plot
