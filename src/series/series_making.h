#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <vector>

#include "base/message_sink.h"
#include "pulses/pulse_header.h"
#include "pulses/random_streams.h"
#include "series/series_codes.h"
#include "series/series_header.h"

namespace etalon {

// Everything the next series is made from: the window's settings, a command
// line's options or a test's recipe.
struct SeriesMakingRequest {
    SeriesCode seriesType = SeriesCode::FixedWhole;  // the unfixed types draw their pulse count
    std::span<const PulseHeader> alphabet;
    uint16_t etalons = kEtalonsNumber;
    uint16_t pulseLength = kEtalonLength;
    int16_t amplitude = kPulseAmplitude;
    uint32_t seriesLength = 1200;
    uint16_t tmin = 40;
    uint16_t tmax = 181;
    uint16_t pulses = 18;  // fixed types
    uint16_t makingLevel = 100;
    // The etalon of each pulse; grown to cover every count the generator may
    // use (new entries `sequenceFill`), rewritten in place by subset placement.
    std::vector<uint16_t>* sequence = nullptr;
    uint16_t sequenceFill = 1;
    // Made the current subset before the series when not empty.
    std::span<const int32_t> subset;
    uint16_t employment = 4;
    uint16_t initPosition = 1;
    int16_t noise = 0;  // sigma; 0 adds none and leaves the noise stream alone
};

enum class SeriesMade {
    Made,
    Refused,   // the generator reported why; the record keeps the previous series
    NoRecord,  // the record is gone (an allocation failure, or no pulse count possible)
};

// Makes the next series into `record`, carrying the streams on.
SeriesMade makeRequestedSeries(MessageSink& sink, const SeriesMakingRequest& request,
                               std::unique_ptr<SeriesHeader>& record, RandomStreams& streams);

// The middle of the pulse-count bounds, the least count raised to 1 as the
// generator raises it.
uint16_t middlePulseCount(uint32_t seriesLength, uint16_t pulseLength, uint16_t tmin,
                          uint16_t tmax);

}  // namespace etalon
