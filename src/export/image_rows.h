#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

namespace etalon {

// A colour as the files store it: one byte per channel.
struct RgbColour {
    uint8_t red = 0;
    uint8_t green = 0;
    uint8_t blue = 0;
    bool operator==(const RgbColour&) const = default;
};

// The rows of a picture as it holds them in memory, top row first, with any
// distance between rows. The encoders only read through it.
struct ImageRows {
    const uint8_t* data = nullptr;
    int32_t width = 0;
    int32_t height = 0;
    std::ptrdiff_t stride = 0;  // bytes from the start of one row to the next

    const uint8_t* row(int32_t y) const { return data + static_cast<std::ptrdiff_t>(y) * stride; }

    // For 32-bit rows: the pixel as 0x??RRGGBB in the machine's own order,
    // as the window's surface keeps it.
    uint32_t pixel32(int32_t x, int32_t y) const {
        uint32_t value;
        std::memcpy(&value, row(y) + static_cast<std::ptrdiff_t>(x) * 4, sizeof value);
        return value;
    }
};

}  // namespace etalon
