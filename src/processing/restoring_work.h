#pragma once

#include <cstddef>
#include <memory>
#include <vector>

#include "processing/restoring_stop.h"

namespace etalon {

// The work tables of the restoring procedures, owned by whoever runs them (a
// simulation worker, the window, a command), so that they are given back
// when the owner is done instead of living as long as a thread does. Each
// procedure family keeps its own tables here, made on its first run.
class RestoringWork {
  public:
    // Tables that a run leaves behind are kept for the next run up to this
    // size; a larger run gives them back when it ends.
    static constexpr std::size_t kRetainedBytes = std::size_t{32} << 20;

    // The lane chains of the recognitions keep every layer while their
    // tables stay within this size, so reading a chain out needs no second
    // run; past it they keep checkpoints and read the chains out from them.
    std::size_t everyLayerBudget = std::size_t{64} << 20;
    // Past it, reading a chain out computes the layers between checkpoints
    // again; it keeps them within this size (about a last-level cache) when
    // it can, computing part of them twice rather than leaving the cache.
    std::size_t traceCacheBytes = std::size_t{16} << 20;

    // Set by a caller that may stop the run from another thread (the
    // window's Cancel): the procedures then throw RestoringStopped.
    const std::atomic<bool>* stop = nullptr;
    StopFlag stopFlag() const { return StopFlag(stop); }

    RestoringWork() = default;
    RestoringWork(RestoringWork&&) = default;
    RestoringWork& operator=(RestoringWork&&) = default;

    // The tables of type T, made on first use (throws std::bad_alloc).
    template <class T>
    T& tables() {
        for (Slot& slot : slots_) {
            if (slot.tag == tagOf<T>()) return *static_cast<T*>(slot.tables.get());
        }
        T* made = new T();
        slots_.push_back({tagOf<T>(), Owned(made, [](void* p) { delete static_cast<T*>(p); })});
        return *made;
    }

    // Ends a run that needed `bytes`: a run past the retained size gives
    // every table back.
    void finishRun(std::size_t bytes) {
        if (bytes > kRetainedBytes) release();
    }
    void release() { slots_.clear(); }
    bool holdsTables() const { return !slots_.empty(); }

  private:
    using Owned = std::unique_ptr<void, void (*)(void*)>;
    struct Slot {
        const void* tag;
        Owned tables;
    };
    template <class T>
    static const void* tagOf() {
        static const char tag = 0;
        return &tag;
    }
    std::vector<Slot> slots_;
};

}  // namespace etalon
