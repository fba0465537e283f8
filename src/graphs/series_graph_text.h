#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "processing/chains_header.h"
#include "processing/task_codes.h"
#include "series/series_codes.h"
#include "series/series_header.h"

namespace etalon {

// What the last run recorded, read with the results record possibly absent
// (then nothing was run: state 0, no codes).
struct RunCodes {
    uint16_t state = 0;
    SeriesCode seriesType{};
    TaskCode effectiveTask{};

    explicit RunCodes(const ChainsHeader* chains);
    bool recorded() const { return state > 1; }
    bool cutoff() const { return isCutoffSeries(seriesType); }
    bool tuplesSeries() const { return isTuplesSeries(seriesType); }
    bool tuplesTask() const { return isTuplesTask(effectiveTask); }
    bool tupleResult() const { return tuplesTask() && tuplesSeries(); }
};

// The amplitude shown (a series without one is shown as 128, doubled until it
// reaches the noise) and the half range of the series panels built from it.
struct HalfRange {
    int16_t amplitude = 0;
    int16_t range = 0;
};
HalfRange seriesHalfRange(int16_t amplitude, int16_t noiseLevel);

// Whether etalon letters follow positions in the lists: after a recorded run
// unless it was plain detection, otherwise when the restored pulses carry etalons.
bool etalonLettersShown(const ChainsHeader* chains, const SeriesHeader& series);

char etalonLetter(int32_t number);

// Shown wherever the view would compare with true pulses a recording does not have.
inline constexpr const char* kTruthUnknown = "truth unknown";

// The header above the panels: the task line (only after a recorded run),
// the series line, the pulse-count line and the list of true pulses. Without
// a truth the noise quotients and the true pulses say so, and a count of 0 is unknown.
std::vector<std::string> seriesHeaderLines(const ChainsHeader* chains, const SeriesHeader& series,
                                           int16_t amplitude, bool letters, bool truthKnown = true);

// "Detected ..." with the restored pulses, as tuples in braces after a tuple
// run; the true count follows only where there is a truth.
std::string restoredPulsesLine(const ChainsHeader* chains, const SeriesHeader& series, bool letters,
                               bool truthKnown = true);

std::string restoreErrorLine(int32_t error);
std::string unknownRestoreErrorLine();

// The ranked candidate chains in two columns, then the true configuration as
// row 0. Without a results record only the true row is there.
struct ChainTableText {
    using Row = std::pair<std::string, std::string>;
    bool hasTable = false;
    Row heading;
    std::vector<Row> rows;
    Row trueRow;
};
ChainTableText chainTableText(const ChainsHeader* chains, const SeriesHeader& series, bool letters,
                              int32_t trueMeasure, bool truthKnown = true);

}  // namespace etalon
