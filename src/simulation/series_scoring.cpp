#include "simulation/series_scoring.h"

#include <algorithm>

#include "simulation/restored_error.h"

namespace etalon {

SeriesErrors scoreSeries(const SeriesHeader& series, int16_t pulses, uint16_t sought) {
    SeriesErrors errors;
    errors.restored = getRestoredError(series);
    const int64_t c = pulses;
    if (c <= 0) return errors;
    const std::size_t compared =
        std::min<std::size_t>({static_cast<std::size_t>(c), sought, series.lpPositions.size(),
                               series.lpRestoredPositions.size()});
    int64_t h = 0;
    for (std::size_t i = 0; i < compared; ++i) {
        const int64_t d = int64_t{series.lpPositions[i]} - series.lpRestoredPositions[i];
        h += d * d;
    }
    errors.detection = (256 * h + c) / (2 * c);

    const std::size_t truth = std::min(static_cast<std::size_t>(c), series.lpPositions.size());
    const auto restored = series.lpRestoredPositions.begin();
    const auto restoredEnd = restored + std::min<std::size_t>(series.wRestoredQuantity,
                                                              series.lpRestoredPositions.size());
    errors.truePulses = static_cast<uint32_t>(truth);
    // Restored in ascending order, as chains are, each is found by halving.
    const bool ascending = std::is_sorted(restored, restoredEnd);
    for (std::size_t k = 0; k < truth; ++k) {
        const int16_t position = series.lpPositions[k];
        if (ascending ? std::binary_search(restored, restoredEnd, position)
                      : std::find(restored, restoredEnd, position) != restoredEnd)
            ++errors.exactPositions;
    }
    return errors;
}

ErrorSums::ErrorSums(const RestErrorHeader& grid)
    : cells_(std::size_t{grid.wVariousPulses} * grid.wNoiseLevels) {}

void ErrorSums::add(std::size_t cell, const SeriesErrors& errors) {
    Cell& sums = cells_[cell];
    sums.restored += errors.restored;
    sums.detection += errors.detection;
    sums.misses += errors.missed ? 1 : 0;
    sums.truePulses += errors.truePulses;
    sums.exactPositions += errors.exactPositions;
}

std::vector<uint64_t> ErrorSums::truePulses() const {
    std::vector<uint64_t> out;
    for (const Cell& c : cells_)
        out.push_back(c.truePulses);
    return out;
}

std::vector<uint64_t> ErrorSums::exactPositions() const {
    std::vector<uint64_t> out;
    for (const Cell& c : cells_)
        out.push_back(c.exactPositions);
    return out;
}

void ErrorSums::appendRaw(std::vector<int64_t>& out) const {
    for (const Cell& c : cells_) {
        out.insert(out.end(),
                   {c.restored, c.detection, int64_t{c.misses}, static_cast<int64_t>(c.truePulses),
                    static_cast<int64_t>(c.exactPositions)});
    }
}

bool ErrorSums::setRaw(std::span<const int64_t> raw) {
    if (raw.size() < rawSize()) return false;
    for (std::size_t i = 0; i < cells_.size(); ++i) {
        const int64_t* v = raw.data() + i * kRawPerCell;
        cells_[i] = {v[0], v[1], static_cast<uint32_t>(v[2]), static_cast<uint64_t>(v[3]),
                     static_cast<uint64_t>(v[4])};
    }
    return true;
}

void ErrorSums::store(uint16_t repeats, RestErrorHeader& grid) const {
    const int64_t r = repeats;
    for (std::size_t v = 0; v < grid.wNoiseLevels; ++v) {
        for (std::size_t p = 0; p < grid.wVariousPulses; ++p) {
            const Cell& sums = cells_[v * grid.wVariousPulses + p];
            // No repeats leave nothing to average.
            grid.lpErrors(v)[p] =
                r > 0 ? static_cast<uint32_t>((2 * sums.restored + r) / (2 * r)) : 0;
            grid.lpDetectionErrors(v)[p] = static_cast<uint32_t>(sums.detection / 128);
            grid.lpRecognitionErrors(v)[p] = sums.misses;
            grid.lpSpareErrors1(v)[p] = 0;
            grid.lpSpareErrors2(v)[p] = 0;
            grid.lpSpareErrors3(v)[p] = 0;
        }
    }
}

}  // namespace etalon
