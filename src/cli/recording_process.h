// `process --samples` over a whole recording of any length and depth: the
// unknown-count chain in one pass, printed as chains, not as a series record.
#pragma once

#include <cstdint>
#include <ostream>
#include <span>
#include <string>
#include <vector>

#include "base/memory_budget.h"
#include "cli/recording_input.h"
#include "io/recording.h"
#include "processing/recording_chain.h"

namespace etalon::cli {

struct WholeRecordingRun {
    RecordingTask task = RecordingTask::Detection;
    std::span<const PulseHeader> alphabet;
    std::span<const uint16_t> list;
    RecordingGeometry geometry;
    uint16_t processingLevel = 100;
    MemoryBudget budget;
    std::string format = "json";  // or csv
    bool progress = false;        // a line on stderr every tenth of the work
    bool matchedFilter = false;   // the greedy baseline in place of the exact chain
};

// Restores and prints; returns the exit code. Throws BadInput for what the
// run refuses (the memory budget included).
int processWholeRecording(const RecordingArguments& args, const io::Recording& recording,
                          const WholeRecordingRun& run, std::ostream& out, std::ostream& err);

}  // namespace etalon::cli
