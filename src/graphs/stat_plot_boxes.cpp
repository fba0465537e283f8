#include "graphs/stat_plot_parts.h"

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "graphs/graph_parts.h"
#include "graphs/series_graph_text.h"
#include "graphs/series_mapping.h"
#include "processing/task_codes.h"
#include "series/series_codes.h"

namespace etalon::stat_plot {

void drawHeader(const StatPaint& p, int32_t shownAmplitude) {
    int32_t y = p.g.T - p.g.lh / 2;
    for (const std::string& line : statHeaderLines(p.e, p.s, shownAmplitude, p.mode)) {
        p.labels.drawText(p.g.L + 10, y, line);
        y += p.g.lh + 1;
    }
}

int32_t drawFiguresAndTimes(const StatPaint& p) {
    const int32_t lh = p.g.lh;
    int32_t y = p.g.T + 10 * lh + 1;
    p.labels.drawText(p.textX(), y, figuresLine(p.figures));
    y += 3 * lh + 3;
    p.labels.drawText(p.textX(), y, calendarText(p.view.startTime));
    y += lh + 1;
    p.labels.drawText(p.textX(), y, calendarText(p.view.endTime));
    y += 2 * (lh + 1);
    p.labels.drawText(p.textX(), y, elapsedTimeText(p.view.startTime, p.view.endTime));
    return y + 3 * lh + 3;
}

namespace {

// Every stored subset of a tuples recognition, one row each; the rows are kept for clicks.
int32_t drawSubsetsBox(const StatPaint& p, int32_t y) {
    const SeriesGraphGeometry& g = p.g;
    const int32_t subsets = p.s.wSubsets;
    int32_t m = 0;
    for (int t = 0; t < subsets; ++t)
        m = std::max<int32_t>(m, static_cast<int32_t>(p.s.storedSubset(t).size()));
    const std::string title = " pattern tuples ";
    const int32_t gy = g.MT / 8 + 1, gx = g.ML / 8 + 1;
    const int32_t ch = (8 * (g.CH + 2 * gy + g.lh) + 5) / 9;
    PatternBox box{p.textX(), y, (g.CW + gx) * m + gx + 1, (ch + gy) * subsets + gy};
    box.bw = std::max(box.bw, p.dc.textExtent(title).cx + 20);
    drawPatternBoxFrame(p.dc, box, g.lh);
    p.labels.addFrame(patternBoxFrame(box, g.lh));
    int32_t top = y + gy / 2;
    for (int t = 0; t < subsets; ++t) {
        if (size_t(t) < p.view.listedReservedRects.size())
            p.view.listedReservedRects[t] = {box.bx + gx, top, box.bx + gx + box.bw, top + ch + gy};
        drawEtalonRow(p.dc, p.s, p.s.storedSubset(t), p.amplitude, 0,
                      {box.bx + gx, top - gy - 1, top + ch - 2 * gy - g.lh, gx, g.CW});
        top += ch + gy;
    }
    drawPatternBoxTitle(p.dc, box, title);
    return box.bh;
}

// The single pattern the series was made of; it may reach the plot's left edge.
int32_t drawTupleBox(const StatPaint& p, int32_t y) {
    const SeriesGraphGeometry& g = p.g;
    const int32_t n =
        std::min<int32_t>(p.s.wSubsetLength, static_cast<int32_t>(p.s.lpSelectedSubset.size()));
    const std::string title = " pattern tuple ";
    const int32_t gy = g.MT / 4 + 1, gx = g.ML / 4 + 1;
    int32_t cw = g.CW + 2 * gx;
    const int32_t ch = g.CH + 2 * gy + g.lh;
    PatternBox box{p.textX(), y, (cw + gx) * n + gx + 1, ch + 2 * gy};
    const int32_t avail = p.pg.px - 2 * gx - p.textX();
    if (avail < box.bw) {
        cw = (avail - gx - 1) / n - gx;
        box.bw = (cw + gx) * n + gx + 1;
    }
    box.bw = std::max(box.bw, p.dc.textExtent(title).cx + 20);
    drawPatternBoxFrame(p.dc, box, g.lh);
    p.labels.addFrame(patternBoxFrame(box, g.lh));
    drawEtalonRow(p.dc, p.s, {p.s.lpSelectedSubset.data(), size_t(n)}, p.amplitude, 0,
                  {box.bx + gx, y + gy - gx - 1, y + gy + ch - 2 * gy - g.lh, gx, cw});
    drawPatternBoxTitle(p.dc, box, title);
    return box.bh;
}

}  // namespace

int32_t drawPatternBox(const StatPaint& p, int32_t y) {
    if (!isTuplesSeries(p.e.wSeriesType)) return y;
    int32_t bh = 0;
    if (p.e.wEffectiveTask == TaskCode::TuplesRecognition && p.s.wSubsets > 0)
        bh = drawSubsetsBox(p, y);
    else if (p.e.wEffectiveTask != TaskCode::TuplesRecognition && p.s.wSubsetLength > 0 &&
             !p.s.lpSelectedSubset.empty())
        bh = drawTupleBox(p, y);
    else
        return y;
    return y + bh + 2 * p.g.MT;
}

int32_t drawFormula(const StatPaint& p, int32_t y) {
    platform::FontGuard font(p.dc, platform::Font{platform::FontKind::Symbol, p.pg.formulaFont});
    p.labels.drawText(p.textX(), y, statPlotFormula(p.mode));
    return y + lineHeight(p.dc) + 1;
}

void drawPlotFrame(const StatPaint& p) {
    for (int32_t d = 0; d <= 1; ++d) {
        const int32_t l = p.pg.px - d, t = p.pg.py - d;
        const int32_t r = p.pg.px + p.pg.PW + d, b = p.pg.py + p.pg.PH + d;
        p.dc.moveTo(l, t);
        p.dc.lineTo(r, t);
        p.dc.lineTo(r, b);
        p.dc.lineTo(l, b);
        p.dc.lineTo(l, t);
    }
}

void drawDottedGrid(const StatPaint& p) {
    const StatPlotGeometry& pg = p.pg;
    for (int32_t i = 0; pg.Ty > 0 && i * pg.Ty < pg.PH; ++i) {
        for (int32_t x = 0; x < pg.PW; x += 4)
            p.dc.setPixel(pg.px + x, pg.py + pg.PH - i * pg.Ty, platform::kBlack);
    }
    for (int32_t j = 0; pg.xStep > 0 && j * 2 * pg.xStep < pg.PW; ++j) {
        for (int32_t y = 0; y < pg.PH; y += 4)
            p.dc.setPixel(pg.px + j * 2 * pg.xStep, pg.py + y, platform::kBlack);
    }
}

void drawAxisLabels(const StatPaint& p, int32_t top) {
    const StatPlotGeometry& pg = p.pg;
    const int32_t lh = p.g.lh, cw = p.dc.textMetrics().aveCharWidth, h2 = lineHeight(p.dc);
    const auto levels = p.e.lpNoiseLevels();
    const int32_t ly = pg.py + pg.PH + lh - (lh + 1) / 4 - (lh + 1) / 8;
    int32_t lx = pg.px + 1 - cw - cw / 2;
    std::vector<Label> noise;
    for (size_t l = 0; l < levels.size(); l += 4) {
        char label[16];
        std::snprintf(label, sizeof label, "%3d", levels[l]);
        noise.push_back({lx, ly, label});
        lx += 4 * pg.xStep;
    }
    p.labels.placeAll(noise);
    p.labels.place({lx, ly - h2, "s"});
    const int32_t ex = pg.px - (3 * cw + cw / 4 + 1 + (top < 50 ? cw : 0));
    // Our digits are wider than the ones the layout left room for: every value
    // would run into the frame and be left out, taking the scale with it. A
    // value that would ends a blank short of the outer frame line instead.
    const int32_t rightmost = pg.px - 1 - p.dc.textExtent(" ").cx;
    std::vector<Label> error;
    for (int32_t i = 0; i <= 5; ++i) {
        std::string text = errorAxisLabel(i, top);
        const int32_t x = std::min(ex, rightmost - p.dc.textExtent(text).cx);
        error.push_back({x, pg.py + pg.PH - ((h2 + 1) / 2 + 1) - i * 2 * pg.Ty, std::move(text)});
    }
    p.labels.placeAll(error);
}

}  // namespace etalon::stat_plot
