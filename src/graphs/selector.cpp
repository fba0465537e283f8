#include "graphs/selector.h"

#include <algorithm>
#include <cstdio>
#include <string>

#include "graphs/series_mapping.h"

namespace etalon {

using platform::BrushGuard;

int DrawSelector(platform::DeviceContext& dc, const platform::Rect& box,
                 std::span<platform::Rect> items, std::string_view label,
                 std::span<const int32_t> values, int32_t currentEntry, int32_t valueInEffect) {
    int32_t x = box.left, y = box.top;
    const int32_t w = box.right - box.left + 1, h = box.bottom - box.top + 1;
    const int32_t lh = lineHeight(dc);
    dc.moveTo(x, y);
    dc.lineTo(x, y + h);
    dc.lineTo(x + w, y + h);
    dc.lineTo(x + w, y);
    dc.lineTo(x, y);

    x += 10;
    const int32_t inset = std::max((lh + 1) / 8, 1);
    dc.textOut(x - 5, y - lh / 2, std::string(label));
    y += lh / 2 + lh;

    const size_t n = std::min(values.size(), items.size());
    for (size_t i = 0; i < n; ++i) {
        dc.ellipse(x, y, x + lh, y + lh);
        char text[32];
        std::snprintf(text, sizeof text, " %5d ", values[i]);
        dc.textOut(x + 2 * lh, y, text);
        items[i] = {x, y, x + w - 20, y + lh + lh / 2 - 1};
        y += lh + lh / 2;
    }
    if (n == 0) return 1;

    size_t current = static_cast<size_t>(currentEntry - 1);
    if (currentEntry < 1 || current >= n) current = 0;
    const platform::Rect& item = items[current];
    BrushGuard brush(dc, values[current] == valueInEffect ? platform::kBlack : kPendingDot);
    dc.ellipse(item.left + inset, item.top + inset, item.left + lh - inset, item.top + lh - inset);
    return 1;
}

}  // namespace etalon
