#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "pulses/pulse_header.h"

namespace etalon::io {

// The procedures sum in 32 bits: an etalon's energy (times the saved-energy
// level of the threshold), each fit E - 2 sum(y e) over its L samples, and a
// chain's criterion over its pulses. These say when that cannot wrap.

// The largest energy an etalon may have: its threshold is level * E with the
// level up to 100.
inline constexpr int64_t kLargestEtalonEnergy = INT32_MAX / 100;

// The largest sample magnitude for which every fit of these etalons, summed
// over `pulses` pulses, stays within 32 bits; at most 32,767, -1 when the
// etalons alone are too large for that many pulses.
int32_t largestFittingSample(std::span<const PulseHeader> etalons, uint32_t pulses);

// The etalons a working list names (1-based), in the list's order.
std::vector<PulseHeader> listedEtalons(std::span<const PulseHeader> alphabet,
                                       std::span<const uint16_t> list);

// Empty when the samples and etalons keep the sums within 32 bits for chains
// of up to `pulses` pulses; otherwise a one-line refusal naming the largest
// sample value that fits.
std::string sumWrapProblem(std::span<const int16_t> samples, std::span<const PulseHeader> etalons,
                           uint32_t pulses);

}  // namespace etalon::io
