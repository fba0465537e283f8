#pragma once

#include <cstdint>
#include <memory>

#include "base/collecting_sink.h"
#include "simulation/rest_error_header.h"
#include "simulation/run_setup.h"
#include "simulation/series_feed.h"
#include "simulation/series_scoring.h"
#include "simulation/series_work.h"
#include "simulation/stat_cutoff_varnel.h"

// The series of a run made in order, restored in parallel and accumulated in
// order, in the caller's arena.
namespace etalon::simulation_run {

struct PipelineOutcome {
    bool lost = false;  // the series record could not be kept (reported)
    bool cancelled = false;
    // A series stopped unfinished: nothing after it is accumulated, so the
    // sums stay those of the series before `inOrder`.
    bool gap = false;
    uint32_t inOrder = 0;
};

// What the pipeline reads.
struct PipelineRun {
    const SimulationRun& run;
    const RunSetup& setup;
    const SimulationOptions& options;
    const RestErrorHeader& errors;
    int32_t firstDebugging = 0;  // handed to the first series' tuples procedure
};

// Where it gathers: the series made, the reports, the sums, and the latest
// series accumulated (`last`, skipped while there is none).
struct PipelineGathering {
    SeriesFeed& feed;
    CollectingSink& collector;
    ErrorSums& sums;
    ErrorSums& baselineSums;
    std::unique_ptr<WorkItem>& last;
};

PipelineOutcome runPipeline(const PipelineRun& in, PipelineGathering& out);

}  // namespace etalon::simulation_run
