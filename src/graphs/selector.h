#pragma once

#include <cstdint>
#include <span>
#include <string_view>

#include "platform/device_context.h"
#include "platform/geometry.h"

namespace etalon {

inline constexpr platform::Color kPendingDot{163, 163, 163};

// One option group: a frame with the label across its top edge, a circle and
// the value of every entry, the current entry's circle filled (black when its
// value is the one in effect, grey while the choice is still pending). Fills
// items with the entries' rectangles (inclusive edges). Returns 1.
int DrawSelector(platform::DeviceContext& dc, const platform::Rect& box,
                 std::span<platform::Rect> items, std::string_view label,
                 std::span<const int32_t> values, int32_t currentEntry, int32_t valueInEffect);

}  // namespace etalon
