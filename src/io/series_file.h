#pragma once

#include <cstdint>
#include <memory>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "base/message_sink.h"
#include "series/series_header.h"

namespace etalon::io {

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
// or the series object itself, for an alphabet of `etalons` etalons of
// `pulseLength` samples. Returns an empty string, or what is wrong in one
// line naming the file and the field.
std::string readSeriesFile(const std::string& path, uint16_t pulseLength, uint16_t etalons,
                           SeriesFile& out);

// A series record holding the file's series, with room for chains as short
// as `processingTmin` allows. Null after a reported allocation failure.
std::unique_ptr<SeriesHeader> seriesFromFile(MessageSink& sink, const SeriesFile& file,
                                             uint16_t etalons, uint16_t processingTmin);

// The series fields under their own names, each array cut to the entries in use.
nlohmann::ordered_json seriesToJson(const SeriesHeader& series);

// Writes the series as {"series": [{...}]}, the form readSeriesFile reads
// back, all or nothing. Returns an empty string or what went wrong.
std::string writeSeriesFile(const std::string& path, const SeriesHeader& series);

}  // namespace etalon::io
