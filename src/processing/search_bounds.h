#pragma once

#include <cstdint>

namespace etalon {

// What every restoring procedure searches within: the spacing of neighbouring
// pulses and the saved-energy level of the windows. Named fields, so that a
// call cannot swap Tmin and Tmax unnoticed; call sites spell them out with
// designated initializers. No defaults: -Wextra flags a field left out.
struct SearchBounds {
    uint16_t tmin;
    uint16_t tmax;
    uint16_t processingLevel;
};

// The tuples procedures also read which member a chain may start from
// (1: the first one; otherwise the best one).
struct TuplesSearch {
    uint16_t proceeding;
    SearchBounds bounds;
};

}  // namespace etalon
