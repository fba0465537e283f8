#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

namespace etalon::platform {

class Window;

// What long work sees of the progress dialog it runs behind. Both calls are
// safe from any thread.
class ProgressChannel {
  public:
    virtual ~ProgressChannel() = default;
    virtual void report(uint32_t done) = 0;
    virtual bool cancelled() const = 0;
};

// Runs `work` on a worker thread while a modal dialog shows how much of
// `total` is done, the time elapsed and the time left, with a Cancel button
// that asks the work to stop. The window behind keeps repainting. Returns when
// the work has returned: true unless Cancel was pressed.
bool runWithProgress(Window* owner, std::string_view caption, uint32_t total,
                     const std::function<void(ProgressChannel&)>& work);

// "1:02:05" for 3725 seconds.
std::string hoursMinutesSeconds(int64_t seconds);

}  // namespace etalon::platform
