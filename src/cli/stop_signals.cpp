#include "cli/stop_signals.h"

#include <unistd.h>

#include <csignal>

namespace etalon::cli {

namespace {

// Lock-free, so the handler may touch them.
std::atomic<std::atomic<bool>*> gStop{nullptr};
std::atomic<int> gReceived{0};
struct sigaction gFormerTerm {
}, gFormerInt{};

void onStopSignal(int signal) {
    int none = 0;
    if (!gReceived.compare_exchange_strong(none, signal)) {
        // A second signal: the user or the scheduler will not wait.
        constexpr char kText[] =
            "etalon-cli: stopped at once; the checkpoint holds the last save\n";
        [[maybe_unused]] const ssize_t written = ::write(STDERR_FILENO, kText, sizeof kText - 1);
        ::_exit(128 + signal);
    }
    if (std::atomic<bool>* stop = gStop.load()) stop->store(true);
}

}  // namespace

StopSignals::StopSignals(std::atomic<bool>* stop) {
    gReceived = 0;
    gStop = stop;
    struct sigaction action {};
    action.sa_handler = onStopSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(SIGTERM, &action, &gFormerTerm);
    sigaction(SIGINT, &action, &gFormerInt);
}

StopSignals::~StopSignals() {
    sigaction(SIGTERM, &gFormerTerm, nullptr);
    sigaction(SIGINT, &gFormerInt, nullptr);
    gStop = nullptr;
}

int StopSignals::received() {
    return gReceived.load();
}

const char* StopSignals::name(int signal) {
    return signal == SIGTERM ? "SIGTERM" : signal == SIGINT ? "SIGINT" : "a signal";
}

}  // namespace etalon::cli
