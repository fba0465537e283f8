#include "pulses/random_streams.h"

namespace etalon {

int16_t getUniformRandom(int16_t& state) {
    const int32_t next = (static_cast<int32_t>(state) * 12869 + 6925) & 0x7FFF;
    state = static_cast<int16_t>(next);
    return state;
}

int16_t skipUniformSteps(int16_t state, uint64_t steps) {
    // k steps of s -> a s + c (mod 2^15) are one map s -> A s + C; square and multiply.
    uint32_t a = 12869, c = 6925, bigA = 1, bigC = 0;
    for (; steps > 0; steps >>= 1) {
        if (steps & 1) {
            bigC = (a * bigC + c) & 0x7FFF;
            bigA = (a * bigA) & 0x7FFF;
        }
        c = (a * c + c) & 0x7FFF;
        a = (a * a) & 0x7FFF;
    }
    return static_cast<int16_t>((bigA * static_cast<uint32_t>(state & 0x7FFF) + bigC) & 0x7FFF);
}

int32_t getGaussRandom(int16_t& state, int32_t mean, int32_t sigma) {
    int64_t sum = 0;
    for (int step = 0; step < 12; ++step)
        sum += getUniformRandom(state);
    const int64_t scaled = (sum - 196608) * static_cast<int64_t>(sigma);
    // Arithmetic shift: division by 32768 rounded toward minus infinity.
    return static_cast<int32_t>((scaled >> 15) + mean);
}

}  // namespace etalon
