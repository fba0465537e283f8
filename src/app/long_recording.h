// A recording longer than a series holds, restored whole: its samples, their
// envelope, the restored chain and where it came from. Shared read-only by
// copies of the state, so keeping the state aside costs nothing.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "graphs/envelope_pyramid.h"
#include "processing/recording_chain.h"

namespace etalon {

struct AppState;

struct LongRecording {
    std::vector<int16_t> samples;
    EnvelopePyramid envelope;  // over `samples`: built once, never copied
    RecordingTask task = RecordingTask::Detection;
    // The chains restored, best first (recognition: one per candidate).
    std::vector<RecordingChain> chains;
    uint64_t first = 0;  // samples[0]'s index in the file
    double rate = 0;     // samples per second; 0 when the file gave none

    LongRecording() = default;
    LongRecording(const LongRecording&) = delete;
    LongRecording& operator=(const LongRecording&) = delete;

    uint64_t size() const { return samples.size(); }
    // The best chain's pulses; empty when nothing was restored.
    const std::vector<RecordingPulse>& pulses() const;
};

// The span of the recording the results view shows, in samples of `samples`.
struct RecordingView {
    uint64_t first = 0;
    uint64_t count = 0;
    bool operator==(const RecordingView&) const = default;
};

// The long recording the window shows instead of its series, or null.
const LongRecording* shownLongRecording(const AppState& state);

}  // namespace etalon
