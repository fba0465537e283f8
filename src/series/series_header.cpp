#include "series/series_header.h"

#include <algorithm>

#include "base/allocation.h"

namespace etalon {

PulseCountBounds pulseCountBounds(uint32_t seriesLength, uint16_t pulseLength, uint16_t tmin,
                                  uint16_t tmax) {
    PulseCountBounds bounds;
    const int64_t n = seriesLength;
    if (tmax > 0) bounds.minPulses = static_cast<uint16_t>((n + pulseLength - 1) / tmax);
    const int64_t room = n - pulseLength + tmin;
    if (tmin > 0 && room > 0) {
        bounds.maxPulses = static_cast<uint16_t>(std::min<int64_t>(room / tmin, UINT16_MAX));
    }
    return bounds;
}

std::span<const int16_t> SeriesHeader::storedSubset(std::size_t s) const {
    if (s >= selectedSubsetList.size() || s >= selectedSubsetSize.size()) return {};
    const std::size_t start = selectedSubsetList[s];
    if (start > selectedSubsetSize.size()) return {};
    const std::size_t room =
        std::min<std::size_t>(wReservedSubsetLength, selectedSubsetSize.size() - start);
    const std::size_t length =
        std::clamp<int32_t>(selectedSubsetSize[s], 0, static_cast<int32_t>(room));
    return {selectedSubsetSize.data() + start, length};
}

namespace {

struct SavedSubset {
    std::vector<int16_t> entries;
    uint16_t employment = 0;
    uint16_t initPosition = 0;
};

// The per-sample and per-pulse arrays, allocated together so that a failure
// leaves the old ones untouched.
bool replaceArrays(SeriesHeader& record, uint32_t samples, uint16_t pulses) {
    std::vector<int16_t>* perSample[] = {&record.lpPureData, &record.lpNoisyData};
    std::vector<int16_t>* perPulse[] = {&record.lpEtalons,
                                        &record.lpRestoredEtalons,
                                        &record.lpPositions,
                                        &record.lpRestoredPositions,
                                        &record.lpMinPositions,
                                        &record.lpMaxPositions,
                                        &record.lpCutStarts,
                                        &record.lpCutEnds,
                                        &record.lpRestoredCutStarts,
                                        &record.lpRestoredCutEnds,
                                        &record.lpSelectedSubset,
                                        &record.lpRestoredTupleFirst,
                                        &record.lpRestoredTupleSecond};
    std::vector<std::vector<int16_t>> fresh(std::size(perSample) + std::size(perPulse));
    std::size_t next = 0;
    for (std::size_t i = 0; i < std::size(perSample); ++i) {
        if (!allocateBuffer(fresh[next++], samples)) return false;
    }
    for (std::size_t i = 0; i < std::size(perPulse); ++i) {
        if (!allocateBuffer(fresh[next++], pulses)) return false;
    }
    next = 0;
    for (auto* array : perSample)
        array->swap(fresh[next++]);
    for (auto* array : perPulse)
        array->swap(fresh[next++]);
    return true;
}

}  // namespace

std::unique_ptr<SeriesHeader> getCutOffSeriesHeader(MessageSink& sink, uint16_t etalons,
                                                    uint16_t pulseLength, uint16_t tmin,
                                                    uint16_t tmax, uint32_t seriesLength,
                                                    std::unique_ptr<SeriesHeader> record) {
    PulseCountBounds bounds = pulseCountBounds(seriesLength, pulseLength, tmin, tmax);
    if (bounds.minPulses == 0) bounds.minPulses = 1;
    const uint16_t maxP = bounds.maxPulses;

    // The subset lives in the arrays that may be replaced: keep it aside.
    SavedSubset saved;
    if (record && record->wSubsetLength >= 1 && record->wSubsetLength <= maxP) {
        const std::size_t kept =
            std::min<std::size_t>(record->wSubsetLength, record->lpSelectedSubset.size());
        saved.entries.assign(record->lpSelectedSubset.begin(),
                             record->lpSelectedSubset.begin() + kept);
        saved.employment = record->wSubsetEmployment;
        saved.initPosition = record->wSubsetInitPosition;
    }

    if (!record) {
        record = allocateRecord<SeriesHeader>();
        if (!record) {
            sink.showOutOfMemory("Нет памяти для newSeriesHeader!", " getCutOffSeriesHeader ",
                                 MessageIcon::None);
            return nullptr;
        }
    }

    if (seriesLength > record->dwReservedSize || maxP > record->wReservedQuantity) {
        if (!replaceArrays(*record, seriesLength, maxP)) {
            sink.showOutOfMemory("Нет памяти для newSeriesHeader->lpPureData!",
                                 " getExtSeriesHeader ", MessageIcon::None);
            return nullptr;
        }
        record->dwReservedSize = seriesLength;
        record->wReservedQuantity = maxP;
        // A subset that no longer fits was not kept; its length must not
        // describe cleared entries.
        record->wSubsetLength = static_cast<uint16_t>(saved.entries.size());
        if (!saved.entries.empty()) {
            std::copy(saved.entries.begin(), saved.entries.end(), record->lpSelectedSubset.begin());
            record->wSubsetEmployment = saved.employment;
            record->wSubsetInitPosition = saved.initPosition;
        }
    }

    if (etalons > record->wReservedEtalons) {
        std::vector<const PulseHeader*> list;
        if (!allocateBuffer(list, etalons)) {
            sink.showOutOfMemory("Нет памяти для newSeriesHeader->lpPulsesList!",
                                 " getExtSeriesHeader ", MessageIcon::None);
            return nullptr;
        }
        record->lpPulsesList.swap(list);
        record->wReservedEtalons = etalons;
    }

    record->wEtalons = etalons;
    record->dwSeriesSize = seriesLength;
    record->wMaxPulses = maxP;
    record->wMinPulses = bounds.minPulses;
    record->wTmin = tmin;
    record->wTmax = tmax;
    std::fill(record->lpPulsesList.begin(), record->lpPulsesList.end(), nullptr);
    return record;
}

void freeSeriesHeader(std::unique_ptr<SeriesHeader>& record) {
    record.reset();
}

}  // namespace etalon
