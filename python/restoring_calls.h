#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <stdexcept>
#include <string>
#include <vector>

#include "base/message_sink.h"
#include "processing/task_codes.h"
#include "pulses/pulse_header.h"

namespace etalon::python {

// Remembers what the core reported, so the call can raise it afterwards.
class RecordingSink final : public MessageSink {
  public:
    struct Report {
        std::string text;
        bool outOfMemory = false;
    };
    int show(std::string_view text, std::string_view, MessageIcon) override {
        reports.push_back({std::string(text), false});
        return kMessageOk;
    }
    int showOutOfMemory(std::string_view text, std::string_view, MessageIcon) override {
        reports.push_back({std::string(text), true});
        return kMessageOk;
    }
    // Raises the first report: MemoryError for an allocation failure,
    // ValueError for the rest (settings the core refused).
    void raiseReports() const;
    std::vector<Report> reports;
};

// The memory budget refused the work before it started; raised as MemoryError.
struct MemoryRefused : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// One ranked chain; positions in 64 bits, as a recording of any length has them.
struct RestoredChain {
    int64_t criterion = 0;
    std::vector<int16_t> etalons;
    std::vector<int64_t> positions;
    std::vector<int16_t> cutStarts, cutEnds;
};

// What a restoring call asks for, checked by the binding.
struct RestoringCall {
    TaskCode task = TaskCode::Recognition;  // tuples tasks given as such
    std::vector<PulseHeader> alphabet;
    std::vector<uint16_t> list;                  // the working set
    std::vector<int32_t> pattern;                // tuples detection
    std::vector<std::vector<int32_t>> patterns;  // tuples recognition
    int pick = 0;                                // 1-based; 0: the last
    uint16_t proceeding = 1;
    uint16_t tmin = 40, tmax = 181;
    // The Tmax of a recording, which may pass 32,767 or be none (no upper
    // bound, no edge conditions): the whole-recording path only.
    std::optional<int64_t> recordingTmax = 181;
    std::optional<uint16_t> pulses;
    uint16_t processingLevel = 100;
    std::optional<std::size_t> memoryLimit;
    bool matchedFilter = false;  // the greedy baseline in place of the exact procedure
    // A recording restored whole: stopped when set, progress told now and then.
    const std::atomic<bool>* stop = nullptr;
    std::function<void(uint64_t done, uint64_t total)> progress;
};

// The ranked chains and what the procedure returned (etalon-cli's `returned`).
struct Restored {
    std::vector<RestoredChain> chains;
    int returned = 0;
};

// Restores the samples as `etalon-cli process --samples` does: the series
// record made from them, the procedure chosen for the task and the count; the
// unknown count of single pulses over the whole recording where a series
// cannot take it (longer than 32,767 samples, or sums past 32 bits).
// Runs without the GIL; throws pybind11's value_error, MemoryRefused or
// std::bad_alloc.
Restored restoreSamples(std::span<const int16_t> samples, const RestoringCall& call);

}  // namespace etalon::python
