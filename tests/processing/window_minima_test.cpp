#include "processing/window_minima.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <random>
#include <vector>

namespace etalon::test {
namespace {

using Forward = void (*)(const int32_t*, int32_t, int32_t, int32_t*);
using Backward = void (*)(const int32_t*, int32_t, int32_t*);

// Every length from below one vector to a few vectors and a tail, extremes
// included, against one value at a time; nothing is written past n.
void expectRunningMinima(Forward runForward, Backward runBackward) {
    std::mt19937 random(7);
    std::uniform_int_distribution<int32_t> any(-1000, 1000);
    constexpr int32_t kGuard = 12345;
    for (int32_t n = 1; n <= 41; ++n) {
        for (int trial = 0; trial < 20; ++trial) {
            std::vector<int32_t> in(n);
            for (int32_t& v : in)
                v = trial == 0 ? INT32_MAX : any(random);
            if (trial == 1) in[n - 1] = INT32_MIN;
            const int32_t carry = trial % 3 == 0 ? INT32_MAX : any(random);
            std::vector<int32_t> forward(n), backward(n);
            int32_t c = carry;
            for (int32_t i = 0; i < n; ++i)
                forward[i] = c = std::min(c, in[i]);
            c = INT32_MAX;
            for (int32_t i = n - 1; i >= 0; --i)
                backward[i] = c = std::min(c, in[i]);

            std::vector<int32_t> out(n + 1, kGuard);
            runForward(in.data(), n, carry, out.data());
            EXPECT_EQ(std::vector<int32_t>(out.begin(), out.end() - 1), forward)
                << "forward n " << n;
            EXPECT_EQ(out.back(), kGuard);
            std::fill(out.begin(), out.end(), kGuard);
            runBackward(in.data(), n, out.data());
            EXPECT_EQ(std::vector<int32_t>(out.begin(), out.end() - 1), backward)
                << "backward n " << n;
            EXPECT_EQ(out.back(), kGuard);
        }
    }
}

TEST(WindowMinima, PlainRunningMinimaMatchOneValueAtATime) {
    expectRunningMinima(runningMinForwardPlain, runningMinBackwardPlain);
}

TEST(WindowMinima, Avx2RunningMinimaMatchOneValueAtATime) {
    int32_t probe = 0;
    if (!runningMinForwardAvx2(&probe, 1, 0, &probe)) GTEST_SKIP() << "this processor has no AVX2";
    expectRunningMinima(
        [](const int32_t* in, int32_t n, int32_t carry, int32_t* out) {
            runningMinForwardAvx2(in, n, carry, out);
        },
        [](const int32_t* in, int32_t n, int32_t* out) { runningMinBackwardAvx2(in, n, out); });
}

}  // namespace
}  // namespace etalon::test
