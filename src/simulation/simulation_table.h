#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "simulation/rest_error_header.h"

namespace etalon {

// The grid of a simulation as CSV: a header line, then one row per grid
// point, noise level by noise level and within each by pulse count, with the
// record's integers as stored.
std::string simulationTableCsv(const RestErrorHeader& record);

// The same rows with the matched filter's errors beside the exact ones
// (`baseline` is its grid, shaped as `exact`) and, for both methods, the
// share of true pulses restored at exactly their position: hits / pulses per
// grid point, row-major as the error rows.
struct PositionShares {
    std::span<const uint64_t> truePulses, exactHits, baselineHits;
};
std::string simulationComparisonCsv(const RestErrorHeader& exact, const RestErrorHeader& baseline,
                                    const PositionShares& shares);

// hits / pulses with four decimals; empty when there were no pulses.
std::string shareText(uint64_t hits, uint64_t pulses);

}  // namespace etalon
