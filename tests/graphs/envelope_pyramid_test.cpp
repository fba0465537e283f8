// The envelope against a plain scan of the samples, and its size.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>

#include "graphs/envelope_pyramid.h"

namespace etalon {
namespace {

TEST(EnvelopePyramid, EveryRangeEqualsAScanOfItsSamples) {
    std::mt19937 random(7);
    // Lengths around block and level edges, and one that is not a multiple of a block.
    for (std::size_t n : {1u, 31u, 32u, 33u, 64u, 1000u, 100003u}) {
        SCOPED_TRACE(n);
        std::vector<int16_t> samples(n);
        std::uniform_int_distribution<int> value(-32767, 32767);
        for (int16_t& v : samples)
            v = static_cast<int16_t>(value(random));
        const EnvelopePyramid envelope(samples);
        EXPECT_LE(envelope.bytes(), n * sizeof(int16_t) / 4);
        std::uniform_int_distribution<std::size_t> at(0, n - 1);
        for (int k = 0; k < 400; ++k) {
            std::size_t a = at(random), b = at(random);
            if (k % 4 == 0) b = std::min(n - 1, a + k % 70);  // short spans too
            if (a > b) std::swap(a, b);
            const auto [low, high] =
                std::minmax_element(samples.begin() + a, samples.begin() + b + 1);
            ASSERT_EQ(envelope.range(a, b + 1), (SampleRange{*low, *high})) << a << ".." << b;
        }
        const auto [low, high] = std::minmax_element(samples.begin(), samples.end());
        EXPECT_EQ(envelope.range(0, n), (SampleRange{*low, *high}));
    }
}

}  // namespace
}  // namespace etalon
