#include "simulation/series_work.h"

#include "processing/matched_filter.h"
#include "processing/task_codes.h"
#include "series/series_generator.h"

namespace etalon::simulation_run {

ItemPool::ItemPool(std::size_t count, const RunSetup& setup) {
    for (std::size_t i = 0; i < count; ++i) {
        items_.push_back(std::make_unique<WorkItem>());
        items_.back()->chains = setup.chains;
        items_.back()->baselineChains = setup.chains;
        free_.push_back(items_.back().get());
    }
}

WorkItem* ItemPool::take() {
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

void ItemPool::give(WorkItem* item) {
    std::lock_guard lock(mutex_);
    free_.push_back(item);
}

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

}  // namespace etalon::simulation_run
