#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

#include "base/collecting_sink.h"
#include "processing/chains_header.h"
#include "processing/restoring.h"
#include "processing/restoring_work.h"
#include "series/series_header.h"
#include "simulation/run_setup.h"
#include "simulation/series_scoring.h"
#include "simulation/stat_cutoff_varnel.h"

// One series of a simulation in flight, and the work done on it by a worker.
namespace etalon::simulation_run {

// One series in flight: what its processing reads and what it gives back.
struct WorkItem {
    SeriesHeader series;
    ChainsHeader chains;
    std::vector<uint16_t> sequence;
    std::vector<uint16_t> candidates;  // the sequence's etalons, each once
    uint32_t index = 0;                // series number in the order made
    std::size_t cell = 0;
    int16_t pulses = 0;
    uint16_t subset = 0;  // the stored subset placed into the series
    int32_t debugging = 0;
    bool skipped = false;
    bool restore = true;  // falls to this share and after the resumed position
    // The noise is added by the worker, from where the noise stream stood.
    int16_t noiseLevel = 0;
    int16_t noiseSeed = 0;
    SeriesErrors errors;
    // The baseline's restoration, on a copy of the noisy series.
    SeriesHeader baselineSeries;
    ChainsHeader baselineChains;
    SeriesErrors baselineErrors;
};

// Items are reused: the pipeline never has more in flight than it has tokens.
class ItemPool {
  public:
    ItemPool(std::size_t count, const RunSetup& setup);
    WorkItem* take();
    void give(WorkItem* item);

  private:
    std::mutex mutex_;
    std::vector<std::unique_ptr<WorkItem>> items_;
    std::vector<WorkItem*> free_;
};

// Adds the noise, restores the series and scores it (and the baseline's
// restoration of it, when the run compares).
void processItem(const SimulationRun& run, const RunSetup& setup,
                 const RestoringProcedures& procedures, RestoringWork& work,
                 CollectingSink& collector, WorkItem& item);

}  // namespace etalon::simulation_run
