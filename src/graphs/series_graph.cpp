#include "graphs/series_graph.h"

#include <algorithm>
#include <cstdio>
#include <string>

#include "graphs/graph_parts.h"
#include "graphs/plot_primitives.h"
#include "graphs/series_graph_text.h"
#include "graphs/series_mapping.h"
#include "graphs/series_measures.h"
#include "processing/task_codes.h"

namespace etalon {
namespace {

using platform::DeviceContext;
using platform::Rect;

// The restored pulses drawn over the blue series stand out in red.
constexpr platform::Color kRestoredOverSeries{200, 0, 0};

// Height of the matched filter's marks, in pixels.
constexpr int32_t kMatchedFilterMark = 4;

// Everything the parts of the view share while one paint lasts.
struct GraphPaint {
    DeviceContext& dc;
    const SeriesGraphView& view;
    const SeriesGraphGeometry& g;
    const ChainsHeader* chains;
    const SeriesHeader& series;
    RunCodes run;
    HalfRange range;
    bool letters;
};

void drawHeader(const GraphPaint& p) {
    const auto lines =
        seriesHeaderLines(p.chains, p.series, p.range.amplitude, p.letters, p.view.truthKnown);
    int32_t y = p.g.T - p.g.lh / 2;
    // Lines that reach down beside the etalon strip stop before it.
    const int32_t beside = p.g.AX - p.g.X0 - p.g.ML / 2;
    for (size_t i = 0; i < lines.size(); ++i) {
        p.dc.textOut(p.g.X0, y,
                     y + p.g.lh > p.g.AY ? fittedText(p.dc, lines[i], beside) : lines[i]);
        // The task line keeps one extra pixel from the series line.
        y += p.g.lh + (i == 0 && p.run.recorded() ? 1 : 0);
    }
}

// Every restored pulse carries an etalon; otherwise the restored panel is left empty.
bool restoredPulsesIdentified(const SeriesHeader& series) {
    const size_t n = std::min<size_t>(series.wRestoredQuantity, series.lpRestoredEtalons.size());
    return std::all_of(series.lpRestoredEtalons.begin(), series.lpRestoredEtalons.begin() + n,
                       [](int16_t e) { return e != 0; });
}

void drawPanel(const GraphPaint& p, int k) {
    const Rect r = p.g.panel(k);
    const SeriesGraphSettings& s = p.view.settings;
    // Without a truth the first panel shows, and labels, the restored pulses.
    const int list = k == 1 && !p.view.truthKnown ? 1 : k - 1;
    DrawPulseLabels(p.dc, r, p.run.seriesType, list, p.letters, p.series);
    if (s.bFrameGraphFields && !s.bSpecialGraphSize)
        p.dc.rectangle(r.left, r.top, r.right + 1, r.bottom + 1);
    const bool tuples = k == 1 ? p.run.tuplesTask() : p.run.tupleResult();
    if (tuples && s.wTuplesHighlight == TuplesHighlight::DottedFrame)
        FrameDetectedTuples(p.dc, r, p.series);
    if (tuples && s.wTuplesHighlight == TuplesHighlight::ColouredBackground)
        FillDetectedTuples(p.dc, r, p.series);
    if (s.bHighlightDetectedPulses) HighlightDetectedPulses(p.dc, r, p.series);
    DrawAxes(p.dc, r);
    const int16_t a = p.range.range;
    if (k == 1 && !p.view.truthKnown) {
        // No true pulses to draw: the restored ones go over the series instead.
        DrawNoisySeries(p.dc, r, a, p.series);
        {
            platform::PenGuard pen(p.dc, kRestoredOverSeries);
            DrawDetectedPulses(p.dc, r, a, p.series);
        }
        p.dc.textOut(r.left + 4, r.top + 2, kTruthUnknown);
    } else if (k == 1) {
        DrawSeriesPulses(p.dc, r, a, p.series);
        DrawPulseCutOffs(p.dc, r, a, p.series);
        if (s.bShadedOriginalPulses) ShadeSeriesPulses(p.dc, r, a, p.series);
    } else if (k == 2) {
        DrawNoisySeries(p.dc, r, a, p.series);
    } else {
        DrawDetectedPulses(p.dc, r, a, p.series);
    }
}

void drawPanels(const GraphPaint& p) {
    drawPanel(p, 1);
    drawPanel(p, 2);
    if (restoredPulsesIdentified(p.series)) drawPanel(p, 3);
}

// The etalon the best chain of a recognition run found, or 0.
int32_t foundEtalon(const GraphPaint& p) {
    if (!p.chains || p.run.effectiveTask != TaskCode::Recognition || p.chains->wMaxSize == 0)
        return 0;
    const auto first = p.chains->pulsesList(0);
    return first.empty() ? 0 : first[0];
}

void drawChainTable(const GraphPaint& p) {
    const SeriesGraphGeometry& g = p.g;
    const int32_t x1 = g.X0, x2 = g.X0 + 100;
    const int32_t room = g.AX - x2 - g.ML / 2;  // the positions stop before the strip
    const bool truth = p.view.truthKnown;
    const ChainTableText table = chainTableText(p.chains, p.series, p.letters,
                                                truth ? getSeriesMeasure(p.series) : 0, truth);
    int32_t y = g.Y4 + 2 * g.lh;
    if (table.hasTable) {
        p.dc.textOut(x1, y, table.heading.first);
        p.dc.textOut(x2, y, table.heading.second);
        y += g.lh + 1;
        for (const auto& row : table.rows) {
            p.dc.textOut(x1, y, row.first);
            p.dc.textOut(x2, y, fittedText(p.dc, row.second, room));
            y += g.lh;
        }
    }
    y += (g.lh + 3) / 4;
    p.dc.textOut(x1, y, table.trueRow.first);
    p.dc.textOut(x2, y, fittedText(p.dc, table.trueRow.second, room));
}

// The matched filter's pulses as marks along the top of the restored panel,
// above the exact pulses' peaks, so the two read against each other.
void drawMatchedFilterMarks(const GraphPaint& p, const SeriesHeader& mf) {
    const Rect r = p.g.panel(3);
    const SeriesMapping m{r, static_cast<int32_t>(mf.dwSeriesSize), 1};
    if (!m.drawable()) return;
    platform::PenGuard pen(p.dc, kMatchedFilterColour);
    platform::BrushGuard brush(p.dc, kMatchedFilterColour);
    const int32_t top = r.top + 2;
    const size_t held = std::min<size_t>(mf.wRestoredQuantity, mf.lpRestoredPositions.size());
    for (size_t k = 0; k < held; ++k) {
        const int32_t first = std::clamp<int32_t>(mf.lpRestoredPositions[k], 0, m.n - 1);
        const int32_t last = std::min<int32_t>(first + mf.wImpulseSize - 1, m.n - 1);
        p.dc.rectangle(m.x(first), top, std::max(m.x(last) + 1, m.x(first) + 2),
                       top + kMatchedFilterMark);
    }
}

// What the marks are, right of the restoration error; for a tuples run only
// that there are none.
void drawMatchedFilterLegend(const GraphPaint& p, int32_t x, int32_t y) {
    if (!p.view.matchedFilter) {
        p.dc.textOut(x, y, kNoMatchedFilterForTuples);
        return;
    }
    const int32_t swatch = p.g.lh + p.g.lh / 2, mid = y + p.g.lh / 2;
    {
        platform::PenGuard pen(p.dc, kMatchedFilterColour);
        platform::BrushGuard brush(p.dc, kMatchedFilterColour);
        p.dc.rectangle(x, mid - kMatchedFilterMark / 2, x + swatch,
                       mid - kMatchedFilterMark / 2 + kMatchedFilterMark);
    }
    const uint16_t n = p.view.matchedFilter->wRestoredQuantity;
    std::string text = " matched filter: " + std::to_string(n) + (n == 1 ? " pulse" : " pulses");
    p.dc.textOut(x + swatch, y, text);
}

void drawTexts(const GraphPaint& p) {
    p.dc.textOut(p.g.X0, p.g.Y4,
                 restoredPulsesLine(p.chains, p.series, p.letters, p.view.truthKnown));
    std::string errorLine = unknownRestoreErrorLine();
    if (p.view.truthKnown) {
        const int32_t error =
            p.chains ? getChainRestoreError(*p.chains, p.series)
                     : int32_t(std::min<int64_t>(seriesEnergies(p.series).signal, INT32_MAX));
        errorLine = restoreErrorLine(error);
    }
    p.dc.textOut(p.g.X0, p.g.Y4 + p.g.lh, errorLine);
    if (p.view.matchedFilter || (p.view.matchedFilterWanted && p.run.tuplesTask())) {
        const int32_t x = p.g.X0 + std::max(p.dc.textExtent(errorLine).cx + 2 * p.g.lh, p.g.PW / 4);
        drawMatchedFilterLegend(p, x, p.g.Y4 + p.g.lh);
    }
    drawChainTable(p);
}

// One row of etalon glyphs of the pattern box, cells advancing from bx + gx.
void drawPatternRow(const GraphPaint& p, std::span<const int16_t> etalons, int32_t bx, int32_t y,
                    int32_t gx, int32_t gy, int32_t cw, int32_t ch, int mark) {
    drawEtalonRow(p.dc, p.series, etalons, p.range.amplitude, mark,
                  {bx + gx, y - gy - 1, y + ch - 2 * gy - p.g.lh, gx, cw});
}

// The single pattern tuple the series was made of, right-aligned with the panels.
void drawPatternTuple(const GraphPaint& p) {
    const SeriesGraphGeometry& g = p.g;
    const int32_t n = std::min<int32_t>(p.series.wSubsetLength,
                                        static_cast<int32_t>(p.series.lpSelectedSubset.size()));
    if (n <= 0) return;
    const std::string title = " pattern tuple ";
    const int32_t gy = g.MT / 4 + 1, gx = g.ML / 4 + 1;
    int32_t cw = g.CW + 2 * gx;
    PatternBox box;
    box.bw = (cw + gx) * n + gx + 1;
    const int32_t ch = g.CH + 2 * gy + g.lh;
    box.bh = ch + 2 * gy;
    if (g.PW < box.bw) {
        cw = (g.PW - gx - 1) / n - gx;
        box.bw = (cw + gx) * n + gx + 1;
    }
    box.bw = std::max(box.bw, p.dc.textExtent(title).cx + 20);
    box.bx = g.X0 + g.PW - box.bw + 1;
    box.by = g.rows < 8 ? g.B - box.bh - (g.lh + g.lh / 4 - 3) : g.AY + g.AN + 1 - box.bh;
    drawPatternBoxFrame(p.dc, box, p.g.lh);
    drawPatternRow(p, {p.series.lpSelectedSubset.data(), static_cast<size_t>(n)}, box.bx,
                   box.by + gy, gx, gy, cw, ch, 0);
    drawPatternBoxTitle(p.dc, box, title);
}

// Every stored subset, one row each, marking the one recognition found and
// the one picked on the subset panel; the rows are kept for clicks.
void drawPatternTuples(const GraphPaint& p) {
    const SeriesGraphGeometry& g = p.g;
    const int32_t subsets = p.series.wSubsets;
    if (subsets <= 0) return;
    int32_t m = 0;
    for (int t = 0; t < subsets; ++t)
        m = std::max<int32_t>(m, static_cast<int32_t>(p.series.storedSubset(t).size()));
    const std::string title = " pattern tuples ";
    const int32_t gy = g.MT / 8 + 1, gx = g.ML / 8 + 1;
    int32_t cw = g.CW;
    PatternBox box;
    box.bw = (cw + gx) * m + gx + 1;
    const int32_t ch = (8 * (g.CH + 2 * gy + g.lh) + 5) / 9;
    box.bh = (ch + gy) * subsets + gy;
    const int32_t widest = g.R - g.X0 - g.ML - 1;
    if (widest < box.bw && m > 0) {
        cw = (widest - gx - 1) / m - gx;
        box.bw = (cw + gx) * m + gx + 1;
    }
    box.bw = std::max(box.bw, p.dc.textExtent(title).cx + 20);
    box.bx = g.R - g.ML - box.bw;
    box.by = g.B - box.bh - gy;
    drawPatternBoxFrame(p.dc, box, p.g.lh);
    int32_t y = box.by + gy / 2;
    for (int t = 0; t < subsets; ++t) {
        const int mark = t + 1 == p.series.wTupleCriterion ? 1
                         : t + 1 == p.view.pickedReserved  ? 2
                                                           : 0;
        if (size_t(t) < p.view.listedReservedRects.size())
            p.view.listedReservedRects[t] = {box.bx + gx, y, box.bx + gx + box.bw, y + ch + gy};
        drawPatternRow(p, p.series.storedSubset(t), box.bx, y, gx, gy, cw, ch, mark);
        y += ch + gy;
    }
    drawPatternBoxTitle(p.dc, box, title);
}

}  // namespace

Rect SeriesGraphGeometry::panel(int k) const {
    const int32_t top = k == 1 ? Y1 : k == 2 ? Y2 : Y3;
    return {X0, top, X0 + PW, top + PH};
}

Rect SeriesGraphGeometry::stripCell(int item) const {
    const int32_t column = rows > 0 ? item / rows : 0, row = rows > 0 ? item % rows : 0;
    const int32_t left = AX + ML + column * (CW + 2 * ML);
    const int32_t top = AY + MT + row * (CH + MT2 + lh);
    return {left, top, left + CW, top + CH};
}

SeriesGraphGeometry seriesGraphGeometry(const Rect& rcGraph, int32_t lineHeight, bool specialSize,
                                        int32_t requiredCount) {
    SeriesGraphGeometry g;
    g.L = rcGraph.left, g.T = rcGraph.top, g.R = rcGraph.right, g.B = rcGraph.bottom;
    g.W = g.R - g.L + 1, g.H = g.B - g.T + 1, g.lh = lineHeight;
    g.ML = (12 * g.W) / 1000;
    g.MT = (15 * g.H + 500) / 1000;
    g.MT2 = (15 * g.H + 1000) / 2000;
    g.PW = specialSize ? 618 : (800 * g.W) / 1000;
    g.PH = specialSize ? 112 : (330 * (g.H - 18 * g.lh)) / 1000;
    if (g.PH % 2 != 0) ++g.PH;
    g.CW = (50 * g.W) / 1000;
    g.X0 = g.L + g.ML;
    g.Y1 = g.T + 4 * g.lh + 1;
    g.Y2 = g.Y1 + g.PH + g.lh;
    g.Y3 = g.Y2 + g.PH + g.lh;
    g.Y4 = g.Y3 + g.PH + g.lh + g.lh / 2;

    g.rows = (std::max(requiredCount, 0) + 1) / 2;
    g.AW = (g.CW + 2 * g.ML) * 2 + g.ML / 2;
    g.AX = g.R - g.AW - g.ML + 1;
    g.AY = g.T + g.MT + g.lh / 2;
    g.AH = g.B - g.AY - (g.lh + g.lh / 4 - 3);
    // Up to eight rows keep the size of eight; more shrink the cells to fit.
    g.CH = (g.AH - 2 * g.MT) / 8 - (g.MT2 + g.lh);
    g.AN = (g.CH + g.MT2 + g.lh) * g.rows + 2 * g.MT;
    if (g.AN > g.AH && g.rows > 0) {
        g.CH = (g.AH - 2 * g.MT) / g.rows - (g.MT2 + g.lh);
        g.AN = g.AH;
    }
    return g;
}

int DrawSeriesGraph(DeviceContext& dc, const SeriesGraphView& view, uint16_t requiredCount,
                    std::span<const uint16_t> requiredList, const ChainsHeader* chains,
                    const SeriesHeader* series) {
    // Rows not drawn this time must not answer clicks.
    std::fill(view.listedReservedRects.begin(), view.listedReservedRects.end(), Rect{});
    if (!series) return 1;
    const SeriesGraphGeometry g = seriesGraphGeometry(
        view.rcGraph, view.nLineHeight, view.settings.bSpecialGraphSize != 0, requiredCount);
    const GraphPaint p{dc,
                       view,
                       g,
                       chains,
                       *series,
                       RunCodes(chains),
                       seriesHalfRange(series->wAmplitude, series->wNoiseLevel),
                       etalonLettersShown(chains, *series)};
    drawGraphFrame(dc, g);
    drawHeader(p);
    drawPanels(p);
    drawEtalonStrip(dc, g, *series, requiredCount, requiredList, p.range.amplitude, foundEtalon(p));
    if (view.matchedFilter) drawMatchedFilterMarks(p, *view.matchedFilter);
    drawTexts(p);
    if (p.run.tuplesSeries()) {
        if (p.run.effectiveTask == TaskCode::TuplesRecognition)
            drawPatternTuples(p);
        else
            drawPatternTuple(p);
    }
    return 1;
}

}  // namespace etalon
