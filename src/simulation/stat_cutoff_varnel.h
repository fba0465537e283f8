#pragma once

#include <oneapi/tbb/task_arena.h>

#include <atomic>
#include <cstdint>
#include <ctime>
#include <functional>
#include <span>
#include <vector>

#include "base/collecting_sink.h"
#include "base/memory_budget.h"
#include "base/message_sink.h"
#include "processing/restoring.h"
#include "processing/task_codes.h"
#include "pulses/pulse_header.h"
#include "pulses/random_streams.h"
#include "series/series_header.h"
#include "simulation/rest_error_header.h"

namespace etalon {

// What a statistical simulation runs: the settings it reads.
struct SimulationRun {
    std::span<const PulseHeader> alphabet;
    uint16_t etalonsNumber = kEtalonsNumber;
    std::span<const uint16_t> requiredList;  // the working list, 1-based etalon numbers
    SeriesCode seriesType = SeriesCode::FixedWhole;
    TaskCode effectiveTask = TaskCode::Recognition;
    uint16_t makingLevel = 100;
    uint16_t processingLevel = 100;
    int16_t amplitude = kPulseAmplitude;
    uint16_t subsetProceeding = 1;  // handed to the tuples procedures
    // The tuples procedures show their classes once when set, and clear it.
    int32_t* debuggingRepeat = nullptr;
};

// The caller's records. The run works on copies and writes them back only when
// it completes: the grid's errors (ifComplete 1), the last series with its
// restored pulses, and the streams carried on past every series made.
struct SimulationRecords {
    RestErrorHeader* errors = nullptr;  // the grid, filled by initRestErrHeader
    SeriesHeader* series = nullptr;     // sized for the run by getCutOffSeriesHeader
    RandomStreams* streams = nullptr;
    // Optional: every series is also restored by the matched filter
    // (processing/matched_filter.h), on a copy once the exact result is
    // scored. When the run completes this becomes the grid of `errors` with
    // the baseline's errors. The tuples tasks have no baseline: refused.
    RestErrorHeader* baseline = nullptr;
};

struct SimulationOptions {
    // Where the series are processed, sized by the caller; null: the arena
    // the calling thread is in. The result does not depend on its size.
    tbb::task_arena* arena = nullptr;
    // Called with the number of series processed so far, in order, from one
    // worker thread at a time; keep it short.
    std::function<void(uint32_t done)> progress;
    // Checked before each series is made; once set, the run stops soon and
    // leaves the caller's records as they were.
    const std::atomic<bool>* cancel = nullptr;
    const RestoringProcedures* procedures = nullptr;  // null: the workbench's own
    // What the restorations running at once may take; null: no check. A run
    // whose single series does not fit is refused before it starts; one
    // where fewer series than threads fit runs that many at once, and says so.
    const MemoryBudget* memoryBudget = nullptr;

    // A share of the series, for runs spread over several processes: share
    // `shareRank` of `shareCount` adds noise to, restores and scores only the
    // series whose running index falls to it, interleaved (index mod count)
    // or in contiguous blocks. Every share still makes every series, so the
    // random streams run exactly as in one process.
    uint32_t shareRank = 0;
    uint32_t shareCount = 1;
    bool shareInBlocks = false;
    // Called once every series is accumulated, before the grid is stored,
    // with this share's integer sums (the exact ones, then the baseline's,
    // see ErrorSums::appendRaw); it replaces them with the sums over every
    // share. It may block; throwing fails the run.
    std::function<void(std::vector<int64_t>& sums)> exchangeSums;
    // Taking up a saved run: the series before `resumeFrom` are made but not
    // restored, and the sums start from `resumeSums` (as exchangeSums gives
    // them; give them to one share only).
    uint32_t resumeFrom = 0;
    std::span<const int64_t> resumeSums;
    // Called from the in-order stage whenever the series before a multiple
    // of `snapshotEvery` (below the total) are all accumulated, with that
    // position and this share's sums; not once a series has reported.
    uint32_t snapshotEvery = 0;
    std::function<void(uint32_t position, const std::vector<int64_t>& sums)> snapshot;
};

// Whether series `index` of `total` falls to share `rank` of `count`.
bool inShare(uint32_t index, uint32_t total, uint32_t rank, uint32_t count, bool blocks);

enum class SimulationOutcome {
    Completed,
    Cancelled,
    Failed,   // reported through the sink; nothing of the run kept, as after Cancel
    Refused,  // a series would not fit in the memory budget (reported); nothing run
};

struct SimulationResult {
    SimulationOutcome outcome = SimulationOutcome::Failed;
    // What the generator and the procedures reported, item = series number
    // (0-based, in the order the series were made); sorted by item.
    std::vector<CollectingSink::Message> messages;
    std::time_t startTime = 0;
    std::time_t endTime = 0;
    // Per grid point (row-major as the error rows, v · P + p), once the run
    // completes: the true pulses of its series, and how many of them have a
    // restored pulse at exactly their position, by the exact procedure and
    // by the baseline (empty without one).
    std::vector<uint64_t> truePulses, exactHits, baselineHits;
    // Once cancelled: the series before `stoppedAt` are all accumulated and
    // none after it, and `stoppedSums` are this share's sums of them (as
    // SimulationOptions::snapshot gives them), for a checkpoint to keep.
    uint32_t stoppedAt = 0;
    std::vector<int64_t> stoppedSums;

    bool completed() const { return outcome == SimulationOutcome::Completed; }
};

// Shows the reports of single series as one message, their count and the
// first; nothing when there were none. Returns whether there were any.
bool showSeriesReports(MessageSink& sink, const SimulationResult& result);

// Runs the grid of records.errors: for every pulse count, noise level and
// repeat, makes a series in order on the calling thread's input stage, adds
// noise, restores it on the worker threads and adds its errors to the grid
// point. The result does not depend on the number of threads. Failures of the
// set-up, and anything a step or a worker throws, are reported through `sink`
// and leave the caller's records alone; those of single series are collected.
SimulationResult statCutoffVarnel(MessageSink& sink, const SimulationRun& run,
                                  const SimulationRecords& records,
                                  const SimulationOptions& options = {}) noexcept;

// Total number of series the grid of `errors` makes (P·V·R).
uint32_t simulationSeriesCount(const RestErrorHeader& errors);

}  // namespace etalon
