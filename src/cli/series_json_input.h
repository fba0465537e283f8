#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace etalon::cli {

// One series as `etalon-cli series` prints it, each field checked alone and
// against the others.
struct SeriesFile {
    uint32_t dwSeriesSize = 0;
    uint16_t wTmin = 0, wTmax = 0, wImpulseSize = 0, wImpulseQuantity = 0;
    uint16_t wMinPulses = 0, wMaxPulses = 0;
    int16_t wNoiseLevel = 0, wAmplitude = 0;
    std::vector<int16_t> lpPureData, lpNoisyData;
    std::vector<int16_t> lpPositions, lpMinPositions, lpMaxPositions, lpEtalons, lpCutStarts,
        lpCutEnds;
    std::vector<int16_t> lpSelectedSubset;
};

// Reads `path`: the output of `series` holding one series, {"series": {...}},
// or the series object itself. Returns an empty string, or what is wrong in
// one line.
std::string readSeriesFile(const std::string& path, uint16_t pulseLength, uint16_t etalons,
                           SeriesFile& out);

}  // namespace etalon::cli
