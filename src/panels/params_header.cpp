#include "panels/params_header.h"

#include <algorithm>

#include "base/allocation.h"
#include "panels/subset_panel.h"

namespace etalon {

using platform::Point;
using platform::Rect;

std::unique_ptr<ParamsHeader> getParamsHeader(MessageSink& sink, const SeriesHeader* series,
                                              std::unique_ptr<ParamsHeader> header) {
    if (!series) return header;
    const int32_t n = static_cast<int32_t>(series->dwSeriesSize);
    const int32_t l = series->wImpulseSize;
    const int32_t tmin = std::max<int32_t>(series->wTmin, 1);
    const int32_t tmax = std::max<int32_t>(series->wTmax, 1);
    const int32_t mmin = std::max<int32_t>((n + l - 1) / tmax, 1);
    const int32_t mmax = (n + tmin - l) / tmin;
    const int32_t areas = std::max<int32_t>(mmax - mmin + 1, 0);
    if (!header) {
        header = allocateRecord<ParamsHeader>();
        if (!header) {
            sink.showOutOfMemory("Нет памяти для newParamsHeader!", " getParamsHeader ",
                                 MessageIcon::None);
            return nullptr;
        }
    }
    if (header->wReservedAreas < areas) {
        if (!allocateBuffer(header->pulsesSelectedAreas, static_cast<size_t>(areas))) {
            sink.showOutOfMemory("Нет памяти для newParamsHeader->pulsesSelectedAreas!",
                                 " getParamsHeader ", MessageIcon::None);
            return nullptr;
        }
        header->wReservedAreas = areas;
        header->dwAllocSeriesSize = series->dwSeriesSize;
    }
    ParamsHeader& h = *header;
    h.wAreas = areas;
    h.Mmax = mmax;
    h.Mmin = mmin;
    h.pulses = series->wImpulseQuantity;
    h.wImpulseSize = l;
    h.dwSeriesSize = series->dwSeriesSize;
    h.Tmax = series->wTmax;
    h.Tmin = series->wTmin;
    h.a = 0;
    h.aPlus = h.Tmax - l;
    h.bMinus = n - h.Tmax;
    h.b = n - l;
    h.saved = {h.pulses, h.aPlus, h.bMinus, h.Tmin, h.Tmax, h.Mmax, h.Mmin};
    std::fill(h.pulsesSelectedAreas.begin(), h.pulsesSelectedAreas.end(), Rect{});
    h.tmaxLine = h.tminLine = GripLine{};
    h.aPlusHover = h.bMinusHover = h.aPlusDrag = h.bMinusDrag = 0;
    h.redrawMode = 0;
    h.anyDrawn = false;
    return header;
}

void freeParamsHeader(std::unique_ptr<ParamsHeader>& header) {
    header.reset();
}

bool hasDiagramScale(const ParamsHeader& h) {
    return h.Mmax > 1 && h.b > h.a;
}

namespace {

int32_t plotWidth(const ParamsHeader& h) {
    return h.plotRect.right - h.plotRect.left + 1;
}
int32_t plotHeight(const ParamsHeader& h) {
    return h.plotRect.bottom - h.plotRect.top + 1;
}
int64_t pulseSteps(const ParamsHeader& h) {
    return std::max<int64_t>(h.Mmax - 1, 1);
}
int64_t valueRange(const ParamsHeader& h) {
    return std::max<int64_t>(int64_t{h.b} - h.a, 1);
}

Segment halfStepSegment(const ParamsHeader& h, int32_t f1, int64_t v1, int32_t f2, int64_t v2) {
    return {{halfStepX(h, f1), valueY(h, static_cast<int32_t>(v1))},
            {halfStepX(h, f2), valueY(h, static_cast<int32_t>(v2))}};
}

// Where the two lines of a pair meet, in half steps: at least 1, at most 2Q + 1.
int32_t meetingHalfStep(const ParamsHeader& h, int64_t e) {
    const int32_t last = 2 * h.pulses + 1;
    if (h.Tmin >= h.Tmax) return last;
    const int64_t f = (2 * e - 1) / (h.Tmax - h.Tmin) - 1;
    return static_cast<int32_t>(std::clamp<int64_t>(f, 1, last));
}

int hitLine(int32_t x, int32_t y, const GripLine& line) {
    if (x < line.x1 || x > line.x2) return 0;
    const int64_t e = int64_t{line.x2} - line.x1;
    if (e == 0) return 0;  // a single point has no slope to grip
    const int64_t yl = (e + int64_t{line.x2 - x} * (line.y1 - line.y2) * 2) / (2 * e);
    const int64_t dy = int64_t{y} - line.y2;
    return dy >= yl - line.tolerance && dy <= yl + line.tolerance ? 1 : 0;
}

int32_t roundedRatio(int64_t num, int64_t den) {
    if (den <= 0) return 0;
    return static_cast<int32_t>((2 * num + den) / (2 * den));
}

int32_t lowestCount(const ParamsHeader& h, int32_t tmax) {
    const int64_t d = int64_t{h.bMinus} - h.aPlus;
    if (d <= 0) return 1;
    return static_cast<int32_t>((d + tmax - 1) / tmax + 1);
}

}  // namespace

int32_t pulseX(const ParamsHeader& h, int32_t k) {
    return h.plotRect.left + static_cast<int32_t>((k - 1) * int64_t{plotWidth(h)} / pulseSteps(h));
}

int32_t halfStepX(const ParamsHeader& h, int32_t f) {
    const int64_t d = pulseSteps(h);
    const int64_t wp = plotWidth(h);
    if (f == 1) return h.plotRect.left - static_cast<int32_t>((wp + d) / (2 * d));
    return h.plotRect.left + static_cast<int32_t>(((f - 2) * wp + d) / (2 * d));
}

int32_t valueY(const ParamsHeader& h, int32_t v) {
    const int64_t range = valueRange(h);
    return h.plotRect.bottom -
           static_cast<int32_t>((2 * (int64_t{v} - h.a) * plotHeight(h) + range) / (2 * range));
}

ParamsLines paramsLines(const ParamsHeader& h) {
    ParamsLines lines;
    const int32_t q = h.pulses;
    const int32_t last = 2 * q + 1;
    const int64_t e12 = int64_t{h.b} + 2 * h.Tmax - h.Tmin - int64_t{q} * h.Tmin - h.aPlus;
    const int32_t f12 = meetingHalfStep(h, e12);
    const int64_t e34 = int64_t{q} * h.Tmax + h.a + h.Tmax - 2 * h.Tmin - h.bMinus;
    const int32_t f34 = meetingHalfStep(h, e34);
    const auto upperStart = [&](int32_t f) { return h.aPlus + (int64_t{f} - 2) * h.Tmax / 2; };
    const auto upperEnd = [&](int32_t f) { return h.b - (2 * int64_t{q} - f) * h.Tmin / 2; };
    const auto lowerStart = [&](int32_t f) { return h.a + (int64_t{f} - 2) * h.Tmin / 2; };
    const auto lowerEnd = [&](int32_t f) { return h.bMinus - (2 * int64_t{q} - f) * h.Tmax / 2; };
    lines.upperStart = halfStepSegment(h, 1, upperStart(1), f12, upperStart(f12));
    lines.upperEnd = halfStepSegment(h, f12 - 1, upperEnd(f12 - 1), last, upperEnd(last));
    lines.lowerStart = halfStepSegment(h, 1, lowerStart(1), f34, lowerStart(f34));
    lines.lowerEnd = halfStepSegment(h, f34 - 1, lowerEnd(f34 - 1), last, lowerEnd(last));

    const Rect& p = h.plotRect;
    const int32_t xq = pulseX(h, q);
    lines.countHorizontal = {{p.left, valueY(h, h.b)}, {xq, valueY(h, h.b)}};
    lines.countVertical = {{xq, valueY(h, h.a)}, {xq, valueY(h, h.b)}};
    const int32_t mx = h.mx;
    lines.aPlusMarker = {{p.left - mx / 2, valueY(h, h.aPlus)}, {xq + mx, valueY(h, h.aPlus)}};
    lines.bMinusMarker = {{p.left - mx / 2, valueY(h, h.bMinus)}, {xq + mx, valueY(h, h.bMinus)}};
    return lines;
}

void layoutParamsGrips(ParamsHeader& h, const Rect& plotRect, int32_t mx, int32_t my, int32_t th) {
    h.plotRect = plotRect;
    h.mx = mx;
    h.my = my;
    const ParamsLines lines = paramsLines(h);
    const int32_t tolerance = my / 2 + 1;
    const auto grip = [tolerance](const Segment& s, GripLine& g) {
        g.x1 = s.from.x;
        g.y1 = s.from.y;
        g.x2 = s.to.x;
        g.y2 = s.to.y;
        g.tolerance = tolerance;
    };
    grip(lines.upperStart, h.tmaxLine);
    grip(lines.upperEnd, h.tminLine);
    const auto markerGrip = [&](const Segment& s) {
        return Rect{plotRect.left - mx / 2, s.from.y - my / 2 - 1, s.to.x, s.from.y + my / 2 + 1};
    };
    h.aPlusMarkerRect = markerGrip(lines.aPlusMarker);
    h.bMinusMarkerRect = markerGrip(lines.bMinusMarker);
    const int32_t step = h.Mmax > 1 ? plotWidth(h) / (h.Mmax - 1) : plotWidth(h);
    for (int32_t k = 0; k < h.wAreas && static_cast<size_t>(k) < h.pulsesSelectedAreas.size();
         ++k) {
        const int32_t x = pulseX(h, h.Mmin + k);
        h.pulsesSelectedAreas[k] = {x - step / 2, plotRect.bottom - th / 2, x + step / 2,
                                    plotRect.bottom + th / 2};
    }
}

int hitTmaxLine(int32_t x, int32_t y, const ParamsHeader& h) {
    return hasDiagramScale(h) ? hitLine(x, y, h.tmaxLine) : 0;
}

int hitTminLine(int32_t x, int32_t y, const ParamsHeader& h) {
    return hasDiagramScale(h) ? hitLine(x, y, h.tminLine) : 0;
}

int32_t tmaxFromPoint(int32_t x, int32_t y, const ParamsHeader& h) {
    if (!h.tmaxLine.drag || !hasDiagramScale(h)) return 0;
    const int64_t wp = plotWidth(h), hp = plotHeight(h);
    const int64_t dx = x - h.plotRect.left, dy = y - h.plotRect.top;
    const int64_t num = ((int64_t{h.b} - h.a) * (hp - dy) - (int64_t{h.aPlus} - h.a) * hp) * wp;
    const int64_t den = dx * (h.Mmax - 1) * hp;
    return roundedRatio(num, den);
}

int32_t tminFromPoint(int32_t x, int32_t y, const ParamsHeader& h) {
    if (!h.tminLine.drag || !hasDiagramScale(h)) return 0;
    const int64_t wp = plotWidth(h), hp = plotHeight(h);
    const int64_t dx = x - h.plotRect.left, dy = y - h.plotRect.top;
    const int64_t num = (int64_t{h.b} - h.a) * dy * wp;
    const int64_t den = ((int64_t{h.pulses} - 1) * wp - dx * (h.Mmax - 1)) * hp;
    return roundedRatio(num, den);
}

std::optional<int32_t> markerValue(int32_t y, const ParamsHeader& h) {
    const int64_t hp = plotHeight(h);
    if (hp <= 0 || !hasDiagramScale(h)) return std::nullopt;
    return static_cast<int32_t>((int64_t{h.plotRect.bottom} - y) * (int64_t{h.b} - h.a) / hp + h.a);
}

int isValidTmin(int32_t v, const ParamsHeader& h) {
    if (v <= 0 || v < h.wImpulseSize || v > h.Tmax || h.Tmax <= 0) return 0;
    const int32_t m = (h.b - h.a) / v;
    const int32_t lowest = lowestCount(h, h.Tmax);
    return lowest <= h.pulses && h.pulses <= m + 1 ? 1 : 0;
}

int isValidTmax(int32_t v, const ParamsHeader& h) {
    if (v > h.bMinus || v <= h.Tmin || v <= 0 || h.Tmin <= 0) return 0;
    const int32_t m = (h.b - h.a) / h.Tmin;
    const int32_t lowest = lowestCount(h, v);
    return lowest <= h.pulses && h.pulses <= m + 1 ? 1 : 0;
}

int32_t currentMmin(const ParamsHeader& h) {
    if (h.Tmax <= 0) return 0;
    return (h.bMinus + h.Tmax - h.aPlus - 1) / h.Tmax + 1;
}

int32_t currentMmax(const ParamsHeader& h) {
    if (h.Tmin <= 0) return 0;
    return (h.b - h.a) / h.Tmin + 1;
}

}  // namespace etalon
