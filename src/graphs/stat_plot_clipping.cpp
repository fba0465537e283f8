#include "graphs/stat_plot_clipping.h"

#include <algorithm>
#include <cmath>

namespace etalon::stat_plot {

using platform::Point;
using platform::Rect;

int64_t plotY(const PlotBox& box, double height) {
    const double h = std::clamp(std::trunc(height), -1e12, 1e12);
    return box.top + box.height - static_cast<int64_t>(h);
}

Rect plotArea(const PlotBox& box) {
    return {box.left - 1, box.top - 1, box.left + box.width + 2, box.top + box.height + 2};
}

std::array<Rect, 2> plotFrames(const PlotBox& box) {
    return {Rect{box.left, box.top, box.left + box.width + 1, box.top + box.height + 1},
            plotArea(box)};
}

std::optional<std::pair<Point, Point>> segmentWithin(CurvePoint a, CurvePoint b, const Rect& r) {
    double t0 = 0, t1 = 1;
    const double dx = double(b.x) - a.x, dy = double(b.y - a.y);
    const auto edge = [&](double p, double q) {  // keeps p t <= q
        if (p == 0) return q >= 0;
        const double t = q / p;
        if (p < 0)
            t0 = std::max(t0, t);
        else
            t1 = std::min(t1, t);
        return t0 <= t1;
    };
    if (!edge(-dx, double(a.x) - r.left) || !edge(dx, double(r.right) - a.x) ||
        !edge(-dy, double(a.y) - r.top) || !edge(dy, double(r.bottom) - double(a.y)))
        return std::nullopt;
    const auto at = [&](double t) {
        return Point{static_cast<int32_t>(std::lround(a.x + t * dx)),
                     static_cast<int32_t>(std::llround(double(a.y) + t * dy))};
    };
    return std::pair{at(t0), at(t1)};
}

}  // namespace etalon::stat_plot
