#include "graphs/label_placer.h"

#include <algorithm>

namespace etalon {
namespace {

using platform::Rect;

// Both right and bottom excluded.
bool overlap(const Rect& a, const Rect& b) {
    return a.left < b.right && b.left < a.right && a.top < b.bottom && b.top < a.bottom;
}

bool inside(const Rect& cell, const Rect& area) {
    return area.left <= cell.left && cell.right <= area.right && area.top <= cell.top &&
           cell.bottom <= area.bottom;
}

}  // namespace

bool crossesFrame(const Rect& cell, const Rect& frame) {
    const Rect within{frame.left + 1, frame.top + 1, frame.right - 1, frame.bottom - 1};
    return overlap(cell, frame) && !inside(cell, within);
}

Rect LabelPlacer::cellOf(int32_t x, int32_t y, std::string_view text) const {
    const platform::Size extent = dc_.textExtent(text);
    return {x, y, x + extent.cx, y + extent.cy};
}

bool LabelPlacer::fits(const Rect& cell) const {
    if (!inside(cell, area_)) return false;
    const auto crossed = [&](const Rect& frame) { return crossesFrame(cell, frame); };
    // Cells that merely touch still read as one word: keep a blank between.
    const int32_t blank = dc_.textExtent(" ").cx;
    const Rect spaced{cell.left - blank, cell.top, cell.right + blank, cell.bottom};
    const auto met = [&](const Rect& taken) { return overlap(spaced, taken); };
    return std::none_of(frames_.begin(), frames_.end(), crossed) &&
           std::none_of(taken_.begin(), taken_.end(), met);
}

void LabelPlacer::drawText(int32_t x, int32_t y, std::string_view text) {
    if (text.empty()) return;
    dc_.textOut(x, y, text);
    taken_.push_back(cellOf(x, y, text));
}

bool LabelPlacer::place(const Label& label) {
    if (label.text.empty()) return false;
    const Rect cell = cellOf(label.x, label.y, label.text);
    if (!fits(cell)) return false;
    dc_.textOut(label.x, label.y, label.text);
    taken_.push_back(cell);
    return true;
}

void LabelPlacer::placeAll(std::span<const Label> labels) {
    if (labels.empty()) return;
    place(labels.front());
    if (labels.size() > 1) place(labels.back());
    for (size_t i = 1; i + 1 < labels.size(); ++i)
        place(labels[i]);
}

}  // namespace etalon
