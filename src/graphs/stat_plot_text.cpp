#include "graphs/stat_plot_text.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "graphs/graph_parts.h"
#include "graphs/text_format.h"
#include "processing/task_codes.h"
#include "series/series_codes.h"

namespace etalon {
namespace {

// Sample i of an etalon, 0 outside it.
int32_t sampleAt(std::span<const int16_t> d, int32_t i) {
    return i >= 0 && static_cast<size_t>(i) < d.size() ? d[i] : 0;
}

int32_t energyOf(std::span<const int16_t> d, int32_t length) {
    int32_t energy = 0;
    for (int32_t j = 0; j < length; ++j)
        energy += sampleAt(d, j) * sampleAt(d, j);
    return energy;
}

std::span<const int16_t> samplesOf(const PulseHeader* etalon) {
    return etalon ? etalon->samples() : std::span<const int16_t>();
}

// Widens [Rmin, Rmax] by a correlation value.
void take(EtalonFigures& f, int32_t c) {
    f.Rmin = std::min(f.Rmin, c);
    f.Rmax = std::max(f.Rmax, c);
}

// The etalon a required number names when it lies in the series' alphabet, else the first pulse.
const PulseHeader* requiredEtalon(const SeriesHeader& series, int32_t number) {
    if (number >= 1 && number <= series.wEtalons) {
        if (const PulseHeader* etalon = etalonOf(series, number)) return etalon;
    }
    return series.lpFirstPulse;
}

EtalonFigures pairFigures(const SeriesHeader& series, std::span<const uint16_t> required) {
    const int32_t L = series.wImpulseSize;
    EtalonFigures f;
    f.etEnergy = energyOf(samplesOf(series.lpFirstPulse), L);
    const auto a = samplesOf(requiredEtalon(series, required.empty() ? 0 : required[0]));
    const auto b = samplesOf(requiredEtalon(
        series, required.size() >= 2 ? required[1] : (required.empty() ? 0 : required[0])));
    for (int32_t m = -L; m <= L; ++m) {
        int32_t c = 0;
        for (int32_t u = 0; u < L - std::abs(m); ++u)
            c += sampleAt(b, u) * sampleAt(a, u + m);
        take(f, c);
    }
    return f;
}

// Over the stored subsets of a tuples series: the strongest etalon and the
// full cross-correlations between etalons of different subsets.
EtalonFigures subsetFigures(const SeriesHeader& series) {
    const int32_t L = series.wImpulseSize;
    EtalonFigures f;
    std::vector<std::vector<std::span<const int16_t>>> subsets;
    for (int t = 0; t < series.wSubsets; ++t) {
        auto& etalons = subsets.emplace_back();
        for (int16_t number : series.storedSubset(t)) {
            etalons.push_back(samplesOf(etalonOf(series, number)));
            f.etEnergy = std::max(f.etEnergy, energyOf(etalons.back(), L));
        }
    }
    for (size_t t1 = 0; t1 < subsets.size(); ++t1) {
        for (size_t t2 = t1 + 1; t2 < subsets.size(); ++t2) {
            for (const auto& x : subsets[t1]) {
                for (const auto& y : subsets[t2]) {
                    for (int32_t m = -L; m <= L; ++m) {
                        int32_t c = 0;
                        for (int32_t u = 0; u < L; ++u)
                            c += sampleAt(y, u) * sampleAt(x, u + m);
                        take(f, c);
                    }
                }
            }
        }
    }
    return f;
}

int32_t clampToInt(double v) {
    if (!(v > 0)) return 0;
    return v >= std::numeric_limits<int32_t>::max() ? std::numeric_limits<int32_t>::max()
                                                    : static_cast<int32_t>(v);
}

int32_t clampToInt(uint64_t v) {
    return static_cast<int32_t>(std::min<uint64_t>(v, std::numeric_limits<int32_t>::max()));
}

int32_t roundUpEven(int32_t v) {
    return v % 2 != 0 ? v + 1 : v;
}

// A font height from the view's height, never smaller than the text's line.
int32_t fontHeight(int32_t h, int32_t lh) {
    return h < lh + 1 ? lh + 2 : h;
}

}  // namespace

bool isRecognitionPlot(StatPlotMode mode) {
    return mode == StatPlotMode::RecognitionComponents ||
           mode == StatPlotMode::RecognitionAggregate || plotHasBounds(mode);
}

bool plotHasBounds(StatPlotMode mode) {
    return mode == StatPlotMode::RecognitionComponentsBounds ||
           mode == StatPlotMode::RecognitionAggregateBounds;
}

std::string statPlotTitle(StatPlotMode mode) {
    switch (mode) {
        case StatPlotMode::RestoredComponents:
            return " restored error, componentwise case";
        case StatPlotMode::RestoredAggregate:
            return " restored error, agregate form";
        case StatPlotMode::DetectionComponents:
            return " detection error, componentwise case";
        case StatPlotMode::DetectionAggregate:
            return " detection error, agregate form";
        case StatPlotMode::RecognitionComponents:
        case StatPlotMode::RecognitionComponentsBounds:
            return " recognition error, componentwise case";
        case StatPlotMode::RecognitionAggregate:
        case StatPlotMode::RecognitionAggregateBounds:
            return " recognition error, agregate form";
        default:
            return "";
    }
}

std::string statPlotFormula(StatPlotMode mode) {
    if (mode == StatPlotMode::RestoredComponents || mode == StatPlotMode::RestoredAggregate)
        return "e(s)=E||C-<C>||2/||C||2";
    if (mode == StatPlotMode::DetectionComponents || mode == StatPlotMode::DetectionAggregate)
        return "e(s)=E||h-<h>||2/||h||2";
    return "";
}

std::string involvesLine(std::span<const int16_t> pulseValues, int32_t minPulses,
                         int32_t maxPulses) {
    std::string line = " involves ";
    const size_t v = pulseValues.size();
    if (v <= 3) {
        for (int16_t count : pulseValues)
            appendFormatted(line, " %d,", count);
    } else {
        appendFormatted(line, " %d,", pulseValues[0]);
        appendFormatted(line, " %d,", pulseValues[1]);
        appendFormatted(line, "..., %d ", pulseValues[v - 1]);
    }
    line.pop_back();  // the pulse range goes over the last comma or blank
    appendFormatted(line, " pulses from [%d-%d],", minPulses, maxPulses);
    return line;
}

std::vector<std::string> statHeaderLines(const RestErrorHeader& errors, const SeriesHeader& series,
                                         int32_t amplitude, StatPlotMode mode) {
    std::vector<std::string> lines(9);
    appendFormatted(
        lines[0], " statistical simulation for %s in series with %s ",
        codeText(errors.lpTaskName, "task", codeNumber(errors.wEffectiveTask)).c_str(),
        codeText(errors.lpSeriesTypeName, "type", codeNumber(errors.wSeriesType)).c_str());
    appendFormatted(lines[1], " series length %d, ", int(series.dwSeriesSize));
    lines[2] = involvesLine(errors.wPulseValues(), series.wMinPulses, series.wMaxPulses);
    appendFormatted(lines[3], " with length %d, amplitude %d", series.wImpulseSize, amplitude);
    appendFormatted(lines[4], " Tmin=%d, Tmax=%d,", series.wTmin, series.wTmax);
    const auto levels = errors.lpNoiseLevels();
    appendFormatted(lines[5], " number of %d noise levels", int(levels.size()));
    // One noise level has no step; none has no range either.
    const int first = levels.empty() ? 0 : levels.front();
    const int last = levels.empty() ? 0 : levels.back();
    const int step = levels.size() < 2 ? 0 : levels[1] - levels[0];
    appendFormatted(lines[6], " from %d to %d with step %d", first, last, step);
    lines[7] = statPlotTitle(mode);
    appendFormatted(lines[8], " for volume of % d repeats", int(errors.repeats));
    return lines;
}

EtalonFigures etalonFigures(const RestErrorHeader& errors, const SeriesHeader& series,
                            std::span<const uint16_t> required) {
    if (isTuplesSeries(errors.wSeriesType) && errors.wEffectiveTask == TaskCode::TuplesRecognition)
        return subsetFigures(series);
    return pairFigures(series, required);
}

std::string figuresLine(const EtalonFigures& f) {
    std::string line;
    appendFormatted(line, "etEnergy=%d, Rmin=%d, Rmax=%d", f.etEnergy, f.Rmin, f.Rmax);
    return line;
}

ErrorNormalisers errorNormalisers(const EtalonFigures& f, const SeriesHeader& series) {
    const int64_t spread = int64_t{f.etEnergy} - f.Rmin;
    const int64_t gap = int64_t{series.wTmax} - series.wImpulseSize;
    return {static_cast<uint32_t>(2 * int64_t{series.wMaxPulses} * spread),
            static_cast<uint32_t>(gap * gap)};
}

int32_t errorAxisMaximum(StatPlotMode mode, const RestErrorHeader& e, const ErrorNormalisers& n) {
    const size_t V = e.wVariousPulses, NL = e.wNoiseLevels;
    const uint32_t Rp = e.repeats;
    switch (mode) {
        case StatPlotMode::RestoredComponents: {
            uint64_t q = 50;
            for (size_t k = 0; k < V && n.restored > 0; ++k) {
                uint64_t top = 0;
                for (size_t l = 0; l < NL; ++l)
                    top = std::max<uint64_t>(top, e.lpErrors(l)[k]);
                q = std::max(q, top * 1000 / n.restored);
            }
            return clampToInt(q);
        }
        case StatPlotMode::RestoredAggregate: {
            if (V == 0) return 490;
            double b1 = 0;
            for (size_t l = 0; l < NL && n.restored > 0; ++l) {
                double sum = 0;
                for (size_t k = 0; k < V; ++k)
                    sum += double(e.lpErrors(l)[k]) / n.restored;
                b1 = std::max(b1, sum);
            }
            b1 = std::max({b1, 0.079, 0.49 * double(V)});
            return clampToInt(1000 * b1 / double(V));
        }
        case StatPlotMode::DetectionComponents: {
            double b2 = 0.3;
            for (size_t k = 0; k < V && Rp > 0 && n.detection > 0; ++k) {
                uint64_t top = 0;
                for (size_t l = 0; l < NL; ++l)
                    top = std::max<uint64_t>(top, e.lpDetectionErrors(l)[k]);
                const uint64_t mean = (Rp + 2 * top) / (2 * uint64_t{Rp});
                b2 = std::max(b2, std::sqrt(double(mean) / n.detection));
            }
            return std::max(50, clampToInt(1000 * b2));
        }
        case StatPlotMode::DetectionAggregate: {
            double top = 0;
            for (size_t l = 0; l < NL && V > 0 && Rp > 0 && n.detection > 0; ++l) {
                double sum = 0;
                for (size_t k = 0; k < V; ++k)
                    sum += e.lpDetectionErrors(l)[k];
                top = std::max(top, sum / (double(V) * n.detection * Rp));
            }
            return std::max(50, clampToInt(1000 * std::max(std::sqrt(top), 0.24)));
        }
        default:
            return 500;  // recognition: a share of the repeats, plotted up to one half
    }
}

int32_t errorAxisTop(int32_t q, bool fixedUpperBound, double upperBound) {
    if (fixedUpperBound && upperBound > 0)
        return std::clamp(clampToInt(1000 * upperBound), 1, 1000000);
    int64_t z = 1;
    while (z <= q)
        z *= 10;
    if (z >= 5 * int64_t{q}) z /= 5;
    for (int i = 0; i < 2; ++i) {
        if (z >= 2 * int64_t{q}) z /= 2;
    }
    return static_cast<int32_t>(std::max<int64_t>(z, 1));
}

std::string errorAxisLabel(int32_t i, int32_t top) {
    std::string label;
    appendFormatted(label, top >= 50 ? "%.2f" : "%.3f", i * (top / 5) / 1000.0);
    return label;
}

std::string calendarText(const std::tm& t) {
    static const char* const kDays[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
    static const char* const kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                          "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    std::string text;
    appendFormatted(text, "%.3s %.3s%3d %.2d:%.2d:%.2d %d", kDays[std::clamp(t.tm_wday, 0, 6)],
                    kMonths[std::clamp(t.tm_mon, 0, 11)], t.tm_mday, t.tm_hour, t.tm_min, t.tm_sec,
                    1900 + t.tm_year);
    return text;
}

std::string calendarText(std::time_t time) {
    std::tm local{};
    localtime_r(&time, &local);
    return calendarText(local);
}

std::string elapsedTimeText(std::time_t start, std::time_t end) {
    const int64_t s = std::max<int64_t>(0, int64_t{end} - int64_t{start});
    const int64_t minutes = s / 60 % 60, seconds = s % 60;
    std::string text;
    appendFormatted(text, "elapsed time %d:%d%d:%d%d", int(s / 3600), int(minutes / 10),
                    int(minutes % 10), int(seconds / 10), int(seconds % 10));
    return text;
}

StatPlotGeometry statPlotGeometry(const SeriesGraphGeometry& g, int32_t noiseLevels) {
    StatPlotGeometry p;
    p.formulaFont = fontHeight((g.H + 12) / 25, g.lh);
    p.labelFont = fontHeight((g.H + 11) / 22, g.lh);
    const int32_t G = p.labelFont;
    p.h0 = g.H - g.MT - g.MT / 2 - 2 * G;
    p.w0 = std::min((g.AX - 2 * g.ML) / 2, (2 * p.h0) / 3);
    p.Ty = std::max(0, (p.h0 / 10 + 2) / 4 * 4);
    p.PH = 10 * p.Ty;
    // One noise level has no spacing of its own: the plot is one column wide.
    const int32_t spans = std::max(noiseLevels - 1, 0);
    const int32_t e1 = roundUpEven(spans > 0 ? p.w0 / spans : p.w0);
    const int32_t e2 = roundUpEven((p.Ty + 2) / 5);
    p.xStep = std::max(0, std::min(e1, e2));
    p.PW = spans * p.xStep;
    p.px = g.AX - p.PW - 6 * g.ML + 1;
    p.py = g.T + (std::max(g.lh + 1, g.MT) + G) / 2;
    return p;
}

}  // namespace etalon
