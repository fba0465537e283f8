#pragma once

#include <cstddef>

// Linked into a program, replaces its global operator new and delete so that
// the bytes in use, and their peak, are known (memory tests and benches).
namespace etalon::test {

std::size_t heapInUse();
// The peak since the last reset, counted from what was in use then.
std::size_t heapPeakSinceReset();
void resetHeapPeak();

}  // namespace etalon::test
