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

    Minimum query(int32_t x) {
        const int32_t last = x - tmin_;
        if (width_ <= 0 || last < 0) return {0, -1};
        while (next_ <= last) enter();
        const int32_t first = x - tmax_;
        if (first <= 0) return {prefix_[last], prefixAt_[last]};
        if (suffix_[first] <= prefix_[last]) return {suffix_[first], suffixAt_[first]};
        return {prefix_[last], prefixAt_[last]};
    }

private:
    void enter() {
        const int32_t z = next_++;
        if (z == blockStart_ + width_) blockStart_ = z;
        const int32_t v = values_[z];
        if (z == blockStart_ || v < prefix_[z - 1]) {
            prefix_[z] = v;
            prefixAt_[z] = z;
        } else {
            prefix_[z] = prefix_[z - 1];
            prefixAt_[z] = prefixAt_[z - 1];
        }
        if (z == blockStart_ + width_ - 1) closeBlock(z);
    }

    // Suffix minima of the finished block ending at z; ties keep the left one.
    void closeBlock(int32_t z) {
        suffix_[z] = values_[z];
        suffixAt_[z] = z;
        for (int32_t t = z - 1; t >= blockStart_; --t) {
            const bool take = values_[t] <= suffix_[t + 1];
            suffix_[t] = take ? values_[t] : suffix_[t + 1];
            suffixAt_[t] = take ? t : suffixAt_[t + 1];
        }
    }

    const int32_t* values_ = nullptr;
    int32_t tmin_ = 0, tmax_ = 0, width_ = 0, next_ = 0, blockStart_ = 0;
    std::vector<int32_t> prefix_, prefixAt_, suffix_, suffixAt_;
};

}  // namespace etalon
