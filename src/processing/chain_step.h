#pragma once

#include <cstdint>
#include <span>

#include "processing/intervals_header.h"
#include "processing/window_minima.h"

namespace etalon {

// How a position's chain value follows from the best predecessor value m
// (or none) and the fit f:
enum class StepRule {
    Extend,            // V = min(m, start) + f
    ExtendOrStart,     // m < 0: V = m + f; otherwise a chain starts here: V = f
    ExtendOrUnreached  // m < 0: V = m + f; otherwise V = unreached
};

// One layer of a pass: the window minima over the values it extends (started
// before the pass), its fits (fit[x - fitFirst]) and values (value[x]).
struct StepLayer {
    WindowMinima* minima;
    const int32_t* fit;
    int32_t fitFirst;
    int32_t* value;
    StepRule rule;
};

// Values of every layer at the positions of `ranges`, ascending. Positions
// less than Tmin apart do not see each other, so runs of `chunk` (at most
// Tmin) positions are done at once, layer by layer, each from the windows
// entered up to the run's last position - Tmin.
void stepPass(std::span<const PositionClasses::Range> ranges, std::span<const StepLayer> layers,
              int32_t chunk, int32_t start, int32_t unreached);

// Whether the later-only pass may go on with the windows the first-or-later
// pass entered: none of the positions entered then is a later-only one, so
// none of their values changes in between.
inline bool windowsCarryOver(const PositionClasses& classes, int32_t tmin) {
    if (classes.firstOrLater.empty() || classes.laterOnly.empty()) return true;
    return classes.laterOnly.front().lo > classes.firstOrLater.back().hi - tmin;
}

// The best predecessor value a step took (capped as its rule caps it): its
// value less its fit, the inverse of the wrapping sum.
inline int32_t valueBefore(int32_t value, int32_t fit) {
    return static_cast<int32_t>(static_cast<uint32_t>(value) - static_cast<uint32_t>(fit));
}

// Position of the first of n values equal to target, -1 if none.
int32_t firstEqual(const int32_t* values, int32_t n, int32_t target);

// Position of the leftmost smallest of n values if it is below start, else -1.
int32_t leftmostBelow(const int32_t* values, int32_t n, int32_t start);

}  // namespace etalon
