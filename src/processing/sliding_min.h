#pragma once

#include <cstdint>
#include <vector>

namespace etalon {

// Minimum of values[z] over a window of positions that only moves forward:
// a monotone deque of positions whose values increase strictly from the
// front, so the front is the leftmost minimum. Each position enters once per
// pass, so the storage is a plain array sized for the pass.
class SlidingMin {
public:
    // Starts a pass over positions below `positions`; grows the storage only
    // when a pass is longer than every earlier one.
    void reset(std::size_t positions) {
        if (slots_.size() < positions) slots_.resize(positions);
        head_ = tail_ = 0;
    }

    // Enters position z; values[z] must not change while z is in the window.
    void push(const int32_t* values, int32_t z) {
        const int32_t v = values[z];
        int32_t* slots = slots_.data();
        while (tail_ > head_ && values[slots[tail_ - 1]] > v) --tail_;
        slots[tail_++] = z;
    }
    // Leaves every position below lo.
    void dropBelow(int32_t lo) {
        const int32_t* slots = slots_.data();
        while (head_ < tail_ && slots[head_] < lo) ++head_;
    }
    bool empty() const { return head_ == tail_; }
    int32_t front() const { return slots_[head_]; }

private:
    std::vector<int32_t> slots_;
    std::size_t head_ = 0, tail_ = 0;
};

}  // namespace etalon
