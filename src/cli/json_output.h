#pragma once

#include <nlohmann/json.hpp>
#include <span>

#include "io/alphabet_file.h"
#include "io/series_file.h"

namespace etalon::cli {

// The alphabet and series as the series and alphabet files hold them.
using io::alphabetToJson;
using io::seriesToJson;

}  // namespace etalon::cli
