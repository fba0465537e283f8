#pragma once

#include <atomic>
#include <cstddef>
#include <memory>
#include <new>
#include <vector>

namespace etalon {

// Fault injection for the out-of-memory paths. Tests arm it at run time; the
// program never does, so a check costs one load and a branch never taken, and
// the checks sit where memory is had, never inside the restoring loops.
// The n-th allocation from now (1 = the next one) fails; 0 switches it off.
void failAllocationAfter(int n);
// Allocations still to go before the failure; 0 once it happened or when off.
int allocationsBeforeFailure();

namespace detail {
extern std::atomic<int> allocationCountdown;
bool takeAllocationFailure();
}  // namespace detail

inline bool allocationShouldFail() {
    if (detail::allocationCountdown.load(std::memory_order_relaxed) <= 0) [[likely]]
        return false;
    return detail::takeAllocationFailure();
}

// Replaces `buffer` by `count` zeroed elements. Returns false, leaving the
// buffer as it was, when the memory cannot be had.
template <class T>
[[nodiscard]] bool allocateBuffer(std::vector<T>& buffer, std::size_t count) {
    if (allocationShouldFail()) return false;
    try {
        std::vector<T> fresh(count);
        buffer.swap(fresh);
        return true;
    } catch (const std::bad_alloc&) {
        return false;
    } catch (const std::length_error&) {
        return false;
    }
}

// Makes a new object, or returns null when the memory cannot be had.
template <class T>
[[nodiscard]] std::unique_ptr<T> allocateRecord() {
    if (allocationShouldFail()) return nullptr;
    try {
        return std::make_unique<T>();
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}

}  // namespace etalon
