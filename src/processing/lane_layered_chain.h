#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include <algorithm>

#include "processing/chains_header.h"
#include "processing/lanes.h"
#include "processing/layered_chain.h"

namespace etalon {

// LayeredChain's programme for eight candidates at once, one per lane: the
// layers' ranges and bounds are shared, only the fits differ. Every table
// holds the eight values of a position side by side, so each step of the
// programme is one vector operation for all eight.
class LaneLayeredChain {
  public:
    static constexpr int kLanes = lanes::kLanes;

    // Sizes the tables for these ranges and bounds; throws std::bad_alloc.
    void reserve(std::span<const LayerRange> ranges, int32_t tmin, int32_t tmax);

    // Every layer's values. fits[k][(x - ranges[k].lo) * kLanes + lane] is
    // the lane's fit at x in layer k. Layers 1..Q-1 cap the predecessor
    // minimum at `start`.
    void forward(std::span<const LayerRange> ranges, std::span<const int32_t* const> fits,
                 int32_t tmin, int32_t tmax, int32_t start);
    // For the first `used` lanes: the leftmost smallest value of the last
    // layer below `start` and where it is (-1 when there is none).
    void findEnds(int32_t start, int used, int32_t* position, int32_t* value) const;
    // The lane's chain ending at positions[Q-1]: each earlier pulse the
    // leftmost smallest value below `start` in its window. False when a
    // window holds none.
    bool backtrack(int lane, int32_t start, std::span<int32_t> positions) const;

  private:
    std::vector<LayerRange> ranges_;
    int32_t tmin_ = 0, tmax_ = 0;
    std::vector<int32_t> values_;
    std::vector<std::size_t> offsets_;  // first value of each layer
    std::vector<int32_t> prefix_;
};

// out[p * 8 + lane] = tables[lane][p] for `count` positions; 0 where a
// lane has no table.
void spreadIntoLanes(std::span<const int32_t* const, LaneLayeredChain::kLanes> tables,
                     int32_t count, int32_t* out);

// The candidates whose chains a results record ends up holding when every
// candidate's chain is inserted in candidate order: the first wMaxSize (1
// without a record, for the best alone) of those that have an end, ranked by
// criterion with ties in candidate order, whose chain `readOut` can read.
// Leaves them in kept[0..) in candidate order and returns how many; `best` is
// the first ranked. `ranked` and `kept` hold room for n candidates.
template <class HasEnd, class Criterion, class ReadOut>
std::size_t keptCandidates(std::size_t n, const ChainsHeader* chains, HasEnd hasEnd,
                           Criterion criterion, ReadOut readOut, int32_t* ranked, int32_t* kept,
                           int32_t& best) {
    std::size_t ends = 0;
    for (std::size_t c = 0; c < n; ++c) {
        if (hasEnd(c)) ranked[ends++] = static_cast<int32_t>(c);
    }
    std::stable_sort(ranked, ranked + ends,
                     [&](int32_t a, int32_t b) { return criterion(a) < criterion(b); });
    const std::size_t wanted = chains && chains->wMaxSize > 0 ? chains->wMaxSize : 1;
    std::size_t count = 0;
    for (std::size_t i = 0; i < ends && count < wanted; ++i) {
        if (readOut(ranked[i])) kept[count++] = ranked[i];
    }
    if (count == 0) return 0;
    best = kept[0];
    std::sort(kept, kept + count);
    return count;
}

}  // namespace etalon
