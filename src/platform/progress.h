#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

namespace etalon::platform {

class Window;

// What long work sees of the progress dialog it runs behind. Every call is
// safe from any thread.
class ProgressChannel {
  public:
    virtual ~ProgressChannel() = default;
    virtual void report(uint32_t done) = 0;
    bool cancelled() const { return cancel_.load(std::memory_order_relaxed); }
    // The same answer as a flag, for work that polls one itself.
    const std::atomic<bool>& cancelFlag() const { return cancel_; }
    void cancel() { cancel_.store(true, std::memory_order_relaxed); }

  private:
    std::atomic<bool> cancel_{false};
};

// Runs `work` on a worker thread while a modal dialog shows how much of
// `total` is done, the time elapsed and the time left, with a Cancel button
// that asks the work to stop. A total of 0 means the amount is unknown: the
// dialog then shows a busy bar and the time elapsed, and only once the work
// has taken half a second, so short work shows nothing (the window takes no
// input meanwhile). The window behind keeps repainting. Returns when the work
// has returned: true unless Cancel was pressed or the work threw (which is
// told in a message box, the work then counting as cancelled).
bool runWithProgress(Window* owner, std::string_view caption, uint32_t total,
                     const std::function<void(ProgressChannel&)>& work);

// "1:02:05" for 3725 seconds.
std::string hoursMinutesSeconds(int64_t seconds);

}  // namespace etalon::platform
