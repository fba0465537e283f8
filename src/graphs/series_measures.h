#pragma once

#include <cstdint>

#include "processing/chains_header.h"
#include "series/series_header.h"

namespace etalon {

// Energies of a series: the noise-free signal, the noise over the whole
// series, and the noise inside the windows of the true pulses. Summed in 64
// bits so that long or very noisy series cannot overflow.
struct SeriesEnergies {
    int64_t signal = 0;
    int64_t noise = 0;
    int64_t inPulse = 0;

    // Noise-to-signal quotients; 0 when there is no signal.
    double allNoiseToSignal() const { return signal > 0 ? double(noise) / double(signal) : 0.0; }
    double pulseNoiseToSignal() const {
        return signal > 0 ? double(inPulse) / double(signal) : 0.0;
    }
};
SeriesEnergies seriesEnergies(const SeriesHeader& series);

// The criterion the restoring procedures minimise, evaluated for the true
// pulses, so that the truth can be ranked against the candidate chains.
int32_t getSeriesMeasure(const SeriesHeader& series);

// Squared difference between the noise-free series and the series rebuilt
// from the best chain (its kept parts only). With no chain held nothing is
// rebuilt and the result is the signal energy.
int32_t getChainRestoreError(const ChainsHeader& chains, const SeriesHeader& series);

}  // namespace etalon
