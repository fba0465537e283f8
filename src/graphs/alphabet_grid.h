#pragma once

#include <cstdint>
#include <span>

#include "platform/device_context.h"
#include "platform/geometry.h"
#include "pulses/pulse_header.h"

namespace etalon {

inline constexpr platform::Color kWorkingCurve{0, 0, 255};
inline constexpr platform::Color kOtherCurve{0, 0, 127};
inline constexpr platform::Color kWorkingFrame{163, 163, 163};
inline constexpr platform::Color kOtherFrame{127, 127, 127};

// Where the grid goes, as the painting layout computed it. Rectangles have
// inclusive right and bottom edges.
struct AlphabetGridLayout {
    platform::Rect rcGraph;
    std::span<const platform::Rect> rcCells;
    uint16_t wCellWidth = 0;
    uint16_t wCellHeight = 0;
    uint16_t wCellInnerWidth = 0;
    uint16_t wCellInnerHeight = 0;
    int32_t nLineHeight = 0;
};

// The frame of the graph area and one cell per etalon: its number and energy,
// its curve (blue in the working set, dark blue otherwise) and a frame (triple
// grey in the working set, single otherwise). selectedFlags is indexed from 1.
void DrawAlphabetGrid(platform::DeviceContext& dc, const AlphabetGridLayout& layout,
                      std::span<const PulseHeader> alphabet, std::span<const int16_t> selectedFlags,
                      int16_t amplitude);

}  // namespace etalon
