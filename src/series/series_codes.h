#pragma once

#include <cstdint>
#include <iosfwd>

namespace etalon {

// Series types; 16 and 32 are what " Create series... " makes of 1 and 4.
enum class SeriesCode : uint16_t {
    FixedWhole = 1,
    FixedCutoff = 2,
    UnfixedWhole = 4,
    UnfixedCutoff = 8,
    CreatedFixed = 16,
    CreatedUnfixed = 32,
    FixedTuples = 36,
    UnfixedTuples = 40,
};

// Written as its number, as files and reports show it.
std::ostream& operator<<(std::ostream& out, SeriesCode seriesType);

// The number that stands for the type in files and reports.
inline uint16_t codeNumber(SeriesCode seriesType) {
    return static_cast<uint16_t>(seriesType);
}

// Whether the workbench makes series of this type at all.
bool isKnownSeriesType(SeriesCode seriesType);
bool isCutoffSeries(SeriesCode seriesType);
// The generator draws the pulse count (4, 8 and 40).
bool isUnfixedSeries(SeriesCode seriesType);
// Unfixed series of single pulses (4 and 8): processed with the unknown-count procedures.
bool isUnfixedPulseSeries(SeriesCode seriesType);
bool isTuplesSeries(SeriesCode seriesType);

// Text the reports use for a series type; null where there is none.
const char* seriesTypeReportText(SeriesCode seriesType);

}  // namespace etalon
