#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "series/series_header.h"
#include "simulation/rest_error_header.h"

namespace etalon {

// What one restored series adds to its grid point.
struct SeriesErrors {
    int64_t restored = 0;         // how far the restored pulses are from rebuilding the series
    int64_t detection = 0;        // 128 × the mean squared position error per pulse, rounded
    bool missed = false;          // tuples recognition named another subset than the series carries
    uint32_t truePulses = 0;      // the pulses the series was made with
    uint32_t exactPositions = 0;  // of them, those with a restored pulse at exactly their position
};

// Scores the restored pulses of `series` against its truth. `pulses` is the
// count it was made with, `sought` the number of pulses the procedure looked
// for: only the first min(pulses, sought) positions are compared. A series
// of no pulses has no detection error.
SeriesErrors scoreSeries(const SeriesHeader& series, int16_t pulses, uint16_t sought);

// The sums over the repeats of every grid point. Integer sums, so the order
// the series are added in does not change the result.
class ErrorSums {
  public:
    explicit ErrorSums(const RestErrorHeader& grid);

    void add(std::size_t cell, const SeriesErrors& errors);

    // Writes every point of the grid: the restored error per repeat
    // (rounded), the detection errors of the repeats summed (in squared
    // samples, truncated), the number of misses; the spare arrays cleared.
    void store(uint16_t repeats, RestErrorHeader& grid) const;

    // Per grid point: the true pulses, and those restored at exactly their position.
    std::vector<uint64_t> truePulses() const;
    std::vector<uint64_t> exactPositions() const;

    // The integer sums as they stand, kRawPerCell per grid point, so that
    // the sums of processes that each added a share of the series can be
    // added together, or saved and taken up again.
    static constexpr std::size_t kRawPerCell = 5;
    std::size_t rawSize() const { return cells_.size() * kRawPerCell; }
    void appendRaw(std::vector<int64_t>& out) const;
    // Takes rawSize() values from `raw`; false, changing nothing, when too few.
    bool setRaw(std::span<const int64_t> raw);

  private:
    struct Cell {
        int64_t restored = 0;
        int64_t detection = 0;
        uint32_t misses = 0;
        uint64_t truePulses = 0;
        uint64_t exactPositions = 0;
    };
    std::vector<Cell> cells_;
};

}  // namespace etalon
