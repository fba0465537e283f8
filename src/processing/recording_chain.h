// The unknown-count chain over a whole recording of any length and depth:
// one pass over the samples with running window minima, 64-bit fits and
// criteria, memory bounded by snapshots instead of per-position tables.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <stdexcept>
#include <string>
#include <vector>

#include "pulses/pulse_header.h"

namespace etalon {

// Starts of consecutive pulses tmin..tmax apart; with a tmax the first pulse
// ends within the first tmax samples and the last starts within the last
// tmax. Without one there is no upper bound and no edge condition, and the
// chain may be empty.
struct RecordingGeometry {
    int64_t tmin = 40;
    std::optional<int64_t> tmax = 181;
};

enum class RecordingTask {
    Detection,    // each pulse the best etalon of the list at its position
    Recognition,  // one etalon for the whole chain, the best of the list
};

struct RecordingPulse {
    int64_t position = 0;
    uint16_t etalon = 0;  // 1-based number in the alphabet
    uint16_t cutStart = 0;
    uint16_t cutEnd = 0;
    bool operator==(const RecordingPulse&) const = default;
};

struct RecordingChain {
    int64_t criterion = 0;  // the sum of the pulses' fits
    uint16_t etalon = 0;    // recognition: the candidate; detection: 0
    std::vector<RecordingPulse> pulses;
};

struct RecordingChainRequest {
    std::span<const int16_t> samples;
    std::span<const PulseHeader> alphabet;  // every etalon as long as the first
    std::span<const uint16_t> etalons;      // the list, 1-based
    RecordingGeometry geometry;
    uint16_t processingLevel = 100;  // windows must keep more than this share of the energy
    RecordingTask task = RecordingTask::Detection;
    const std::atomic<bool>* stop = nullptr;  // checked every few thousand positions
    // Positions swept so far of all the run's sweeps, every few thousand; from
    // the calling thread.
    std::function<void(uint64_t done, uint64_t total)> progress;
};

struct RecordingChainResult {
    // Detection: the chain, if any is admissible. Recognition: the chain of
    // every candidate that has one, smallest criterion first, ties in list
    // order; the first is the recognised etalon's.
    std::vector<RecordingChain> chains;
};

// A request no chain can be searched under (Tmin 0 or above Tmax, Tmax
// shorter than a pulse, no etalon, etalons of other lengths), in one line.
class RecordingRefused : public std::invalid_argument {
  public:
    using std::invalid_argument::invalid_argument;
};

// Throws RecordingRefused when the 64-bit sum of the longest chain the
// samples hold, Tmin apart, could pass its range with these etalons: a
// pulse's fit is at most its energy plus twice its summed magnitudes times
// the largest sample magnitude. Listed etalons must be in the alphabet.
void refuseWrappingSums(std::span<const int16_t> samples, std::span<const PulseHeader> alphabet,
                        std::span<const uint16_t> etalons, int64_t tmin);

// Throws RecordingRefused before any work, RestoringStopped when asked to
// stop, std::bad_alloc when memory runs out.
RecordingChainResult restoreRecordingChain(const RecordingChainRequest& request);

// What the run holds besides the samples and the result, in bytes.
std::size_t recordingChainMemoryNeed(const RecordingChainRequest& request);

}  // namespace etalon
