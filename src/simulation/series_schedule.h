#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "processing/task_codes.h"

namespace etalon {

// What the schedule of a simulation reads: the grid, the task and the etalons
// it steps through.
struct ScheduleSettings {
    TaskCode effectiveTask{};
    std::span<const uint16_t> list;        // the working list (n > 0), 1-based etalon numbers
    std::span<const int16_t> pulseCounts;  // the grid's columns
    std::span<const int16_t> noiseLevels;  // the grid's rows
    uint16_t repeats = 0;                  // series per grid point
    uint16_t storedSubsets = 0;      // S > 0 for tuples recognition: subsets it rotates through
    std::size_t sequenceLength = 0;  // entries of the sequence, at least every count
};

// One series of the run, in the order they are made.
struct ScheduledSeries {
    uint32_t index = 0;  // running series number, from 0
    uint16_t pulseIndex = 0;
    uint16_t levelIndex = 0;
    uint16_t repeat = 0;
    std::size_t cell = 0;  // levelIndex · pulse counts + pulseIndex, as the error rows run
    int16_t pulses = 0;
    int16_t noiseLevel = 0;
    // The etalon of every pulse. Making the series may write the current
    // subset into it; the later series start from what it left.
    std::span<uint16_t> sequence;
    uint16_t subset = 0;  // tuples recognition: the stored subset (from 1) the series carries
    // What to do with the series record's current subset before making this
    // series, in order: 0 clears it, s makes stored subset s current.
    std::span<const uint16_t> subsetChanges;
};

// Walks the grid (pulse counts outer, noise levels inner, then the repeats)
// and steps the etalons as the task asks: recognition moves every pulse on
// to the next listed etalon once per share of the repeats, joint detection
// counts through the combinations like an odometer, tuples recognition
// rotates through the stored subsets. Every grid point starts again from the
// first listed etalon (and the first stored subset). Sequential: each series
// follows from the one before.
class SeriesSchedule {
  public:
    explicit SeriesSchedule(const ScheduleSettings& settings);

    // The next series; null after the last. What it points to holds until
    // the next call.
    const ScheduledSeries* next();

  private:
    void startCell();
    void advanceEtalons();
    void stepOdometer();
    int32_t count() const { return settings_.pulseCounts[p_]; }
    int32_t steppedPulses() const;
    uint16_t listed(uint16_t counter) const { return settings_.list[counter - 1u]; }

    ScheduleSettings settings_;
    std::vector<uint16_t> counters_;
    std::vector<uint16_t> sequence_;
    std::vector<uint16_t> changes_;
    ScheduledSeries current_;
    uint16_t p_ = 0;
    uint16_t v_ = 0;
    uint16_t r_ = 0;
    bool cellStarted_ = false;
    int32_t step_ = 0;      // repeats (or pulse-repeats) between two steps of the etalons
    int32_t switchAt_ = 0;  // where the next step falls
    uint16_t subset_ = 0;
    uint32_t made_ = 0;
};

}  // namespace etalon
