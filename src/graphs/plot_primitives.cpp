#include "graphs/plot_primitives.h"

#include <algorithm>
#include <cstdio>
#include <span>
#include <string>
#include <vector>

#include "graphs/label_placer.h"
#include "graphs/series_mapping.h"
#include "series/series_codes.h"

namespace etalon {
namespace {

using platform::BrushGuard;
using platform::PenGuard;

// Pulses of a list that every one of its arrays holds; a short array never
// gets read past its end.
template <typename... Arrays>
int heldPulses(int count, const Arrays&... arrays) {
    return std::min({count, static_cast<int>(arrays.size())...});
}

SeriesMapping mappingOf(const Rect& panel, int16_t a, const SeriesHeader& series) {
    return {panel, static_cast<int32_t>(series.dwSeriesSize), a};
}

// The etalon a 1-based number names in the series' pulse list, or null.
const PulseHeader* etalonOf(const SeriesHeader& series, int32_t number) {
    if (number < 1 || static_cast<size_t>(number) > series.lpPulsesList.size()) return nullptr;
    const PulseHeader* etalon = series.lpPulsesList[number - 1];
    return etalon && etalon->hasData() ? etalon : nullptr;
}

// Up from the zero line, along samples s..e of the etalon at position p, and
// back down to the zero line.
void drawPulseCurve(DeviceContext& dc, const SeriesMapping& m, int32_t p,
                    std::span<const int16_t> d, int32_t s, int32_t e) {
    if (s < 0 || e >= static_cast<int32_t>(d.size()) || s > e) return;
    const int32_t y0 = m.zeroY();
    dc.moveTo(m.x(p + s), y0);
    for (int32_t j = s; j <= e; ++j)
        dc.lineTo(m.x(p + j), m.y(d[j]));
    dc.lineTo(m.x(p + e), y0);
}

enum class PulseList { True, Restored };

void drawPulses(DeviceContext& dc, const Rect& panel, int16_t a, const SeriesHeader& series,
                PulseList list, bool keptPartOnly) {
    const SeriesMapping m = mappingOf(panel, a, series);
    if (!m.drawable()) return;
    const bool restored = list == PulseList::Restored;
    const int count = restored ? series.wRestoredQuantity : series.wImpulseQuantity;
    const auto& positions = restored ? series.lpRestoredPositions : series.lpPositions;
    const auto& etalons = restored ? series.lpRestoredEtalons : series.lpEtalons;
    const int held =
        keptPartOnly ? heldPulses(count, positions, etalons, series.lpCutStarts, series.lpCutEnds)
                     : heldPulses(count, positions, etalons);
    for (int k = 0; k < held; ++k) {
        const PulseHeader* etalon = etalonOf(series, etalons[k]);
        if (!etalon) continue;
        const auto d = etalon->samples();
        int32_t s = 0, e = static_cast<int32_t>(d.size()) - 1;
        if (keptPartOnly) {
            s = series.lpCutStarts[k];
            e = series.lpCutEnds[k];
        }
        drawPulseCurve(dc, m, positions[k], d, s, e);
    }
}

// Sets the pixels of one hatched column between the zero line hz and height y
// (panel-relative), every other row, starting phase rows away from the line.
void hatchColumn(DeviceContext& dc, const Rect& panel, int32_t x, int32_t y, int32_t hz,
                 int32_t phase) {
    if (y > hz) {
        for (int32_t yy = hz + phase; yy < y; yy += 2)
            dc.setPixel(panel.left + x, panel.top + yy, platform::kBlack);
    } else {
        for (int32_t yy = hz - phase; yy > y; yy -= 2)
            dc.setPixel(panel.left + x, panel.top + yy, platform::kBlack);
    }
}

// Dotted verticals at panel columns xa and xb, heights yc +- t for t = 0, 2, ...
// below extent; then dotted horizontals between them at the heights reached.
void dottedBox(DeviceContext& dc, const Rect& panel, int32_t xa, int32_t xb, int32_t extent,
               bool horizontals) {
    const int32_t yc = panel.top + (panel.bottom - panel.top) / 2;
    int32_t t = 0;
    for (; t < extent; t += 2) {
        for (int32_t x : {xa, xb}) {
            dc.setPixel(panel.left + x, yc - t, platform::kBlack);
            dc.setPixel(panel.left + x, yc + t, platform::kBlack);
        }
    }
    if (!horizontals) return;
    for (int32_t x = xa; x <= xb; x += 2) {
        dc.setPixel(panel.left + x, yc - t, platform::kBlack);
        dc.setPixel(panel.left + x, yc + t, platform::kBlack);
    }
}

// Columns of restored tuple t, widened by up to two pixels each side within
// the panel. False when the tuple names pulses that are not there.
bool tupleColumns(const SeriesHeader& series, const SeriesMapping& m, int t, int32_t& xa,
                  int32_t& xb) {
    if (static_cast<size_t>(t) >= series.lpRestoredTupleFirst.size() ||
        static_cast<size_t>(t) >= series.lpRestoredTupleSecond.size()) {
        return false;
    }
    const int32_t f = series.lpRestoredTupleFirst[t] - 1;
    const int32_t g = series.lpRestoredTupleSecond[t] - 1;
    const int32_t held = std::min<int32_t>(series.wRestoredQuantity,
                                           static_cast<int32_t>(series.lpRestoredPositions.size()));
    if (f < 0 || g < 0 || f >= held || g >= held) return false;
    xa = m.dx(series.lpRestoredPositions[f]);
    xb = m.dx(series.lpRestoredPositions[g] + series.wImpulseSize - 1);
    const int32_t w = m.w();
    for (int i = 0; i < 2; ++i) {
        if (xb < w - 1) ++xb;
    }
    for (int i = 0; i < 2; ++i) {
        if (xa > 0) --xa;
    }
    return true;
}

}  // namespace

void DrawAxes(DeviceContext& dc, const Rect& panel) {
    const int32_t w = panel.right - panel.left, h = panel.bottom - panel.top;
    const int32_t y0 = panel.top + h / 2;
    dc.moveTo(panel.left, panel.top);
    dc.lineTo(panel.left, panel.top + h);
    dc.moveTo(panel.left, y0);
    dc.lineTo(panel.left + w, y0);
}

void DrawNoisySeries(DeviceContext& dc, const Rect& panel, int16_t a, const SeriesHeader& series) {
    const SeriesMapping m = mappingOf(panel, a, series);
    if (!m.drawable() || series.lpNoisyData.size() < series.dwSeriesSize) return;
    PenGuard pen(dc, kSeriesBlue);
    dc.moveTo(panel.left, m.zeroY());
    for (int32_t i = 0; i < m.n; ++i)
        dc.lineTo(m.x(i), m.y(series.lpNoisyData[i]));
}

void DrawSeriesPulses(DeviceContext& dc, const Rect& panel, int16_t a, const SeriesHeader& series) {
    drawPulses(dc, panel, a, series, PulseList::True, false);
}

void DrawPulseCutOffs(DeviceContext& dc, const Rect& panel, int16_t a, const SeriesHeader& series) {
    drawPulses(dc, panel, a, series, PulseList::True, true);
}

void DrawDetectedPulses(DeviceContext& dc, const Rect& panel, int16_t a,
                        const SeriesHeader& series) {
    drawPulses(dc, panel, a, series, PulseList::Restored, false);
}

void ShadeSeriesPulses(DeviceContext& dc, const Rect& panel, int16_t a,
                       const SeriesHeader& series) {
    const SeriesMapping m = mappingOf(panel, a, series);
    if (!m.drawable()) return;
    const int32_t h = m.h(), hz = h / 2;
    const auto rel = [&](int32_t v) { return h - ((v + a) * h) / (2 * a); };
    int32_t phase = 0;  // carried across all columns and pulses
    const int held = heldPulses(series.wImpulseQuantity, series.lpPositions, series.lpEtalons,
                                series.lpCutStarts, series.lpCutEnds);
    for (int k = 0; k < held; ++k) {
        const PulseHeader* etalon = etalonOf(series, series.lpEtalons[k]);
        if (!etalon) continue;
        const auto d = etalon->samples();
        const int32_t len = static_cast<int32_t>(d.size());
        const int32_t p = series.lpPositions[k];
        const int32_t first = series.lpCutStarts[k], last = series.lpCutEnds[k];
        for (int32_t j = std::max(first, 0); j <= last && j < len; ++j) {
            const int32_t ya = rel(d[j]);
            const int32_t xa = m.dx(p + j);
            const int32_t xb = j < last ? m.dx(p + j + 1) : xa;
            const int32_t yb = rel(j + 1 < len ? d[j + 1] : 0);
            const int32_t dx = xb - xa, dy = yb - ya;
            int32_t y = ya;
            for (int32_t x = xa; x < xb; ++x) {
                hatchColumn(dc, panel, x, y, hz, phase);
                phase = 1 - phase;
                if (dx > 0) y = (y * dx + dy) / dx;
            }
        }
    }
}

void HighlightDetectedPulses(DeviceContext& dc, const Rect& panel, const SeriesHeader& series) {
    const SeriesMapping m = mappingOf(panel, 1, series);
    if (!m.drawable()) return;
    const int32_t h3 = m.h() / 3;
    const int held = heldPulses(series.wRestoredQuantity, series.lpRestoredPositions,
                                series.lpRestoredCutStarts, series.lpRestoredCutEnds);
    for (int k = 0; k < held; ++k) {
        const int32_t p = series.lpRestoredPositions[k];
        dottedBox(dc, panel, m.dx(p), m.dx(p + series.wImpulseSize - 1), h3, true);
        const int32_t xs = m.dx(p + series.lpRestoredCutStarts[k]);
        const int32_t xe = m.dx(p + series.lpRestoredCutEnds[k]);
        dottedBox(dc, panel, xs, xe, h3, false);
    }
}

void FrameDetectedTuples(DeviceContext& dc, const Rect& panel, const SeriesHeader& series) {
    const SeriesMapping m = mappingOf(panel, 1, series);
    if (!m.drawable()) return;
    for (int t = 0; t < series.wRestoredTuples; ++t) {
        int32_t xa = 0, xb = 0;
        if (tupleColumns(series, m, t, xa, xb)) dottedBox(dc, panel, xa, xb, (m.h() * 3) / 8, true);
    }
}

void FillDetectedTuples(DeviceContext& dc, const Rect& panel, const SeriesHeader& series) {
    const SeriesMapping m = mappingOf(panel, 1, series);
    if (!m.drawable()) return;
    const int32_t yc = m.zeroY(), half = (m.h() * 3) / 8;
    for (int t = 0; t < series.wRestoredTuples; ++t) {
        int32_t xa = 0, xb = 0;
        if (!tupleColumns(series, m, t, xa, xb)) continue;
        PenGuard pen(dc, kTupleBackground);
        BrushGuard brush(dc, kTupleBackground);
        dc.rectangle(panel.left + xa, yc - half, panel.left + xb, yc + half);
    }
}

void DrawPulseLabels(DeviceContext& dc, const Rect& panel, SeriesCode seriesType, int listSelector,
                     bool letters, const SeriesHeader& series) {
    const SeriesMapping m = mappingOf(panel, 1, series);
    if (!m.drawable()) return;
    const bool restored = listSelector == 1 || listSelector == 2;
    const int count = restored ? series.wRestoredQuantity : series.wImpulseQuantity;
    const auto& positions = restored ? series.lpRestoredPositions : series.lpPositions;
    const auto& etalons = restored ? series.lpRestoredEtalons : series.lpEtalons;
    const auto& starts = restored ? series.lpRestoredCutStarts : series.lpCutStarts;
    const auto& ends = restored ? series.lpRestoredCutEnds : series.lpCutEnds;
    const bool cutoff = isCutoffSeries(seriesType);
    const int held = heldPulses(count, positions, etalons, starts, ends);
    std::vector<Label> labels;
    labels.reserve(held);
    for (int k = 0; k < held; ++k) {
        labels.push_back(
            {m.x(positions[k]) - 5, panel.bottom - 1,
             pulseLabel(positions[k], etalons[k], letters, cutoff, starts[k], ends[k])});
    }
    // The row under the panel, between its left and right edges.
    const int32_t top = panel.bottom - 1;
    LabelPlacer placer(dc, {panel.left, top, panel.right + 1, top + dc.textMetrics().height});
    placer.placeAll(labels);
}

std::string pulseLabel(int32_t position, int32_t etalon, bool letters, bool cutoff, int32_t first,
                       int32_t last) {
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%d", position);
    std::string label = buffer;
    if (letters) label += static_cast<char>(etalon + 96);
    if (cutoff) {
        std::snprintf(buffer, sizeof buffer, "[%d..%d] ", first, last);
        label += buffer;
    }
    return label;
}

namespace {

void etalonCurve(DeviceContext& dc, std::span<const int16_t> d, int32_t a, int32_t x, int32_t y,
                 int32_t w, int32_t h) {
    const int32_t len = static_cast<int32_t>(d.size());
    dc.moveTo(x, y + h / 2);
    int32_t lastX = x;
    for (int32_t i = 0; i < len; ++i) {
        lastX = x + (i * w) / (len - 1);
        dc.lineTo(lastX, y + h - ((d[i] + a) * h) / (2 * a));
    }
    dc.lineTo(lastX, y + h / 2);
}

void etalonAxes(DeviceContext& dc, int32_t x, int32_t y, int32_t w, int32_t h) {
    dc.moveTo(x, y);
    dc.lineTo(x, y + h);
    dc.moveTo(x, y + h / 2);
    dc.lineTo(x + w + 5, y + h / 2);
}

}  // namespace

void DrawEtalon(DeviceContext& dc, const PulseHeader& etalon, int16_t a, int mark,
                const Rect& cell) {
    const int32_t w = cell.right - cell.left, h = cell.bottom - cell.top, x = cell.left;
    const int32_t lh = lineHeight(dc);
    char letter[8];
    std::snprintf(letter, sizeof letter, " %c ", static_cast<char>(etalon.wNumber + 96));
    dc.textOut(x, cell.top + 2, letter);
    const int32_t y = cell.top + 1 + lh + lh / 4;
    const auto d = etalon.samples();
    const bool curve = d.size() >= 2 && a > 0;
    if (mark == 0) {
        etalonAxes(dc, x, y, w, h);
        if (curve) etalonCurve(dc, d, a, x, y, w, h);
        return;
    }
    const platform::Color background = mark == 2 ? kPickedRed : kFoundGrey;
    {
        PenGuard pen(dc, background);
        BrushGuard brush(dc, background);
        dc.rectangle(x - 3, y - 1, x + w + 6, y + h + 1);
    }
    PenGuard white(dc, platform::kWhite);
    etalonAxes(dc, x, y, w, h);
    if (!curve) return;
    // Drawn three times, shifted, to make it bold on the coloured ground.
    etalonCurve(dc, d, a, x, y, w, h);
    etalonCurve(dc, d, a, x + 1, y, w, h);
    etalonCurve(dc, d, a, x, y - 1, w, h);
}

}  // namespace etalon
