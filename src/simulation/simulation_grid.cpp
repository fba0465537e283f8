#include "simulation/simulation_grid.h"

#include <algorithm>

#include "processing/matched_filter.h"
#include "series/series_generator.h"

namespace etalon {

PulseCountRange simulationPulseRange(const PulseCountBounds& bounds) {
    return {std::max<int32_t>(bounds.minPulses, 1), bounds.maxPulses};
}

GridCheck checkSimulationGrid(int64_t pulsesFrom, int64_t pulsesTo, int64_t noiseFrom,
                              int64_t noiseSteps, int64_t noiseStep, const PulseCountRange& range) {
    if (pulsesFrom < range.least) return {GridFault::PulsesFromBelowLeast, pulsesFrom, range.least};
    if (pulsesTo > range.most) return {GridFault::PulsesToAboveMost, pulsesTo, range.most};
    if (pulsesFrom > pulsesTo) return {GridFault::PulsesFromAboveTo, pulsesFrom, pulsesTo};
    const int64_t last = noiseFrom + noiseStep * (noiseSteps - 1);
    if (last > kLargestNoiseLevel)
        return {GridFault::LastNoiseAboveCeiling, last, kLargestNoiseLevel};
    return {};
}

std::unique_ptr<RestErrorHeader> makeErrorGrid(MessageSink& sink, const SimulationGrid& grid,
                                               ErrorGridFailure* failure) {
    const auto fail = [failure](ErrorGridFailure why) {
        if (failure) *failure = why;
        return nullptr;
    };
    if (failure) *failure = ErrorGridFailure::None;
    const PulseGrid pulses = pulseGridFor(grid.pulsesFrom, grid.pulsesTo, grid.pulsesStep);
    auto errors = getRestErrHeader(sink, pulses.steps, grid.noiseSteps, grid.repeats, nullptr);
    if (!errors) return fail(ErrorGridFailure::Sizing);
    if (!initRestErrHeader(sink, pulses.steps, grid.pulsesFrom, pulses.increment, grid.noiseSteps,
                           grid.noiseFrom, grid.noiseStep, grid.repeats, errors.get()))
        return fail(ErrorGridFailure::Describing);
    return errors;
}

bool baselineApplies(const SimulationRun& run) {
    return matchedFilterRestores(chooseRestoringProcedure(run.effectiveTask, run.seriesType));
}

}  // namespace etalon
