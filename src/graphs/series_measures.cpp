#include "graphs/series_measures.h"

#include <algorithm>
#include <span>
#include <vector>

namespace etalon {
namespace {

// The etalon a 1-based number names in the series' pulse list; empty when the
// number names none (an unidentified pulse carries 0).
std::span<const int16_t> etalonSamples(const SeriesHeader& series, int32_t number) {
    if (number < 1 || static_cast<size_t>(number) > series.lpPulsesList.size()) return {};
    const PulseHeader* etalon = series.lpPulsesList[number - 1];
    return etalon ? etalon->samples() : std::span<const int16_t>();
}

// Samples both data arrays really hold; a short array is never read past its end.
int32_t heldSamples(const SeriesHeader& series) {
    return static_cast<int32_t>(std::min<size_t>(
        {series.dwSeriesSize, series.lpPureData.size(), series.lpNoisyData.size()}));
}

// True pulses that every per-pulse array holds.
int32_t heldTruePulses(const SeriesHeader& series) {
    return static_cast<int32_t>(std::min<size_t>(
        {series.wImpulseQuantity, series.lpPositions.size(), series.lpEtalons.size(),
         series.lpCutStarts.size(), series.lpCutEnds.size()}));
}

int64_t square(int32_t v) {
    return int64_t{v} * v;
}

}  // namespace

SeriesEnergies seriesEnergies(const SeriesHeader& series) {
    SeriesEnergies e;
    const int32_t n = heldSamples(series);
    for (int32_t i = 0; i < n; ++i) {
        e.signal += square(series.lpPureData[i]);
        e.noise += square(series.lpNoisyData[i] - series.lpPureData[i]);
    }
    const int32_t pulses =
        std::min<int32_t>(series.wImpulseQuantity, static_cast<int32_t>(series.lpPositions.size()));
    for (int32_t k = 0; k < pulses; ++k) {
        const int32_t p = series.lpPositions[k];
        for (int32_t j = 0; j < series.wImpulseSize; ++j) {
            if (p + j < 0 || p + j >= n) continue;
            e.inPulse += square(series.lpNoisyData[p + j] - series.lpPureData[p + j]);
        }
    }
    return e;
}

int32_t getSeriesMeasure(const SeriesHeader& series) {
    const int32_t n = heldSamples(series);
    int64_t sum = 0;
    for (int32_t k = 0; k < heldTruePulses(series); ++k) {
        const auto d = etalonSamples(series, series.lpEtalons[k]);
        const int32_t p = series.lpPositions[k];
        const int32_t first = std::max<int32_t>(series.lpCutStarts[k], 0);
        const int32_t last = std::min<int32_t>(series.lpCutEnds[k], int32_t(d.size()) - 1);
        for (int32_t j = first; j <= last; ++j) {
            if (p + j < 0 || p + j >= n) continue;
            sum += int64_t{d[j] - 2 * series.lpNoisyData[p + j]} * d[j];
        }
    }
    return static_cast<int32_t>(sum);  // the procedures' criteria are 32-bit too
}

int32_t getChainRestoreError(const ChainsHeader& chains, const SeriesHeader& series) {
    const int32_t n = heldSamples(series);
    std::vector<int32_t> restored(static_cast<size_t>(n), 0);
    if (chains.wPretenders > 0 && chains.wMaxSize > 0) {
        const auto etalons = chains.pulsesList(0);
        const auto positions = chains.positionsList(0);
        const auto starts = chains.cutStartsList(0);
        const auto ends = chains.cutEndsList(0);
        const size_t pulses = std::min<size_t>(chains.wSeekingPulsesQuantity, etalons.size());
        // Later windows overwrite earlier ones where they overlap.
        for (size_t r = 0; r < pulses; ++r) {
            const auto d = etalonSamples(series, etalons[r]);
            if (d.empty()) continue;
            for (int32_t j = 0; j < series.wImpulseSize; ++j) {
                const int32_t i = positions[r] + j;
                if (i < 0 || i >= n) continue;
                const bool kept = starts[r] <= j && j <= ends[r] && j < int32_t(d.size());
                restored[i] = kept ? d[j] : 0;
            }
        }
    }
    int64_t sum = 0;
    for (int32_t i = 0; i < n; ++i)
        sum += square(series.lpPureData[i] - restored[i]);
    return static_cast<int32_t>(std::min<int64_t>(sum, INT32_MAX));
}

}  // namespace etalon
