#include "pulses/random_streams.h"

namespace etalon {

int16_t getUniformRandom(int16_t& state) {
    const int32_t next = (static_cast<int32_t>(state) * 12869 + 6925) & 0x7FFF;
    state = static_cast<int16_t>(next);
    return state;
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
