#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

namespace etalon::platform {

// The PNG file of 32-bit pixels (0x??RRGGBB, opaque), or nothing when the
// image writer fails.
std::optional<std::vector<uint8_t>> encodePng(const uint32_t* pixels, int32_t width, int32_t height,
                                              std::ptrdiff_t bytesPerLine);

}  // namespace etalon::platform
