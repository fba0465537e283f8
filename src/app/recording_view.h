// Moving the span in view along a long recording: every move stays within
// the recording and keeps at least kFewestViewSamples in view.
#pragma once

#include <cstdint>
#include <span>

#include "app/long_recording.h"

namespace etalon {

inline constexpr uint64_t kFewestViewSamples = 100;
// What a recording shows when opened: as much as a series holds.
inline constexpr uint64_t kFirstViewSamples = 32767;

RecordingView clampedView(RecordingView view, uint64_t total);
RecordingView openingView(uint64_t total);
// By whole spans (PageDown +1) or tenths of one (Right +1).
RecordingView pagedView(RecordingView view, uint64_t total, int direction);
RecordingView steppedView(RecordingView view, uint64_t total, int direction);
RecordingView viewAtStart(RecordingView view, uint64_t total);
RecordingView viewAtEnd(RecordingView view, uint64_t total);
// Half the span (in) or twice it (out), about its centre.
RecordingView zoomedView(RecordingView view, uint64_t total, bool in);
RecordingView centredView(RecordingView view, uint64_t total, uint64_t centre);
// Centred on the next restored pulse after the centre (direction +1) or the
// previous one before it (-1); unchanged when there is none.
RecordingView pulseView(RecordingView view, uint64_t total, std::span<const RecordingPulse> pulses,
                        int direction);
// How many of the pulses start within the view.
uint64_t pulsesInView(RecordingView view, std::span<const RecordingPulse> pulses);

}  // namespace etalon
