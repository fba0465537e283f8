#pragma once

#include <algorithm>
#include <cstdint>
#include <vector>

namespace etalon {

// Leftmost minimum of values[z] over z in [max(x - Tmax, 0), x - Tmin] for
// ascending x, while the values are still being written: a value may be read
// once x - Tmin has passed it. Positions are grouped in blocks of
// w = Tmax - Tmin + 1, so each window is a suffix of one block and a prefix of
// the next; running minima per block answer a window in O(1) without
// branching on the data (van Herk / Gil and Werman, filled as positions come in).
class BlockedMinima {
public:
    struct Minimum {
        int32_t value;
        int32_t at;  // -1 for an empty window
    };

    // Sizes the tables for n positions; throws std::bad_alloc.
    void reserve(std::size_t n) {
        for (auto* table : {&prefix_, &prefixAt_, &suffix_, &suffixAt_}) {
            if (table->size() < n) table->resize(n);
        }
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
        for (; x <= x1 && x <= tmax_; ++x) {
            value[x - x0] = prefix_[x - tmin_];
            at[x - x0] = prefixAt_[x - tmin_];
        }
        if (x > x1) return;
        const int32_t n = x1 - x + 1;
        const int32_t* sv = suffix_.data() + (x - tmax_);
        const int32_t* sa = suffixAt_.data() + (x - tmax_);
        const int32_t* pv = prefix_.data() + (x - tmin_);
        const int32_t* pa = prefixAt_.data() + (x - tmin_);
        int32_t* v = value + (x - x0);
        int32_t* a = at + (x - x0);
        for (int32_t i = 0; i < n; ++i) {
            const bool left = sv[i] <= pv[i];
            v[i] = left ? sv[i] : pv[i];
            a[i] = left ? sa[i] : pa[i];
        }
    }

private:
    // Running minima from the block start through `stop`, same block.
    void enterBlockPart(int32_t stop) {
        int32_t z = next_;
        int32_t best, bestAt;
        if (z == blockStart_) {
            best = values_[z];
            bestAt = z;
        } else {
            best = prefix_[z - 1];
            bestAt = prefixAt_[z - 1];
        }
        for (; z <= stop; ++z) {
            const int32_t v = values_[z];
            const bool take = v < best;
            best = take ? v : best;
            bestAt = take ? z : bestAt;
            prefix_[z] = best;
            prefixAt_[z] = bestAt;
        }
        next_ = stop + 1;
    }

    // Suffix minima of the finished block ending at z; ties keep the left one.
    void closeBlock(int32_t z) {
        suffix_[z] = values_[z];
        suffixAt_[z] = z;
        int32_t best = values_[z], bestAt = z;
        for (int32_t t = z - 1; t >= blockStart_; --t) {
            const bool take = values_[t] <= best;
            best = take ? values_[t] : best;
            bestAt = take ? t : bestAt;
            suffix_[t] = best;
            suffixAt_[t] = bestAt;
        }
    }

    const int32_t* values_ = nullptr;
    int32_t tmin_ = 0, tmax_ = 0, width_ = 0, next_ = 0, blockStart_ = 0;
    std::vector<int32_t> prefix_, prefixAt_, suffix_, suffixAt_;
};

}  // namespace etalon
