#pragma once

#include <cstdint>
#include <nlohmann/json.hpp>
#include <ostream>
#include <span>
#include <string>
#include <vector>

#include "cli/simulate_command.h"
#include "pulses/pulse_header.h"
#include "pulses/random_streams.h"
#include "series/series_header.h"
#include "simulation/rest_error_header.h"
#include "simulation/stat_cutoff_varnel.h"

namespace etalon::cli {

// The state of a run at a schedule position: the integer sums of every
// series before it, and what the run is known by.
struct SimulationCheckpoint {
    nlohmann::json identity;
    uint32_t position = 0;
    std::vector<int64_t> sums;
};

// What a run's sums depend on, as parsed values (so the same run typed in
// another order or with a default written out is the same run): the series
// and task settings, the patterns, the streams at the start, the alphabet
// and the grid. Threads, output and checkpoint settings are left out.
struct RunIdentityParts {
    const SimulationRun& run;
    const SeriesHeader& series;  // the geometry and the patterns as stored
    bool baseline = false;
    const RandomStreams& streams;
    const RestErrorHeader& grid;
};
nlohmann::json runIdentity(const RunIdentityParts& parts);

std::string checkpointText(const SimulationCheckpoint& checkpoint);
// Throws BadInput naming `name` and the field when the text is no
// checkpoint, or one whose fields are not of their kind.
SimulationCheckpoint parseCheckpoint(const std::string& text, const std::string& name);
SimulationCheckpoint loadCheckpoint(const std::string& path);
// Throws BadInput when the checkpoint was saved by another run.
void checkResumable(const SimulationCheckpoint& saved, const nlohmann::json& identity,
                    const std::string& name);

// Saves the checkpoints of a run, all or nothing, no more often than asked.
class CheckpointWriter {
  public:
    CheckpointWriter(const SimulateArguments& args, const nlohmann::json& identity,
                     std::ostream& err);
    bool active() const { return !path_.empty(); }
    // Whether enough time has passed since the last save.
    bool due() const;
    // Saves when due; whether it saved.
    bool offer(uint32_t position, const std::vector<int64_t>& sums);
    bool save(uint32_t position, const std::vector<int64_t>& sums);
    uint32_t saved() const { return saved_; }
    // The file already holds a run taken up at `position`.
    void resumedAt(uint32_t position) {
        saved_ = position;
        holdsSave_ = true;
    }
    // ETALON_TEST_STOP_AFTER=k: tests stop the run once a save reached series k.
    bool stopRequested() const { return stopAfter_ > 0 && saved_ >= stopAfter_; }
    uint32_t stopAfter() const { return stopAfter_; }
    // Says where the run stopped and how to go on; `signal` names what stopped it.
    void sayStopped(int signal = 0) const;

  private:
    std::string path_;
    int32_t seconds_;
    const nlohmann::json& identity_;
    std::ostream& err_;
    double lastSave_;
    uint32_t saved_ = 0;
    bool holdsSave_ = false;
    uint32_t stopAfter_ = 0;
};

}  // namespace etalon::cli
