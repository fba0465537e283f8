#include "simulation/stat_cutoff_varnel.h"

#include <oneapi/tbb/enumerable_thread_specific.h>
#include <oneapi/tbb/parallel_pipeline.h>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <mutex>
#include <new>
#include <optional>
#include <stdexcept>
#include <string_view>

#include "base/allocation.h"
#include "base/thread_handover.h"
#include "processing/chains_header.h"
#include "processing/matched_filter.h"
#include "processing/restoring_work.h"
#include "processing/task_codes.h"
#include "series/series_codes.h"
#include "series/series_generator.h"
#include "simulation/run_setup.h"
#include "simulation/series_schedule.h"
#include "simulation/series_scoring.h"

namespace etalon {

namespace {

constexpr const char* kDriverCaption = " About statCutoffVarnel ";

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
    ItemPool(std::size_t count, const RunSetup& setup) {
        for (std::size_t i = 0; i < count; ++i) {
            items_.push_back(std::make_unique<WorkItem>());
            items_.back()->chains = setup.chains;
            items_.back()->baselineChains = setup.chains;
            free_.push_back(items_.back().get());
        }
    }
    WorkItem* take() {
        std::lock_guard lock(mutex_);
        if (free_.empty()) {
            items_.push_back(std::make_unique<WorkItem>());
            items_.back()->chains = items_.front()->chains;
            items_.back()->baselineChains = items_.front()->chains;
            return items_.back().get();
        }
        WorkItem* item = free_.back();
        free_.pop_back();
        return item;
    }
    void give(WorkItem* item) {
        std::lock_guard lock(mutex_);
        free_.push_back(item);
    }

  private:
    std::mutex mutex_;
    std::vector<std::unique_ptr<WorkItem>> items_;
    std::vector<WorkItem*> free_;
};

void makeStoredSubsetCurrent(SeriesHeader& series, uint16_t s) {
    const std::span<const int16_t> row = series.storedSubset(s - 1u);
    const std::size_t copied = std::min(row.size(), series.lpSelectedSubset.size());
    std::copy_n(row.begin(), copied, series.lpSelectedSubset.begin());
    series.wSubsetLength = static_cast<uint16_t>(copied);
}

void applySubsetChanges(std::span<const uint16_t> changes, SeriesHeader& series) {
    for (uint16_t s : changes) {
        if (s == 0)
            series.wSubsetLength = 0;
        else
            makeStoredSubsetCurrent(series, s);
    }
}

ScheduleSettings scheduleFor(const SimulationRun& run, const RunSetup& setup,
                             const RestErrorHeader& errors) {
    ScheduleSettings settings;
    settings.effectiveTask = run.effectiveTask;
    settings.list = run.requiredList;
    settings.pulseCounts = errors.wPulseValues();
    settings.noiseLevels = errors.lpNoiseLevels();
    settings.repeats = setup.repeats;
    settings.storedSubsets = setup.storedSubsets;
    settings.sequenceLength = setup.workSize;
    return settings;
}

// The input stage: makes every series of the schedule in order on one
// thread, so the random streams and the subset placement are those of a
// single-threaded run.
class SeriesFeed {
  public:
    SeriesFeed(const SimulationRun& run, const RunSetup& setup, const RestErrorHeader& errors,
               std::unique_ptr<SeriesHeader> series, RandomStreams streams)
        : run_(run),
          setup_(setup),
          schedule_(scheduleFor(run, setup, errors)),
          series_(std::move(series)),
          streams_(streams),
          total_(simulationSeriesCount(errors)) {}

    // Makes the next series into `item`; false at the end of the grid or when
    // the series record was lost (reported).
    bool next(CollectingSink& collector, WorkItem& item, const SimulationOptions& options) {
        const ScheduledSeries* slot = schedule_.next();
        if (!slot) return false;
        CollectingSink::ItemSink sink = collector.forItem(slot->index);
        applySubsetChanges(slot->subsetChanges, *series_);
        SeriesRequest request;
        request.etalons = run_.etalonsNumber;
        request.alphabet = run_.alphabet;
        request.pulseLength = setup_.pulseLength;
        request.tmin = setup_.tmin;
        request.tmax = setup_.tmax;
        request.seriesLength = setup_.seriesLength;
        request.pulses = static_cast<uint16_t>(slot->pulses);
        request.sequence = slot->sequence;
        request.amplitude = run_.amplitude;
        request.savedEnergyLevel = run_.makingLevel;
        series_ = getCutOffSeries(sink, request, std::move(series_), streams_);
        if (!series_) return false;
        // The noise takes twelve steps of its stream per sample; the workers
        // draw it from the state handed over, and this stage only skips ahead.
        item.noiseLevel = slot->noiseLevel;
        item.noiseSeed = streams_.wNoiseSeed;
        const std::size_t samples =
            std::min<std::size_t>(series_->dwSeriesSize, series_->lpNoisyData.size());
        streams_.wNoiseSeed = skipUniformSteps(streams_.wNoiseSeed, 12 * uint64_t{samples});

        item.index = slot->index;
        item.cell = slot->cell;
        item.skipped = false;
        item.restore =
            slot->index >= options.resumeFrom && inShare(slot->index, total_, options.shareRank,
                                                         options.shareCount, options.shareInBlocks);
        if (!item.restore) return true;
        item.series = *series_;
        item.sequence.assign(slot->sequence.begin(), slot->sequence.end());
        item.pulses = slot->pulses;
        item.subset = slot->subset;
        return true;
    }

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

// Adds the noise, restores the series and scores it.
void processItem(const SimulationRun& run, const RunSetup& setup,
                 const RestoringProcedures& procedures, RestoringWork& work,
                 CollectingSink& collector, WorkItem& item) {
    CollectingSink::ItemSink sink = collector.forItem(item.index);
    int16_t noise = item.noiseSeed;
    addSeriesNoise(item.noiseLevel, run.amplitude, &item.series, noise);
    RestoringRequest request;
    request.alphabet = run.alphabet;
    // Only detection with a known count reads the working list itself; the
    // others read the sequence of the series, as many entries as the list has.
    const std::span<const uint16_t> fromSequence(item.sequence.data(), run.requiredList.size());
    if (setup.procedure == RestoringProcedure::DetectKnownNumberChain)
        request.etalons = run.requiredList;
    else if (recognisesSinglePulses(setup.procedure))
        request.etalons = distinctEtalons(fromSequence, item.candidates);
    else
        request.etalons = fromSequence;
    request.pattern = setup.pattern;
    request.patterns = setup.patterns;
    request.tmin = setup.tmin;
    request.tmax = setup.tmax;
    request.processingLevel = run.processingLevel;
    request.proceeding = run.subsetProceeding;
    request.debugging = &item.debugging;
    request.chains = &item.chains;
    request.series = &item.series;
    request.work = &work;
    const int recognised = runRestoringProcedure(sink, setup.procedure, request, procedures);

    item.errors = scoreSeries(item.series, item.pulses, item.chains.wSeekingPulsesQuantity);
    item.errors.missed =
        run.effectiveTask == TaskCode::TuplesRecognition && recognised != item.subset;
    if (!setup.baseline) return;
    // Scored after the exact result, on a copy: the exact one stays the series'.
    item.baselineSeries = item.series;
    request.series = &item.baselineSeries;
    request.chains = &item.baselineChains;
    runMatchedFilter(sink, setup.procedure, request);
    item.baselineErrors =
        scoreSeries(item.baselineSeries, item.pulses, item.baselineChains.wSeekingPulsesQuantity);
}

bool cancelled(const SimulationOptions& options) {
    return options.cancel && options.cancel->load(std::memory_order_relaxed);
}

// Where a pipeline's set-up is handed to its stages (runPipeline).
char pipelineSetUp;

struct PipelineOutcome {
    bool lost = false;  // the series record could not be kept (reported)
    bool cancelled = false;
    // A series stopped unfinished: nothing after it is accumulated, so the
    // sums stay those of the series before `inOrder`.
    bool gap = false;
    uint32_t inOrder = 0;
};

// The pipeline over the whole grid, in the caller's arena.
PipelineOutcome runPipeline(const SimulationRun& run, const RunSetup& setup,
                            const SimulationOptions& options, SeriesFeed& feed,
                            const RestErrorHeader& errors, CollectingSink& collector,
                            ErrorSums& sums, ErrorSums& baselineSums,
                            std::unique_ptr<WorkItem>& last, int32_t firstDebugging) {
    const RestoringProcedures& procedures =
        options.procedures ? *options.procedures : workbenchRestoringProcedures();
    const int concurrency =
        options.arena ? options.arena->max_concurrency() : tbb::this_task_arena::max_concurrency();
    // Series in flight; no more than fit in memory are restored at once.
    const std::size_t tokens =
        std::min(4 * static_cast<std::size_t>(concurrency), setup.seriesAtOnce);
    ItemPool pool(tokens, setup);
    // Work tables per worker thread for this run, given back when it ends.
    tbb::enumerable_thread_specific<RestoringWork> works;
    PipelineOutcome outcome;
    uint32_t done = 0;
    const uint32_t total = simulationSeriesCount(errors);
    last = std::make_unique<WorkItem>();
    last->skipped = true;  // until a series is accumulated
    // oneTBB orders the steps below: the set-up (the stages included) before
    // every call, each serial stage's calls one after another, an item's
    // stages one after another, every call before the pipeline returns. Its
    // synchronisation is invisible to a ThreadSanitizer build, so the steps
    // name it. The set-up is taken at a fixed address: a stage reads its
    // captures, made by this thread, only after taking it.
    struct {
        char input, output, ended;
    } order;

    const auto input = [&](tbb::flow_control& fc) -> WorkItem* {
        handOverAcquire(&pipelineSetUp);
        handOverAcquire(&order.input);
        const HandOverOnExit handBack(&order.input, &order.ended);
        if (cancelled(options)) {
            outcome.cancelled = true;
            fc.stop();
            return nullptr;
        }
        WorkItem* item = pool.take();
        if (!feed.next(collector, *item, options)) {
            outcome.lost = feed.lost();
            pool.give(item);
            fc.stop();
            return nullptr;
        }
        // The tuples procedures show their classes on the first series only.
        item->debugging = item->index == 0 ? firstDebugging : 0;
        handOverRelease(item);
        return item;
    };
    const auto process = [&](WorkItem* item) -> WorkItem* {
        handOverAcquire(&pipelineSetUp);
        handOverAcquire(item);
        const HandOverOnExit handBack(item, &order.ended);
        if (!item->restore) return item;
        if (cancelled(options)) {
            item->skipped = true;
            return item;
        }
        RestoringWork& work = works.local();
        work.stop = options.cancel;  // Cancel stops the series in progress too
        try {
            processItem(run, setup, procedures, work, collector, *item);
        } catch (const RestoringStopped&) {
            item->skipped = true;
        }
        return item;
    };
    const auto accumulate = [&](WorkItem* item) {
        handOverAcquire(&pipelineSetUp);
        handOverAcquire(item);
        handOverAcquire(&order.output);
        const HandOverOnExit handBack(&order.output, &order.ended);
        outcome.gap = outcome.gap || (item->restore && item->skipped);
        if (item->restore && !item->skipped && !outcome.gap) {
            sums.add(item->cell, item->errors);
            if (setup.baseline) baselineSums.add(item->cell, item->baselineErrors);
            if (item->index == 0) last->debugging = item->debugging;
            ++done;
            if (options.progress) options.progress(done);
            // Keep the latest series: swap it out of the pool item, whose
            // record the next series made into it overwrites anyway.
            std::swap(last->series, item->series);
            last->index = item->index;
            last->skipped = false;
        }
        const uint32_t position = item->index + 1;
        if (!outcome.gap) outcome.inOrder = position;
        pool.give(item);
        if (options.snapshot && options.snapshotEvery > 0 &&
            position % options.snapshotEvery == 0 && position < total &&
            position > options.resumeFrom && !cancelled(options) && collector.count() == 0) {
            std::vector<int64_t> raw;
            sums.appendRaw(raw);
            baselineSums.appendRaw(raw);
            options.snapshot(position, raw);
        }
    };
    const tbb::filter<void, void> stages =
        tbb::make_filter<void, WorkItem*>(tbb::filter_mode::serial_in_order, input) &
        tbb::make_filter<WorkItem*, WorkItem*>(tbb::filter_mode::parallel, process) &
        tbb::make_filter<WorkItem*, void>(tbb::filter_mode::serial_in_order, accumulate);
    const auto pipeline = [&] { tbb::parallel_pipeline(tokens, stages); };
    handOverRelease(&pipelineSetUp);
    {
        const TakeOverOnExit ended(&order.ended);
        if (options.arena)
            options.arena->execute(pipeline);
        else
            pipeline();
    }
    // A stop that came once every series was accumulated stops nothing.
    if (cancelled(options) && outcome.inOrder < total) outcome.cancelled = true;
    return outcome;
}

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
    const PipelineOutcome outcome = runPipeline(run, *setup, options, feed, errors, collector, sums,
                                                baselineSums, last, debugging);
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
