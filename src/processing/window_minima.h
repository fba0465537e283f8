#pragma once

#include <algorithm>
#include <cstdint>
#include <vector>

namespace etalon {

// Minimum of values[z] over z in [max(x - Tmax, 0), x - Tmin] for ascending x,
// while the values are still being written: a value may be read once x - Tmin
// has passed it. Positions are grouped in blocks of w = Tmax - Tmin + 1, so
// each window is a suffix of one block and a prefix of the next; running
// minima per block answer a window in O(1) (van Herk / Gil and Werman, filled
// as positions come in). Only the value: where it was is found again, for the
// few positions of the chain, by the search itself.
// out[i] = min(carry, in[0..i]) for i < n.
void runningMinForward(const int32_t* in, int32_t n, int32_t carry, int32_t* out);
// out[i] = min(in[i..n-1]) for i < n.
void runningMinBackward(const int32_t* in, int32_t n, int32_t* out);

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

    // Enters every position up to `last`; their values must be final.
    void enterUpTo(int32_t last) {
        // With Tmin above Tmax every window is empty: nothing to keep.
        if (width_ <= 0) return;
        while (next_ <= last) {
            if (next_ == blockStart_ + width_) blockStart_ = next_;
            const int32_t blockEnd = blockStart_ + width_ - 1;
            const int32_t stop = std::min(last, blockEnd);
            enterBlockPart(stop);
            if (stop == blockEnd) closeBlock(stop);
        }
    }

    // Windows of x below emptyBelow() are empty; up to prefixOnlyThrough()
    // they are cut at the series start and lie in the first block.
    int32_t emptyBelow() const { return width_ <= 0 ? INT32_MAX : tmin_; }
    int32_t prefixOnlyThrough() const { return tmax_; }
    // min(suffix(x), prefix(x)) once x is past prefixOnlyThrough(); prefix(x)
    // alone before.
    const int32_t* prefix(int32_t x) const { return prefix_.data() + (x - tmin_); }
    const int32_t* suffix(int32_t x) const { return suffix_.data() + (x - tmax_); }

  private:
    // Running minima from the block start through `stop`, same block.
    void enterBlockPart(int32_t stop) {
        const int32_t z = next_;
        const int32_t carry = z == blockStart_ ? INT32_MAX : prefix_[z - 1];
        runningMinForward(values_ + z, stop - z + 1, carry, prefix_.data() + z);
        next_ = stop + 1;
    }

    // Suffix minima of the finished block ending at z.
    void closeBlock(int32_t z) {
        runningMinBackward(values_ + blockStart_, z - blockStart_ + 1,
                           suffix_.data() + blockStart_);
    }

    const int32_t* values_ = nullptr;
    int32_t tmin_ = 0, tmax_ = 0, width_ = 0, next_ = 0, blockStart_ = 0;
    std::vector<int32_t> prefix_, suffix_;
};

}  // namespace etalon
