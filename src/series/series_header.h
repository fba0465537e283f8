#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <vector>

#include "base/message_sink.h"
#include "pulses/pulse_header.h"

namespace etalon {

// One series with its truth, the restored fields written by processing, and
// the selected-subset fields with their store. The per-sample arrays hold
// dwReservedSize entries and the per-pulse arrays wReservedQuantity entries.
struct SeriesHeader {
    uint32_t dwReservedSize = 0;
    uint32_t dwSeriesSize = 0;
    uint16_t wTmin = 0;
    uint16_t wTmax = 0;
    std::vector<int16_t> lpPureData;
    std::vector<int16_t> lpNoisyData;
    uint16_t wImpulseSize = 0;
    uint16_t wImpulseQuantity = 0;
    uint16_t wMaxPulses = 0;
    uint16_t wMinPulses = 0;
    int16_t wNoiseLevel = 0;
    int16_t wAmplitude = 0;
    std::vector<int16_t> lpPositions;
    std::vector<int16_t> lpRestoredPositions;
    std::vector<int16_t> lpMinPositions;
    std::vector<int16_t> lpMaxPositions;
    const PulseHeader* lpFirstPulse = nullptr;
    std::vector<int16_t> lpEtalons;
    std::vector<int16_t> lpRestoredEtalons;
    uint16_t wReservedEtalons = 0;
    uint16_t wEtalons = 0;
    uint16_t wReservedQuantity = 0;
    std::vector<const PulseHeader*> lpPulsesList;  // not owned
    uint16_t wRestoredQuantity = 0;
    int16_t wWholeStart = 0;
    int16_t wWholeEnd = 0;
    std::vector<int16_t> lpCutStarts;
    std::vector<int16_t> lpCutEnds;
    std::vector<int16_t> lpRestoredCutStarts;
    std::vector<int16_t> lpRestoredCutEnds;
    std::vector<int16_t> lpSelectedSubset;
    uint16_t wSubsetLength = 0;
    uint16_t wSubsetEmployment = 0;
    uint16_t wSubsetInitPosition = 0;
    int16_t wRestoredTuples = 0;
    std::vector<int16_t> lpRestoredTupleFirst;
    std::vector<int16_t> lpRestoredTupleSecond;
    uint16_t wReservedSubsets = 0;
    uint16_t wSubsets = 0;
    uint16_t wReservedSubsetLength = 0;
    int16_t wTupleCriterion = 0;
    // Subset store: wReservedSubsets lengths, then one row of
    // wReservedSubsetLength entries per subset. Empty when not allocated.
    std::vector<int16_t> selectedSubsetSize;
    // Where row s of the store starts in selectedSubsetSize; empty when not
    // allocated. Offsets, not pointers, so a copy of the record is whole.
    std::vector<uint32_t> selectedSubsetList;
    bool operator==(const SeriesHeader&) const = default;

    // Views of the first dwSeriesSize samples.
    std::span<const int16_t> pureData() const { return {lpPureData.data(), dwSeriesSize}; }
    std::span<const int16_t> noisyData() const { return {lpNoisyData.data(), dwSeriesSize}; }
    // Length of stored subset s (0-based).
    int16_t storedSubsetLength(std::size_t s) const { return selectedSubsetSize[s]; }
    // Row s of the store, all wReservedSubsetLength entries.
    std::span<int16_t> storedSubsetRow(std::size_t s) {
        return {selectedSubsetSize.data() + selectedSubsetList[s], wReservedSubsetLength};
    }
    // Stored subset s as far as its row holds entries; empty for a subset not stored.
    std::span<const int16_t> storedSubset(std::size_t s) const;
};

// Pulse-count bounds of a series: the least count, (N + L - 1) div Tmax, and
// the largest, (N - L + Tmin) div Tmin. Zero divisors and lengths shorter than
// the pulse give 0 instead of failing.
struct PulseCountBounds {
    uint16_t minPulses = 0;
    uint16_t maxPulses = 0;
};
PulseCountBounds pulseCountBounds(uint32_t seriesLength, uint16_t pulseLength, uint16_t tmin,
                                  uint16_t tmax);

// Creates the record (given none) or grows it so that it holds a series of N
// samples; sets the size fields. Returns null after a reported failure, in
// which case the record passed in is gone too.
std::unique_ptr<SeriesHeader> getCutOffSeriesHeader(MessageSink& sink, uint16_t etalons,
                                                    uint16_t pulseLength, uint16_t tmin,
                                                    uint16_t tmax, uint32_t seriesLength,
                                                    std::unique_ptr<SeriesHeader> record);

// Releases the record; a null record is accepted.
void freeSeriesHeader(std::unique_ptr<SeriesHeader>& record);

}  // namespace etalon
