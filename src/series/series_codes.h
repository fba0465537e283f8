#pragma once

#include <cstdint>

namespace etalon {

// Series types; 16 and 32 are what " Create series... " makes of 1 and 4.
enum SeriesCode : uint16_t {
    kSeriesFixedWhole = 1,
    kSeriesFixedCutoff = 2,
    kSeriesUnfixedWhole = 4,
    kSeriesUnfixedCutoff = 8,
    kSeriesCreatedFixed = 16,
    kSeriesCreatedUnfixed = 32,
    kSeriesFixedTuples = 36,
    kSeriesUnfixedTuples = 40,
};

// Whether the workbench makes series of this type at all.
bool isKnownSeriesType(uint16_t seriesType);
bool isCutoffSeries(uint16_t seriesType);
// The generator draws the pulse count (4, 8 and 40).
bool isUnfixedSeries(uint16_t seriesType);
// Unfixed series of single pulses (4 and 8): processed with the unknown-count procedures.
bool isUnfixedPulseSeries(uint16_t seriesType);
bool isTuplesSeries(uint16_t seriesType);

// Text the reports use for a series type; null where there is none.
const char* seriesTypeReportText(uint16_t seriesType);

}  // namespace etalon
