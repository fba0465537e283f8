#include "simulation/simulation_pipeline.h"

#include <oneapi/tbb/enumerable_thread_specific.h>
#include <oneapi/tbb/parallel_pipeline.h>

#include <algorithm>

#include "base/thread_handover.h"
#include "processing/restoring_work.h"

namespace etalon::simulation_run {

namespace {

bool cancelled(const SimulationOptions& options) {
    return options.cancel && options.cancel->load(std::memory_order_relaxed);
}

// Where a pipeline's set-up is handed to its stages (runPipeline).
char pipelineSetUp;

}  // namespace

// The pipeline over the whole grid, in the caller's arena.
PipelineOutcome runPipeline(const PipelineRun& in, PipelineGathering& out) {
    const SimulationRun& run = in.run;
    const RunSetup& setup = in.setup;
    const SimulationOptions& options = in.options;
    const RestErrorHeader& errors = in.errors;
    SeriesFeed& feed = out.feed;
    CollectingSink& collector = out.collector;
    ErrorSums& sums = out.sums;
    ErrorSums& baselineSums = out.baselineSums;
    std::unique_ptr<WorkItem>& last = out.last;
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
        item->debugging = item->index == 0 ? in.firstDebugging : 0;
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

}  // namespace etalon::simulation_run
