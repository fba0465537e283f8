#pragma once

#include <atomic>
#include <exception>

namespace etalon {

// Thrown out of a restoring procedure whose caller asked it to stop. The
// series and results records it was given may be half-written, so callers
// that may stop a run hand it copies.
class RestoringStopped : public std::exception {
  public:
    const char* what() const noexcept override { return "the restoration was stopped"; }
};

// The caller's request to stop as the procedures' long loops read it: one
// relaxed load a layer (or a pass), and only a null test when nobody can ask.
class StopFlag {
  public:
    StopFlag() = default;
    explicit StopFlag(const std::atomic<bool>* flag) : flag_(flag) {}

    void check() const {
        if (flag_ && flag_->load(std::memory_order_relaxed)) [[unlikely]]
            throw RestoringStopped();
    }

  private:
    const std::atomic<bool>* flag_ = nullptr;
};

}  // namespace etalon
