#pragma once

#include <algorithm>
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

inline bool samePixels(const platform::Surface& a, const platform::Surface& b) {
    return a.width() == b.width() && a.height() == b.height() &&
           std::equal(a.data(), a.data() + size_t(a.width()) * a.height(), b.data());
}

}  // namespace etalon::test
