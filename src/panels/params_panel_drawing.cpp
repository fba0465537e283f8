#include <algorithm>
#include <cstdio>
#include <string>

#include "panels/panel_drawing.h"

namespace etalon {

using platform::BrushGuard;
using platform::Color;
using platform::DeviceContext;
using platform::PenGuard;
using platform::Rect;

namespace {

constexpr Color kErased{250, 250, 250};

std::string format(const char* pattern, int32_t a, int32_t b = 0, int32_t c = 0, int32_t d = 0) {
    char text[96];
    std::snprintf(text, sizeof text, pattern, int{a}, int{b}, int{c}, int{d});
    return text;
}

void line(DeviceContext& dc, const Segment& s) {
    dc.moveTo(s.from.x, s.from.y);
    dc.lineTo(s.to.x, s.to.y);
    dc.setPixel(s.to.x, s.to.y, dc.pen());  // the end point belongs to a bound line
}

void dotted(DeviceContext& dc, const Segment& s, Color color) {
    for (int32_t x = s.from.x; x <= s.to.x; x += 2)
        dc.setPixel(x, s.from.y, color);
}

void fill(DeviceContext& dc, const Rect& r, Color color) {
    PenGuard pen(dc, color);
    BrushGuard brush(dc, color);
    dc.rectangle(r.left, r.top, r.right, r.bottom);
}

struct PanelFrame {
    Rect panel, frame;
    int32_t mx = 0, my = 0, th = 0, bw = 0, bh = 0, ave = 0;
};

PanelFrame panelFrame(const DeviceContext& dc, const Rect& p) {
    PanelFrame f;
    f.panel = p;
    const platform::TextMetrics tm = dc.textMetrics();
    f.th = tm.height;
    f.ave = tm.aveCharWidth;
    f.mx = (p.right + 1 - p.left) / 170;
    f.my = (p.bottom + 1 - p.top) / 131;
    f.bw = std::max(dc.textExtent(" Cancel ").cx, dc.textExtent(" OK ").cx) + 4 * f.ave;
    f.bh = 2 * f.th - 1;
    f.frame = {p.left + f.mx, p.top + f.my, p.right - f.mx, p.bottom - 3 * f.my - f.bh + 1};
    return f;
}

void drawButtonsAndEdit(DeviceContext& dc, const PanelFrame& f, ParamsPanelPlaces& places) {
    const Rect& fr = f.frame;
    const int32_t labelY = fr.bottom - f.my - f.th - 2;
    dc.textOut(fr.left + f.mx, labelY, " Tmin ");
    const int32_t editX = fr.left + f.mx + dc.textExtent(" Tmin ").cx + f.ave;
    places.edit = {editX, labelY - 1, editX + dc.textExtent(" 9999").cx, labelY + f.th + 1};
    const int32_t top = fr.bottom + f.my;
    places.cancel = {fr.left, top, fr.left + f.bw, top + f.bh};
    places.ok = {places.cancel.right + 2 * f.ave, top, places.cancel.right + 2 * f.ave + f.bw,
                 top + f.bh};
    DrawButton(dc, places.cancel, " Cancel ");
    DrawButton(dc, places.ok, " OK ");
    places.laidOut = true;
}

void layoutDiagram(DeviceContext& dc, ParamsHeader& h, const PanelFrame& f) {
    const Rect& fr = f.frame;
    const int32_t fw = fr.right - fr.left, fh = fr.bottom - fr.top;
    h.diagramRect = {fr.left + fw / 4, fr.top + fh / 8, fr.right - f.mx, fr.bottom + 1 - f.my};
    const Rect& box = h.diagramRect;
    const int32_t labelWidth = dc.textExtent(std::to_string(h.b)).cx;
    layoutParamsGrips(h,
                      {box.left + labelWidth + 2 * f.mx, box.top + 5 * f.my, box.right - 5 * f.mx,
                       box.bottom - 3 * f.th},
                      f.mx, f.my, f.th);
}

// The axes with the pulse-count ticks and their areas; the tick labels'
// strip is cleared first, as the count may have changed.
void drawAxes(DeviceContext& dc, const ParamsHeader& h, const PanelFrame& f) {
    const Rect& p = h.plotRect;
    const int32_t wp = p.right - p.left + 1, hp = p.bottom - p.top + 1;
    fill(dc,
         {h.diagramRect.left + 1, p.bottom + 1, h.diagramRect.right - 1, p.bottom + 3 + 2 * f.th},
         platform::kWhite);
    dc.moveTo(p.left, p.bottom);
    dc.lineTo(p.left, p.bottom - hp);
    dc.moveTo(p.left, p.bottom);
    dc.lineTo(p.left + wp + f.mx, p.bottom);
    const auto tick = [&](int32_t k, int32_t row) {
        const int32_t x = pulseX(h, k);
        dc.moveTo(x, p.bottom + 1);
        dc.lineTo(x, p.bottom + 3);
        const std::string label = std::to_string(k);
        dc.textOut(x - dc.textExtent(label).cx / 2, p.bottom + 3 + row * f.th, label);
    };
    for (int32_t k = 1; k <= h.pulses; ++k)
        tick(k, 0);
    for (int32_t k = 0; k < h.wAreas; ++k)
        tick(h.Mmin + k, 1);
}

void drawValueLabels(DeviceContext& dc, const ParamsHeader& h, const PanelFrame& f) {
    const Rect& p = h.plotRect;
    fill(dc, {h.diagramRect.left + 1, h.diagramRect.top + 1, p.left - f.mx / 2 - 1, p.bottom + 1},
         platform::kWhite);
    for (int32_t v : {h.a, h.aPlus, h.bMinus, h.b}) {
        const std::string text = std::to_string(v);
        dc.textOut(p.left - f.mx / 2 - 1 - dc.textExtent(text).cx, valueY(h, v) - f.th / 2, text);
    }
}

void drawLines(DeviceContext& dc, ParamsHeader& h, const ParamsLines& lines, bool erase) {
    if (erase) {
        PenGuard pen(dc, kErased);
        const ParamsLines& old = h.drawn;
        for (auto [was, now] : {std::pair{&old.upperStart, &lines.upperStart},
                                {&old.upperEnd, &lines.upperEnd},
                                {&old.lowerStart, &lines.lowerStart},
                                {&old.lowerEnd, &lines.lowerEnd},
                                {&old.countHorizontal, &lines.countHorizontal},
                                {&old.countVertical, &lines.countVertical}}) {
            if (!(*was == *now)) line(dc, *was);
        }
        if (!(old.aPlusMarker == lines.aPlusMarker)) dotted(dc, old.aPlusMarker, kErased);
        if (!(old.bMinusMarker == lines.bMinusMarker)) dotted(dc, old.bMinusMarker, kErased);
    }
    line(dc, lines.countHorizontal);
    line(dc, lines.countVertical);
    dotted(dc, lines.aPlusMarker, platform::kBlack);
    dotted(dc, lines.bMinusMarker, platform::kBlack);
    for (const Segment* s :
         {&lines.upperStart, &lines.upperEnd, &lines.lowerStart, &lines.lowerEnd})
        line(dc, *s);

    h.drawn = lines;
    h.anyDrawn = true;
}

void drawTextBlock(DeviceContext& dc, const ParamsHeader& h, const PanelFrame& f) {
    const int32_t x = f.frame.left + f.mx;
    int32_t y = f.frame.top + 3 * f.my;
    const auto row = [&](const std::string& text) {
        dc.textOut(x, y, text);
        y += f.th;
    };
    const int32_t labelWidth = dc.textExtent(" pulses = ").cx;
    const auto valueRow = [&](const char* label, const std::string& value) {
        dc.textOut(x + labelWidth - dc.textExtent(label).cx, y, label);
        dc.textOut(x + labelWidth, y, value);
        y += f.th;
    };
    const GripLine& t = h.tminLine;
    const Rect& p = h.plotRect;
    row(format(" (%d,%d) - (%d,%d) ", t.x1, t.y1, t.x2, t.y2));
    row(format(" h = %d", t.tolerance));
    row(format(" (%d,%d) - (%d,%d) ", p.left, p.top, p.right, p.bottom));
    row(format(" w %d, h %d", p.right - p.left + 1, p.bottom - p.top + 1));
    y += f.th;
    valueRow(" a   = ", format("%d     ", h.a));
    valueRow(" a+ = ", format("%d     ", h.aPlus));
    valueRow(" b-  = ", format("%d     ", h.bMinus));
    valueRow(" b   = ", format("%d     ", h.b));
    y += f.th;
    valueRow(" Tmin = ", format("%d [%d]    ", h.Tmin, h.saved.Tmin));
    valueRow(" Tmax = ", format("%d     ", h.Tmax));
    valueRow(" pulses = ", format("%d     ", h.pulses));
    valueRow(" Mmin = ", format("%d [%d]     ", h.Mmin, currentMmin(h)));
    if (h.Tmin > 0)
        valueRow(" Mmax = ", format("%d [%d]     ", h.Mmax, currentMmax(h)));
    else
        valueRow(" Mmax = ", format("%d     ", h.Mmax));
}

}  // namespace

ParamsHeader* DrawParamsPanel(DeviceContext& dc, ParamsHeader* header, const Rect& panelRect,
                              ParamsPanelPlaces& places) {
    const PanelFrame f = panelFrame(dc, panelRect);
    // A redraw over an area erased meanwhile must draw everything.
    const bool redraw = header && header->redrawMode && header->anyDrawn &&
                        dc.getPixel(panelRect.left, panelRect.top) == kPanelBackground;
    if (!redraw) {
        fill(dc, {panelRect.left, panelRect.top, panelRect.right + 1, panelRect.bottom + 1},
             kPanelBackground);
        dc.rectangle(f.frame.left, f.frame.top, f.frame.right, f.frame.bottom);
    }
    if (!header) {
        dc.textOut(f.frame.left + f.mx, f.frame.top + 3 * f.my,
                   " No series: make one to see its parameters. ");
        drawButtonsAndEdit(dc, f, places);
        return header;
    }
    if (header->pulses <= 0) {
        // A recording opened with its count left unknown: the diagram is drawn per count.
        dc.textOut(f.frame.left + f.mx, f.frame.top + 3 * f.my,
                   " The pulse count of this series is unknown, and the diagram is drawn for a "
                   "known count. ");
        dc.textOut(f.frame.left + f.mx, f.frame.top + 3 * f.my + f.th,
                   " Open the series again with its number of pulses to see its parameters. ");
        drawButtonsAndEdit(dc, f, places);
        return header;
    }
    ParamsHeader& h = *header;
    layoutDiagram(dc, h, f);
    if (!redraw) {
        const Rect& box = h.diagramRect;
        dc.rectangle(box.left, box.top, box.right, box.bottom);
    }
    drawAxes(dc, h, f);
    drawValueLabels(dc, h, f);
    drawLines(dc, h, paramsLines(h), redraw);
    drawTextBlock(dc, h, f);
    drawButtonsAndEdit(dc, f, places);
    if (!redraw) h.saved = {h.pulses, h.aPlus, h.bMinus, h.Tmin, h.Tmax, h.Mmax, h.Mmin};
    h.redrawMode = 0;
    return header;
}

}  // namespace etalon
