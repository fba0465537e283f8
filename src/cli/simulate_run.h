#pragma once

#include <chrono>
#include <cstdint>
#include <nlohmann/json.hpp>
#include <ostream>
#include <string>

#include "cli/process_command.h"
#include "cli/series_session.h"
#include "cli/simulate_command.h"
#include "cli/stderr_sink.h"
#include "simulation/rest_error_header.h"
#include "simulation/stat_cutoff_varnel.h"

namespace etalon::cli {

struct SimulationCheckpoint;

// What the process running `simulate` hands the driver beyond the grid: its
// share, the hand-over of the sums, progress, cancel, a checkpoint to go on from.
struct RunHooks {
    SimulationOptions options;  // the arena and the memory budget are set by the run
    const SimulationCheckpoint* resume = nullptr;
    bool takeResumeSums = true;  // one process only starts from the saved sums
    uint32_t rank = 0;
    uint32_t ranksOnMachine = 1;  // processes sharing this machine's memory
};

// What one process's run gives, before anything is printed.
struct SimulateProduct {
    SimulationResult result;
    RestErrorHeader errors;
    RestErrorHeader baseline;
    std::string seriesJson;   // the last series with its restored pulses
    nlohmann::json identity;  // what a checkpoint of this run is known by
    uint32_t total = 0;       // series in the grid
};

// Sets up the grid from the options and runs the driver; 0 when it completed.
// Bad options are told on `err`, the core's reports through `sink`.
int simulateOnce(const SeriesOptions& options, const ProcessArguments& task,
                 const SimulateArguments& args, RunHooks& hooks, StderrSink& sink,
                 std::ostream& err, SimulateProduct& product);

// The text `simulate` prints for a completed run.
std::string simulateOutputText(const SimulateArguments& args, const SimulateProduct& product);

// ETALON_TEST_FAIL_RANK=r:k makes process r fail at its k-th restored series,
// so tests can see a failure end the run on every process.
void armTestFailure(SimulationOptions& options, uint32_t rank);

bool launchedOnRanks();
int runSimulateOnRanks(const SeriesOptions& options, const ProcessArguments& task,
                       const SimulateArguments& args, std::ostream& out, std::ostream& err,
                       bool terminal);

// Progress on stderr: redrawn in place on a terminal, a line every tenth otherwise.
class ProgressLine {
  public:
    ProgressLine(std::ostream& err, bool terminal, uint32_t total)
        : err_(err), terminal_(terminal), total_(total) {}
    void setTotal(uint32_t total) { total_ = total; }
    void operator()(uint32_t done) {
        const auto now = std::chrono::steady_clock::now();
        if (terminal_) {
            if (done != total_ && now - shown_ < std::chrono::milliseconds(100)) return;
            shown_ = now;
            err_ << "\rsimulate: " << done << " of " << total_ << " series" << std::flush;
            if (done == total_) err_ << '\n';
        } else if (total_ > 0 && done * 10ull / total_ != reported_ * 10ull / total_) {
            reported_ = done;
            err_ << "simulate: " << done << " of " << total_ << " series\n";
        }
    }

  private:
    std::ostream& err_;
    bool terminal_;
    uint32_t total_;
    uint32_t reported_ = 0;
    std::chrono::steady_clock::time_point shown_{};
};

}  // namespace etalon::cli
