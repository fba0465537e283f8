#pragma once

#include <nlohmann/json.hpp>
#include <span>

#include "pulses/pulse_header.h"
#include "series/series_header.h"

namespace etalon::cli {

nlohmann::ordered_json alphabetToJson(std::span<const PulseHeader> alphabet);
// The series fields under their own names, each array cut to the entries in use.
nlohmann::ordered_json seriesToJson(const SeriesHeader& series);

}  // namespace etalon::cli
