#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "pulses/pulse_header.h"

// Pulse fits in 64-bit arithmetic, for recordings at their own depth.
namespace etalon {

// The change of the residual energy when window [begin, end] of etalon
// `etalon` (an alphabet index) is subtracted at a position.
struct Fit {
    int64_t value = 0;
    int32_t etalon = 0, begin = 0, end = 0;
};

class RecordingFits {
  public:
    // Energies and the windows each etalon may keep at saved-energy level
    // `level`: more than level percent of its energy.
    RecordingFits(std::span<const PulseHeader> alphabet, uint16_t level);

    int64_t length() const { return length_; }
    // The best fit at x over the list (alphabet indices): the whole pulse,
    // then windows by start and end, then the next etalon; ties keep the
    // earlier. x + length() must not pass the samples.
    Fit best(std::span<const int16_t> samples, std::span<const int32_t> list, int64_t x) const;
    // best() at positions [first, first + count), into `out`.
    void bestBlock(std::span<const int16_t> samples, std::span<const int32_t> list, int64_t first,
                   int64_t count, std::vector<Fit>& out) const;

  private:
    struct Etalon {
        std::span<const int16_t> samples;
        std::vector<int64_t> pe;        // pe[j]: energy of samples 0..j-1
        std::vector<int32_t> leastEnd;  // per start: the least end keeping enough, or -1
        std::vector<int32_t> pairs;     // samples 2j and 2j + 1 in one word
        int32_t largest = 0;            // the largest magnitude
        bool windows = false;
    };
    void fitOne(std::span<const int16_t> samples, const Etalon& e, int32_t index, int64_t x,
                Fit& best, bool first) const;

    std::vector<Etalon> etalons_;
    int64_t length_ = 0;
};

// Positions fitted at a time by bestBlock's callers.
inline constexpr int64_t kRecordingFitBlock = 4096;

std::size_t recordingFitsMemoryNeed(std::size_t etalons, std::size_t length);

}  // namespace etalon
