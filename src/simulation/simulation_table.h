#pragma once

#include <string>

#include "simulation/rest_error_header.h"

namespace etalon {

// The grid of a simulation as CSV: a header line, then one row per grid
// point, noise level by noise level and within each by pulse count, with the
// record's integers as stored.
std::string simulationTableCsv(const RestErrorHeader& record);

}  // namespace etalon
