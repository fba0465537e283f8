#include "cli/task_options.h"

#include <algorithm>
#include <span>

#include "cli/number_list.h"
#include "processing/task_codes.h"
#include "series/subsets.h"

namespace etalon::cli {

TaskCode taskCode(const std::string& task) {
    if (task == "detection") return TaskCode::Detection;
    if (task == "joint") return TaskCode::Joint;
    if (task == "processing") return TaskCode::SeriesProcessing;
    return TaskCode::Recognition;
}

std::vector<int32_t> parseNumbers(const std::string& text, const std::string& option,
                                  char separator, uint16_t etalons) {
    std::vector<int32_t> values;
    for (const std::string& item : splitItems(text, separator)) {
        int32_t value = 0;
        if (!parseWhole(item, value)) {
            throw BadInput{option + ": '" + item + "' is not a whole number"};
        }
        if (value < 1 || value > etalons) {
            throw BadInput{option + ": etalon " + std::to_string(value) + " is outside 1.." +
                           std::to_string(etalons)};
        }
        values.push_back(value);
    }
    return values;
}

std::vector<std::vector<int32_t>> parseSubsets(const std::string& text) {
    std::vector<std::vector<int32_t>> subsets;
    for (const std::string& pattern : splitItems(text, ';')) {
        subsets.push_back(parseNumbers(pattern, "--subsets", ','));
    }
    return subsets;
}

// Stores the patterns and makes pattern `pick` (1-based, 0 = the last) current.
void storeSubsets(MessageSink& sink, const std::vector<std::vector<int32_t>>& subsets, int pick,
                  const SeriesOptions& options, SeriesHeader& series) {
    if (subsets.empty()) return;
    if (pick < 0 || pick > static_cast<int>(subsets.size())) {
        throw BadInput{"--pick: " + std::to_string(pick) + " is outside 1.." +
                       std::to_string(subsets.size())};
    }
    if (!storePatterns(sink, subsets, pick, options.employment, options.initPosition, &series)) {
        throw BadInput{"the patterns could not be stored"};
    }
}

std::vector<uint16_t> workingList(TaskCode task, const ProcessArguments& args, uint16_t etalons) {
    std::vector<uint16_t> list;
    if (task == TaskCode::Detection) {
        if (args.etalon > etalons)
            throw BadInput{"--etalon: etalon " + std::to_string(args.etalon) + " is outside 1.." +
                           std::to_string(etalons) + ", the etalons of the alphabet"};
        list = {static_cast<uint16_t>(args.etalon)};
    } else if (!args.etalons.empty()) {
        for (int32_t e : parseNumbers(args.etalons, "--etalons", ',', etalons))
            list.push_back(static_cast<uint16_t>(e));
    } else {
        for (uint16_t e = 1; e <= etalons; ++e)
            list.push_back(e);
    }
    return list;
}

}  // namespace etalon::cli
