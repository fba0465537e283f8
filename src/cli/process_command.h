#pragma once

#include <CLI/CLI.hpp>
#include <cstdint>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "base/memory_budget.h"
#include "cli/recording_input.h"
#include "cli/series_session.h"

namespace etalon::cli {

// The options of `process` besides those that make the series.
struct ProcessArguments {
    std::string input;  // a series file instead of making one
    std::string task = "recognition";
    int32_t etalon = 1;
    std::string etalons;           // the working set, default 1..20
    int32_t processingLevel = -1;  // default: the making level
    std::string subsets;           // "L1;L2;..."
    int32_t pick = 0;              // 0: the last stored pattern
    uint16_t proceeding = 1;
    std::string format = "json";   // or csv: one restored pulse a row
    std::string method = "exact";  // or matched-filter: the greedy baseline's chain
    RecordingArguments recording;  // --samples and how to read them
    std::string memoryLimit;       // a budget below the available memory: "512M", "2G"
    bool progress = false;         // --samples: progress lines on stderr
    uint32_t threads = 1;          // --samples: files restored at once (0: every core)
};

// The memory budget of the run: available memory, ETALON_MEMORY_LIMIT and --memory-limit.
MemoryBudget commandMemoryBudget(const ProcessArguments& args);

// The task, working list and patterns; addProcessOptions adds --input, the
// recording's options and the output format too.
void addTaskOptions(CLI::App& command, ProcessArguments& args);
void addProcessOptions(CLI::App& command, ProcessArguments& args);

// Makes (or reads) the series and runs the procedure the processing command
// chooses for the task and series type; prints series, chains and the
// returned value as JSON. `command` tells which options were given.
int runProcess(const SeriesOptions& series, const ProcessArguments& args, const CLI::App& command,
               std::ostream& out, std::ostream& err);

}  // namespace etalon::cli
