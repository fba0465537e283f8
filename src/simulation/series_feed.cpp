#include "simulation/series_feed.h"

#include <algorithm>

#include "series/series_generator.h"

namespace etalon::simulation_run {

namespace {

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

}  // namespace

SeriesFeed::SeriesFeed(const SimulationRun& run, const RunSetup& setup,
                       const RestErrorHeader& errors, std::unique_ptr<SeriesHeader> series,
                       RandomStreams streams)
    : run_(run),
      setup_(setup),
      schedule_(scheduleFor(run, setup, errors)),
      series_(std::move(series)),
      streams_(streams),
      total_(simulationSeriesCount(errors)) {}

bool SeriesFeed::next(CollectingSink& collector, WorkItem& item, const SimulationOptions& options) {
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
        slot->index >= options.resumeFrom &&
        inShare(slot->index, total_, options.shareRank, options.shareCount, options.shareInBlocks);
    if (!item.restore) return true;
    item.series = *series_;
    item.sequence.assign(slot->sequence.begin(), slot->sequence.end());
    item.pulses = slot->pulses;
    item.subset = slot->subset;
    return true;
}

}  // namespace etalon::simulation_run
