#include "simulation/stat_cutoff_varnel.h"

#include <algorithm>
#include <cstdio>
#include <memory>
#include <new>
#include <optional>
#include <stdexcept>
#include <string_view>

#include "simulation/run_setup.h"
#include "simulation/series_feed.h"
#include "simulation/series_scoring.h"
#include "simulation/series_work.h"
#include "simulation/simulation_pipeline.h"

namespace etalon {

namespace {

constexpr const char* kDriverCaption = " About statCutoffVarnel ";

}  // namespace

bool inShare(uint32_t index, uint32_t total, uint32_t rank, uint32_t count, bool blocks) {
    if (count <= 1) return true;
    if (!blocks) return index % count == rank;
    // Blocks of total / count, the first total mod count one longer.
    const uint64_t share = uint64_t{index} * count / std::max<uint32_t>(total, 1);
    return share == rank;
}

uint32_t simulationSeriesCount(const RestErrorHeader& errors) {
    return uint32_t{errors.wVariousPulses} * errors.wNoiseLevels *
           static_cast<uint16_t>(errors.repeats);
}

namespace {

using simulation_run::PipelineGathering;
using simulation_run::PipelineOutcome;
using simulation_run::SeriesFeed;
using simulation_run::WorkItem;

// The run itself, once the caller's records are known to be there. Throws
// whatever a step or a worker throws; the caller's records are only written
// at the end, by moves that cannot throw.
void simulate(MessageSink& sink, const SimulationRun& run, const SimulationRecords& records,
              const SimulationOptions& options, CollectingSink& collector,
              SimulationResult& result) {
    RestErrorHeader errors = *records.errors;
    std::optional<RunSetup> setup = prepareRun(sink, run, records, errors);
    if (!setup) return;
    if (!planMemory(sink, run, options, errors, *setup)) {
        result.outcome = SimulationOutcome::Refused;
        return;
    }
    result.startTime = result.endTime = std::time(nullptr);

    SeriesFeed feed(run, *setup, errors, std::make_unique<SeriesHeader>(*records.series),
                    *records.streams);
    ErrorSums sums(errors), baselineSums(errors);
    if (!options.resumeSums.empty()) {
        if (options.resumeSums.size() != sums.rawSize() + baselineSums.rawSize())
            throw std::invalid_argument("the saved sums do not fit the grid");
        sums.setRaw(options.resumeSums);
        baselineSums.setRaw(options.resumeSums.subspan(sums.rawSize()));
    }
    std::unique_ptr<WorkItem> last;
    const int32_t debugging = run.debuggingRepeat ? *run.debuggingRepeat : 0;
    PipelineGathering gathering{feed, collector, sums, baselineSums, last};
    const PipelineOutcome outcome =
        runPipeline({run, *setup, options, errors, debugging}, gathering);
    result.messages = collector.messages();
    result.endTime = std::time(nullptr);
    if (outcome.cancelled) {
        result.outcome = SimulationOutcome::Cancelled;
        result.stoppedAt = std::max(outcome.inOrder, options.resumeFrom);
        sums.appendRaw(result.stoppedSums);
        baselineSums.appendRaw(result.stoppedSums);
        return;
    }
    if (outcome.lost) return;
    if (options.exchangeSums) {
        std::vector<int64_t> raw;
        sums.appendRaw(raw);
        baselineSums.appendRaw(raw);
        options.exchangeSums(raw);
        if (!sums.setRaw(raw) || !baselineSums.setRaw(std::span(raw).subspan(sums.rawSize())))
            throw std::invalid_argument("the sums handed back do not fit the grid");
        result.endTime = std::time(nullptr);
    }

    // The baseline's grid is the exact one's with its own errors.
    std::optional<RestErrorHeader> baseline;
    if (setup->baseline) {
        baseline = errors;
        baselineSums.store(setup->repeats, *baseline);
        baseline->ifComplete = 1;
        result.baselineHits = baselineSums.exactPositions();
    }
    sums.store(setup->repeats, errors);
    errors.ifComplete = 1;
    result.truePulses = sums.truePulses();
    result.exactHits = sums.exactPositions();
    const uint16_t subsetLength = records.series->wSubsetLength;
    // With no series at all, the record only went through the grid set-up.
    SeriesHeader& finalSeries = last->skipped ? *feed.series() : last->series;
    finalSeries.wSubsetLength = subsetLength;
    *records.series = std::move(finalSeries);
    *records.errors = std::move(errors);
    *records.streams = feed.streams();
    if (baseline) *records.baseline = std::move(*baseline);
    if (run.debuggingRepeat && !last->skipped) *run.debuggingRepeat = last->debugging;
    result.outcome = SimulationOutcome::Completed;
}

// A run that threw keeps nothing, as a cancelled one; it says why, with
// what its series reported before. Nothing may leave here: the run may be on
// a thread of its own, where an exception would end the program.
void stopOnException(MessageSink& sink, const std::string_view text,
                     const CollectingSink& collector, SimulationResult& result,
                     bool outOfMemory = false) noexcept {
    result.outcome = SimulationOutcome::Failed;
    try {
        result.messages = collector.messages();
    } catch (...) {
        result.messages.clear();
    }
    try {
        if (outOfMemory)
            sink.showOutOfMemory(text, kDriverCaption, MessageIcon::None);
        else
            sink.show(text, kDriverCaption, MessageIcon::None);
    } catch (...) {
    }
}

}  // namespace

SimulationResult statCutoffVarnel(MessageSink& sink, const SimulationRun& run,
                                  const SimulationRecords& records,
                                  const SimulationOptions& options) noexcept {
    SimulationResult result;
    result.outcome = SimulationOutcome::Failed;
    try {
        if (!records.errors) {
            sink.show("Absence of RestoreErrorHeader!", "statCutoffVarnel", MessageIcon::None);
            return result;
        }
        if (!records.series || !records.streams) {
            sink.show("Absence of SeriesHeader!", "statCutoffVarnel", MessageIcon::None);
            return result;
        }
    } catch (...) {
        return result;
    }
    CollectingSink collector;
    try {
        simulate(sink, run, records, options, collector, result);
    } catch (const std::bad_alloc&) {
        stopOnException(sink, "Нет памяти для statCutoffVarnel!", collector, result, true);
    } catch (const std::exception& e) {
        char text[256];
        std::snprintf(text, sizeof text, "The simulation stopped: %s", e.what());
        stopOnException(sink, text, collector, result);
    } catch (...) {
        stopOnException(sink, "The simulation stopped on an unknown error.", collector, result);
    }
    return result;
}

bool showSeriesReports(MessageSink& sink, const SimulationResult& result) {
    if (result.messages.empty()) return false;
    const auto& first = result.messages.front();
    sink.show(std::to_string(result.messages.size()) +
                  " report(s) during the simulation; the first, at series " +
                  std::to_string(first.item + 1) + ":\n" + first.text,
              first.caption, first.icon);
    return true;
}

}  // namespace etalon
