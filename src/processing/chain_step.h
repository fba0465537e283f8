#pragma once

#include <cstdint>

#include "processing/window_minima.h"

namespace etalon {

// How a position's chain value follows from the best predecessor value m
// (or none) and the fit f:
enum class StepRule {
    Extend,            // V = min(m, start) + f
    ExtendOrStart,     // m < 0: V = m + f; otherwise a chain starts here: V = f
    ExtendOrUnreached  // m < 0: V = m + f; otherwise V = unreached
};

// Values of positions x0..x1 by `rule` from their window minima (value and
// fit point at x0's entries); their windows must be entered into `minima`.
void stepValues(const WindowMinima& minima, int32_t x0, int32_t x1, const int32_t* fit,
                StepRule rule, int32_t start, int32_t unreached, int32_t* value);

// Position of the leftmost smallest of n values if it is below start, else -1.
int32_t leftmostBelow(const int32_t* values, int32_t n, int32_t start);

}  // namespace etalon
