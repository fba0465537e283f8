#pragma once

#include <cstdint>
#include <random>
#include <span>
#include <string>
#include <vector>

#include "processing/chains_header.h"
#include "processing/task_codes.h"
#include "pulses/pulse_header.h"
#include "pulses/random_streams.h"
#include "series/series_header.h"

namespace etalon::soak {

// One random setting: the geometry, counts, levels, lists and patterns a user
// could ask for, valid or not, and a tiny simulation grid over them.
struct SoakSetting {
    SeriesCode seriesType = SeriesCode::FixedWhole;
    TaskCode taskType = TaskCode::Recognition;
    uint32_t length = 1200;
    uint16_t tmin = 40;
    uint16_t tmax = 181;
    // Processing reads its own bounds, as a file processed with other bounds does.
    uint16_t processingTmin = 40;
    uint16_t processingTmax = 181;
    uint16_t pulses = 18;
    uint16_t makingLevel = 100;
    uint16_t processingLevel = 100;
    int16_t noise = 0;
    std::vector<uint16_t> sequence;
    std::vector<uint16_t> list;
    std::vector<int32_t> subset;
    uint16_t employment = 4;
    uint16_t initPosition = 1;
    uint16_t proceeding = 1;
    std::vector<std::vector<int32_t>> patterns;
    int pick = 0;
    RandomStreams streams;
    // The grid: counts firstPulses + p * pulsesStep, levels firstLevel + v * levelStep.
    uint16_t gridPulses = 1, firstPulses = 1, pulsesStep = 1;
    uint16_t gridLevels = 1, firstLevel = 0, levelStep = 0;
    uint32_t repeats = 1;
};

// Draws setting `index` of the run started from `seed`: the same pair gives
// the same setting, so a run can be split into chunks and resumed.
SoakSetting drawSetting(uint64_t seed, uint64_t index);

// Inner steps the procedures take on one series of the setting: each series
// position against each candidate etalon, over the predecessor window and the
// pulse layers, plus the window fits.
uint64_t estimatedSteps(const SoakSetting& s);

// Shrinks the grid, then the predecessor window, then the length, until one
// setting (its series plus the grid's) stays within `bound` steps.
void capWork(SoakSetting& s, uint64_t bound);

std::string describe(const SoakSetting& s);

// What became of one setting: the invariants it broke, and how far it got.
struct SettingOutcome {
    std::vector<std::string> findings;
    bool made = false;       // a series was made
    bool restored = false;   // a procedure ran and ranked a chain
    bool simulated = false;  // the grid ran to its end over at least one series
    bool filtered = false;   // the matched filter ran and took a pulse
    bool readBack = false;   // a recording and an alphabet were read from files
};

// The invariants of the held chains and the series' restored pulses, for
// etalons 1..`etalons` of `pulseLength` samples. The matched filter knows no
// Tmax, so `withTmax` false leaves that bound out.
void checkChains(std::vector<std::string>& findings, const ChainsHeader& chains,
                 const SeriesHeader& r, uint16_t tmin, uint16_t tmax, uint16_t pulseLength,
                 uint16_t etalons, bool withTmax);

// Runs the setting through making, noise, restoring, the restored error and the grid.
SettingOutcome runSetting(const SoakSetting& s, std::span<const PulseHeader> alphabet);

}  // namespace etalon::soak
