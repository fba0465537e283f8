#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "processing/restoring_stop.h"
#include "series/series_header.h"

namespace etalon {

// Positions layer k (pulse k) may take, already inside the series.
struct LayerRange {
    int32_t lo = 0, hi = -1;
};

// Start values of the three searches of a known-count chain.
struct ChainSentinels {
    int32_t predecessor;  // forward pass, layers 1..Q-1
    int32_t end;          // best last pulse
    int32_t backward;     // back-tracking
};

// The dynamic programme over pulse indices: V_k[x] = (best V_{k-1} in
// [x - Tmax, x - Tmin], not above the predecessor start) + fit_k(x). Every
// search takes the leftmost of equal values.
class LayeredChain {
  public:
    // Sizes the tables for these ranges and bounds; throws std::bad_alloc.
    void reserve(std::span<const LayerRange> ranges, int32_t tmin, int32_t tmax);

    // fits[k] points at the fit of layer k's etalon at position ranges[k].lo.
    // Returns false when no admissible chain exists; otherwise positions
    // holds x_0..x_{Q-1} and criterion the chain's value. Throws
    // RestoringStopped once `stop` is set.
    bool run(std::span<const LayerRange> ranges, std::span<const int32_t* const> fits, int32_t tmin,
             int32_t tmax, const ChainSentinels& sentinels, std::span<int32_t> positions,
             int32_t& criterion, StopFlag stop = {});

  private:
    void forwardLayer(const LayerRange& r, const LayerRange& p, const int32_t* fit,
                      const int32_t* prev, int32_t* v, int32_t tmin, int32_t tmax, int32_t start);

    std::vector<int32_t> values_;
    std::vector<std::size_t> offsets_;
    std::vector<int32_t> prefix_, suffix_;
};

// Layer k's range from the series record, clipped to the positions where a
// pulse fits in the series.
void storedRanges(const SeriesHeader& series, std::vector<LayerRange>& ranges);
// Layer k's range from the series geometry and the bounds given.
void formulaRanges(const SeriesHeader& series, int32_t tmin, int32_t tmax,
                   std::vector<LayerRange>& ranges);
// The smallest range holding every layer's; empty when all are.
LayerRange coveringRange(std::span<const LayerRange> ranges);

}  // namespace etalon
