#include "graphs/stat_plots.h"

#include <algorithm>
#include <cstdio>
#include <vector>

#include "base/allocation.h"
#include "graphs/graph_parts.h"
#include "graphs/series_graph.h"
#include "graphs/series_graph_text.h"
#include "graphs/series_mapping.h"
#include "graphs/stat_plot_parts.h"
#include "processing/task_codes.h"

namespace etalon {

using platform::DeviceContext;
using platform::Rect;
using namespace stat_plot;

namespace {

// The label font, the axes and the curves, the matched filter's beside the
// exact ones when given; y is where the formula block ends. Returns where the
// next line starts.
int32_t drawPlot(const StatPaint& p, int32_t y, const RestErrorHeader* matchedFilter) {
    platform::FontGuard font(p.dc, platform::Font{platform::FontKind::Symbol, p.pg.labelFont});
    char line[48];
    std::snprintf(line, sizeof line, " %d -> %d", p.pg.labelFont, p.dc.textMetrics().height);
    p.labels.drawText(p.textX(), y, line);
    drawPlotFrame(p);
    for (const Rect& frame : plotFrames(p.box()))
        p.labels.addFrame(frame);
    drawDottedGrid(p);
    const ErrorNormalisers n{p.n0.empty() ? 0 : p.n0[0], p.n1.empty() ? 0 : p.n1[0]};
    int32_t q = errorAxisMaximum(p.mode, p.e, n);
    if (matchedFilter) q = std::max(q, errorAxisMaximum(p.mode, *matchedFilter, n));
    const int32_t top = errorAxisTop(q, p.view.bFixedUpperBound != 0, p.view.dUpperBound);
    drawAxisLabels(p, top);
    drawCurves(p, top);
    // Over the exact curves, whose ink shows through the gaps.
    if (matchedFilter) drawCurves(p.over(*matchedFilter, kMatchedFilterCurves), top);
    return y + lineHeight(p.dc) + 1;
}

// A grid of the exact one's shape, from a complete run: only then do its
// curves answer to the same axes.
bool comparable(const RestErrorHeader& exact, const RestErrorHeader& other) {
    return other.ifComplete && other.wVariousPulses == exact.wVariousPulses &&
           other.wNoiseLevels == exact.wNoiseLevels && other.repeats == exact.repeats &&
           std::ranges::equal(other.lpNoiseLevels(), exact.lpNoiseLevels()) &&
           std::ranges::equal(other.wPulseValues(), exact.wPulseValues());
}

}  // namespace

void DrawErrorCurves(DeviceContext& dc, const RestErrorHeader& errors,
                     const ErrorCurvesRequest& request, LabelPlacer& labels) {
    detectionCurves(dc, errors, request, labels, kExactCurves);
}

int DrawDetectionArrayZ(MessageSink& sink, DeviceContext& dc, const StatPlotView& view,
                        const StatPlotRequest& request) {
    // Rows not drawn this time must not answer clicks.
    std::fill(view.listedReservedRects.begin(), view.listedReservedRects.end(), Rect{});
    if (!request.errors || !request.series) return 1;
    const RestErrorHeader& e = *request.errors;
    const SeriesHeader& series = *request.series;
    // N0, N1 and a third row kept for errors not plotted yet.
    std::vector<uint32_t> normalizer;
    if (!allocateBuffer(normalizer, 3 * size_t{e.wVariousPulses})) {
        sink.show("No memory to RestoredErrorNormalizer", " ERROR in DrawDetectionArrayZ ",
                  MessageIcon::None);
        return 0;
    }
    const size_t V = e.wVariousPulses;
    const std::span<const uint16_t> required = request.required;
    const size_t listed = required.size();
    const EtalonFigures figures = etalonFigures(e, series, required);
    const ErrorNormalisers n = errorNormalisers(figures, series);
    std::fill(normalizer.begin(), normalizer.begin() + V, n.restored);
    std::fill(normalizer.begin() + V, normalizer.begin() + 2 * V, n.detection);
    std::fill(normalizer.begin() + 2 * V, normalizer.end(), 1u);

    const SeriesGraphGeometry g =
        seriesGraphGeometry(view.rcGraph, view.nLineHeight, false, static_cast<int32_t>(listed));
    const StatPlotGeometry pg = statPlotGeometry(g, e.wNoiseLevels);
    const int16_t shown = static_cast<int16_t>(request.amplitude);
    // Labels stay inside the graph frame and off the strip's frame.
    LabelPlacer labels(dc, {g.L + 1, g.T + 1, g.L + g.W, g.T + g.H});
    labels.addFrame(etalonStripFrame(g));
    const StatPaint p{dc,
                      labels,
                      view,
                      g,
                      pg,
                      e,
                      series,
                      request.mode,
                      seriesHalfRange(shown, series.wNoiseLevel).amplitude,
                      figures,
                      std::span<const uint32_t>(normalizer).first(V),
                      std::span<const uint32_t>(normalizer).subspan(V, V)};
    drawGraphFrame(dc, g);
    drawHeader(p, shown);
    drawEtalonStrip(dc, g, series, static_cast<uint16_t>(listed), required, p.amplitude, 0);
    int32_t y = drawFiguresAndTimes(p);
    y = drawPatternBox(p, y);
    y = drawFormula(p, y);
    const RestErrorHeader* matchedFilter =
        view.matchedFilter && comparable(e, *view.matchedFilter) ? view.matchedFilter : nullptr;
    y = drawPlot(p, y, matchedFilter);
    if (matchedFilter)
        drawComparisonLegend(p, y, true);
    else if (view.matchedFilterWanted && isTuplesTask(e.wEffectiveTask))
        drawComparisonLegend(p, y, false);
    return 1;
}

}  // namespace etalon
