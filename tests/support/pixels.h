#pragma once

#include <vector>

#include "platform/geometry.h"
#include "platform/surface.h"

namespace etalon::test {

// Points of a colour inside a rectangle (right and bottom excluded), row by row.
inline std::vector<platform::Point> pixelsOf(const platform::Surface& surface,
                                             platform::Color color, platform::Rect area) {
    std::vector<platform::Point> points;
    for (int32_t y = area.top; y < area.bottom; ++y) {
        for (int32_t x = area.left; x < area.right; ++x) {
            if (surface.pixel(x, y) == color) points.push_back({x, y});
        }
    }
    return points;
}

inline std::vector<platform::Point> pixelsOf(const platform::Surface& surface,
                                             platform::Color color) {
    return pixelsOf(surface, color, {0, 0, surface.width(), surface.height()});
}

// Every pixel that is not white.
inline std::vector<platform::Point> inkOf(const platform::Surface& surface, platform::Rect area) {
    std::vector<platform::Point> points;
    for (int32_t y = area.top; y < area.bottom; ++y) {
        for (int32_t x = area.left; x < area.right; ++x) {
            if (!(surface.pixel(x, y) == platform::kWhite)) points.push_back({x, y});
        }
    }
    return points;
}

inline std::vector<platform::Point> inkOf(const platform::Surface& surface) {
    return inkOf(surface, {0, 0, surface.width(), surface.height()});
}

// How many pixels two pictures of one size differ in; a size that differs counts every pixel.
inline size_t differingPixels(const platform::Surface& a, const platform::Surface& b) {
    if (a.width() != b.width() || a.height() != b.height())
        return static_cast<size_t>(a.width()) * a.height();
    size_t differ = 0;
    for (int32_t y = 0; y < a.height(); ++y)
        for (int32_t x = 0; x < a.width(); ++x)
            differ += !(a.pixel(x, y) == b.pixel(x, y));
    return differ;
}

}  // namespace etalon::test
