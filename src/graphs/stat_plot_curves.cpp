#include "graphs/stat_plot_parts.h"

#include <algorithm>
#include <cmath>
#include <optional>
#include <string>
#include <vector>

#include "graphs/graph_parts.h"
#include "graphs/series_mapping.h"
#include "processing/task_codes.h"
#include "series/series_codes.h"

namespace etalon::stat_plot {

using platform::DeviceContext;
using platform::Point;
using platform::Rect;

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

void drawCurve(DeviceContext& dc, const PlotBox& box, const std::vector<CurvePoint>& points,
               std::span<const Point> offsets, const CurveStyle& style) {
    const Rect area = plotArea(box);
    platform::ClipGuard clip(dc, area);
    std::optional<platform::PenGuard> pen;
    if (style.dashed) pen.emplace(dc, kMatchedFilterColour);
    // Segments are cut a little outside the clip, so rounding their cut ends never shows.
    const Rect reach{area.left - 4, area.top - 4, area.right + 4, area.bottom + 4};
    // The matched filter's dashes keep to one pass: bold, dozens of them
    // read as a block where the curves crowd.
    const std::span<const Point> passes = offsets.first(style.dashed ? 1 : offsets.size());
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

Label curveLabel(int32_t x, const std::vector<CurvePoint>& points, int32_t offset,
                 std::string text) {
    const int64_t y = std::clamp<int64_t>(points.back().y - offset, INT32_MIN / 2, INT32_MAX / 2);
    return {x, static_cast<int32_t>(y), std::move(text)};
}

namespace {

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

}  // namespace

void detectionCurves(DeviceContext& dc, const RestErrorHeader& errors,
                     const ErrorCurvesRequest& request, LabelPlacer& labels,
                     const CurveStyle& style) {
    const uint32_t repeats = errors.repeats;
    if (repeats == 0) return;
    const std::span<const int16_t> pulseValues = errors.wPulseValues();
    const std::span<const uint32_t> normaliser = request.normaliser;
    const PlotBox& box = request.box;
    const int32_t levels = errors.wNoiseLevels, xStep = request.xStep;
    const size_t count =
        std::min({size_t{errors.wVariousPulses}, pulseValues.size(), normaliser.size()});
    std::vector<Label> ends;
    for (size_t k = 0; k < count; ++k) {
        if (normaliser[k] == 0) continue;
        std::vector<CurvePoint> points;
        for (int32_t l = 0; l < levels; ++l) {
            const double v =
                std::sqrt(double(errors.lpDetectionErrors(l)[k]) / repeats / normaliser[k]);
            points.push_back({box.left + l * xStep, plotY(box, request.scale * v * box.height)});
        }
        drawCurve(dc, box, points, kLowerRight, style);
        if (!points.empty() && style.labelled)
            ends.push_back(curveLabel(box.left + levels * xStep, points, request.labelOffset,
                                      std::to_string(pulseValues[k])));
    }
    labels.placeAll(ends);
}

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
            detectionCurves(p.dc, p.e, {p.n1, p.box(), labelOffset, sc.value(), p.pg.xStep},
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

}  // namespace etalon::stat_plot
