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

namespace {

// The stream has only 2^15 states, so twelve steps from every one of them
// fit in a table: the sum of the twelve values and the state they end in.
// One look-up then replaces a chain of twelve dependent steps (the noise of a
// simulation draws millions). Static storage: the first use cannot fail.
struct TwelveSteps {
    int32_t sum[0x8000];
    int16_t end[0x8000];

    TwelveSteps() {
        for (int32_t start = 0; start < 0x8000; ++start) {
            auto state = static_cast<int16_t>(start);
            int32_t total = 0;
            for (int step = 0; step < 12; ++step)
                total += getUniformRandom(state);
            sum[start] = total;
            end[start] = state;
        }
    }
};

const TwelveSteps& twelveSteps() {
    static const TwelveSteps table;
    return table;
}

}  // namespace

int32_t getGaussRandom(int16_t& state, int32_t mean, int32_t sigma) {
    const TwelveSteps& steps = twelveSteps();
    const int32_t from = state & 0x7FFF;
    const int64_t sum = steps.sum[from];
    state = steps.end[from];
    const int64_t scaled = (sum - 196608) * static_cast<int64_t>(sigma);
    // Arithmetic shift: division by 32768 rounded toward minus infinity.
    return static_cast<int32_t>((scaled >> 15) + mean);
}

}  // namespace etalon
