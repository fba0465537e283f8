#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "base/message_sink.h"
#include "processing/task_codes.h"

namespace etalon {

// The grid of a statistical simulation (pulse counts by noise levels) and the
// errors accumulated at every point. Error rows are indexed [noise level
// index v][pulse count index p]. Plain values and vectors only, so a copy is
// a complete, independent record that a worker thread may own.
struct RestErrorHeader {
    uint16_t wReservedPulses = 0;  // pulse counts the record can hold
    uint16_t wVariousPulses = 0;   // pulse counts in the grid (P)
    uint16_t wReservedLevels = 0;  // noise levels the record can hold
    uint16_t wNoiseLevels = 0;     // noise levels in the grid (V)
    uint32_t repeats = 0;
    int16_t wState = 0;
    SeriesCode wSeriesType{};
    TaskCode wEffectiveTask{};
    const char* lpTaskName = nullptr;        // a constant text, or null
    const char* lpSeriesTypeName = nullptr;  // a constant text, or null
    uint16_t wMakingLevel = 0;
    int16_t wProcessingLevel = 0;
    uint16_t ifComplete = 0;

    // The noise levels (wReservedLevels entries), then the pulse counts
    // (wReservedPulses entries).
    std::vector<int16_t> valuesBlock;
    // Where each error row starts in errorCells: the V rows of lpErrors, then
    // those of lpDetectionErrors, lpSpareErrors1, lpRecognitionErrors,
    // lpSpareErrors2, lpSpareErrors3. Offsets, not pointers, so copies stay sound.
    std::vector<std::size_t> rowStarts;
    // The six arrays of P·V cells, each row-major with rows of P.
    std::vector<uint32_t> errorCells;
    bool operator==(const RestErrorHeader&) const = default;

    std::span<int16_t> wPulseValues() {
        return {valuesBlock.data() + wReservedLevels, wVariousPulses};
    }
    std::span<const int16_t> wPulseValues() const {
        return {valuesBlock.data() + wReservedLevels, wVariousPulses};
    }
    std::span<int16_t> lpNoiseLevels() { return {valuesBlock.data(), wNoiseLevels}; }
    std::span<const int16_t> lpNoiseLevels() const { return {valuesBlock.data(), wNoiseLevels}; }

    std::span<uint32_t> lpErrors(std::size_t v) { return row(0, v); }
    std::span<uint32_t> lpDetectionErrors(std::size_t v) { return row(1, v); }
    std::span<uint32_t> lpSpareErrors1(std::size_t v) { return row(2, v); }
    std::span<uint32_t> lpRecognitionErrors(std::size_t v) { return row(3, v); }
    std::span<uint32_t> lpSpareErrors2(std::size_t v) { return row(4, v); }
    std::span<uint32_t> lpSpareErrors3(std::size_t v) { return row(5, v); }
    std::span<const uint32_t> lpErrors(std::size_t v) const { return row(0, v); }
    std::span<const uint32_t> lpDetectionErrors(std::size_t v) const { return row(1, v); }
    std::span<const uint32_t> lpSpareErrors1(std::size_t v) const { return row(2, v); }
    std::span<const uint32_t> lpRecognitionErrors(std::size_t v) const { return row(3, v); }
    std::span<const uint32_t> lpSpareErrors2(std::size_t v) const { return row(4, v); }
    std::span<const uint32_t> lpSpareErrors3(std::size_t v) const { return row(5, v); }

  private:
    std::span<uint32_t> row(std::size_t array, std::size_t v) {
        return {errorCells.data() + rowStarts[array * wNoiseLevels + v], wVariousPulses};
    }
    std::span<const uint32_t> row(std::size_t array, std::size_t v) const {
        return {errorCells.data() + rowStarts[array * wNoiseLevels + v], wVariousPulses};
    }
};

// Creates the record (given none) or grows it for P pulse counts and V noise
// levels, then zeroes the grid values and every error. Returns null after a
// reported failure, in which case the record passed in is gone too.
std::unique_ptr<RestErrorHeader> getRestErrHeader(MessageSink& sink, uint16_t pulses,
                                                  uint16_t levels, uint32_t repeats,
                                                  std::unique_ptr<RestErrorHeader> record);

// Fills the grid: pulse counts firstPulses + p·pulsesStep, noise levels
// firstLevel + v·levelStep (16-bit results); clears the errors and
// ifComplete. Returns 1, or 0 (reported, record unchanged) without a record
// or when P or V exceed what it holds.
int initRestErrHeader(MessageSink& sink, uint16_t pulses, uint16_t firstPulses, uint16_t pulsesStep,
                      uint16_t levels, uint16_t firstLevel, uint16_t levelStep, uint32_t repeats,
                      RestErrorHeader* record);

// Records what the run is about. Returns 1, or 0 (reported) without a record.
int addInitRestErrHeader(MessageSink& sink, SeriesCode seriesType, TaskCode effectiveTask,
                         uint16_t makingLevel, uint16_t processingLevel, RestErrorHeader* record);

// Releases the record; a null record is accepted.
void freeRestErrHeader(std::unique_ptr<RestErrorHeader>& record);

// The debug dump of the record, and the message box showing it.
std::string restErrHeaderDump(const RestErrorHeader& record);
int aboutRestErrHeader(MessageSink& sink, const RestErrorHeader* record);

// The pulse-count side of the grid as the simulation command derives it from
// the bounds: a step of 0 counts as 1, and the number of counts is
// (largest - smallest) div step + 1 (none when largest < smallest).
struct PulseGrid {
    uint16_t increment = 1;
    uint16_t steps = 0;
};
PulseGrid pulseGridFor(uint16_t minPulses, uint16_t maxPulses, uint16_t increment);

}  // namespace etalon
