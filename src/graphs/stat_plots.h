#pragma once

#include <cstdint>
#include <ctime>
#include <span>

#include "base/message_sink.h"
#include "graphs/label_placer.h"
#include "graphs/stat_plot_text.h"
#include "platform/device_context.h"
#include "platform/geometry.h"
#include "pulses/pulse_header.h"
#include "series/series_header.h"
#include "simulation/rest_error_header.h"

namespace etalon {

// Where and how the statistics view is drawn.
struct StatPlotView {
    platform::Rect rcGraph;  // right and bottom inclusive
    int32_t nLineHeight = 0;
    int32_t bFixedUpperBound = 0;
    double dUpperBound = 0.25;
    std::time_t startTime = 0;  // of the simulation shown
    std::time_t endTime = 0;
    // Receives the rows of the stored subsets listed in the pattern box, for
    // clicks on them; rows beyond its size are not recorded, entries not
    // drawn are cleared.
    std::span<platform::Rect> listedReservedRects;
    // The matched filter's grid of the same simulation: its curves go beside
    // the exact ones, dashed in kMatchedFilterColour, with a legend, and the
    // axis takes both. Null (or a grid of another shape) draws the plot alone.
    const RestErrorHeader* matchedFilter = nullptr;
    // The comparison was asked for: a tuples simulation, which has none, says so.
    bool matchedFilterWanted = false;
};

// What the statistics view shows.
struct StatPlotRequest {
    const RestErrorHeader* errors = nullptr;
    const SeriesHeader* series = nullptr;
    StatPlotMode mode = StatPlotMode::RestoredComponents;
    uint16_t amplitude = 0;  // the pulse amplitude set
    // The working set's etalons: the strip shows them, the figures are taken over them.
    std::span<const uint16_t> required;
};

// The statistics view: what the simulation was, the etalon strip, the
// etalons' figures, its times, the pattern box of a tuples series, the
// formula and the plot of the error the mode chooses against the noise level.
// Curves are clipped to the plot; an axis or curve label that would run into
// text or cross a frame is left out. The text font is selected on entry.
// Returns 1, or 0 after reporting that the normalisers could not be had (nothing drawn). Without an
// error record or a series nothing is drawn.
int DrawDetectionArrayZ(MessageSink& sink, platform::DeviceContext& dc, const StatPlotView& view,
                        const StatPlotRequest& request);

// A plot's left, top, width and height.
struct PlotBox {
    int32_t left = 0, top = 0, width = 0, height = 0;
};

// Where and how DrawErrorCurves draws a grid's curves.
struct ErrorCurvesRequest {
    std::span<const uint32_t> normaliser;  // per pulse count
    PlotBox box;
    int32_t labelOffset = 0;  // how far above a curve's end its label goes
    double scale = 0;         // thousandths of the error axis to its height (1000 div Z)
    int32_t xStep = 0;        // pixels between noise levels
};

// The componentwise detection error: per pulse count k the curve of
// sqrt(detection[l][k] / repeats / normaliser[k]) over the noise levels, drawn
// bold (as is, one pixel lower, one right) and clipped to the plot, with its
// pulse count at its end, labelOffset above it. Counts without a normaliser,
// or no repeats, draw nothing. The pulse counts go through `labels`, which
// leaves out those that would collide.
void DrawErrorCurves(platform::DeviceContext& dc, const RestErrorHeader& errors,
                     const ErrorCurvesRequest& request, LabelPlacer& labels);

}  // namespace etalon
