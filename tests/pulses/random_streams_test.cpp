#include "pulses/random_streams.h"

#include <gtest/gtest.h>

#include <cmath>

namespace etalon {
namespace {

TEST(RandomStreams, UniformStepFollowsTheCongruence) {
    int16_t state = 123;
    EXPECT_EQ(getUniformRandom(state), 16948);
    EXPECT_EQ(state, 16948);
    // Every state of the full period stays in 0..32767 and the period is 32768.
    int16_t walker = 0;
    for (int i = 1; i <= 32768; ++i) {
        const int16_t value = getUniformRandom(walker);
        ASSERT_GE(value, 0);
        if (value == 0) {
            EXPECT_EQ(i, 32768);
            break;
        }
    }
}

TEST(RandomStreams, GaussTakesTwelveStepsAndScales) {
    int16_t state = 321;
    int16_t reference = 321;
    int64_t sum = 0;
    for (int i = 0; i < 12; ++i)
        sum += getUniformRandom(reference);
    EXPECT_EQ(getGaussRandom(state, 7, 0), 7);  // sigma 0: the mean exactly
    EXPECT_EQ(state, reference);                // and still twelve steps

    state = 321;
    const int32_t expected = static_cast<int32_t>(((sum - 196608) * 20) >> 15) + 5;
    EXPECT_EQ(getGaussRandom(state, 5, 20), expected);

    // From every state a stream can hold, negative ones included.
    for (int32_t start = INT16_MIN; start <= INT16_MAX; ++start) {
        state = reference = static_cast<int16_t>(start);
        sum = 0;
        for (int i = 0; i < 12; ++i)
            sum += getUniformRandom(reference);
        ASSERT_EQ(getGaussRandom(state, 0, 1 << 15), sum - 196608) << start;
        ASSERT_EQ(state, reference) << start;
    }
}

TEST(RandomStreams, GaussDoesNotOverflowForLargeSigma) {
    // The centred sum is at most 196596 in magnitude; 32-bit arithmetic would
    // overflow above sigma 10922. The widened result keeps its sign and scale.
    int16_t state = 1;
    for (int i = 0; i < 200; ++i) {
        int16_t copy = state;
        int64_t sum = 0;
        for (int s = 0; s < 12; ++s)
            sum += getUniformRandom(copy);
        const int64_t expected = ((sum - 196608) * 30000) >> 15;
        EXPECT_EQ(getGaussRandom(state, 0, 30000), expected);
    }
}

TEST(RandomStreams, GaussIsRoughlyNormal) {
    int16_t state = 10597;
    double sum = 0;
    double squares = 0;
    const int n = 20000;
    for (int i = 0; i < n; ++i) {
        const double v = getGaussRandom(state, 0, 100);
        sum += v;
        squares += v * v;
    }
    const double mean = sum / n;
    const double sd = std::sqrt(squares / n - mean * mean);
    EXPECT_NEAR(mean, 0.0, 3.0);
    EXPECT_NEAR(sd, 100.0, 5.0);
}

}  // namespace
TEST(RandomStreams, SkippingAheadLandsWhereSteppingDoes) {
    for (int16_t start : {int16_t{0}, int16_t{123}, int16_t{10597}, int16_t{32767}}) {
        int16_t stepped = start;
        uint64_t taken = 0;
        for (uint64_t steps : {0ull, 1ull, 12ull, 14400ull, 40000ull}) {
            for (; taken < steps; ++taken)
                getUniformRandom(stepped);
            EXPECT_EQ(skipUniformSteps(start, steps), stepped) << start << " " << steps;
        }
    }
}

}  // namespace etalon
