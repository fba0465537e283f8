#include "graphs/alphabet_grid.h"

#include <algorithm>
#include <cstdio>

#include "pulses/alphabet.h"

namespace etalon {
namespace {

using platform::DeviceContext;
using platform::PenGuard;
using platform::Rect;

void outline(DeviceContext& dc, int32_t left, int32_t top, int32_t right, int32_t bottom) {
    dc.moveTo(left, top);
    dc.lineTo(right, top);
    dc.lineTo(right, bottom);
    dc.lineTo(left, bottom);
    dc.lineTo(left, top);
}

void gridFrame(DeviceContext& dc, const Rect& r) {
    const int32_t w = r.right - r.left + 1, h = r.bottom - r.top + 1;
    dc.moveTo(r.left, r.top);
    dc.lineTo(r.left, r.top + h);
    dc.lineTo(r.left + w, r.top + h);
    dc.lineTo(r.left + w, r.top);
    dc.lineTo(r.left, r.top);
}

void cellCurve(DeviceContext& dc, std::span<const int16_t> d, int32_t a, int32_t x, int32_t y,
               int32_t w, int32_t h) {
    const int32_t len = static_cast<int32_t>(d.size());
    dc.moveTo(x, y + h / 2);
    int32_t lastX = x;
    for (int32_t j = 0; j < len; ++j) {
        lastX = x + (j * (w - 6)) / (len - 1);
        dc.lineTo(lastX, y + h - ((d[j] + a) * h) / (2 * a));
    }
    dc.lineTo(lastX, y + h / 2);
}

void drawCell(DeviceContext& dc, const AlphabetGridLayout& layout, const Rect& cell,
              const PulseHeader& etalon, bool working, int16_t amplitude) {
    const int32_t lh = layout.nLineHeight;
    const int32_t x = cell.left + 5, w = layout.wCellInnerWidth;
    const int32_t h = layout.wCellInnerHeight - lh;
    int32_t y = cell.top + 5;

    char label[64];
    std::snprintf(label, sizeof label, " pulse %d [%d]", etalon.wNumber, pulseEnergy(etalon));
    dc.textOut(x, y, label);
    y += lh;

    dc.moveTo(x, y);
    dc.lineTo(x, y + h);
    dc.moveTo(x, y + h / 2);
    dc.lineTo(x + w - 1, y + h / 2);

    const auto d = etalon.samples();
    if (d.size() >= 2 && amplitude > 0) {
        PenGuard pen(dc, working ? kWorkingCurve : kOtherCurve);
        // Three strokes, shifted right and up, make the curve bold.
        cellCurve(dc, d, amplitude, x, y, w, h);
        cellCurve(dc, d, amplitude, x + 1, y, w, h);
        cellCurve(dc, d, amplitude, x, y - 1, w, h);
    }

    const int32_t left = cell.left, top = cell.top;
    const int32_t right = left + layout.wCellWidth, bottom = top + layout.wCellHeight;
    PenGuard pen(dc, working ? kWorkingFrame : kOtherFrame);
    outline(dc, left, top, right, bottom);
    if (working) {
        outline(dc, left + 1, top + 1, right - 1, bottom - 1);
        outline(dc, left - 1, top - 1, right + 1, bottom + 1);
    }
}

}  // namespace

void DrawAlphabetGrid(DeviceContext& dc, const AlphabetGridLayout& layout,
                      std::span<const PulseHeader> alphabet, std::span<const int16_t> selectedFlags,
                      int16_t amplitude) {
    gridFrame(dc, layout.rcGraph);
    const size_t cells = std::min(alphabet.size(), layout.rcCells.size());
    for (size_t i = 0; i < cells; ++i) {
        const bool working = i + 1 < selectedFlags.size() && selectedFlags[i + 1] == 1;
        drawCell(dc, layout, layout.rcCells[i], alphabet[i], working, amplitude);
    }
}

}  // namespace etalon
