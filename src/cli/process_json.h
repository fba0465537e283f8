#pragma once

#include <nlohmann/json.hpp>

#include "io/recording.h"
#include "processing/chains_header.h"
#include "series/series_header.h"

namespace etalon::cli {

// The series as `series` prints it plus the restored fields.
nlohmann::ordered_json processedSeriesToJson(const SeriesHeader& series);
// The counters and the held chains of the results record.
nlohmann::ordered_json chainsToJson(const ChainsHeader& chains);
// Where the recording's span sits and how it was scaled.
nlohmann::ordered_json recordingToJson(const io::Recording& recording);

}  // namespace etalon::cli
