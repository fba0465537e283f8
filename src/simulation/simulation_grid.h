// The grid a simulation runs over, set up once for the window, the command
// line and Python; each of them words the faults in its own terms.
#pragma once

#include <cstdint>
#include <memory>

#include "base/message_sink.h"
#include "series/series_header.h"
#include "simulation/rest_error_header.h"
#include "simulation/stat_cutoff_varnel.h"

namespace etalon {

// Pulse counts from, to and their step; noise levels from, how many and their step.
struct SimulationGrid {
    uint16_t pulsesFrom = 1, pulsesTo = 1, pulsesStep = 1;
    uint16_t noiseFrom = 0, noiseSteps = 29, noiseStep = 5;
    uint32_t repeats = 100;
};

// The pulse counts of a geometry a run can use: a series of no pulses scores nothing.
struct PulseCountRange {
    int32_t least = 1;
    int32_t most = 0;
};
PulseCountRange simulationPulseRange(const PulseCountBounds& bounds);

enum class GridFault {
    None,
    PulsesFromBelowLeast,   // value: the count asked, bound: the least
    PulsesToAboveMost,      // value: the count asked, bound: the most
    PulsesFromAboveTo,      // value: from, bound: to
    LastNoiseAboveCeiling,  // value: the last level, bound: the noise ceiling
};

struct GridCheck {
    GridFault fault = GridFault::None;
    int64_t value = 0;
    int64_t bound = 0;
};

// Pulse counts against the geometry's range, then against each other, then
// the last noise level against the ceiling of 16-bit samples; the first
// fault found.
GridCheck checkSimulationGrid(int64_t pulsesFrom, int64_t pulsesTo, int64_t noiseFrom,
                              int64_t noiseSteps, int64_t noiseStep, const PulseCountRange& range);

// The error record sized and described for the grid (the step of the pulse
// counts as pulseGridFor makes it). Null after a reported failure, which
// `failure` names.
enum class ErrorGridFailure { None, Sizing, Describing };
std::unique_ptr<RestErrorHeader> makeErrorGrid(MessageSink& sink, const SimulationGrid& grid,
                                               ErrorGridFailure* failure = nullptr);

// Whether the matched filter can restore the run's series beside the exact
// procedure: the tuples tasks have no baseline.
bool baselineApplies(const SimulationRun& run);

}  // namespace etalon
