#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <vector>

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
    // Per lane: the leftmost smallest value of the last layer below `start`
    // and where it is (-1 when there is none).
    void findEnds(int32_t start, std::array<int32_t, kLanes>& position,
                  std::array<int32_t, kLanes>& value) const;
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

}  // namespace etalon
