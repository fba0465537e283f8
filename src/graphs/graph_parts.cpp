#include "graphs/graph_parts.h"

#include <algorithm>
#include <cstdio>
#include <string>

#include "graphs/plot_primitives.h"

namespace etalon {

namespace {

std::string stripTitle(const SeriesGraphGeometry& g, int32_t count) {
    char buffer[64];
    if (g.AW < 100) {
        std::snprintf(buffer, sizeof buffer, " Alph: %d ", count);
        return buffer;
    }
    std::snprintf(buffer, sizeof buffer, " Alphabet, %d item%s ", count, count == 1 ? "" : "s");
    return buffer;
}

}  // namespace

const PulseHeader* etalonOf(const SeriesHeader& series, int32_t number) {
    if (number < 1 || static_cast<size_t>(number) > series.lpPulsesList.size()) return nullptr;
    const PulseHeader* etalon = series.lpPulsesList[number - 1];
    return etalon && etalon->hasData() ? etalon : nullptr;
}

std::string fittedText(const platform::DeviceContext& dc, const std::string& text,
                       int32_t maxWidth) {
    if (dc.textExtent(text).cx <= maxWidth) return text;
    const std::string more = " ...";
    std::size_t cut = text.size();
    while (cut > 0) {
        cut = text.find_last_of(' ', cut - 1);
        if (cut == std::string::npos || cut == 0) break;
        const std::string shorter = text.substr(0, cut) + more;
        if (dc.textExtent(shorter).cx <= maxWidth) return shorter;
    }
    return {};
}

void drawGraphFrame(platform::DeviceContext& dc, const SeriesGraphGeometry& g) {
    dc.moveTo(g.L, g.T);
    dc.lineTo(g.L, g.T + g.H);
    dc.lineTo(g.L + g.W, g.T + g.H);
    dc.lineTo(g.L + g.W, g.T);
    dc.lineTo(g.L, g.T);
}

platform::Rect etalonStripFrame(const SeriesGraphGeometry& g) {
    return {g.AX, g.AY, g.AX + g.AW + 1, g.AY + g.AN + 1};
}

void drawEtalonStrip(platform::DeviceContext& dc, const SeriesGraphGeometry& g,
                     const SeriesHeader& series, uint16_t count, std::span<const uint16_t> list,
                     int16_t amplitude, int32_t found) {
    const platform::Rect frame = etalonStripFrame(g);
    dc.rectangle(frame.left, frame.top, frame.right, frame.bottom);
    dc.textOut(g.AX + 7, g.AY - g.MT, stripTitle(g, count));
    const int items = std::min<int>(count, static_cast<int>(list.size()));
    for (int k = 0; k < items; ++k) {
        const PulseHeader* etalon = etalonOf(series, list[k]);
        if (!etalon) continue;
        const int mark = found != 0 && found == list[k] ? 1 : 0;
        DrawEtalon(dc, *etalon, amplitude, mark, g.stripCell(k));
    }
}

platform::Rect patternBoxFrame(const PatternBox& box, int32_t lineHeight) {
    return {box.bx, box.by - lineHeight / 4 + 1, box.bx + box.bw, box.by + box.bh};
}

void drawPatternBoxFrame(platform::DeviceContext& dc, const PatternBox& box, int32_t lineHeight) {
    const platform::Rect frame = patternBoxFrame(box, lineHeight);
    dc.rectangle(frame.left, frame.top, frame.right, frame.bottom);
}

void drawPatternBoxTitle(platform::DeviceContext& dc, const PatternBox& box,
                         const std::string& title) {
    const platform::Size extent = dc.textExtent(title);
    dc.textOut(box.bx + box.bw - (extent.cx + 10), box.by - (extent.cy / 2 + extent.cy / 4), title);
}

void drawEtalonRow(platform::DeviceContext& dc, const SeriesHeader& series,
                   std::span<const int16_t> etalons, int16_t amplitude, int mark,
                   const GlyphRow& row) {
    int32_t x = row.x0;
    for (int16_t number : etalons) {
        const platform::Rect cell{x + row.gx, row.top, x + row.cw - 2 * row.gx, row.bottom};
        if (const PulseHeader* etalon = etalonOf(series, number))
            DrawEtalon(dc, *etalon, amplitude, mark, cell);
        x += row.cw + row.gx;
    }
}

}  // namespace etalon
