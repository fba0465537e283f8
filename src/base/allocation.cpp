#include "base/allocation.h"

#ifdef ETALON_FAULT_INJECTION
#include <atomic>

namespace etalon {

namespace {
std::atomic<int> countdown{0};
}

void failAllocationAfter(int n) {
    countdown.store(n);
}

int allocationsBeforeFailure() {
    return countdown.load();
}

bool allocationShouldFail() {
    int current = countdown.load();
    while (current > 0) {
        if (countdown.compare_exchange_weak(current, current - 1)) return current == 1;
    }
    return false;
}

}  // namespace etalon
#endif
