#include "simulation/restored_error.h"

#include <algorithm>
#include <span>

namespace etalon {

namespace {

// The samples of restored pulse i that no earlier restored pulse covers.
// All pulses are L samples long, so the earlier pulses starting at or before
// q cover a prefix of [q, q + L) and those starting after q a suffix: what is
// left is one range.
struct OwnedRange {
    int64_t from = 0;
    int64_t to = 0;  // exclusive
};

OwnedRange ownedRange(std::span<const int16_t> positions, std::size_t i, int64_t length,
                      bool ascending) {
    const int64_t q = positions[i];
    OwnedRange range{q, q + length};
    // In ascending order (as chains restore them) the last earlier pulse ends
    // furthest and none starts after q: one step instead of i.
    if (ascending) {
        if (i > 0) range.from = std::max(range.from, positions[i - 1] + length);
        return range;
    }
    for (std::size_t earlier = 0; earlier < i; ++earlier) {
        const int64_t start = positions[earlier];
        if (start <= q)
            range.from = std::max(range.from, start + length);
        else
            range.to = std::min(range.to, start);
    }
    return range;
}

const PulseHeader* restoredEtalon(const SeriesHeader& series, int16_t number) {
    if (number < 1 || static_cast<std::size_t>(number) > series.lpPulsesList.size()) return nullptr;
    return series.lpPulsesList[number - 1];
}

}  // namespace

int32_t getRestoredError(const SeriesHeader& series) {
    const std::size_t n = std::min<std::size_t>(series.dwSeriesSize, series.lpPureData.size());
    const std::span<const int16_t> pure(series.lpPureData.data(), n);
    int64_t sum = 0;
    for (int16_t sample : pure)
        sum += int64_t{sample} * sample;

    // Each restored sample replaces the pure sample's square by the square of the difference.
    const std::size_t restored =
        std::min({std::size_t{series.wRestoredQuantity}, series.lpRestoredPositions.size(),
                  series.lpRestoredEtalons.size(), series.lpRestoredCutStarts.size(),
                  series.lpRestoredCutEnds.size()});
    const std::span<const int16_t> positions(series.lpRestoredPositions.data(), restored);
    const int64_t length = series.wImpulseSize;
    const bool ascending = std::is_sorted(positions.begin(), positions.end());
    for (std::size_t i = 0; i < restored; ++i) {
        const PulseHeader* etalon = restoredEtalon(series, series.lpRestoredEtalons[i]);
        if (!etalon) continue;
        const std::span<const int16_t> samples = etalon->samples();
        const int64_t q = positions[i];
        const OwnedRange owned = ownedRange(positions, i, length, ascending);
        // Only the kept window of the etalon is rebuilt; the rest of the pulse is zero.
        const int64_t keptFrom = std::max<int64_t>(series.lpRestoredCutStarts[i], 0);
        const int64_t keptTo = std::min<int64_t>(int64_t{series.lpRestoredCutEnds[i]} + 1,
                                                 static_cast<int64_t>(samples.size()));
        const int64_t from = std::max({owned.from, q + keptFrom, int64_t{0}});
        const int64_t to = std::min({owned.to, q + keptTo, static_cast<int64_t>(n)});
        for (int64_t k = from; k < to; ++k) {
            const int64_t p = pure[static_cast<std::size_t>(k)];
            const int64_t d = p - samples[static_cast<std::size_t>(k - q)];
            sum += d * d - p * p;
        }
    }
    // The measure is 32-bit; the conversion wraps as such a sum does.
    return static_cast<int32_t>(static_cast<uint32_t>(static_cast<uint64_t>(sum)));
}

}  // namespace etalon
