#pragma once

#include <cstdint>
#include <memory>

#include "base/collecting_sink.h"
#include "pulses/random_streams.h"
#include "series/series_header.h"
#include "simulation/rest_error_header.h"
#include "simulation/run_setup.h"
#include "simulation/series_schedule.h"
#include "simulation/series_work.h"
#include "simulation/stat_cutoff_varnel.h"

namespace etalon::simulation_run {

// The input stage: makes every series of the schedule in order on one
// thread, so the random streams and the subset placement are those of a
// single-threaded run.
class SeriesFeed {
  public:
    SeriesFeed(const SimulationRun& run, const RunSetup& setup, const RestErrorHeader& errors,
               std::unique_ptr<SeriesHeader> series, RandomStreams streams);

    // Makes the next series into `item`; false at the end of the grid or when
    // the series record was lost (reported).
    bool next(CollectingSink& collector, WorkItem& item, const SimulationOptions& options);

    bool lost() const { return !series_; }
    std::unique_ptr<SeriesHeader>& series() { return series_; }
    const RandomStreams& streams() const { return streams_; }

  private:
    const SimulationRun& run_;
    const RunSetup& setup_;
    SeriesSchedule schedule_;
    std::unique_ptr<SeriesHeader> series_;
    RandomStreams streams_;
    uint32_t total_;
};

}  // namespace etalon::simulation_run
