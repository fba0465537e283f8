#include <algorithm>
#include <cstdio>

#include "graphs/plot_primitives.h"
#include "panels/panel_drawing.h"

namespace etalon {

using platform::BrushGuard;
using platform::Color;
using platform::DeviceContext;
using platform::PenGuard;
using platform::Rect;

namespace {

constexpr Color kEmptyCellGrey{160, 160, 160};
constexpr Color kReservedRowPen{215, 220, 205};

const PulseHeader* etalonOf(const SeriesHeader* series, int32_t number) {
    if (!series || number < 1 || static_cast<size_t>(number) > series->lpPulsesList.size())
        return nullptr;
    return series->lpPulsesList[number - 1];
}

int16_t amplitudeOf(const SeriesHeader* series) {
    return series ? series->wAmplitude : int16_t{0};
}

// An etalon inside a panel cell, leaving room for its letter below.
void drawCellEtalon(DeviceContext& dc, const SeriesHeader* series, int32_t number, int mark,
                    const Rect& cell, int32_t mx, int32_t my, int32_t th) {
    const PulseHeader* etalon = etalonOf(series, number);
    if (!etalon || amplitudeOf(series) <= 0) return;
    DrawEtalon(dc, *etalon, amplitudeOf(series), mark,
               {cell.left + mx, cell.top, cell.right - 2 * mx, cell.bottom - 2 * my - th});
}

void drawPanel(DeviceContext& dc, SubsetPanelState& panel, const Rect& panelRect, uint16_t count,
               std::span<const uint16_t> list, const SeriesHeader* series, bool tuples) {
    const SubsetPanelMetrics metrics = subsetPanelMetrics(dc);
    const int32_t seriesEtalons = series ? series->wReservedEtalons : kEtalonsNumber;
    const int32_t maxPulses = series ? series->wMaxPulses : SubsetPanelState::kSelectionCapacity;
    const int32_t offered = std::min<int32_t>(count, static_cast<int32_t>(list.size()));
    layoutSubsetPanel(panel, panelRect, metrics, seriesEtalons, offered, maxPulses, tuples);
    const Rect& p = panel.panelRect;
    const int32_t mx = (p.right - p.left + 1) / 170;
    const int32_t my = (p.bottom - p.top + 1) / 131;
    const int32_t th = metrics.textHeight;

    {
        PenGuard pen(dc, kPanelBackground);
        BrushGuard brush(dc, kPanelBackground);
        dc.rectangle(p.left, p.top, p.right + 1, p.bottom + 1);
    }
    frameRect(dc, panel.offeredAreaRect);
    for (int32_t k = 0; k < panel.offeredCount; ++k) {
        const Rect& c = panel.offeredCellRects[k];
        dc.rectangle(c.left, c.top, c.right, c.bottom);
        drawCellEtalon(dc, series, list[k], 0, c, mx, my, th);
    }

    frameRect(dc, panel.selectionAreaRect);
    {
        PenGuard grey(dc, kEmptyCellGrey);
        for (int32_t i = panel.selectionCount; i < panel.selectionCells; ++i) {
            const Rect& c = panel.possibleSubsetRect[i];
            dc.rectangle(c.left, c.top, c.right, c.bottom);
        }
    }
    // Marked as shown: the next offered etalon then starts a new selection.
    if (tuples && panel.markAll) {
        for (int32_t i = 0; i < panel.selectionCount; ++i)
            panel.selectedMarks[i] = 1;
    }
    for (int32_t i = 0; i < std::min(panel.selectionCount, panel.selectionCells); ++i) {
        const Rect& c = panel.possibleSubsetRect[i];
        dc.rectangle(c.left, c.top, c.right, c.bottom);
        const int mark = panel.selectedMarks[i] ? 1 : 0;
        drawCellEtalon(dc, series, panel.selectedSubset[i], mark, c, mx, my, th);
    }
    if (tuples) panel.markAll = 0;

    for (int32_t i = 0; i < panel.buttonCount; ++i)
        DrawButton(dc, panel.buttonsWhileSelectedSubsetRect[i], kSubsetButtonTexts[i]);
    if (!tuples) return;

    char label[48];
    std::snprintf(label, sizeof label, " reserved subsets %d ", int{panel.reservedCapacity});
    dc.textOut(panel.reservedLabelAt.x, panel.reservedLabelAt.y, label);
    {
        PenGuard pen(dc, kReservedRowPen);
        for (const auto& row : panel.possibleSubsetArrayRect)
            frameRect(dc, row[SubsetPanelState::kSelectionCapacity]);
    }
    for (int32_t r = 0; r < std::min(panel.reservedCount, SubsetPanelState::kReservedCapacity);
         ++r) {
        const int mark = r + 1 == panel.pickedReserved ? 2 : 0;
        const int32_t length = std::clamp<int32_t>(panel.selectedSubsetArraySize[r], 0,
                                                   SubsetPanelState::kSelectionCapacity);
        for (int32_t c = 0; c < length; ++c) {
            // The etalon's mark reaches past its curve and its curve below its
            // letter: inset so both stay inside the row that is repainted.
            const Rect& cell = panel.possibleSubsetArrayRect[r][c];
            const Rect inside{cell.left + 3, cell.top, cell.right - 6, cell.bottom - th / 4 - 2};
            const PulseHeader* etalon = etalonOf(series, panel.reservedSubsets[r][c]);
            if (etalon && amplitudeOf(series) > 0)
                DrawEtalon(dc, *etalon, amplitudeOf(series), mark, inside);
        }
    }
}

}  // namespace

void frameRect(DeviceContext& dc, const Rect& r) {
    if (r.right <= r.left || r.bottom <= r.top) return;
    dc.moveTo(r.left, r.top);
    dc.lineTo(r.right - 1, r.top);
    dc.lineTo(r.right - 1, r.bottom - 1);
    dc.lineTo(r.left, r.bottom - 1);
    dc.lineTo(r.left, r.top);
}

SubsetPanelMetrics subsetPanelMetrics(const DeviceContext& dc) {
    const platform::TextMetrics tm = dc.textMetrics();
    SubsetPanelMetrics m;
    m.textHeight = tm.height;
    m.aveCharWidth = tm.aveCharWidth;
    for (std::string_view text : kSubsetButtonTexts)
        m.widestButtonText = std::max(m.widestButtonText, dc.textExtent(text).cx);
    return m;
}

void DrawButton(DeviceContext& dc, const Rect& r, std::string_view text) {
    {
        BrushGuard face(dc, kPanelBackground);
        dc.rectangle(r.left, r.top, r.right, r.bottom);
    }
    const auto line = [&dc](int32_t x0, int32_t y0, int32_t x1, int32_t y1) {
        dc.moveTo(x0, y0);
        dc.lineTo(x1, y1);
    };
    {
        PenGuard dark(dc, Color{125, 125, 125});
        line(r.left, r.top, r.right, r.top);
        line(r.left, r.top, r.left, r.bottom);
        line(r.left + 1, r.bottom - 2, r.right - 1, r.bottom - 2);
        line(r.right - 2, r.top + 1, r.right - 2, r.bottom - 1);
    }
    {
        PenGuard shade(dc, Color{165, 170, 165});
        line(r.left + 2, r.bottom - 3, r.right - 2, r.bottom - 3);
        line(r.right - 3, r.top + 2, r.right - 3, r.bottom - 2);
    }
    {
        PenGuard light(dc, platform::kWhite);
        line(r.left + 1, r.top + 1, r.right - 2, r.top + 1);
        line(r.left + 1, r.top + 1, r.left + 1, r.bottom - 2);
    }
    const platform::Size extent = dc.textExtent(text);
    const int32_t th = dc.textMetrics().height;
    dc.textOut(r.left + (r.right - r.left - extent.cx) / 2, r.top + (th - 2) / 2, text);
}

void DrawSubsetPanel(DeviceContext& dc, SubsetPanelState& panel, const Rect& panelRect,
                     uint16_t count, std::span<const uint16_t> list, const SeriesHeader* series) {
    drawPanel(dc, panel, panelRect, count, list, series, false);
}

void DrawTuplesSubsetPanel(DeviceContext& dc, SubsetPanelState& panel, const Rect& panelRect,
                           uint16_t count, std::span<const uint16_t> list,
                           const SeriesHeader* series) {
    drawPanel(dc, panel, panelRect, count, list, series, true);
}

}  // namespace etalon
