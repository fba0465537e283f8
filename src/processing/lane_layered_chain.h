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

    // Bytes of the tables that keep every layer for these ranges.
    static std::size_t everyLayerBytes(std::span<const LayerRange> ranges);
    // Whether `groups` chains keeping every layer stay within `budget` bytes.
    static bool keepsEveryLayer(std::span<const LayerRange> ranges, std::size_t groups,
                                std::size_t budget) {
        return groups * everyLayerBytes(ranges) <= budget;
    }
    // Bytes of the tables of a chain that keeps one layer in about sqrt(Q)
    // (forward without every layer), and of the room traceLanes computes the
    // layers between two kept ones in (one room serves every chain).
    static std::size_t checkpointBytes(std::span<const LayerRange> ranges, int32_t tmin,
                                       int32_t tmax);
    // traceLanes keeps that room within `traceCache` bytes when it can.
    static std::size_t stretchBytes(std::span<const LayerRange> ranges, std::size_t traceCache);

    // Sizes the tables for these ranges and bounds, every layer or only the
    // checkpoints; throws std::bad_alloc.
    void reserve(std::span<const LayerRange> ranges, int32_t tmin, int32_t tmax, bool everyLayer,
                 std::size_t traceCache);

    // The programme's values. fits[k][(x - ranges[k].lo) * kLanes + lane] is
    // the lane's fit at x in layer k. Layers 1..Q-1 cap the predecessor
    // minimum at `start`. With `everyLayer` every layer is kept for
    // backtrack; otherwise one in about sqrt(Q), for traceLanes. Here and in
    // the read-outs, a set `stop` throws RestoringStopped.
    void forward(std::span<const LayerRange> ranges, std::span<const int32_t* const> fits,
                 int32_t tmin, int32_t tmax, int32_t start, bool everyLayer = true,
                 StopFlag stop = {});
    // For the first `used` lanes: the leftmost smallest value of the last
    // layer below `start` and where it is (-1 when there is none).
    void findEnds(int32_t start, int used, int32_t* position, int32_t* value) const;
    // The lane's chain ending at positions[Q-1]: each earlier pulse the
    // leftmost smallest value below `start` in its window. False when a
    // window holds none. Needs a forward pass that kept every layer.
    bool backtrack(int lane, int32_t start, std::span<int32_t> positions, StopFlag stop = {}) const;
    // backtrack for the lanes marked in `wanted` after a forward pass that
    // kept one layer in about sqrt(Q), with the same fits: the layers
    // between two kept ones are computed again in `room` (stretchBytes) as
    // the chains pass through them. positions[lane] holds the lane's Q
    // positions, its last one set; found[lane] tells whether the chain was
    // read out.
    void traceLanes(std::span<const int32_t* const> fits, const bool* wanted,
                    std::span<int32_t* const, kLanes> positions, bool* found,
                    std::span<int32_t> room, StopFlag stop = {});

  private:
    // A layer's values over part of its range.
    struct Part {
        LayerRange range;
        int32_t* values = nullptr;
    };
    void layer(std::size_t k, std::span<const int32_t* const> fits, const int32_t* prev,
               int32_t* out, bool vector);
    void layerPart(std::size_t k, std::span<const int32_t* const> fits, const Part& prev,
                   const Part& out, bool vector);
    // Layer k's positions from which a chain can reach [lo, hi] at layer end.
    LayerRange reach(std::size_t k, std::size_t end, int32_t lo, int32_t hi) const;
    void keep(std::span<const LayerRange> ranges, int32_t tmin, int32_t tmax, int32_t start);

    std::vector<LayerRange> ranges_;
    int32_t tmin_ = 0, tmax_ = 0, start_ = 0;
    std::size_t every_ = 1;  // one kept layer in so many
    std::size_t traceCache_ = 0;
    std::vector<int32_t> values_;
    std::vector<std::size_t> offsets_;  // first value of each layer
    const int32_t* last_ = nullptr;     // the last layer's values
    std::vector<int32_t> prefix_;
    // traceLanes: the kept layers of a stretch, and the layers of a sub-stretch.
    std::vector<Part> kept_;
    std::vector<Part> stretch_;
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
// the first ranked. `ranked` and `kept` hold room for n candidates. Before
// the first read-out, `onRanked` learns the candidates kept when every chain
// can be read (so a read-out may do theirs together).
template <class HasEnd, class Criterion, class ReadOut, class OnRanked>
std::size_t keptCandidates(std::size_t n, const ChainsHeader* chains, HasEnd hasEnd,
                           Criterion criterion, ReadOut readOut, int32_t* ranked, int32_t* kept,
                           int32_t& best, OnRanked onRanked) {
    std::size_t ends = 0;
    for (std::size_t c = 0; c < n; ++c) {
        if (hasEnd(c)) ranked[ends++] = static_cast<int32_t>(c);
    }
    std::stable_sort(ranked, ranked + ends,
                     [&](int32_t a, int32_t b) { return criterion(a) < criterion(b); });
    const std::size_t wanted = chains && chains->wMaxSize > 0 ? chains->wMaxSize : 1;
    onRanked(std::span<const int32_t>(ranked, std::min(ends, wanted)));
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
