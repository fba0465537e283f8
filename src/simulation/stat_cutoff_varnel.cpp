#include "simulation/stat_cutoff_varnel.h"

#include <oneapi/tbb/global_control.h>
#include <oneapi/tbb/parallel_pipeline.h>
#include <oneapi/tbb/task_arena.h>

#include <algorithm>
#include <memory>
#include <mutex>
#include <new>
#include <optional>

#include "base/allocation.h"
#include "processing/chains_header.h"
#include "processing/task_codes.h"
#include "series/series_codes.h"
#include "series/series_generator.h"
#include "simulation/restored_error.h"

namespace etalon {

namespace {

constexpr const char* kDriverCaption = " About statCutoffVarnel ";
constexpr const char* kSubsetCaption = " About selectedSubset ";
constexpr const char* kChainsCaption = " About ChainsHeader ";
constexpr uint16_t kResultSlots = 10;

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
    uint16_t storedSubsets = 0;    // S (tuples recognition)
    std::vector<std::vector<int32_t>> storedLists;
    std::vector<std::span<const int32_t>> patterns;
};

bool needsTuples(const SimulationRun& run) {
    return isTuplesSeries(run.seriesType) || run.effectiveTask == kTaskTuplesDetection ||
           run.effectiveTask == kTaskTuplesRecognition;
}

bool listIsValid(const SimulationRun& run) {
    const std::size_t etalons = std::min<std::size_t>(run.etalonsNumber, run.alphabet.size());
    return std::all_of(run.requiredList.begin(), run.requiredList.end(),
                       [&](uint16_t e) { return e >= 1 && e <= etalons; });
}

bool prepareTuples(MessageSink& sink, const SimulationRun& run, const SeriesHeader& series,
                   RunSetup& setup) {
    const uint16_t m = series.wSubsetLength;
    if (m == 0) {
        sink.show("Error: selected Subset is absence!", kSubsetCaption, MessageIcon::None);
        return false;
    }
    if (!allocateBuffer(setup.pattern, m)) {
        sink.show("Ошибка selectedSubset!", kSubsetCaption, MessageIcon::None);
        return false;
    }
    const std::size_t kept = std::min<std::size_t>(m, series.lpSelectedSubset.size());
    std::copy_n(series.lpSelectedSubset.begin(), kept, setup.pattern.begin());
    if (run.effectiveTask != kTaskTuplesRecognition) return true;

    const uint16_t stored = static_cast<uint16_t>(
        std::min<std::size_t>(series.wSubsets, series.selectedSubsetList.size()));
    if (stored == 0) {
        // The repeats are shared out over the stored subsets: none leaves nothing to run.
        sink.show("Error: reserved subsets are absence!", kDriverCaption, MessageIcon::None);
        return false;
    }
    setup.storedSubsets = stored;
    setup.storedLists.resize(stored);
    for (uint16_t s = 0; s < stored; ++s) {
        const std::span<const int16_t> row = series.storedSubset(s);
        setup.storedLists[s].assign(row.begin(), row.end());
    }
    setup.patterns.assign(setup.storedLists.begin(), setup.storedLists.end());
    return true;
}

// Steps 2 to 7 of a run: every check and record made before the first series.
std::optional<RunSetup> prepareRun(MessageSink& sink, const SimulationRun& run,
                                   const SimulationRecords& records, RestErrorHeader& errors) {
    RunSetup setup;
    const SeriesHeader& series = *records.series;
    if (run.requiredList.empty()) {
        sink.show("Empty list of etalons!", kDriverCaption, MessageIcon::None);
        return std::nullopt;
    }
    if (!listIsValid(run)) {
        sink.show("Wrong etalon number in the list of etalons!", kDriverCaption, MessageIcon::None);
        return std::nullopt;
    }
    setup.tmin = series.wTmin;
    setup.tmax = series.wTmax;
    const uint16_t maxP = series.wMaxPulses;

    auto chains = getChainsHeader(sink, kResultSlots, maxP, nullptr);
    if (!chains) {
        sink.show("Error getChainsHeader!", kChainsCaption, MessageIcon::None);
        return std::nullopt;
    }
    if (!addToChainsHeader(sink, run.seriesType, run.effectiveTask, run.makingLevel,
                           run.processingLevel, chains.get())) {
        sink.show("Error addToChainsHeader!", kChainsCaption, MessageIcon::None);
        return std::nullopt;
    }
    setup.chains = *chains;
    if (!addInitRestErrHeader(sink, run.seriesType, run.effectiveTask, run.makingLevel,
                              run.processingLevel, &errors)) {
        sink.show("Ошибка addInitRestErrHeader!", " About RestoreErrorHeader ", MessageIcon::None);
        return std::nullopt;
    }
    // The procedures read n entries of the sequence and the grid may ask for
    // more pulses than the series allows: room for all of them.
    const std::span<const int16_t> counts = errors.wPulseValues();
    const int largestCount = counts.empty() ? 0 : *std::max_element(counts.begin(), counts.end());
    setup.workSize = std::max<std::size_t>(
        {maxP, run.requiredList.size(), static_cast<std::size_t>(std::max(largestCount, 0))});
    std::vector<uint16_t> probe;
    if (!allocateBuffer(probe, setup.workSize)) {
        sink.show("Ошибка lpEtalonNumbersList!", kDriverCaption, MessageIcon::None);
        return std::nullopt;
    }
    if (needsTuples(run) && !prepareTuples(sink, run, series, setup)) return std::nullopt;

    setup.seriesLength = series.dwSeriesSize;
    setup.pulseLength = run.alphabet[run.requiredList[0] - 1].wSize;
    setup.repeats = static_cast<uint16_t>(errors.repeats);
    setup.procedure = chooseRestoringProcedure(run.effectiveTask, run.seriesType);
    return setup;
}

// One series in flight: what its processing reads and what it gives back.
struct WorkItem {
    SeriesHeader series;
    ChainsHeader chains;
    std::vector<uint16_t> sequence;
    std::vector<uint16_t> candidates;  // the sequence's etalons, each once
    uint32_t index = 0;                // series number in the order made
    std::size_t cell = 0;
    int16_t pulses = 0;
    uint16_t subset = 0;  // s, the stored subset placed into the series
    int32_t debugging = 0;
    bool skipped = false;
    // The noise is added by the worker, from where the noise stream stood.
    int16_t noiseLevel = 0;
    int16_t noiseSeed = 0;
    // Results.
    int64_t restoredError = 0;
    int64_t detectionError = 0;
    bool missed = false;
};

// Items are reused: the pipeline never has more in flight than it has tokens.
class ItemPool {
  public:
    ItemPool(std::size_t count, const RunSetup& setup) {
        for (std::size_t i = 0; i < count; ++i) {
            items_.push_back(std::make_unique<WorkItem>());
            items_.back()->chains = setup.chains;
            free_.push_back(items_.back().get());
        }
    }
    WorkItem* take() {
        std::lock_guard lock(mutex_);
        if (free_.empty()) {
            items_.push_back(std::make_unique<WorkItem>());
            items_.back()->chains = items_.front()->chains;
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

// The input stage: walks the grid in order and makes every series on one
// thread, so the random streams, the etalon stepping and the subset placement
// are those of a single-threaded run.
class SeriesMaker {
  public:
    SeriesMaker(const SimulationRun& run, const RunSetup& setup, const RestErrorHeader& errors,
                std::unique_ptr<SeriesHeader> series, RandomStreams streams)
        : run_(run),
          setup_(setup),
          errors_(errors),
          series_(std::move(series)),
          streams_(streams),
          counters_(setup.workSize, 1),
          sequence_(setup.workSize, 1) {}

    // Makes the next series into `item`; false at the end of the grid or when
    // the series record was lost (reported).
    bool next(CollectingSink& collector, WorkItem& item) {
        const uint16_t pulseSteps = errors_.wVariousPulses;
        const uint16_t levels = errors_.wNoiseLevels;
        // A grid without noise levels has no points to make series for.
        if (levels == 0) return false;
        while (p_ < pulseSteps) {
            if (!cellStarted_) {
                startCell();
                cellStarted_ = true;
                r_ = 0;
            }
            if (r_ < setup_.repeats) {
                const bool made = makeRepeat(collector, item);
                ++r_;
                ++made_;
                return made;
            }
            cellStarted_ = false;
            if (++v_ >= levels) {
                v_ = 0;
                ++p_;
            }
        }
        return false;
    }

    bool lost() const { return !series_; }
    std::unique_ptr<SeriesHeader>& series() { return series_; }
    const RandomStreams& streams() const { return streams_; }

  private:
    int16_t count() const { return errors_.wPulseValues()[p_]; }
    std::size_t listSize() const { return run_.requiredList.size(); }
    uint16_t listed(uint16_t counter) const { return run_.requiredList[counter - 1]; }

    void startCell() {
        const int32_t c = count();
        const int32_t repeats = setup_.repeats;
        const int32_t n = static_cast<int32_t>(listSize());
        switch (run_.effectiveTask) {
            case kTaskDetection:
                series_->wSubsetLength = 0;
                break;
            case kTaskRecognition:
                step_ = (n + 2 * repeats) / (2 * n);
                series_->wSubsetLength = 0;
                break;
            case kTaskTuplesDetection:
                step_ = repeats;
                break;
            case kTaskTuplesRecognition: {
                const int32_t stored = setup_.storedSubsets;
                subset_ = 1;
                step_ = (stored + 2 * repeats) / (2 * stored);
                makeStoredSubsetCurrent(*series_, subset_);
                break;
            }
            default:
                // A count outside 0..31 would make the shift undefined; the
                // grid never holds one the generator accepts.
                step_ = c > 0 ? (repeats * c) >> (c % 32) : 0;
                break;
        }
        switchAt_ = step_;
        for (int32_t i = 0; i < c && i < static_cast<int32_t>(sequence_.size()); ++i) {
            counters_[i] = 1;
            sequence_[i] = run_.requiredList[0];
        }
    }

    void advanceEtalons() {
        const int32_t c = std::min<int32_t>(count(), static_cast<int32_t>(sequence_.size()));
        const int32_t r = r_;
        const uint16_t n = static_cast<uint16_t>(listSize());
        switch (run_.effectiveTask) {
            case kTaskRecognition:
                if (r < switchAt_) return;
                for (int32_t i = 0; i < c; ++i) {
                    if (++counters_[i] > n) counters_[i] = 1;
                    sequence_[i] = listed(counters_[i]);
                }
                switchAt_ += step_;
                break;
            case kTaskJoint:
                if (r * count() < switchAt_) return;
                switchAt_ += step_;
                stepOdometer(n);
                for (int32_t i = 0; i < c; ++i)
                    sequence_[i] = listed(counters_[i]);
                break;
            case kTaskTuplesRecognition:
                if (r < switchAt_) return;
                if (++subset_ > setup_.storedSubsets) subset_ = 1;
                makeStoredSubsetCurrent(*series_, subset_);
                switchAt_ += step_;
                break;
            default:
                break;
        }
    }

    // The carry stops at the last counter, which wraps like the others.
    void stepOdometer(uint16_t n) {
        ++counters_[0];
        for (std::size_t i = 0; i < counters_.size() && counters_[i] > n; ++i) {
            counters_[i] = 1;
            if (i + 1 < counters_.size()) ++counters_[i + 1];
        }
    }

    bool makeRepeat(CollectingSink& collector, WorkItem& item) {
        CollectingSink::ItemSink sink = collector.forItem(made_);
        advanceEtalons();
        SeriesRequest request;
        request.etalons = run_.etalonsNumber;
        request.alphabet = run_.alphabet;
        request.pulseLength = setup_.pulseLength;
        request.tmin = setup_.tmin;
        request.tmax = setup_.tmax;
        request.seriesLength = setup_.seriesLength;
        request.pulses = static_cast<uint16_t>(count());
        request.sequence = sequence_;
        request.amplitude = run_.amplitude;
        request.savedEnergyLevel = run_.makingLevel;
        series_ = getCutOffSeries(sink, request, std::move(series_), streams_);
        if (!series_) return false;
        // The noise takes twelve steps of its stream per sample; the workers
        // draw it from the state handed over, and this stage only skips ahead.
        item.noiseLevel = errors_.lpNoiseLevels()[v_];
        item.noiseSeed = streams_.wNoiseSeed;
        const std::size_t samples =
            std::min<std::size_t>(series_->dwSeriesSize, series_->lpNoisyData.size());
        streams_.wNoiseSeed = skipUniformSteps(streams_.wNoiseSeed, 12 * uint64_t{samples});

        item.series = *series_;
        item.sequence = sequence_;
        item.index = made_;
        item.cell = std::size_t{v_} * errors_.wVariousPulses + p_;
        item.pulses = count();
        item.subset = subset_;
        item.skipped = false;
        return true;
    }

    const SimulationRun& run_;
    const RunSetup& setup_;
    const RestErrorHeader& errors_;
    std::unique_ptr<SeriesHeader> series_;
    RandomStreams streams_;
    std::vector<uint16_t> counters_;
    std::vector<uint16_t> sequence_;
    uint16_t p_ = 0;
    uint16_t v_ = 0;
    uint16_t r_ = 0;
    bool cellStarted_ = false;
    int32_t step_ = 0;      // B
    int32_t switchAt_ = 0;  // E
    uint16_t subset_ = 0;   // s
    uint32_t made_ = 0;
};

bool isRecognition(RestoringProcedure procedure) {
    return procedure == RestoringProcedure::RecognizeKnownNumberChain ||
           procedure == RestoringProcedure::RecognizeUnknownNumberChain;
}

// The recognitions get the sequence, which mostly repeats one etalon. A
// candidate tried again can only tie with its first try, and ties go to the
// earlier one: trying each etalon once restores the same pulses, far sooner.
std::span<const uint16_t> firstOccurrences(std::span<const uint16_t> list,
                                           std::vector<uint16_t>& kept) {
    kept.clear();
    for (uint16_t e : list) {
        if (std::find(kept.begin(), kept.end(), e) == kept.end()) kept.push_back(e);
    }
    return kept;
}

// The errors of one processed series: the restored error, the detection
// error (128·H/C rounded; nothing for a series of no pulses) and a miss.
void processItem(const SimulationRun& run, const RunSetup& setup,
                 const RestoringProcedures& procedures, CollectingSink& collector, WorkItem& item) {
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
    else if (isRecognition(setup.procedure))
        request.etalons = firstOccurrences(fromSequence, item.candidates);
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
    const int recognised = runRestoringProcedure(sink, setup.procedure, request, procedures);

    item.restoredError = getRestoredError(item.series);
    item.detectionError = 0;
    const int64_t c = item.pulses;
    if (c > 0) {
        const std::size_t compared = std::min<std::size_t>(
            {static_cast<std::size_t>(c), item.chains.wSeekingPulsesQuantity,
             item.series.lpPositions.size(), item.series.lpRestoredPositions.size()});
        int64_t h = 0;
        for (std::size_t i = 0; i < compared; ++i) {
            const int64_t d =
                int64_t{item.series.lpPositions[i]} - item.series.lpRestoredPositions[i];
            h += d * d;
        }
        item.detectionError = (256 * h + c) / (2 * c);
    }
    item.missed = run.effectiveTask == kTaskTuplesRecognition && recognised != item.subset;
}

struct CellSums {
    int64_t restored = 0;
    int64_t detection = 0;
    uint32_t misses = 0;
};

void storeCells(const std::vector<CellSums>& sums, uint16_t repeats, RestErrorHeader& errors) {
    const int64_t r = repeats;
    for (std::size_t v = 0; v < errors.wNoiseLevels; ++v) {
        for (std::size_t p = 0; p < errors.wVariousPulses; ++p) {
            const CellSums& cell = sums[v * errors.wVariousPulses + p];
            // No repeats leave nothing to average.
            errors.lpErrors(v)[p] =
                r > 0 ? static_cast<uint32_t>((2 * cell.restored + r) / (2 * r)) : 0;
            errors.lpDetectionErrors(v)[p] = static_cast<uint32_t>(cell.detection / 128);
            errors.lpRecognitionErrors(v)[p] = cell.misses;
            errors.lpSpareErrors1(v)[p] = 0;
            errors.lpSpareErrors2(v)[p] = 0;
            errors.lpSpareErrors3(v)[p] = 0;
        }
    }
}

bool cancelled(const SimulationOptions& options) {
    return options.cancel && options.cancel->load(std::memory_order_relaxed);
}

// The pipeline over the whole grid. Returns false when the series record was
// lost or the run was cancelled.
struct PipelineOutcome {
    bool lost = false;
    bool cancelled = false;
};

PipelineOutcome runPipeline(const SimulationRun& run, const RunSetup& setup,
                            const SimulationOptions& options, SeriesMaker& maker,
                            CollectingSink& collector, std::vector<CellSums>& sums,
                            std::unique_ptr<WorkItem>& last, int32_t firstDebugging) {
    const RestoringProcedures& procedures =
        options.procedures ? *options.procedures : workbenchRestoringProcedures();
    // An explicit thread count is honoured even beyond the number of cores.
    const int threads = options.threads == 0 ? tbb::this_task_arena::max_concurrency()
                                             : static_cast<int>(options.threads);
    tbb::global_control workers(tbb::global_control::max_allowed_parallelism,
                                static_cast<std::size_t>(threads));
    tbb::task_arena arena(threads);
    const std::size_t tokens = 4 * static_cast<std::size_t>(arena.max_concurrency());
    ItemPool pool(tokens, setup);
    PipelineOutcome outcome;
    uint32_t done = 0;
    last = std::make_unique<WorkItem>();
    last->skipped = true;  // until a series is accumulated

    const auto input = [&](tbb::flow_control& fc) -> WorkItem* {
        if (cancelled(options)) {
            outcome.cancelled = true;
            fc.stop();
            return nullptr;
        }
        WorkItem* item = pool.take();
        if (!maker.next(collector, *item)) {
            outcome.lost = maker.lost();
            pool.give(item);
            fc.stop();
            return nullptr;
        }
        // The tuples procedures show their classes on the first series only.
        item->debugging = item->index == 0 ? firstDebugging : 0;
        return item;
    };
    const auto process = [&](WorkItem* item) -> WorkItem* {
        if (cancelled(options))
            item->skipped = true;
        else
            processItem(run, setup, procedures, collector, *item);
        return item;
    };
    const auto accumulate = [&](WorkItem* item) {
        if (!item->skipped) {
            CellSums& cell = sums[item->cell];
            cell.restored += item->restoredError;
            cell.detection += item->detectionError;
            cell.misses += item->missed ? 1 : 0;
            if (item->index == 0) last->debugging = item->debugging;
            ++done;
            if (options.progress) options.progress(done);
        }
        // Keep the latest series: swap it out of the pool item, whose record
        // the next series made into it overwrites anyway.
        if (!item->skipped) {
            std::swap(last->series, item->series);
            last->index = item->index;
            last->skipped = false;
        }
        pool.give(item);
    };
    arena.execute([&] {
        tbb::parallel_pipeline(
            tokens,
            tbb::make_filter<void, WorkItem*>(tbb::filter_mode::serial_in_order, input) &
                tbb::make_filter<WorkItem*, WorkItem*>(tbb::filter_mode::parallel, process) &
                tbb::make_filter<WorkItem*, void>(tbb::filter_mode::serial_in_order, accumulate));
    });
    if (cancelled(options)) outcome.cancelled = true;
    return outcome;
}

}  // namespace

uint32_t simulationSeriesCount(const RestErrorHeader& errors) {
    return uint32_t{errors.wVariousPulses} * errors.wNoiseLevels *
           static_cast<uint16_t>(errors.repeats);
}

SimulationResult statCutoffVarnel(MessageSink& sink, const SimulationRun& run,
                                  const SimulationRecords& records,
                                  const SimulationOptions& options) {
    SimulationResult result;
    result.outcome = SimulationOutcome::Failed;
    if (!records.errors) {
        sink.show("Absence of RestoreErrorHeader!", "statCutoffVarnel", MessageIcon::None);
        return result;
    }
    if (!records.series || !records.streams) {
        sink.show("Absence of SeriesHeader!", "statCutoffVarnel", MessageIcon::None);
        return result;
    }
    try {
        RestErrorHeader errors = *records.errors;
        const std::optional<RunSetup> setup = prepareRun(sink, run, records, errors);
        if (!setup) return result;
        result.startTime = result.endTime = std::time(nullptr);

        SeriesMaker maker(run, *setup, errors, std::make_unique<SeriesHeader>(*records.series),
                          *records.streams);
        CollectingSink collector;
        std::vector<CellSums> sums(std::size_t{errors.wVariousPulses} * errors.wNoiseLevels);
        std::unique_ptr<WorkItem> last;
        const int32_t debugging = run.debuggingRepeat ? *run.debuggingRepeat : 0;
        const PipelineOutcome outcome =
            runPipeline(run, *setup, options, maker, collector, sums, last, debugging);
        result.messages = collector.messages();
        result.endTime = std::time(nullptr);
        if (outcome.cancelled) {
            result.outcome = SimulationOutcome::Cancelled;
            return result;
        }
        if (outcome.lost) return result;

        storeCells(sums, setup->repeats, errors);
        errors.ifComplete = 1;
        const uint16_t subsetLength = records.series->wSubsetLength;
        // With no series at all, the record only went through the grid set-up.
        SeriesHeader& finalSeries = last->skipped ? *maker.series() : last->series;
        finalSeries.wSubsetLength = subsetLength;
        *records.series = std::move(finalSeries);
        *records.errors = std::move(errors);
        *records.streams = maker.streams();
        if (run.debuggingRepeat && !last->skipped) *run.debuggingRepeat = last->debugging;
        result.outcome = SimulationOutcome::Completed;
    } catch (const std::bad_alloc&) {
        sink.show("Нет памяти для statCutoffVarnel!", kDriverCaption, MessageIcon::None);
        result.outcome = SimulationOutcome::Failed;
    }
    return result;
}

}  // namespace etalon
