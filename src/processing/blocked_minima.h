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

    // Windows of x below emptyBelow() are empty; up to prefixOnlyThrough()
    // they are cut at the series start and lie in the first block.
    int32_t emptyBelow() const { return width_ <= 0 ? INT32_MAX : tmin_; }
    int32_t prefixOnlyThrough() const { return tmax_; }
    // Keys of the window of x: min(suffix(x), prefix(x)) once x is past
    // prefixOnlyThrough(); prefix(x) alone before.
    const int64_t* prefix(int32_t x) const { return prefix_.data() + (x - tmin_); }
    const int64_t* suffix(int32_t x) const { return suffix_.data() + (x - tmax_); }

    static int32_t valueOf(int64_t k) { return static_cast<int32_t>(k >> 32); }
    static int32_t positionOf(int64_t k) { return static_cast<int32_t>(k & 0xffffffff); }

  private:
    static int64_t key(int32_t value, int32_t z) {
        return static_cast<int64_t>(static_cast<uint64_t>(static_cast<int64_t>(value)) << 32 |
                                    static_cast<uint32_t>(z));
    }

    // Running minima from the block start through `stop`, same block. The
    // run is scanned as two halves side by side (two short dependency chains
    // instead of one long one); the second half then takes in the first's.
    void enterBlockPart(int32_t stop) {
        const int32_t z = next_;
        const int32_t n = stop - z + 1;
        const int32_t half = n / 2;
        int64_t first = z == blockStart_ ? INT64_MAX : prefix_[z - 1];
        int64_t second = INT64_MAX;
        for (int32_t i = 0; i < half; ++i) {
            const int32_t a = z + i, b = z + half + i;
            first = std::min(first, key(values_[a], a));
            second = std::min(second, key(values_[b], b));
            prefix_[a] = first;
            prefix_[b] = second;
        }
        for (int32_t b = z + 2 * half; b <= stop; ++b) {
            second = std::min(second, key(values_[b], b));
            prefix_[b] = second;
        }
        int64_t* later = prefix_.data() + z + half;
        for (int32_t i = 0; i < n - half; ++i)
            later[i] = std::min(later[i], first);
        next_ = stop + 1;
    }

    // Suffix minima of the finished block ending at z, as two halves too.
    void closeBlock(int32_t z) {
        const int32_t n = z - blockStart_ + 1;
        const int32_t half = n / 2;
        int64_t upper = INT64_MAX, lower = INT64_MAX;
        for (int32_t i = 0; i < half; ++i) {
            const int32_t a = z - i, b = z - half - i;
            upper = std::min(upper, key(values_[a], a));
            lower = std::min(lower, key(values_[b], b));
            suffix_[a] = upper;
            suffix_[b] = lower;
        }
        for (int32_t b = z - 2 * half; b >= blockStart_; --b) {
            lower = std::min(lower, key(values_[b], b));
            suffix_[b] = lower;
        }
        int64_t* earlier = suffix_.data() + blockStart_;
        for (int32_t i = 0; i < n - half; ++i)
            earlier[i] = std::min(earlier[i], upper);
    }

    const int32_t* values_ = nullptr;
    int32_t tmin_ = 0, tmax_ = 0, width_ = 0, next_ = 0, blockStart_ = 0;
    std::vector<int64_t> prefix_, suffix_;
};

}  // namespace etalon
