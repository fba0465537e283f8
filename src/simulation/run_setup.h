#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "base/message_sink.h"
#include "processing/chains_header.h"
#include "processing/restoring.h"
#include "simulation/rest_error_header.h"
#include "simulation/stat_cutoff_varnel.h"

// The checks, records and memory plan a simulation makes before its first
// series (statCutoffVarnel's own steps, apart from the pipeline).
namespace etalon {

// Everything the series of a run share, read by every worker and never
// written once the run has started.
struct RunSetup {
    uint16_t tmin = 0;
    uint16_t tmax = 0;
    uint16_t pulseLength = 0;
    uint32_t seriesLength = 0;
    uint16_t repeats = 0;
    std::size_t workSize = 0;  // entries of the counters and the sequence
    RestoringProcedure procedure = RestoringProcedure::None;
    ChainsHeader chains;           // described, empty; each item gets a copy
    std::vector<int32_t> pattern;  // the current subset (tuples)
    uint16_t storedSubsets = 0;    // what tuples recognition rotates through
    std::vector<std::vector<int32_t>> storedLists;
    std::vector<std::span<const int32_t>> patterns;
    std::size_t seriesAtOnce = SIZE_MAX;  // what the memory budget lets run together
    bool baseline = false;                // the matched filter restores every series too
};

// Every check and record made before the first series; none after a
// reported refusal. Fills the grid's descriptive fields.
std::optional<RunSetup> prepareRun(MessageSink& sink, const SimulationRun& run,
                                   const SimulationRecords& records, RestErrorHeader& errors);

// Sets how many series may be restored at once within the options' memory
// budget; false after a refusal.
bool planMemory(MessageSink& sink, const SimulationRun& run, const SimulationOptions& options,
                const RestErrorHeader& errors, RunSetup& setup);

}  // namespace etalon
