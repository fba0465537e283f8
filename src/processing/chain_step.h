#pragma once

#include <cstdint>

#include "processing/blocked_minima.h"
#include "processing/window_minima.h"

namespace etalon {

// How a position's chain value follows from the best predecessor value m
// (or none) and the fit f:
enum class StepRule {
    Extend,            // V = min(m, start) + f; the predecessor if m < start
    ExtendOrStart,     // m < 0: V = m + f; otherwise a chain starts: V = f, Pred = -1
    ExtendOrUnreached  // m < 0: V = m + f; otherwise V = unreached, Pred = -2
};

// Values and predecessors of positions x0..x1 (value, pred and fit point at
// x0's entries); their windows must be entered into `minima`.
void stepPositions(const BlockedMinima& minima, int32_t x0, int32_t x1, const int32_t* fit,
                   StepRule rule, int32_t start, int32_t unreached, int32_t* value, int32_t* pred);

// V = min(best predecessor value, start) + f for positions x0..x1 (value and
// fit point at x0's entries); their windows must be entered into `minima`.
void stepValues(const WindowMinima& minima, int32_t x0, int32_t x1, const int32_t* fit,
                int32_t start, int32_t* value);

}  // namespace etalon
