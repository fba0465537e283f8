#include "base/allocation.h"

namespace etalon {

namespace detail {

std::atomic<int> allocationCountdown{0};

// Only reached while a test has armed the countdown.
bool takeAllocationFailure() {
    int current = allocationCountdown.load();
    while (current > 0) {
        if (allocationCountdown.compare_exchange_weak(current, current - 1)) return current == 1;
    }
    return false;
}

}  // namespace detail

void failAllocationAfter(int n) {
    detail::allocationCountdown.store(n);
}

int allocationsBeforeFailure() {
    return detail::allocationCountdown.load();
}

}  // namespace etalon
