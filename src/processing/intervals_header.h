#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "base/message_sink.h"
#include "processing/restoring_stop.h"
#include "series/series_header.h"

namespace etalon {

// A set of 16-bit positions as sorted, disjoint closed intervals. Touching
// intervals stay separate entries. The capacity is fixed by getIntervalsHeader;
// an operation that would need more entries is refused.
struct IntervalsHeader {
    uint16_t wMaxIntervals = 0;
    uint16_t wIntervals = 0;
    // 2 * wMaxIntervals entries: the starts, then the ends.
    std::vector<uint16_t> block;

    uint16_t* lpStarts() { return block.data(); }
    uint16_t* lpEnds() { return block.data() + wMaxIntervals; }
    const uint16_t* lpStarts() const { return block.data(); }
    const uint16_t* lpEnds() const { return block.data() + wMaxIntervals; }
    uint16_t start(int i) const { return block[i]; }
    uint16_t end(int i) const { return block[wMaxIntervals + i]; }
};

// Returns a record with room for at least `capacity` intervals and none held;
// null after a failure (the record passed in is then gone too).
std::unique_ptr<IntervalsHeader> getIntervalsHeader(MessageSink& sink,
                                                    std::unique_ptr<IntervalsHeader> record,
                                                    uint16_t capacity);
// Releases the record; always leaves it null.
std::unique_ptr<IntervalsHeader> freeIntervalsHeader(MessageSink& sink,
                                                     std::unique_ptr<IntervalsHeader> record);

// set := set u [lo, hi]. 0 when refused (no record, lo > hi, no free entry).
int addInterval(MessageSink& sink, IntervalsHeader* set, uint16_t lo, uint16_t hi);
int addIntervals(MessageSink& sink, IntervalsHeader* set, const IntervalsHeader* other);
// set := set - [lo, hi]. 0 when refused (an interval to split in a full set).
int subInterval(MessageSink& sink, IntervalsHeader* set, uint16_t lo, uint16_t hi);
int subIntervals(MessageSink& sink, IntervalsHeader* set, const IntervalsHeader* other);
// The destination (created or grown to the source's capacity) holding the
// source's intervals; null without a source or after a failure.
std::unique_ptr<IntervalsHeader> copyIntervals(MessageSink& sink,
                                               std::unique_ptr<IntervalsHeader> destination,
                                               const IntervalsHeader* source);
// set := set n [lo, hi].
int clipIntervals(MessageSink& sink, IntervalsHeader* set, uint16_t lo, uint16_t hi);
// set := set n other.
int crossIntervals(MessageSink& sink, IntervalsHeader* set, const IntervalsHeader* other);

// Where a pulse may start when the pulse count lies in [wMinPulses,
// wMaxPulses]: as the first pulse of a chain, as a later one, as the last one.
struct OmegaSets {
    std::unique_ptr<IntervalsHeader> minus;
    std::unique_ptr<IntervalsHeader> tilda;
    std::unique_ptr<IntervalsHeader> plus;
};
// Null members after an allocation failure. Later pulses are added a count
// at a time, skipping the intervals an entry already holds, so the work grows
// with the pulse count and the entries, not its square; a set `stop` throws
// RestoringStopped between counts.
OmegaSets makeOmegaSets(MessageSink& sink, const SeriesHeader& series, uint16_t tmin, uint16_t tmax,
                        StopFlag stop = {});

// The classes the unknown-count procedures scan, as lists of intervals.
struct PositionClasses {
    struct Range {
        int32_t lo, hi;
    };
    std::vector<Range> firstOnly;     // omega_minus - omega_tilda
    std::vector<Range> firstOrLater;  // omega_minus x omega_tilda
    std::vector<Range> laterOnly;     // omega_tilda - omega_minus
    std::vector<Range> fitted;        // omega_minus u omega_tilda
    std::vector<Range> ends;          // omega_plus
    // Per series position: 0 in no class, 1 first-only, 2 first-or-later,
    // 3 later-only (the order the classes are computed in).
    std::vector<uint8_t> classOf;
    std::vector<uint8_t> fittedAt;  // per position: 1 when in `fitted`
    // Positions whose chain value is read while it is still unreached: those
    // in no class, and later-only ones inside first-or-later windows.
    std::vector<Range> readUnreached;
};
// Computes the classes through one working record, as the sets' own
// operations do (capacity refusals included). False after an allocation failure.
bool makePositionClasses(MessageSink& sink, const SeriesHeader& series, uint16_t tmin,
                         uint16_t tmax, PositionClasses& classes, StopFlag stop = {});

// The classes of the last geometry asked for: consecutive runs on series of
// the same geometry (the simulation's repeats, the same series processed
// again) skip rebuilding them.
class PositionClassesCache {
  public:
    // False after an allocation failure.
    bool get(MessageSink& sink, const SeriesHeader& series, uint16_t tmin, uint16_t tmax,
             const PositionClasses*& classes, StopFlag stop = {});

  private:
    struct Key {
        uint32_t n = 0;
        uint16_t length = 0, minP = 0, maxP = 0, tmin = 0, tmax = 0;
        bool operator==(const Key&) const = default;
    };
    Key key_;
    bool valid_ = false;
    PositionClasses classes_;
};

}  // namespace etalon
