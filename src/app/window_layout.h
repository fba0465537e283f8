#pragma once

#include <array>
#include <cstdint>

#include "platform/device_context.h"
#include "platform/geometry.h"
#include "processing/task_codes.h"
#include "pulses/pulse_header.h"

namespace etalon {

using platform::Rect;

// The rectangles of the client area, recomputed at every paint and used by
// input and the repaint commands until the next one. Right and bottom edges
// belong to the rectangles.
struct WindowLayout {
    int32_t nLineHeight = 0;
    int32_t nAveCharWidth = 0;
    int32_t nMaxCharWidth = 0;

    Rect rcExitButton;
    Rect rcStartButton1;
    Rect rcToggleButton;  // laid out only when the task shows the toggle
    Rect rcStartButton;
    Rect rcButtonColumn;

    Rect rcGraph;
    std::array<Rect, kEtalonsNumber> rcCells{};
    uint16_t wCellWidth = 0;
    uint16_t wCellHeight = 0;
    uint16_t wCellInnerWidth = 0;
    uint16_t wCellInnerHeight = 0;

    Rect rcLengthSelector;
    Rect rcNoiseSelector;
    Rect rcLostSelector;
    std::array<Rect, 3> rcLengthItems{};
    std::array<Rect, 3> rcNoiseItems{};
    std::array<Rect, 3> rcLostItems{};

    int32_t bFewSelected = 0;
};

inline constexpr int32_t kButtonWidth = 144;
inline constexpr int32_t kButtonHeight = 32;

// Whether the select-all / deselect-all button belongs to the effective task.
bool taskShowsToggle(TaskCode effectiveTask);

// Columns of the etalon grid: k + 1, with k the least k >= 1 where k (k + 1) >= etalons.
int32_t gridRows(uint16_t etalons);

// Lays out buttons, graph area, cells and selector boxes for a client
// rectangle (right and bottom as the window reports them) and font.
void computeLayout(WindowLayout& layout, const Rect& client, const platform::TextMetrics& metrics,
                   TaskCode effectiveTask, uint16_t etalons);

}  // namespace etalon
