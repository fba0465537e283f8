#pragma once

#include <cstdint>
#include <span>
#include <vector>

namespace etalon {

// One etalon. The buffer may be larger than the pulse (it never shrinks);
// an empty buffer means no samples were allocated.
struct PulseHeader {
    uint16_t wReservedSize = 0;
    uint16_t wSize = 0;
    uint16_t wNumber = 0;  // 1-based
    std::vector<int16_t> lpData;
    bool operator==(const PulseHeader&) const = default;

    bool hasData() const { return !lpData.empty(); }
    // The wSize samples of the pulse, or an empty span when there are none.
    std::span<const int16_t> samples() const {
        return hasData() ? std::span<const int16_t>(lpData.data(), wSize)
                         : std::span<const int16_t>();
    }
};

inline constexpr uint16_t kEtalonsNumber = 20;
inline constexpr uint16_t kEtalonLength = 20;
inline constexpr uint16_t kPulseAmplitude = 128;

}  // namespace etalon
