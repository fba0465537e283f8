#pragma once

#include <cstdint>
#include <ctime>
#include <span>
#include <string>
#include <vector>

#include "graphs/series_graph.h"
#include "series/series_header.h"
#include "simulation/rest_error_header.h"

namespace etalon {

// The computations and texts of the statistics view, apart from any drawing.

// Plot modes of the statistics view.
enum class StatPlotMode : int32_t {
    RestoredComponents = 0,
    RestoredAggregate = 1,
    DetectionComponents = 2,
    DetectionAggregate = 3,
    RecognitionComponents = 4,
    RecognitionAggregate = 5,
    RecognitionComponentsBounds = 12,
    RecognitionAggregateBounds = 13,
};

bool isRecognitionPlot(StatPlotMode mode);
bool plotHasBounds(StatPlotMode mode);

std::string statPlotTitle(StatPlotMode mode);
// The formula of the plotted error, written in the Symbol font; empty for recognition.
std::string statPlotFormula(StatPlotMode mode);

// " involves  5, 6,..., 9 pulses from [6-30],": up to three counts in full,
// more as the first two and the last.
std::string involvesLine(std::span<const int16_t> pulseValues, int32_t minPulses,
                         int32_t maxPulses);

// The text block that describes the simulation, one entry per line.
std::vector<std::string> statHeaderLines(const RestErrorHeader& errors, const SeriesHeader& series,
                                         int32_t amplitude, StatPlotMode mode);

// Energy and correlation figures of the etalons, and their line.
struct EtalonFigures {
    int32_t etEnergy = 0;
    int32_t Rmin = 0;  // never above 0
    int32_t Rmax = 0;  // never below 0
};
EtalonFigures etalonFigures(const RestErrorHeader& errors, const SeriesHeader& series,
                            std::span<const uint16_t> required);
std::string figuresLine(const EtalonFigures& figures);

// Normalisers of the restoring error (N0) and of the detection error (N1),
// the same for every pulse count. Either may be 0.
struct ErrorNormalisers {
    uint32_t restored = 0;
    uint32_t detection = 0;
};
ErrorNormalisers errorNormalisers(const EtalonFigures& figures, const SeriesHeader& series);

// The largest plotted value in thousandths (Q), from the error tables; a
// zero normaliser or repeat count leaves its part out.
int32_t errorAxisMaximum(StatPlotMode mode, const RestErrorHeader& errors,
                         const ErrorNormalisers& normalisers);

// The top of the error axis in thousandths (Z): a 1-2-5 step above Q, or the
// fixed bound when one is set. Never below 1, so the scale 1000 div Z exists.
// The largest fixed upper bound the error axis takes; a larger one is drawn as this.
inline constexpr double kLargestUpperBound = 1000.0;
int32_t errorAxisTop(int32_t q, bool fixedUpperBound, double upperBound);
// Label i (0..5) of the error axis: i fifths of Z, three decimals below 0.05.
std::string errorAxisLabel(int32_t i, int32_t top);

// "Wed Jun 30 21:49:08 1993": the 24-character calendar text.
std::string calendarText(const std::tm& time);
std::string calendarText(std::time_t time);  // local time
// "elapsed time 1:02:05"; a clock that went back reads 0:00:00.
std::string elapsedTimeText(std::time_t start, std::time_t end);

// Where the plot goes, from the view geometry and the number of noise levels.
struct StatPlotGeometry {
    int32_t formulaFont = 0;  // character height of the formula's font
    int32_t labelFont = 0;    // G: character height of the labels' font
    int32_t h0 = 0, w0 = 0;   // room for the plot
    int32_t Ty = 0;           // grid step, a multiple of 4
    int32_t PH = 0, PW = 0;   // plot height and width
    int32_t xStep = 0;        // pixels between noise levels
    int32_t px = 0, py = 0;   // plot left and top
};
StatPlotGeometry statPlotGeometry(const SeriesGraphGeometry& g, int32_t noiseLevels);

}  // namespace etalon
