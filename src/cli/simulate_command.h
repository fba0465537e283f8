#pragma once

#include <CLI/CLI.hpp>
#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

#include "cli/process_command.h"
#include "cli/series_session.h"

namespace etalon::cli {

// The grid and the run of `simulate`; 0 in pulsesFrom and pulsesTo stands for
// the geometry's own bounds.
struct SimulateArguments {
    int32_t pulsesFrom = 0;
    int32_t pulsesTo = 0;
    int32_t pulsesStep = 1;
    int32_t noiseFrom = 0;
    int32_t noiseSteps = 29;
    int32_t noiseStep = 5;
    int32_t repeats = 100;
    uint32_t threads = 0;  // 0: every core
    std::string format = "json";
    bool progress = false;
    bool baseline = false;   // the matched filter restores every series too
    std::string checkpoint;  // saved now and then when given
    std::string resume;      // a checkpoint to continue from
    int32_t checkpointSeconds = 60;
};

void addSimulateOptions(CLI::App& command, SimulateArguments& args);

// Runs the statistical simulation headless and prints the grid as JSON (with
// the last series) or CSV. `terminal`: err is a terminal, so progress is
// redrawn in place.
int runSimulate(const SeriesOptions& series, const ProcessArguments& task,
                const SimulateArguments& args, std::ostream& out, std::ostream& err, bool terminal);

}  // namespace etalon::cli
