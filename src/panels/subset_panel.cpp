#include "panels/subset_panel.h"

#include <algorithm>

namespace etalon {

using platform::Rect;

int allocSubsetPanel(SubsetPanelState& panel) {
    if (panel.selectionCapacity >= SubsetPanelState::kSelectionCapacity) return 1;
    panel.selectionCapacity = SubsetPanelState::kSelectionCapacity;
    clearSelection(panel);
    if (panel.reservedCapacity == 0) {
        panel.reservedCapacity = SubsetPanelState::kReservedCapacity;
        panel.reservedCount = 0;
    }
    return 1;
}

namespace {

void layoutButtons(SubsetPanelState& panel, const SubsetPanelMetrics& m, bool tuples) {
    const Rect& area = panel.selectionAreaRect;
    const int32_t bw = m.widestButtonText + 4 * m.aveCharWidth;
    const int32_t bh = 2 * m.textHeight - 1;
    const int32_t top = area.bottom + m.textHeight / 2;
    const int32_t gap = 2 * m.aveCharWidth;
    panel.buttonCount = tuples ? 6 : 4;
    std::array<int32_t, SubsetPanelState::kMaxButtons> lefts{};
    for (int i = 0; i < 4; ++i)
        lefts[i] = area.left + i * (bw + gap);
    if (tuples) {
        lefts[2] = area.right - 2 * (bw + m.aveCharWidth);
        lefts[3] = lefts[2] + bw + gap;
        lefts[4] = lefts[1] + bw + gap;
        lefts[5] = lefts[4] + bw + gap;
    }
    panel.buttonsWhileSelectedSubsetRect = {};
    for (int i = 0; i < panel.buttonCount; ++i)
        panel.buttonsWhileSelectedSubsetRect[i] = {lefts[i], top, lefts[i] + bw, top + bh};
}

void layoutReserved(SubsetPanelState& panel, const SubsetPanelMetrics& m, int32_t mx, int32_t my,
                    int32_t aw) {
    const Rect& p = panel.panelRect;
    const Rect& button = panel.buttonsWhileSelectedSubsetRect[0];
    const int32_t top = button.bottom + m.textHeight / 2;
    const int32_t ah = p.bottom - top - my;
    const int32_t capacity = SubsetPanelState::kReservedCapacity;
    const int32_t nr = (capacity + 1) / 2;
    const int32_t cw2 = (aw - mx) / 2;
    const int32_t rh = (ah - (nr - 1) * my) / nr;
    const int32_t cc = (cw2 - 19) / 10;
    for (int32_t r = 0; r < capacity; ++r) {
        const int32_t left = r / nr == 0 ? p.left + mx : p.left + 2 * mx + cw2;
        const int32_t t = top + (r % nr) * (rh + my);
        auto& row = panel.possibleSubsetArrayRect[r];
        for (int32_t c = 0; c < SubsetPanelState::kSelectionCapacity; ++c) {
            row[c] = {left + (cc + 2) * c + 2, t - my / 2 + 1, left + (c + 1) * (cc + 2) - 3,
                      t + rh - 1 - my - m.textHeight};
        }
        row[SubsetPanelState::kSelectionCapacity] = {left, t, left + cw2 + 1, t + rh + 1};
    }
    // In the button row's free stretch: over the first row it would hide its etalons.
    const platform::Rect& last = panel.buttonsWhileSelectedSubsetRect[kButtonClearAll];
    panel.reservedLabelAt = {last.right + 2 * m.aveCharWidth,
                             last.top + (last.bottom - last.top - m.textHeight) / 2};
}

}  // namespace

void layoutSubsetPanel(SubsetPanelState& panel, const Rect& panelRect, const SubsetPanelMetrics& m,
                       int32_t seriesEtalons, int32_t offered, int32_t maxPulses, bool tuples) {
    panel.panelRect = panelRect;
    const int32_t x0 = panelRect.left, y0 = panelRect.top, x1 = panelRect.right;
    const int32_t w = panelRect.right - x0 + 1;
    const int32_t h = panelRect.bottom - y0 + 1;
    const int32_t mx = w / 170;
    const int32_t my = h / 131;

    const int32_t areaHeight = (h - 3 * my) / 4;
    const int32_t aw = (x1 - mx) - (x0 + mx) + 1;
    panel.offeredAreaRect = {x0 + mx, y0 + my, x1 - mx, y0 + my + areaHeight};

    const int32_t etalons = std::clamp<int32_t>(seriesEtalons, 1, kEtalonsNumber);
    const int32_t rows = (etalons - 1) / 10 + 1;
    const int32_t cw = (aw - 11 * mx) / 10;
    const int32_t ch = (areaHeight - (rows + 1) * my) / rows;
    panel.offeredCount = std::clamp<int32_t>(offered, 0, etalons);
    panel.offeredCellRects = {};
    for (int32_t k = 0; k < etalons; ++k) {
        const int32_t left = x0 + 2 * mx + (k % 10) * (cw + mx);
        const int32_t top = y0 + 2 * my + (k / 10) * (ch + my);
        panel.offeredCellRects[k] = {left, top, left + cw, top + ch};
    }

    const int32_t areaTop = panel.offeredAreaRect.bottom + my + m.textHeight;
    panel.selectionAreaRect = {x0 + mx, areaTop, x1 - mx, areaTop + ch + 2 * my};
    panel.selectionCells =
        tuples ? SubsetPanelState::kSelectionCapacity
               : std::clamp<int32_t>(maxPulses, 0, SubsetPanelState::kSelectionCapacity);
    panel.possibleSubsetRect = {};
    for (int32_t i = 0; i < panel.selectionCells; ++i) {
        const int32_t left = x0 + 2 * mx + i * (cw + mx);
        panel.possibleSubsetRect[i] = {left, areaTop + my, left + cw, areaTop + my + ch};
    }

    layoutButtons(panel, m, tuples);
    panel.possibleSubsetArrayRect = {};
    if (tuples) layoutReserved(panel, m, mx, my, aw);
}

int32_t storeSubsetRow(
    std::span<const int32_t> entries, std::span<int32_t> lengths,
    std::span<std::array<int32_t, SubsetPanelState::kSelectionCapacity + 1>> rows, int32_t row,
    int32_t capacity) {
    if (row < 0 || row >= capacity || static_cast<size_t>(row) >= rows.size() ||
        static_cast<size_t>(row) >= lengths.size()) {
        return row;
    }
    const size_t count = std::min(entries.size(), rows[row].size());
    std::copy_n(entries.begin(), count, rows[row].begin());
    lengths[row] = static_cast<int32_t>(count);
    return row + 1;
}

void removeMarkedSelected(SubsetPanelState& panel) {
    int32_t kept = 0;
    for (int32_t i = 0; i < panel.selectionCount; ++i) {
        if (panel.selectedMarks[i]) continue;
        panel.selectedSubset[kept] = panel.selectedSubset[i];
        panel.selectedMarks[kept] = 0;
        ++kept;
    }
    for (int32_t i = kept; i < panel.selectionCount; ++i)
        panel.selectedSubset[i] = panel.selectedMarks[i] = 0;
    panel.selectionCount = kept;
}

void appendSelected(SubsetPanelState& panel, int32_t etalon) {
    if (panel.selectionCount >= SubsetPanelState::kSelectionCapacity) return;
    panel.selectedSubset[panel.selectionCount] = etalon;
    panel.selectedMarks[panel.selectionCount] = 0;
    ++panel.selectionCount;
}

void markSelectedOnly(SubsetPanelState& panel, int32_t cell) {
    panel.selectedMarks = {};
    if (cell >= 0 && cell < SubsetPanelState::kSelectionCapacity) panel.selectedMarks[cell] = 1;
}

void clearSelection(SubsetPanelState& panel) {
    panel.selectedSubset = {};
    panel.selectedMarks = {};
    panel.selectionCount = 0;
}

}  // namespace etalon
