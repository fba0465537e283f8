#pragma once

#include <atomic>

namespace etalon::cli {

// SIGTERM and SIGINT while a run that keeps checkpoints goes on: the first
// sets `stop` (the run then stops at a consistent point and saves what a
// resume needs), a second ends the process at once. The handlers before are
// put back when it goes.
class StopSignals {
  public:
    explicit StopSignals(std::atomic<bool>* stop);
    ~StopSignals();
    StopSignals(const StopSignals&) = delete;
    StopSignals& operator=(const StopSignals&) = delete;

    // The first signal received, 0 for none.
    static int received();
    // "SIGTERM", "SIGINT".
    static const char* name(int signal);
};

}  // namespace etalon::cli
