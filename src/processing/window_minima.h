#pragma once

#include <algorithm>
#include <cstdint>
#include <vector>

#include "processing/cpu_dispatch.h"

#include "processing/lanes.h"

namespace etalon {

// Running minima, the bodies below built plain and for AVX2 and called
// directly (for tests; the AVX2 ones give false where they cannot run):
// forward, out[i] = min(carry, in[0..i]); backward, out[i] = min(in[i..n-1]).
void runningMinForwardPlain(const int32_t* in, int32_t n, int32_t carry, int32_t* out);
void runningMinBackwardPlain(const int32_t* in, int32_t n, int32_t* out);
bool runningMinForwardAvx2(const int32_t* in, int32_t n, int32_t carry, int32_t* out);
bool runningMinBackwardAvx2(const int32_t* in, int32_t n, int32_t* out);

// Eight running minima at once in three shift-and-min steps. A shift repeats
// the edge lane instead of bringing in a neutral value: min is idempotent.
ETALON_LOOP_BODY lanes::Lanes scanMinForward(lanes::Lanes x) {
    x = lanes::min(x, __builtin_shufflevector(x, x, 0, 0, 1, 2, 3, 4, 5, 6));
    x = lanes::min(x, __builtin_shufflevector(x, x, 0, 0, 0, 1, 2, 3, 4, 5));
    return lanes::min(x, __builtin_shufflevector(x, x, 0, 0, 0, 0, 0, 1, 2, 3));
}
ETALON_LOOP_BODY lanes::Lanes scanMinBackward(lanes::Lanes x) {
    x = lanes::min(x, __builtin_shufflevector(x, x, 1, 2, 3, 4, 5, 6, 7, 7));
    x = lanes::min(x, __builtin_shufflevector(x, x, 2, 3, 4, 5, 6, 7, 7, 7));
    return lanes::min(x, __builtin_shufflevector(x, x, 4, 5, 6, 7, 7, 7, 7, 7));
}

// Minima of four values ending (forward) or starting (backward) at each of
// the eight positions from i on: unaligned loads instead of shuffles.
ETALON_LOOP_BODY lanes::Lanes minOfFourEnding(const int32_t* in, int32_t i) {
    using namespace lanes;
    return lanes::min(lanes::min(load(in + i), load(in + i - 1)),
                      lanes::min(load(in + i - 2), load(in + i - 3)));
}
ETALON_LOOP_BODY lanes::Lanes minOfFourStarting(const int32_t* in, int32_t i) {
    using namespace lanes;
    return lanes::min(lanes::min(load(in + i), load(in + i + 1)),
                      lanes::min(load(in + i + 2), load(in + i + 3)));
}

// Whole vectors only. The first vector is a scan with the carry; each one
// after it is the vector before it (eight positions back, carry included)
// with the minima of the last eight values, which need one shuffle and no
// dependence on the vector before. The values left over are done again by
// one last vector that overlaps those before it and takes its carry from the
// output just before it (recomputed outputs come out the same). Only n < 8
// goes value by value. `in` and `out` must not overlap.
ETALON_LOOP_BODY void runningMinForwardBody(const int32_t* in, int32_t n, int32_t carry,
                                            int32_t* out) {
    using namespace lanes;
    if (n < kLanes) {
        for (int32_t i = 0; i < n; ++i)
            out[i] = carry = std::min(carry, in[i]);
        return;
    }
    Lanes before = lanes::min(scanMinForward(load(in)), splat(carry));
    store(out, before);
    int32_t i = kLanes;
    if (i + kLanes <= n) {
        // Lanes 4-7: minima of the four values ending at positions 4-7.
        const Lanes first = minOfFourEnding(in, 4);
        Lanes four = __builtin_shufflevector(first, first, 0, 1, 2, 3, 0, 1, 2, 3);
#pragma GCC unroll 2
        for (; i + kLanes <= n; i += kLanes) {
            const Lanes now = minOfFourEnding(in, i);
            const Lanes earlier = __builtin_shufflevector(four, now, 4, 5, 6, 7, 8, 9, 10, 11);
            before = lanes::min(before, lanes::min(now, earlier));
            store(out + i, before);
            four = now;
        }
    }
    if (i == n) return;
    i = n - kLanes;
    store(out + i, lanes::min(scanMinForward(load(in + i)), splat(out[i - 1])));
}

ETALON_LOOP_BODY void runningMinBackwardBody(const int32_t* in, int32_t n, int32_t* out) {
    using namespace lanes;
    if (n < kLanes) {
        int32_t carry = INT32_MAX;
        for (int32_t i = n - 1; i >= 0; --i)
            out[i] = carry = std::min(carry, in[i]);
        return;
    }
    int32_t end = n - kLanes;
    Lanes after = scanMinBackward(load(in + end));
    store(out + end, after);
    if (end >= kLanes) {
        // Lanes 0-3: minima of the four values starting at n - 8 .. n - 5.
        const Lanes last = minOfFourStarting(in, n - 12);
        Lanes four = __builtin_shufflevector(last, last, 4, 5, 6, 7, 4, 5, 6, 7);
#pragma GCC unroll 2
        for (; end >= kLanes; end -= kLanes) {
            const int32_t i = end - kLanes;
            const Lanes now = minOfFourStarting(in, i);
            const Lanes later = __builtin_shufflevector(now, four, 4, 5, 6, 7, 8, 9, 10, 11);
            after = lanes::min(after, lanes::min(now, later));
            store(out + i, after);
            four = now;
        }
    }
    if (end == 0) return;
    store(out, lanes::min(scanMinBackward(load(in)), splat(out[kLanes])));
}

// Minimum of values[z] over z in [max(x - Tmax, 0), x - Tmin] for ascending x,
// while the values are still being written: a value may be read once x - Tmin
// has passed it. Positions are grouped in blocks of w = Tmax - Tmin + 1, so
// each window is a suffix of one block and a prefix of the next; running
// minima per block answer a window in O(1) (van Herk / Gil and Werman, filled
// as positions come in). Only the value: where it was is found again, for the
// few positions of the chain, by the search itself.
class WindowMinima {
  public:
    // Sizes the tables for n positions; throws std::bad_alloc.
    void reserve(std::size_t n) {
        if (prefix_.size() < n) prefix_.resize(n);
        if (suffix_.size() < n) suffix_.resize(n);
    }

    void start(const int32_t* values, int32_t tmin, int32_t tmax) {
        values_ = values;
        tmin_ = tmin;
        tmax_ = tmax;
        width_ = tmax - tmin + 1;
        next_ = 0;
        blockStart_ = 0;
    }

    // Enters every position up to `last`; their values must be final. Only
    // inside a loop body of one of the twins.
    ETALON_LOOP_BODY void enterUpTo(int32_t last) {
        // With Tmin above Tmax every window is empty: nothing to keep.
        if (width_ <= 0) return;
        while (next_ <= last) {
            if (next_ == blockStart_ + width_) blockStart_ = next_;
            const int32_t blockEnd = blockStart_ + width_ - 1;
            const int32_t stop = std::min(last, blockEnd);
            // Running minima from the block start through the stop, suffix
            // minima of a block once it is finished.
            const int32_t z = next_;
            const int32_t carry = z == blockStart_ ? INT32_MAX : prefix_[z - 1];
            runningMinForwardBody(values_ + z, stop - z + 1, carry, prefix_.data() + z);
            next_ = stop + 1;
            if (stop != blockEnd) continue;
            runningMinBackwardBody(values_ + blockStart_, stop - blockStart_ + 1,
                                   suffix_.data() + blockStart_);
        }
    }

    int32_t tmin() const { return tmin_; }
    // Windows of x below emptyBelow() are empty; up to prefixOnlyThrough()
    // they are cut at the series start and lie in the first block.
    int32_t emptyBelow() const { return width_ <= 0 ? INT32_MAX : tmin_; }
    int32_t prefixOnlyThrough() const { return tmax_; }
    // min(suffix(x), prefix(x)) once x is past prefixOnlyThrough(); prefix(x)
    // alone before.
    const int32_t* prefix(int32_t x) const { return prefix_.data() + (x - tmin_); }
    const int32_t* suffix(int32_t x) const { return suffix_.data() + (x - tmax_); }

  private:
    const int32_t* values_ = nullptr;
    int32_t tmin_ = 0, tmax_ = 0, width_ = 0, next_ = 0, blockStart_ = 0;
    std::vector<int32_t> prefix_, suffix_;
};

}  // namespace etalon
