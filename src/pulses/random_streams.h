#pragma once

#include <cstdint>

namespace etalon {

// One step of the program's own generator: state = (state * 12869 + 6925) mod 32768.
// Returns the new state, 0..32767.
int16_t getUniformRandom(int16_t& state);

// The state `steps` uniform steps later, without taking them one by one.
int16_t skipUniformSteps(int16_t state, uint64_t steps);

// Sum of twelve uniform steps, centred and scaled by sigma (>> 15, rounding
// toward minus infinity), plus mean. Computed in 64 bits so that large sigma
// cannot overflow; results for sigma up to 10922 equal the 32-bit ones.
int32_t getGaussRandom(int16_t& state, int32_t mean, int32_t sigma);

// The random streams of the workbench. Each is advanced in place and never
// reseeded while the program runs, so one series continues where the last left off.
struct RandomStreams {
    int16_t wCutStartSeed = 7737;
    int16_t wCutEndSeed = 3373;
    int16_t wPositionSeed = 12345;
    int16_t wPulseCountSeed = 13579;
    int16_t wSubsetSeed = 11357;
    int16_t wSubsetRepeatSeed = 11357;
    int16_t wAlphabetNoiseSeed = 123;
    int16_t wNoiseSeed = 10597;

    bool operator==(const RandomStreams&) const = default;
};

}  // namespace etalon
