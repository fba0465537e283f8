#pragma once

#include <cstdint>

namespace etalon {

// Both file formats store their integers little-endian.
inline void putLe16(uint8_t* at, uint32_t value) {
    at[0] = static_cast<uint8_t>(value);
    at[1] = static_cast<uint8_t>(value >> 8);
}

inline void putLe32(uint8_t* at, uint32_t value) {
    putLe16(at, value);
    putLe16(at + 2, value >> 16);
}

}  // namespace etalon
