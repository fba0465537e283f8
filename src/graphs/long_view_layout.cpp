#include "graphs/long_view_layout.h"

#include <algorithm>

namespace etalon {

LongViewLayout longViewLayout(const platform::Rect& graph, int32_t lineHeight) {
    const int32_t lh = std::max(lineHeight, 1);
    const int32_t width = graph.right - graph.left + 1;
    const int32_t height = graph.bottom - graph.top + 1;
    const int32_t margin = std::max(12 * width / 1000, 4);
    LongViewLayout l;
    l.textLeft = graph.left + margin;
    l.textTop = graph.top + lh / 2;
    const int32_t left = l.textLeft;
    const int32_t right = graph.right - margin;
    const int32_t overviewTop = l.textTop + 2 * lh + lh / 2;
    const int32_t overviewHeight = std::max(height / 9, 3 * lh);
    l.overview = {left, overviewTop, right, overviewTop + overviewHeight};
    // Two panels with a line of labels under each, then the scroll bar.
    const int32_t barHeight = std::max(lh - 2, 8);
    const int32_t panelsTop = l.overview.bottom + lh;
    const int32_t room = graph.bottom - lh / 2 - barHeight - panelsTop - 2 * lh - lh / 2;
    const int32_t panelHeight = std::max(room / 2, 2);
    l.seriesPanel = {left, panelsTop, right, panelsTop + panelHeight};
    l.pulsePanel = {left, l.seriesPanel.bottom + lh, right,
                    l.seriesPanel.bottom + lh + panelHeight};
    const int32_t barTop = l.pulsePanel.bottom + lh + lh / 2;
    l.scrollBar = {left, barTop, right, barTop + barHeight};
    return l;
}

uint64_t columnSample(int32_t column, int32_t width, uint64_t total) {
    if (width <= 0 || column <= 0) return 0;
    if (column >= width) return total;
    // 128-bit: a day of samples times a wide strip passes 2^64 nowhere near, but be safe.
    return static_cast<uint64_t>(static_cast<unsigned __int128>(total) * column / width);
}

int32_t sampleColumn(uint64_t sample, int32_t width, uint64_t total) {
    if (total == 0 || width <= 0) return 0;
    return static_cast<int32_t>(static_cast<unsigned __int128>(std::min(sample, total)) * width /
                                total);
}

platform::Rect spanMark(const platform::Rect& strip, uint64_t first, uint64_t count,
                        uint64_t total) {
    const int32_t width = strip.right - strip.left + 1;
    int32_t a = strip.left + sampleColumn(first, width, total);
    int32_t b = strip.left + sampleColumn(first + count, width, total) - 1;
    if (b - a < 2) {
        const int32_t centre = (a + b) / 2;
        a = std::max(strip.left, centre - 1);
        b = std::min(strip.right, a + 2);
        a = std::max(strip.left, b - 2);
    }
    return {a, strip.top, std::min(b, strip.right), strip.bottom};
}

}  // namespace etalon
