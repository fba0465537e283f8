#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <utility>

#include "graphs/stat_plots.h"
#include "platform/geometry.h"

namespace etalon::stat_plot {

// The plot's box, its error scale and the clipping of curves to it.

// Thousandths of the error axis to its height: 1000 div Z, whole as the
// plots always took it; above Z = 1000, where that would be 0 and flatten
// every curve, the exact fraction 1000 / Z.
struct AxisScale {
    uint64_t num = 1, den = 1;

    explicit AxisScale(int32_t top)
        : num(top <= 1000 ? uint64_t(1000 / top) : 1000), den(top <= 1000 ? 1 : uint64_t(top)) {}
    double value() const { return double(num) / double(den); }
    // (scale x count x height) div divisor, in whole numbers.
    uint64_t of(uint64_t count, int32_t height, uint64_t divisor) const {
        return num * count * uint64_t(height) / (divisor * den);
    }
};

// A point of a curve. Its y may lie far beyond the plot: only the part inside
// is drawn, along the true line.
struct CurvePoint {
    int32_t x = 0;
    int64_t y = 0;
};

// The y of a height above the plot's bottom, exact however far off the plot.
int64_t plotY(const PlotBox& box, double height);

// The plot with its double frame: curves show only there.
platform::Rect plotArea(const PlotBox& box);

// The plot's two frames, as rectangle() would outline them, for labels to keep off.
std::array<platform::Rect, 2> plotFrames(const PlotBox& box);

// The part of the segment from a to b inside r, or nothing. Ends inside r are
// kept exactly, so segments within the plot draw as they always did.
std::optional<std::pair<platform::Point, platform::Point>> segmentWithin(CurvePoint a, CurvePoint b,
                                                                         const platform::Rect& r);

}  // namespace etalon::stat_plot
