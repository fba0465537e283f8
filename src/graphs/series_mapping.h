#pragma once

#include <cstdint>

#include "platform/device_context.h"
#include "platform/geometry.h"

namespace etalon {

// Maps sample indices and values of a series of n samples onto a panel:
// index 0 on the left edge, n - 1 on the right; -a on the bottom edge, +a on
// the top, 0 on the zero line. Values beyond +-a land outside the panel.
struct SeriesMapping {
    platform::Rect panel;
    int32_t n = 0;
    int32_t a = 0;

    int32_t w() const { return panel.right - panel.left; }
    int32_t h() const { return panel.bottom - panel.top; }
    int32_t zeroY() const { return panel.top + h() / 2; }
    // Column of sample i relative to the panel's left edge.
    int32_t dx(int32_t i) const { return (i * w()) / (n - 1); }
    int32_t x(int32_t i) const { return panel.left + dx(i); }
    int32_t y(int32_t v) const { return panel.top + h() - ((v + a) * h()) / (2 * a); }
    // A panel needs two samples and a positive half range to divide by.
    bool drawable() const { return n >= 2 && a > 0; }
};

// Line height of the selected font: character height plus external leading, less one.
inline int32_t lineHeight(const platform::DeviceContext& dc) {
    const platform::TextMetrics tm = dc.textMetrics();
    return tm.height + tm.externalLeading - 1;
}

}  // namespace etalon
