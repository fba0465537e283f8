#pragma once

#include <algorithm>
#include <cstdint>
#include <vector>

namespace etalon {

// Leftmost minimum of values[z] over z in [max(x - Tmax, 0), x - Tmin] for
// ascending x, while the values are still being written: a value may be read
// once x - Tmin has passed it. Positions are grouped in blocks of
// w = Tmax - Tmin + 1, so each window is a suffix of one block and a prefix of
// the next; running minima per block answer a window in O(1) (van Herk / Gil
// and Werman, filled as positions come in). A value and its position travel as
// one 64-bit key, value high, so the smaller key is the leftmost minimum.
class BlockedMinima {
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

    // The minimum of the window of every x in [x0, x1] into value and at
    // (at = -1 for an empty window); positions up to x1 - Tmin must be entered.
    void queryRange(int32_t x0, int32_t x1, int32_t* value, int32_t* at) const {
        int32_t x = x0;
        for (; x <= x1 && (width_ <= 0 || x < tmin_); ++x) {
            value[x - x0] = 0;
            at[x - x0] = -1;
        }
        // Windows cut at the series start lie in the first block.
        for (; x <= x1 && x <= tmax_; ++x) split(prefix_[x - tmin_], value[x - x0], at[x - x0]);
        if (x > x1) return;
        const int32_t n = x1 - x + 1;
        const int64_t* s = suffix_.data() + (x - tmax_);
        const int64_t* p = prefix_.data() + (x - tmin_);
        int32_t* v = value + (x - x0);
        int32_t* a = at + (x - x0);
        for (int32_t i = 0; i < n; ++i) split(std::min(s[i], p[i]), v[i], a[i]);
    }

private:
    static int64_t key(int32_t value, int32_t z) {
        return static_cast<int64_t>(static_cast<uint64_t>(static_cast<int64_t>(value)) << 32 |
                                    static_cast<uint32_t>(z));
    }
    static void split(int64_t k, int32_t& value, int32_t& at) {
        value = static_cast<int32_t>(k >> 32);
        at = static_cast<int32_t>(k & 0xffffffff);
    }

    // Running minima from the block start through `stop`, same block.
    void enterBlockPart(int32_t stop) {
        int32_t z = next_;
        int64_t best = z == blockStart_ ? key(values_[z], z) : prefix_[z - 1];
        for (; z <= stop; ++z) {
            best = std::min(best, key(values_[z], z));
            prefix_[z] = best;
        }
        next_ = stop + 1;
    }

    // Suffix minima of the finished block ending at z.
    void closeBlock(int32_t z) {
        int64_t best = key(values_[z], z);
        suffix_[z] = best;
        for (int32_t t = z - 1; t >= blockStart_; --t) {
            best = std::min(best, key(values_[t], t));
            suffix_[t] = best;
        }
    }

    const int32_t* values_ = nullptr;
    int32_t tmin_ = 0, tmax_ = 0, width_ = 0, next_ = 0, blockStart_ = 0;
    std::vector<int64_t> prefix_, suffix_;
};

}  // namespace etalon
