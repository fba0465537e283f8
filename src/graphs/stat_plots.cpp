#include "graphs/stat_plots.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <initializer_list>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "base/allocation.h"
#include "graphs/graph_parts.h"
#include "graphs/label_placer.h"
#include "graphs/series_graph.h"
#include "graphs/series_graph_text.h"
#include "graphs/series_mapping.h"
#include "graphs/stat_plot_text.h"
#include "processing/task_codes.h"
#include "series/series_codes.h"

namespace etalon {
namespace {

using platform::DeviceContext;
using platform::Point;
using platform::Rect;

// Beside the matched filter's curves: where the comparison is uneven.
constexpr char kMatchedFilterNote[] =
    "The matched filter pays for pulses it does not take only in the restored error, not in "
    "the detection error.";

// Two passes, the second one pixel lower.
constexpr std::initializer_list<Point> kTwice{{0, 0}, {0, 1}};
// Three passes: as is, one pixel lower, one right (detection curves).
constexpr std::initializer_list<Point> kLowerRight{{0, 0}, {0, 1}, {1, 0}};
// Three passes: as is, one pixel right, one lower (recognition curves and bounds).
constexpr std::initializer_list<Point> kRightLower{{0, 0}, {1, 0}, {0, 1}};

// Thousandths of the error axis to its height: 1000 div Z, whole as the
// plots always took it; above Z = 1000, where that would be 0 and flatten
// every curve, the exact fraction 1000 / Z.
struct AxisScale {
    uint64_t num = 1, den = 1;

    explicit AxisScale(int32_t top)
        : num(top <= 1000 ? uint64_t(1000 / top) : 1000), den(top <= 1000 ? 1 : uint64_t(top)) {}
    double value() const { return double(num) / double(den); }
    // (scale x count x height) div divisor, in whole numbers.
    uint64_t of(uint64_t count, int32_t height, uint64_t divisor) const {
        return num * count * uint64_t(height) / (divisor * den);
    }
};

// A point of a curve. Its y may lie far beyond the plot: only the part inside
// is drawn, along the true line.
struct CurvePoint {
    int32_t x = 0;
    int64_t y = 0;
};

// The y of a height above the plot's bottom, exact however far off the plot.
int64_t plotY(const PlotBox& box, double height) {
    const double h = std::clamp(std::trunc(height), -1e12, 1e12);
    return box.top + box.height - static_cast<int64_t>(h);
}

// The plot with its double frame: curves show only there.
Rect plotArea(const PlotBox& box) {
    return {box.left - 1, box.top - 1, box.left + box.width + 2, box.top + box.height + 2};
}

// The plot's two frames, as rectangle() would outline them, for labels to keep off.
std::array<Rect, 2> plotFrames(const PlotBox& box) {
    return {Rect{box.left, box.top, box.left + box.width + 1, box.top + box.height + 1},
            plotArea(box)};
}

// The part of the segment from a to b inside r, or nothing. Ends inside r are
// kept exactly, so segments within the plot draw as they always did.
std::optional<std::pair<Point, Point>> segmentWithin(CurvePoint a, CurvePoint b, const Rect& r) {
    double t0 = 0, t1 = 1;
    const double dx = double(b.x) - a.x, dy = double(b.y - a.y);
    const auto edge = [&](double p, double q) {  // keeps p t <= q
        if (p == 0) return q >= 0;
        const double t = q / p;
        if (p < 0)
            t0 = std::max(t0, t);
        else
            t1 = std::min(t1, t);
        return t0 <= t1;
    };
    if (!edge(-dx, double(a.x) - r.left) || !edge(dx, double(r.right) - a.x) ||
        !edge(-dy, double(a.y) - r.top) || !edge(dy, double(r.bottom) - double(a.y)))
        return std::nullopt;
    const auto at = [&](double t) {
        return Point{static_cast<int32_t>(std::lround(a.x + t * dx)),
                     static_cast<int32_t>(std::llround(double(a.y) + t * dy))};
    };
    return std::pair{at(t0), at(t1)};
}

// How one method's curves are drawn: the exact procedures' solid in the
// selected pen, labelled at their ends; the matched filter's dashed in its
// colour, unlabelled, since the exact curve of the same count carries the label.
struct CurveStyle {
    bool dashed = false;
    bool labelled = true;
};
constexpr CurveStyle kExactCurves{};
constexpr CurveStyle kMatchedFilterCurves{true, false};

// Dashes start at every segment's start, so the points themselves are always inked.
constexpr int32_t kDash = 6, kDashGap = 4;

void drawSegment(DeviceContext& dc, Point a, Point b, const CurveStyle& style) {
    if (!style.dashed) {
        dc.moveTo(a.x, a.y);
        dc.lineTo(b.x, b.y);
        return;
    }
    const int32_t steps = std::max(std::abs(b.x - a.x), std::abs(b.y - a.y));
    const auto at = [&](int32_t s) {
        return Point{a.x + static_cast<int32_t>(std::lround(double(b.x - a.x) * s / steps)),
                     a.y + static_cast<int32_t>(std::lround(double(b.y - a.y) * s / steps))};
    };
    for (int32_t s = 0; s < steps; s += kDash + kDashGap) {
        const Point from = at(s), to = at(std::min(s + kDash, steps));
        dc.moveTo(from.x, from.y);
        dc.lineTo(to.x, to.y);
    }
}

// A curve from the plot's bottom-left corner through its points, once per
// offset, clipped to the plot.
void drawCurve(DeviceContext& dc, const PlotBox& box, const std::vector<CurvePoint>& points,
               std::initializer_list<Point> offsets, const CurveStyle& style = kExactCurves) {
    const Rect area = plotArea(box);
    platform::ClipGuard clip(dc, area);
    std::optional<platform::PenGuard> pen;
    if (style.dashed) pen.emplace(dc, kMatchedFilterColour);
    // Segments are cut a little outside the clip, so rounding their cut ends never shows.
    const Rect reach{area.left - 4, area.top - 4, area.right + 4, area.bottom + 4};
    // The matched filter's dashes keep to one pass: bold, dozens of them
    // read as a block where the curves crowd.
    const std::span<const Point> passes(offsets.begin(), style.dashed ? 1 : offsets.size());
    for (const Point& o : passes) {
        CurvePoint from{box.left + o.x, box.top + box.height + o.y};
        for (const CurvePoint& p : points) {
            const CurvePoint to{p.x + o.x, p.y + o.y};
            if (const auto part = segmentWithin(from, to, reach))
                drawSegment(dc, part->first, part->second, style);
            from = to;
        }
    }
}

// A label at the end of a curve, offset rows above its last point.
Label curveLabel(int32_t x, const std::vector<CurvePoint>& points, int32_t offset,
                 std::string text) {
    const int64_t y = std::clamp<int64_t>(points.back().y - offset, INT32_MIN / 2, INT32_MAX / 2);
    return {x, static_cast<int32_t>(y), std::move(text)};
}

// Everything the parts of the view share while one paint lasts.
struct StatPaint {
    DeviceContext& dc;
    LabelPlacer& labels;  // every text goes through it
    const StatPlotView& view;
    const SeriesGraphGeometry& g;
    const StatPlotGeometry& pg;
    const RestErrorHeader& e;
    const SeriesHeader& s;
    StatPlotMode mode;
    int16_t amplitude;  // of the etalon glyphs
    EtalonFigures figures;
    std::span<const uint32_t> n0, n1;  // normalisers per pulse count
    CurveStyle style = kExactCurves;   // of the curves of `e`

    int32_t V() const { return e.wVariousPulses; }
    int32_t NL() const { return e.wNoiseLevels; }
    int32_t x(int32_t l) const { return pg.px + l * pg.xStep; }
    PlotBox box() const { return {pg.px, pg.py, pg.PW, pg.PH}; }
    int32_t textX() const { return g.L + g.ML; }
    // The same view over another method's grid, drawn in its style.
    StatPaint over(const RestErrorHeader& grid, const CurveStyle& curves) const {
        return {dc, labels, view, g, pg, grid, s, mode, amplitude, figures, n0, n1, curves};
    }
};

void drawHeader(const StatPaint& p, int32_t shownAmplitude) {
    int32_t y = p.g.T - p.g.lh / 2;
    for (const std::string& line : statHeaderLines(p.e, p.s, shownAmplitude, p.mode)) {
        p.labels.drawText(p.g.L + 10, y, line);
        y += p.g.lh + 1;
    }
}

// Figures and times; returns where the next block starts.
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

// The pattern box of a tuples series; returns where the next block starts.
// Without a pattern to show, nothing moves.
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

// The formula in its own font; returns where the next line starts.
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

// Noise levels under every fourth level and sigma after them; the error axis in fifths of Z.
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

// Restored error per pulse count, bold by a second pass one pixel lower.
void drawRestoredComponents(const StatPaint& p, const AxisScale& sc, int32_t labelOffset) {
    const PlotBox box = p.box();
    std::vector<Label> labels;
    for (int32_t k = 0; k < p.V(); ++k) {
        if (p.n0[k] == 0) continue;
        std::vector<CurvePoint> points;
        for (int32_t l = 0; l < p.NL(); ++l) {
            const uint64_t h = sc.of(p.e.lpErrors(l)[k], box.height, p.n0[k]);
            points.push_back({p.x(l), plotY(box, double(h))});
        }
        drawCurve(p.dc, box, points, kTwice, p.style);
        if (!points.empty() && p.style.labelled)
            labels.push_back(curveLabel(p.x(p.NL()), points, labelOffset,
                                        std::to_string(p.e.wPulseValues()[k])));
    }
    p.labels.placeAll(labels);
}

// One curve of a value per noise level, scaled to the plot.
std::vector<CurvePoint> scaledPoints(const StatPaint& p, const AxisScale& sc,
                                     const std::vector<double>& v) {
    std::vector<CurvePoint> points;
    for (int32_t l = 0; l < static_cast<int32_t>(v.size()); ++l)
        points.push_back({p.x(l), plotY(p.box(), sc.value() * v[l] * p.pg.PH)});
    return points;
}

void drawRestoredAggregate(const StatPaint& p, const AxisScale& sc) {
    if (p.V() == 0 || p.n0[0] == 0) return;
    std::vector<double> v(p.NL(), 0.0);
    for (int32_t l = 0; l < p.NL(); ++l) {
        for (int32_t k = 0; k < p.V(); ++k)
            v[l] += double(p.e.lpErrors(l)[k]) / p.n0[k];
        v[l] /= p.V();
    }
    drawCurve(p.dc, p.box(), scaledPoints(p, sc, v), kTwice, p.style);
}

void drawDetectionAggregate(const StatPaint& p, const AxisScale& sc, int32_t labelOffset) {
    if (p.V() == 0 || p.n1[0] == 0 || p.e.repeats == 0) return;
    std::vector<double> v(p.NL(), 0.0);
    const double divisor = double(p.V()) * p.n1[0] * p.e.repeats;
    for (int32_t l = 0; l < p.NL(); ++l) {
        double sum = 0;
        for (int32_t k = 0; k < p.V(); ++k)
            sum += p.e.lpDetectionErrors(l)[k];
        v[l] = std::sqrt(sum / divisor);
    }
    const auto points = scaledPoints(p, sc, v);
    drawCurve(p.dc, p.box(), points, kTwice, p.style);
    if (!points.empty() && p.style.labelled)
        p.labels.place(curveLabel(p.x(p.NL()), points, labelOffset, std::to_string(p.V())));
}

// Share of wrongly recognised repeats, per pulse count or over all of them.
void drawRecognition(const StatPaint& p, const AxisScale& sc, bool aggregate) {
    const PlotBox box = p.box();
    const uint64_t repeats = p.e.repeats;
    if (repeats == 0 || p.V() == 0) return;
    const int32_t curves = aggregate ? 1 : p.V();
    std::vector<Label> labels;
    for (int32_t c = 0; c < curves; ++c) {
        std::vector<CurvePoint> points;
        for (int32_t l = 0; l < p.NL(); ++l) {
            const auto row = p.e.lpRecognitionErrors(l);
            uint64_t misses = 0;
            for (int32_t k = aggregate ? 0 : c; k < (aggregate ? p.V() : c + 1); ++k)
                misses += row[k];
            const uint64_t divisor = aggregate ? repeats * uint64_t(p.V()) : repeats;
            points.push_back({p.x(l), plotY(box, double(sc.of(misses, box.height, divisor)))});
        }
        drawCurve(p.dc, box, points, kRightLower, p.style);
        if (points.empty() || !p.style.labelled) continue;
        labels.push_back(curveLabel(p.x(p.NL()), points, 0,
                                    aggregate ? "S" : std::to_string(p.e.wPulseValues()[c])));
    }
    p.labels.placeAll(labels);
}

// exp(-x / sigma^2), with no noise taken as its limit.
double decay(double x, int32_t sigma) {
    const double s2 = double(sigma) * sigma;
    if (s2 > 0) return std::exp(-x / s2);
    return x > 0 ? 0.0 : 1.0;
}

// Theoretical bounds of the recognition error, against a plot top of 0.5.
void drawRecognitionBounds(const StatPaint& p) {
    const int64_t energy = p.figures.etEnergy;
    int64_t d1 = energy, d2 = energy, rmax = p.figures.Rmax;
    if (!(p.e.wSeriesType == SeriesCode::FixedTuples ||
          p.e.wEffectiveTask == TaskCode::TuplesRecognition)) {
        int64_t smallest = 0;
        const auto d = p.s.lpFirstPulse ? p.s.lpFirstPulse->samples() : std::span<const int16_t>();
        const size_t L = std::min<size_t>(p.s.wImpulseSize, d.size());
        for (size_t j = 0; j < L; ++j)
            smallest = j == 0 ? d[j] * d[j] : std::min<int64_t>(smallest, d[j] * d[j]);
        d2 = std::max<int64_t>((p.e.wMakingLevel * energy + 50) / 100, smallest);
        rmax = 0;
    }
    d1 = (d1 - p.figures.Rmin + 1) / 2;
    d2 = (d2 - rmax + 2) / 4;
    const PlotBox box = p.box();
    const auto levels = p.e.lpNoiseLevels();
    std::vector<CurvePoint> first, second;
    for (size_t l = 1; l < levels.size(); ++l) {
        const double v1 = 0.5 - 0.5 * std::sqrt(1 - decay(double(p.s.wMaxPulses) * d1, levels[l]));
        const double v2 = 0.5 * decay(double(p.s.wMinPulses) * d2, levels[l]);
        first.push_back({p.x(l), plotY(box, 2 * std::trunc(box.height * v1))});
        second.push_back({p.x(l), plotY(box, 2 * std::trunc(box.height * v2))});
    }
    drawCurve(p.dc, box, first, kRightLower);
    drawCurve(p.dc, box, second, kRightLower);
}

void detectionCurves(DeviceContext& dc, uint32_t repeats, uint16_t curves,
                     std::span<const int16_t> pulseValues, std::span<const uint32_t> normaliser,
                     uint16_t levels, const RestErrorHeader& errors, const PlotBox& box,
                     int32_t labelOffset, double scale, int32_t xStep, LabelPlacer& labels,
                     const CurveStyle& style) {
    if (repeats == 0) return;
    const size_t count = std::min({size_t{curves}, pulseValues.size(), normaliser.size()});
    std::vector<Label> ends;
    for (size_t k = 0; k < count; ++k) {
        if (normaliser[k] == 0) continue;
        std::vector<CurvePoint> points;
        for (int32_t l = 0; l < levels; ++l) {
            const double v =
                std::sqrt(double(errors.lpDetectionErrors(l)[k]) / repeats / normaliser[k]);
            points.push_back({box.left + l * xStep, plotY(box, scale * v * box.height)});
        }
        drawCurve(dc, box, points, kLowerRight, style);
        if (!points.empty() && style.labelled)
            ends.push_back(curveLabel(box.left + levels * xStep, points, labelOffset,
                                      std::to_string(pulseValues[k])));
    }
    labels.placeAll(ends);
}

// The curves of the mode over p's grid, in p's style; the bounds are the
// exact plot's own.
void drawCurves(const StatPaint& p, int32_t top) {
    const AxisScale sc(top);
    const int32_t labelOffset = (lineHeight(p.dc) + 1) / 2 + 1;
    switch (p.mode) {
        case StatPlotMode::RestoredComponents:
            drawRestoredComponents(p, sc, labelOffset);
            break;
        case StatPlotMode::RestoredAggregate:
            drawRestoredAggregate(p, sc);
            break;
        case StatPlotMode::DetectionComponents:
            detectionCurves(p.dc, p.e.repeats, p.e.wVariousPulses, p.e.wPulseValues(), p.n1,
                            p.e.wNoiseLevels, p.e, p.box(), labelOffset, sc.value(), p.pg.xStep,
                            p.labels, p.style);
            break;
        case StatPlotMode::DetectionAggregate:
            drawDetectionAggregate(p, sc, labelOffset);
            break;
        case StatPlotMode::RecognitionComponents:
        case StatPlotMode::RecognitionComponentsBounds:
        case StatPlotMode::RecognitionAggregate:
        case StatPlotMode::RecognitionAggregateBounds:
            drawRecognition(p, sc,
                            p.mode == StatPlotMode::RecognitionAggregate ||
                                p.mode == StatPlotMode::RecognitionAggregateBounds);
            if (plotHasBounds(p.mode) && p.style.labelled) drawRecognitionBounds(p);
            break;
        default:
            break;
    }
}

// The label font, the axes and the curves, the matched filter's beside the
// exact ones when given; y is where the formula block ends. Returns where the
// next line starts.
int32_t drawPlot(const StatPaint& p, int32_t y, const RestErrorHeader* matchedFilter) {
    platform::FontGuard font(p.dc, platform::Font{platform::FontKind::Symbol, p.pg.labelFont});
    char line[48];
    std::snprintf(line, sizeof line, " %d -> %d", p.pg.labelFont, p.dc.textMetrics().height);
    p.labels.drawText(p.textX(), y, line);
    drawPlotFrame(p);
    for (const Rect& frame : plotFrames(p.box()))
        p.labels.addFrame(frame);
    drawDottedGrid(p);
    const ErrorNormalisers n{p.n0.empty() ? 0 : p.n0[0], p.n1.empty() ? 0 : p.n1[0]};
    int32_t q = errorAxisMaximum(p.mode, p.e, n);
    if (matchedFilter) q = std::max(q, errorAxisMaximum(p.mode, *matchedFilter, n));
    const int32_t top = errorAxisTop(q, p.view.bFixedUpperBound != 0, p.view.dUpperBound);
    drawAxisLabels(p, top);
    drawCurves(p, top);
    // Over the exact curves, whose ink shows through the gaps.
    if (matchedFilter) drawCurves(p.over(*matchedFilter, kMatchedFilterCurves), top);
    return y + lineHeight(p.dc) + 1;
}

// A grid of the exact one's shape, from a complete run: only then do its
// curves answer to the same axes.
bool comparable(const RestErrorHeader& exact, const RestErrorHeader& other) {
    return other.ifComplete && other.wVariousPulses == exact.wVariousPulses &&
           other.wNoiseLevels == exact.wNoiseLevels && other.repeats == exact.repeats &&
           std::ranges::equal(other.lpNoiseLevels(), exact.lpNoiseLevels()) &&
           std::ranges::equal(other.wPulseValues(), exact.wPulseValues());
}

// The text cut at blanks into lines of at most `width` pixels; a word wider
// than that gets a line of its own.
std::vector<std::string> wrappedText(const DeviceContext& dc, const std::string& text,
                                     int32_t width) {
    std::vector<std::string> lines;
    std::string line, word;
    std::istringstream words(text);
    while (words >> word) {
        const std::string longer = line.empty() ? word : line + " " + word;
        if (!line.empty() && dc.textExtent(longer).cx > width) {
            lines.push_back(line);
            line = word;
        } else {
            line = longer;
        }
    }
    if (!line.empty()) lines.push_back(line);
    return lines;
}

// Under the label line, in the text font: a line sample and the name of each
// method, then what the comparison leaves out; for a tuples simulation only
// that there is none. Text that would not fit is left out with its sample.
void drawComparisonLegend(const StatPaint& p, int32_t y, bool curves) {
    const int32_t lh = p.g.lh, x = p.textX();
    // The error axis' values begin about three label characters left of the plot.
    const int32_t width = p.pg.px - 3 * p.pg.labelFont - x;
    y += lh;
    if (!curves) {
        for (const std::string& line : wrappedText(p.dc, kNoMatchedFilterForTuples, width)) {
            p.labels.place({x, y, line});
            y += lh + 1;
        }
        return;
    }
    const int32_t sample = 3 * lh;
    const std::pair<CurveStyle, const char*> methods[] = {{kExactCurves, "exact"},
                                                          {kMatchedFilterCurves, "matched filter"}};
    for (const auto& [style, name] : methods) {
        if (p.labels.place({x + sample + lh / 2, y, name})) {
            const int32_t mid = y + lh / 2;
            std::optional<platform::PenGuard> pen;
            if (style.dashed) pen.emplace(p.dc, kMatchedFilterColour);
            for (const Point& o : kTwice) {
                drawSegment(p.dc, {x + o.x, mid + o.y}, {x + sample + o.x, mid + o.y}, style);
                if (style.dashed) break;  // as the curves: one pass
            }
        }
        y += lh + 1;
    }
    y += lh / 2;
    for (const std::string& line : wrappedText(p.dc, kMatchedFilterNote, width)) {
        p.labels.place({x, y, line});
        y += lh + 1;
    }
}

}  // namespace

void DrawErrorCurves(DeviceContext& dc, uint32_t repeats, uint16_t curves,
                     std::span<const int16_t> pulseValues, std::span<const uint32_t> normaliser,
                     uint16_t levels, const RestErrorHeader& errors, const PlotBox& box,
                     int32_t labelOffset, double scale, int32_t xStep, LabelPlacer& labels) {
    detectionCurves(dc, repeats, curves, pulseValues, normaliser, levels, errors, box, labelOffset,
                    scale, xStep, labels, kExactCurves);
}

int DrawDetectionArrayZ(MessageSink& sink, DeviceContext& dc, const StatPlotView& view,
                        const PulseHeader* /*etalon*/, uint16_t amplitude, StatPlotMode plotMode,
                        uint16_t requiredCount, std::span<const uint16_t> requiredList,
                        const RestErrorHeader* errors, const SeriesHeader* series) {
    // Rows not drawn this time must not answer clicks.
    std::fill(view.listedReservedRects.begin(), view.listedReservedRects.end(), Rect{});
    if (!errors || !series) return 1;
    const RestErrorHeader& e = *errors;
    // N0, N1 and a third row kept for errors not plotted yet.
    std::vector<uint32_t> normalizer;
    if (!allocateBuffer(normalizer, 3 * size_t{e.wVariousPulses})) {
        sink.show("No memory to RestoredErrorNormalizer", " ERROR in DrawDetectionArrayZ ",
                  MessageIcon::None);
        return 0;
    }
    const size_t V = e.wVariousPulses;
    const size_t listed = std::min<size_t>(requiredCount, requiredList.size());
    const std::span<const uint16_t> required = requiredList.first(listed);
    const EtalonFigures figures = etalonFigures(e, *series, required);
    const ErrorNormalisers n = errorNormalisers(figures, *series);
    std::fill(normalizer.begin(), normalizer.begin() + V, n.restored);
    std::fill(normalizer.begin() + V, normalizer.begin() + 2 * V, n.detection);
    std::fill(normalizer.begin() + 2 * V, normalizer.end(), 1u);

    const SeriesGraphGeometry g =
        seriesGraphGeometry(view.rcGraph, view.nLineHeight, false, static_cast<int32_t>(listed));
    const StatPlotGeometry pg = statPlotGeometry(g, e.wNoiseLevels);
    const int16_t shown = static_cast<int16_t>(amplitude);
    // Labels stay inside the graph frame and off the strip's frame.
    LabelPlacer labels(dc, {g.L + 1, g.T + 1, g.L + g.W, g.T + g.H});
    labels.addFrame(etalonStripFrame(g));
    const StatPaint p{dc,
                      labels,
                      view,
                      g,
                      pg,
                      e,
                      *series,
                      plotMode,
                      seriesHalfRange(shown, series->wNoiseLevel).amplitude,
                      figures,
                      std::span<const uint32_t>(normalizer).first(V),
                      std::span<const uint32_t>(normalizer).subspan(V, V)};
    drawGraphFrame(dc, g);
    drawHeader(p, shown);
    drawEtalonStrip(dc, g, *series, static_cast<uint16_t>(listed), required, p.amplitude, 0);
    int32_t y = drawFiguresAndTimes(p);
    y = drawPatternBox(p, y);
    y = drawFormula(p, y);
    const RestErrorHeader* matchedFilter =
        view.matchedFilter && comparable(e, *view.matchedFilter) ? view.matchedFilter : nullptr;
    y = drawPlot(p, y, matchedFilter);
    if (matchedFilter)
        drawComparisonLegend(p, y, true);
    else if (view.matchedFilterWanted && isTuplesTask(e.wEffectiveTask))
        drawComparisonLegend(p, y, false);
    return 1;
}

}  // namespace etalon
