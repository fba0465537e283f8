#pragma once

#include <array>

// Work handed between threads by a library that ThreadSanitizer cannot see
// into (Debian's oneTBB is not built for it): what a thread did before
// handOverRelease(at) happens before what another does after
// handOverAcquire(at), as the library guarantees. Only the named hand-over is
// ordered; everything else stays checked. Nothing in other builds.
#if defined(__SANITIZE_THREAD__)
#define ETALON_THREAD_SANITIZER 1
#elif defined(__has_feature)
#if __has_feature(thread_sanitizer)
#define ETALON_THREAD_SANITIZER 1
#endif
#endif

#ifdef ETALON_THREAD_SANITIZER
#include <sanitizer/tsan_interface.h>
#endif

namespace etalon {

inline void handOverRelease([[maybe_unused]] const void* at) {
#ifdef ETALON_THREAD_SANITIZER
    __tsan_release(const_cast<void*>(at));
#endif
}

inline void handOverAcquire([[maybe_unused]] const void* at) {
#ifdef ETALON_THREAD_SANITIZER
    __tsan_acquire(const_cast<void*>(at));
#endif
}

// Releases its addresses when the scope ends, thrown out of or not.
class HandOverOnExit {
  public:
    explicit HandOverOnExit(const void* first, const void* second = nullptr) : at_{first, second} {}
    ~HandOverOnExit() {
        for (const void* at : at_)
            if (at) handOverRelease(at);
    }
    HandOverOnExit(const HandOverOnExit&) = delete;
    HandOverOnExit& operator=(const HandOverOnExit&) = delete;

  private:
    std::array<const void*, 2> at_;
};

// Acquires its address when the scope ends, thrown out of or not.
class TakeOverOnExit {
  public:
    explicit TakeOverOnExit(const void* at) : at_(at) {}
    ~TakeOverOnExit() { handOverAcquire(at_); }
    TakeOverOnExit(const TakeOverOnExit&) = delete;
    TakeOverOnExit& operator=(const TakeOverOnExit&) = delete;

  private:
    const void* at_;
};

}  // namespace etalon
