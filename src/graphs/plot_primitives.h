#pragma once

#include <cstdint>
#include <string>

#include "platform/device_context.h"
#include "platform/geometry.h"
#include "pulses/pulse_header.h"
#include "series/series_codes.h"
#include "series/series_header.h"

namespace etalon {

using platform::DeviceContext;
using platform::Rect;

// Building blocks of the series graph and of the simulation plots. Each draws
// into the given context and leaves its pen, brush and font as it found them.
// Routines that map samples draw nothing for a series of fewer than two
// samples or a half range a that is not positive.

inline constexpr platform::Color kSeriesBlue{0, 0, 255};
inline constexpr platform::Color kTupleBackground{192, 191, 178};
inline constexpr platform::Color kFoundGrey{163, 163, 163};
inline constexpr platform::Color kPickedRed{255, 0, 0};

void DrawAxes(DeviceContext& dc, const Rect& panel);
void DrawNoisySeries(DeviceContext& dc, const Rect& panel, int16_t a, const SeriesHeader& series);
void DrawSeriesPulses(DeviceContext& dc, const Rect& panel, int16_t a, const SeriesHeader& series);
void DrawPulseCutOffs(DeviceContext& dc, const Rect& panel, int16_t a, const SeriesHeader& series);
void DrawDetectedPulses(DeviceContext& dc, const Rect& panel, int16_t a,
                        const SeriesHeader& series);
void ShadeSeriesPulses(DeviceContext& dc, const Rect& panel, int16_t a, const SeriesHeader& series);
void HighlightDetectedPulses(DeviceContext& dc, const Rect& panel, const SeriesHeader& series);
void FrameDetectedTuples(DeviceContext& dc, const Rect& panel, const SeriesHeader& series);
void FillDetectedTuples(DeviceContext& dc, const Rect& panel, const SeriesHeader& series);

// listSelector 1 or 2 labels the restored pulses, anything else the true ones;
// letters appends the etalon letter; cut-off series types (2, 8) the kept part.
// A label that would run into another (nearer than a blank) or reach past the
// panel's left or right edge is left out; the first and the last are kept
// when they fit.
void DrawPulseLabels(DeviceContext& dc, const Rect& panel, SeriesCode seriesType, int listSelector,
                     bool letters, const SeriesHeader& series);

// A pulse's label: its position, the etalon letter when asked, and the kept
// part "[first..last] " on cut-off series.
std::string pulseLabel(int32_t position, int32_t etalon, bool letters, bool cutoff, int32_t first,
                       int32_t last);

// The letter and curve of one etalon; mark 1 (found) on grey, 2 (picked) on
// red, 0 plain. The curve area starts below the letter and is the cell's height.
void DrawEtalon(DeviceContext& dc, const PulseHeader& etalon, int16_t a, int mark,
                const Rect& cell);

}  // namespace etalon
