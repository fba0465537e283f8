#include "io/sum_range.h"

#include <algorithm>
#include <cstdlib>

namespace etalon::io {

int32_t largestFittingSample(std::span<const PulseHeader> etalons, uint32_t pulses) {
    // A fit over any window of an etalon is bounded by E + 2 Y sum|e| (its
    // partial sums too); a chain adds up to `pulses` of them.
    const int64_t perPulse = INT32_MAX / std::max<int64_t>(pulses, 1);
    int64_t largest = INT16_MAX;
    for (const PulseHeader& etalon : etalons) {
        int64_t energy = 0, magnitude = 0;
        for (int16_t e : etalon.samples()) {
            energy += int64_t{e} * e;
            magnitude += std::abs(int32_t{e});
        }
        if (energy > kLargestEtalonEnergy || energy > perPulse) return -1;
        if (magnitude > 0) largest = std::min(largest, (perPulse - energy) / (2 * magnitude));
    }
    return static_cast<int32_t>(largest);
}

std::vector<PulseHeader> listedEtalons(std::span<const PulseHeader> alphabet,
                                       std::span<const uint16_t> list) {
    std::vector<PulseHeader> etalons;
    etalons.reserve(list.size());
    for (uint16_t e : list)
        etalons.push_back(alphabet[e - 1]);
    return etalons;
}

std::string sumWrapProblem(std::span<const int16_t> samples, std::span<const PulseHeader> etalons,
                           uint32_t pulses) {
    const int32_t fits = largestFittingSample(etalons, pulses);
    const std::string chains = "chains of up to " + std::to_string(pulses) + " pulses";
    if (fits < 0)
        return "the etalons' energies are too large for the 32-bit sums of " + chains +
               ", whatever the samples";
    int32_t largest = 0;
    std::size_t at = 0;
    for (std::size_t i = 0; i < samples.size(); ++i) {
        if (std::abs(int32_t{samples[i]}) > largest) {
            largest = std::abs(int32_t{samples[i]});
            at = i;
        }
    }
    if (largest <= fits) return {};
    return "sample " + std::to_string(at) + " is " + std::to_string(samples[at]) +
           ": with these etalons the 32-bit sums of " + chains +
           " would wrap; the largest sample magnitude that fits is " + std::to_string(fits) +
           " (scale the samples down, or choose a shorter span)";
}

}  // namespace etalon::io
