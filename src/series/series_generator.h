#pragma once

#include <cstdint>
#include <limits>
#include <memory>
#include <span>

#include "base/message_sink.h"
#include "pulses/pulse_header.h"
#include "pulses/random_streams.h"
#include "series/series_header.h"

namespace etalon {

// What a series is made from. `sequence` holds the 1-based etalon of each
// pulse; it must have room for `pulses` entries (for makeUnfixedSeries: for
// the largest count) and is rewritten in place by subset placement and by
// replacing invalid entries with 1.
struct SeriesRequest {
    uint16_t etalons = kEtalonsNumber;
    std::span<const PulseHeader> alphabet;
    uint16_t pulseLength = kEtalonLength;
    uint16_t tmin = 40;
    uint16_t tmax = 181;
    uint32_t seriesLength = 1200;
    uint16_t pulses = 18;
    std::span<uint16_t> sequence;
    int16_t amplitude = kPulseAmplitude;
    uint16_t savedEnergyLevel = 100;  // percent of each pulse's energy kept
};

// The first rule that keeps every series of this geometry from being made,
// whatever its pulse count; None when some count fits. makeExtSeries refuses
// by these rules, so callers can refuse such settings before any work.
enum class GeometryFault {
    None,
    NoTmin,  // Tmin is 0
    TminAboveTmax,
    PulseLongerThanTmax,  // the pulse length is 0 or above Tmax
    SeriesShorterThanPulse,
    SeriesTooLong,  // positions are 16-bit
    NoPulseCount,   // the least count (at least 1) is above the largest
};
GeometryFault seriesGeometryFault(uint32_t seriesLength, uint16_t pulseLength, uint16_t tmin,
                                  uint16_t tmax);

// The positions pulse k (0-based) of `pulses` may take in a series of this
// geometry, as making a series sets lpMinPositions and lpMaxPositions; the
// known-count procedures search within them.
struct PulsePositionRange {
    int32_t lo = 0, hi = 0;
};
PulsePositionRange pulsePositionRange(uint32_t seriesLength, uint16_t pulseLength, uint16_t tmin,
                                      uint16_t tmax, uint16_t pulses, uint16_t k);

// Fills the record with a series. Returns -1 on success and 0 after a reported
// failure; settings no series can satisfy are refused with the
// incompatible-parameters report and leave the record unchanged.
int16_t makeExtSeries(MessageSink& sink, const SeriesRequest& request, SeriesHeader& record,
                      RandomStreams& streams);

// Sizes the record and makes a series of request.pulses pulses. Returns the
// record (holding the previous series if the generator refused), or null
// after a reported allocation failure.
std::unique_ptr<SeriesHeader> getCutOffSeries(MessageSink& sink, const SeriesRequest& request,
                                              std::unique_ptr<SeriesHeader> record,
                                              RandomStreams& streams);

// Draws the pulse count from the pulse-count stream, then as getCutOffSeries.
// Returns null, silently, when no count is possible.
std::unique_ptr<SeriesHeader> makeUnfixedSeries(MessageSink& sink, const SeriesRequest& request,
                                                std::unique_ptr<SeriesHeader> record,
                                                RandomStreams& streams);

// The largest noise level that cannot push a sample of that amplitude past 16
// bits: the Gaussian is a sum of twelve uniforms, it never strays past 6 sigma.
constexpr int16_t maxNoiseLevelFor(int16_t amplitude) {
    return static_cast<int16_t>((std::numeric_limits<int16_t>::max() - amplitude) / 6);
}

// The noise ceiling of the pulses the workbench makes.
inline constexpr int16_t kLargestNoiseLevel = maxNoiseLevelFor(kPulseAmplitude);

// noisy = pure + Gaussian(0, sigma) per sample, wrapped to 16 bits. Noise
// always starts from the pure series, so a second call replaces the first.
// The amplitude is accepted and not used.
void addSeriesNoise(int16_t sigma, int16_t amplitude, SeriesHeader* record, int16_t& noiseStream);

}  // namespace etalon
