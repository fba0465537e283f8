#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <vector>

#include "processing/intervals_header.h"
#include "processing/pulse_fit.h"
#include "processing/restored_chain.h"

namespace etalon {

// PositionChain for a group of eight etalons at once, one per lane: every
// table holds value[x * 8 + lane] (x * 4 for a group of at most four), so the
// programme's step is the same few vector operations for all of them. The window minima (van Herk
// blocks, as in WindowMinima) keep where each lane's minimum lies too, leftmost first, so a
// position's predecessor is known as its value is found and reading a chain
// out costs one step per pulse.
class LanePositionChain {
  public:
    static constexpr int kLanes = 8;

    // Sizes the tables for a series of n samples and `groups` groups of eight
    // etalons; throws std::bad_alloc.
    void reserve(std::size_t n, std::size_t groups);

    // Chain values class by class from the fits of the tables (the first
    // `used` lanes count; the others must still name tables), as
    // PositionChain::run does; the predecessors are kept for `group`, the
    // values until the next run. A set `stop` throws RestoringStopped.
    void run(const PositionClasses& classes, const std::array<const FitTable*, kLanes>& tables,
             int used, int32_t tmin, int32_t tmax, int group, StopFlag stop = {});
    // Per lane of the last run: the leftmost position of `ends` with the
    // smallest value below start (-1 if none) and that value (start if none),
    // as PositionChain::findEnd; kept at group * 8 + lane.
    void findEnds(const PositionClasses& classes, int32_t start, int group);
    int32_t endAt(int slot) const { return endAt_[slot]; }
    int32_t endValue(int slot) const { return endValue_[slot]; }
    // Positions and etalon number of the chain of lane `slot % 8` of group
    // `slot / 8` that ends at x, first pulse first; windows left to the caller.
    void fillChain(int slot, int32_t x, int32_t etalon, RestoredChain& chain) const;

  private:
    int32_t predecessor(int slot, int32_t x) const;

    const PositionClasses* classes_ = nullptr;
    std::size_t n_ = 0;
    std::vector<int32_t> fit_, value_, suffixValue_, suffixAt_;
    std::vector<int32_t> pred_;  // per group, n * 8 entries
    std::vector<int> width_;     // per group: lanes of its tables, 8 or 4
    std::vector<int32_t> endAt_, endValue_;
};

// The distinct etalons of a list, in the order of their first entries, each
// with its slot (group * 8 + lane) in the lane tables.
class LaneEtalons {
  public:
    // Throws std::bad_alloc.
    void reserve(std::size_t alphabetSize);
    void assign(std::span<const uint16_t> etalons);
    // Alphabet indexes of the distinct etalons.
    std::span<const int32_t> distinct() const { return {distinct_.data(), count_}; }
    int groups() const {
        return static_cast<int>((count_ + LanePositionChain::kLanes - 1) /
                                LanePositionChain::kLanes);
    }
    int slotOf(uint16_t etalon) const { return slot_[etalon - 1]; }

  private:
    std::vector<int32_t> distinct_, slot_;
    std::size_t count_ = 0;
};

}  // namespace etalon
