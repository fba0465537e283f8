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
    // Running minima from the block start through `stop`, same block; two
    // halves side by side (two short dependency chains instead of one).
    void enterBlockPart(int32_t stop) {
        const int32_t z = next_;
        const int32_t n = stop - z + 1;
        const int32_t half = n / 2;
        int32_t first = z == blockStart_ ? INT32_MAX : prefix_[z - 1];
        int32_t second = INT32_MAX;
        const int32_t* v = values_;
        int32_t* p = prefix_.data();
        for (int32_t i = 0; i < half; ++i) {
            first = std::min(first, v[z + i]);
            second = std::min(second, v[z + half + i]);
            p[z + i] = first;
            p[z + half + i] = second;
        }
        for (int32_t b = z + 2 * half; b <= stop; ++b) p[b] = second = std::min(second, v[b]);
        for (int32_t b = z + half; b <= stop; ++b) p[b] = std::min(p[b], first);
        next_ = stop + 1;
    }

    // Suffix minima of the finished block ending at z, as two halves too.
    void closeBlock(int32_t z) {
        const int32_t n = z - blockStart_ + 1;
        const int32_t half = n / 2;
        int32_t upper = INT32_MAX, lower = INT32_MAX;
        const int32_t* v = values_;
        int32_t* s = suffix_.data();
        for (int32_t i = 0; i < half; ++i) {
            upper = std::min(upper, v[z - i]);
            lower = std::min(lower, v[z - half - i]);
            s[z - i] = upper;
            s[z - half - i] = lower;
        }
        for (int32_t b = z - 2 * half; b >= blockStart_; --b) s[b] = lower = std::min(lower, v[b]);
        for (int32_t b = blockStart_; b <= z - half; ++b) s[b] = std::min(s[b], upper);
    }

    const int32_t* values_ = nullptr;
    int32_t tmin_ = 0, tmax_ = 0, width_ = 0, next_ = 0, blockStart_ = 0;
    std::vector<int32_t> prefix_, suffix_;
};

}  // namespace etalon
