#pragma once

#include <cstdint>
#include <new>
#include <span>
#include <stdexcept>
#include <vector>

#include "base/allocation.h"
#include "processing/chains_header.h"
#include "series/series_header.h"

namespace etalon {

// Values the dynamic programmes start their searches from; a value not below
// them means "nothing admissible". Which one a search starts from decides
// which positions it may still take, so each keeps its own name.
// What a position with no admissible predecessor is charged (it stays usable).
inline constexpr int32_t kNoPredecessorValue = 999999;
// A chain counts as found only with a criterion below this.
inline constexpr int32_t kNoChainValue = 9999999;
// A table entry not reached yet; never chosen.
inline constexpr int32_t kUnreachedValue = 99999999;
// Where the widest searches start: anything reached is below it.
inline constexpr int32_t kSearchStartValue = 999999999;

// One restored chain: n pulses in increasing position order.
struct RestoredChain {
    std::vector<int16_t> etalons, positions, cutStarts, cutEnds;
    int n = 0;

    void resize(std::size_t capacity) {
        etalons.resize(capacity);
        positions.resize(capacity);
        cutStarts.resize(capacity);
        cutEnds.resize(capacity);
    }
    ChainView view() const {
        const auto count = static_cast<std::size_t>(n);
        return {{etalons.data(), count},
                {positions.data(), count},
                {cutStarts.data(), count},
                {cutEnds.data(), count}};
    }
    void set(int k, int32_t etalon, int32_t position, int32_t begin, int32_t end) {
        etalons[k] = static_cast<int16_t>(etalon);
        positions[k] = static_cast<int16_t>(position);
        cutStarts[k] = static_cast<int16_t>(begin);
        cutEnds[k] = static_cast<int16_t>(end);
    }
};

// How restored pulses group into tuples: first and last 1-based pulse number.
struct TupleSegmentation {
    std::vector<int16_t> first, second;
    int count = 0;

    // The first group holds `head` pulses (at most n), the others `period`.
    void make(int n, int head, int period);
};

// The restored-pulse fields of the series record; a chain longer than the
// record's arrays is cut to them.
void writeRestoredPulses(SeriesHeader& series, const RestoredChain& chain);
void writeRestoredTuples(SeriesHeader& series, const TupleSegmentation& tuples);

// Working tables are kept between runs. Each call stands for one allocation of
// the run (so injected failures hit the same step every time) and grows the
// tables only when a run needs more than any before.
template <class Grow>
[[nodiscard]] bool growTables(Grow&& grow) {
    if (allocationShouldFail()) return false;
    try {
        grow();
        return true;
    } catch (const std::bad_alloc&) {
        return false;
    } catch (const std::length_error&) {
        return false;
    }
}

// The procedures' out-of-memory report: the table's name, no caption.
void reportNoMemory(MessageSink& sink, const char* text);

// Insert the chain as held rank 0 would see it: true when it becomes the best.
bool becomesBest(const ChainsHeader* chains, int32_t criterion);

}  // namespace etalon
