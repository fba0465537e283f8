#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "base/message_sink.h"
#include "cli/process_command.h"
#include "processing/task_codes.h"
#include "series/series_header.h"

namespace etalon::cli {

// A bad option or file, told in one line; the run ends with kExitBadInput.
struct BadInput {
    std::string text;
};

// The task code of a --task name.
TaskCode taskCode(const std::string& task);

// Etalon numbers 1..`etalons` separated by `separator`; throws BadInput naming the option.
std::vector<int32_t> parseNumbers(const std::string& text, const std::string& option,
                                  char separator, uint16_t etalons = kEtalonsNumber);
// "3,5,7;2,4": the stored patterns.
std::vector<std::vector<int32_t>> parseSubsets(const std::string& text);

// Stores the patterns and makes pattern `pick` (1-based, 0 = the last) current.
void storeSubsets(MessageSink& sink, const std::vector<std::vector<int32_t>>& subsets, int pick,
                  const SeriesOptions& options, SeriesHeader& series);

// The working list of an alphabet of `etalons`: the singled-out etalon for
// detection, --etalons (or every etalon) otherwise.
std::vector<uint16_t> workingList(TaskCode task, const ProcessArguments& args, uint16_t etalons);

}  // namespace etalon::cli
