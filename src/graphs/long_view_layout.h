// Where the results view of a long recording puts its parts, as pure
// functions of the graph rectangle and the line height, so that painting and
// the pointer agree on them.
#pragma once

#include <cstdint>

#include "platform/geometry.h"

namespace etalon {

struct LongViewLayout {
    int32_t textLeft = 0;
    int32_t textTop = 0;         // the two lines that say what is in view
    platform::Rect overview;     // the whole recording; right and bottom inclusive
    platform::Rect seriesPanel;  // the samples in view
    platform::Rect pulsePanel;   // the restored pulses in view
    platform::Rect scrollBar;    // the span in view along the whole recording
};

LongViewLayout longViewLayout(const platform::Rect& graph, int32_t lineHeight);

// A strip of `width` pixel columns over `total` samples: the first sample of
// column x (0-based), and the column of a sample.
uint64_t columnSample(int32_t column, int32_t width, uint64_t total);
int32_t sampleColumn(uint64_t sample, int32_t width, uint64_t total);

// The part of `strip` (inclusive) that marks samples [first, first + count) of `total`,
// at least three pixels wide so that it can be seen and grabbed.
platform::Rect spanMark(const platform::Rect& strip, uint64_t first, uint64_t count,
                        uint64_t total);

}  // namespace etalon
