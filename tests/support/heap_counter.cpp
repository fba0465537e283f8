#include "support/heap_counter.h"

#include <atomic>
#include <cstdlib>
#include <new>

namespace {

// Every block carries its size in front (16 bytes keep the alignment).
constexpr std::size_t kHeader = 16;
std::atomic<long long> inUse{0}, peak{0}, base{0};

void* allocate(std::size_t size) {
    auto* block = static_cast<unsigned char*>(std::malloc(size + kHeader));
    if (!block) throw std::bad_alloc();
    *reinterpret_cast<std::size_t*>(block) = size;
    const long long now = inUse += static_cast<long long>(size);
    long long seen = peak.load();
    while (now > seen && !peak.compare_exchange_weak(seen, now)) {
    }
    return block + kHeader;
}

void release(void* p) {
    if (!p) return;
    auto* block = static_cast<unsigned char*>(p) - kHeader;
    inUse -= static_cast<long long>(*reinterpret_cast<std::size_t*>(block));
    std::free(block);
}

}  // namespace

void* operator new(std::size_t size) {
    return allocate(size);
}
void* operator new[](std::size_t size) {
    return allocate(size);
}
void operator delete(void* p) noexcept {
    release(p);
}
void operator delete[](void* p) noexcept {
    release(p);
}
void operator delete(void* p, std::size_t) noexcept {
    release(p);
}
void operator delete[](void* p, std::size_t) noexcept {
    release(p);
}

namespace etalon::test {

std::size_t heapInUse() {
    return static_cast<std::size_t>(inUse.load());
}

std::size_t heapPeakSinceReset() {
    return static_cast<std::size_t>(peak.load() - base.load());
}

void resetHeapPeak() {
    base = inUse.load();
    peak = base.load();
}

}  // namespace etalon::test
