#include "processing/intervals_header.h"

#include <algorithm>

#include "base/allocation.h"

namespace etalon {

std::unique_ptr<IntervalsHeader> getIntervalsHeader(MessageSink& /*sink*/,
                                                    std::unique_ptr<IntervalsHeader> record,
                                                    uint16_t capacity) {
    if (record && record->wMaxIntervals < capacity) record->block.clear();
    if (!record) {
        record = allocateRecord<IntervalsHeader>();
        if (!record) return nullptr;
    }
    if (record->block.empty()) {
        if (!allocateBuffer(record->block, std::size_t{2} * capacity)) return nullptr;
        record->wMaxIntervals = capacity;
    }
    record->wIntervals = 0;
    std::fill(record->block.begin(), record->block.end(), uint16_t{0});
    return record;
}

std::unique_ptr<IntervalsHeader> freeIntervalsHeader(MessageSink& /*sink*/,
                                                     std::unique_ptr<IntervalsHeader> /*record*/) {
    return nullptr;
}

namespace {

// Opens a gap of one entry at i, moving later intervals up.
void openEntry(IntervalsHeader& set, int i) {
    uint16_t* starts = set.lpStarts();
    uint16_t* ends = set.lpEnds();
    for (int k = set.wIntervals; k > i; --k) {
        starts[k] = starts[k - 1];
        ends[k] = ends[k - 1];
    }
    ++set.wIntervals;
}

// Removes entries [i, i + count), moving later intervals down.
void closeEntries(IntervalsHeader& set, int i, int count) {
    if (count <= 0) return;
    uint16_t* starts = set.lpStarts();
    uint16_t* ends = set.lpEnds();
    for (int k = i; k + count < set.wIntervals; ++k) {
        starts[k] = starts[k + count];
        ends[k] = ends[k + count];
    }
    set.wIntervals = static_cast<uint16_t>(set.wIntervals - count);
}

}  // namespace

int addInterval(MessageSink& /*sink*/, IntervalsHeader* set, uint16_t lo, uint16_t hi) {
    if (!set || lo > hi) return 0;
    uint16_t* starts = set->lpStarts();
    uint16_t* ends = set->lpEnds();
    const int count = set->wIntervals;
    int j = 0;
    while (j < count && ends[j] < lo)
        ++j;
    if (j == count || hi < starts[j]) {
        if (set->wIntervals >= set->wMaxIntervals) return 0;
        openEntry(*set, j);
        starts[j] = lo;
        ends[j] = hi;
        return 1;
    }
    int last = j;
    while (last + 1 < count && starts[last + 1] <= hi)
        ++last;
    starts[j] = std::min(lo, starts[j]);
    ends[j] = std::max(hi, ends[last]);
    closeEntries(*set, j + 1, last - j);
    return 1;
}

int addIntervals(MessageSink& sink, IntervalsHeader* set, const IntervalsHeader* other) {
    if (!set || !other) return 0;
    for (int i = 0; i < other->wIntervals; ++i)
        addInterval(sink, set, other->start(i), other->end(i));
    return 1;
}

int subInterval(MessageSink& /*sink*/, IntervalsHeader* set, uint16_t lo, uint16_t hi) {
    if (!set || lo > hi) return 0;
    uint16_t* starts = set->lpStarts();
    uint16_t* ends = set->lpEnds();
    // An interval holding [lo, hi] strictly inside splits in two.
    for (int i = 0; i < set->wIntervals; ++i) {
        if (starts[i] < lo && hi < ends[i]) {
            if (set->wIntervals >= set->wMaxIntervals) return 0;
            openEntry(*set, i + 1);
            starts[i + 1] = static_cast<uint16_t>(hi + 1);
            ends[i + 1] = ends[i];
            ends[i] = static_cast<uint16_t>(lo - 1);
            return 1;
        }
    }
    int i = 0;
    while (i < set->wIntervals) {
        if (ends[i] < lo || starts[i] > hi) {
            ++i;
        } else if (starts[i] >= lo && ends[i] <= hi) {
            closeEntries(*set, i, 1);
        } else {
            if (starts[i] < lo)
                ends[i] = static_cast<uint16_t>(lo - 1);
            else
                starts[i] = static_cast<uint16_t>(hi + 1);
            ++i;
        }
    }
    return 1;
}

int subIntervals(MessageSink& sink, IntervalsHeader* set, const IntervalsHeader* other) {
    if (!set || !other) return 0;
    for (int i = 0; i < other->wIntervals; ++i)
        subInterval(sink, set, other->start(i), other->end(i));
    return 1;
}

std::unique_ptr<IntervalsHeader> copyIntervals(MessageSink& sink,
                                               std::unique_ptr<IntervalsHeader> destination,
                                               const IntervalsHeader* source) {
    if (!source) return nullptr;
    destination = getIntervalsHeader(sink, std::move(destination), source->wMaxIntervals);
    if (!destination) return nullptr;
    std::copy_n(source->lpStarts(), source->wIntervals, destination->lpStarts());
    std::copy_n(source->lpEnds(), source->wIntervals, destination->lpEnds());
    destination->wIntervals = source->wIntervals;
    return destination;
}

int clipIntervals(MessageSink& /*sink*/, IntervalsHeader* set, uint16_t lo, uint16_t hi) {
    if (!set || lo > hi) return 0;
    uint16_t* starts = set->lpStarts();
    uint16_t* ends = set->lpEnds();
    int kept = 0;
    for (int i = 0; i < set->wIntervals; ++i) {
        if (ends[i] < lo || starts[i] > hi) continue;
        starts[kept] = std::max(starts[i], lo);
        ends[kept] = std::min(ends[i], hi);
        ++kept;
    }
    set->wIntervals = static_cast<uint16_t>(kept);
    return 1;
}

int crossIntervals(MessageSink& sink, IntervalsHeader* set, const IntervalsHeader* other) {
    if (!set || !other) return 0;
    std::unique_ptr<IntervalsHeader> held = copyIntervals(sink, nullptr, set);
    if (!held) return 0;
    set->wIntervals = 0;
    std::unique_ptr<IntervalsHeader> piece;
    for (int i = 0; i < other->wIntervals; ++i) {
        piece = copyIntervals(sink, std::move(piece), held.get());
        if (!piece) return 0;
        clipIntervals(sink, piece.get(), other->start(i), other->end(i));
        addIntervals(sink, set, piece.get());
    }
    return 1;
}

namespace {

// Adds [lo, hi] computed in signed arithmetic; an empty interval adds nothing.
// (64-bit, so that absurd settings cannot wrap into a valid-looking interval).
void addSigned(MessageSink& sink, IntervalsHeader* set, int64_t lo, int64_t hi) {
    lo = std::max<int64_t>(lo, 0);
    hi = std::min<int64_t>(hi, UINT16_MAX);
    if (lo > hi) return;
    addInterval(sink, set, static_cast<uint16_t>(lo), static_cast<uint16_t>(hi));
}

// The index of the entry holding every position of [lo, hi], or -1.
int holdingEntry(const IntervalsHeader& set, int64_t lo, int64_t hi) {
    const uint16_t* ends = set.lpEnds();
    const int i = static_cast<int>(std::lower_bound(ends, ends + set.wIntervals, lo) - ends);
    return i < set.wIntervals && set.start(i) <= lo && hi <= set.end(i) ? i : -1;
}

int64_t floorDiv(int64_t a, int64_t b) {
    return a / b - (a % b != 0 && (a < 0) != (b < 0));
}

// Pulse l + 1 (l = 1..k - 1) of a chain of k pulses: each interval added as
// the sets' own addInterval adds it. An interval held whole by one entry
// changes nothing, and as l grows both ends of the interval grow, so every
// later one up to the last whose end the entry still holds is skipped at
// once: a block costs its few intervals that change the set, not its k - 1.
void addTildaBlock(MessageSink& sink, IntervalsHeader& tilda, int64_t n, int64_t length, int64_t t0,
                   int64_t t1, int64_t k) {
    const auto lo = [&](int64_t l) { return std::max(n - t1 * (k - l), t0 * l); };
    const int64_t a = t1 - length, b = n - length - t0 * (k - 1);
    const auto hi = [&](int64_t l) { return std::min(a + t1 * l, b + t0 * l); };
    // Where steps of Tmin..Tmax reach from a first pulse to a last one, a
    // count k either has a chain, and then every pulse of it lies in its
    // interval (none is empty), or has none and every interval is empty.
    // Other settings take every interval.
    const bool skips = t0 >= 1 && t0 <= t1 && t1 >= length && n <= UINT16_MAX;
    if (skips && k >= 2 && lo(1) > hi(1)) return;
    for (int64_t l = 1; l <= k - 1;) {
        const int64_t from = std::max<int64_t>(lo(l), 0), to = std::min<int64_t>(hi(l), UINT16_MAX);
        const int entry = skips && from <= to ? holdingEntry(tilda, from, to) : -1;
        if (entry < 0) {
            addSigned(sink, &tilda, lo(l), hi(l));
            ++l;
            continue;
        }
        const int64_t end = tilda.end(entry);
        const int64_t last = std::max(floorDiv(end - a, t1), floorDiv(end - b, t0));
        l = std::max(l, last) + 1;
    }
}

}  // namespace

OmegaSets makeOmegaSets(MessageSink& sink, const SeriesHeader& series, uint16_t tmin, uint16_t tmax,
                        StopFlag stop) {
    OmegaSets sets;
    const int64_t n = series.dwSeriesSize;
    const int64_t length = series.wImpulseSize;
    const int64_t minP = series.wMinPulses;
    const int64_t maxP = series.wMaxPulses;
    const int64_t t0 = tmin, t1 = tmax;
    sets.minus = getIntervalsHeader(sink, nullptr, series.wMaxPulses);
    sets.tilda = getIntervalsHeader(sink, nullptr, series.wMaxPulses);
    sets.plus = getIntervalsHeader(sink, nullptr, series.wMaxPulses);
    if (!sets.minus || !sets.tilda || !sets.plus) return OmegaSets{};
    for (int64_t k = minP; k <= maxP; ++k) {
        stop.check();
        addSigned(sink, sets.minus.get(), std::max<int64_t>(0, n - t1 * k),
                  std::min(t1 - length, n - length - t0 * (k - 1)));
    }
    for (int64_t k = minP; k <= maxP; ++k) {
        stop.check();
        addTildaBlock(sink, *sets.tilda, n, length, t0, t1, k);
    }
    for (int64_t k = minP; k <= maxP; ++k) {
        stop.check();
        addSigned(sink, sets.plus.get(), std::max(n - t1, t0 * (k - 1)),
                  std::min(n - length, t1 - length + t1 * (k - 1)));
    }
    return sets;
}

namespace {

// The ranges of a set, cut to the positions where a whole pulse lies inside
// the series: with pulses longer than Tmax the sets reach past its end, and
// no pulse can start there.
void toRanges(const IntervalsHeader& set, int32_t lastStart,
              std::vector<PositionClasses::Range>& out) {
    out.clear();
    for (int i = 0; i < set.wIntervals; ++i) {
        const int32_t hi = std::min<int32_t>(set.end(i), lastStart);
        if (set.start(i) <= hi) out.push_back({set.start(i), hi});
    }
}

}  // namespace

bool makePositionClasses(MessageSink& sink, const SeriesHeader& series, uint16_t tmin,
                         uint16_t tmax, PositionClasses& classes, StopFlag stop) {
    OmegaSets sets = makeOmegaSets(sink, series, tmin, tmax, stop);
    if (!sets.minus) return false;
    std::unique_ptr<IntervalsHeader> work;
    // A record that holds no series yet has no pulse length; its positions
    // still end with the series.
    const int32_t lastStart =
        static_cast<int32_t>(series.dwSeriesSize) - std::max<int32_t>(series.wImpulseSize, 1);

    work = copyIntervals(sink, std::move(work), sets.minus.get());
    if (!work) return false;
    subIntervals(sink, work.get(), sets.tilda.get());
    toRanges(*work, lastStart, classes.firstOnly);
    stop.check();

    work = copyIntervals(sink, std::move(work), sets.minus.get());
    if (!work || !crossIntervals(sink, work.get(), sets.tilda.get())) return false;
    toRanges(*work, lastStart, classes.firstOrLater);
    stop.check();

    work = copyIntervals(sink, std::move(work), sets.tilda.get());
    if (!work) return false;
    subIntervals(sink, work.get(), sets.minus.get());
    toRanges(*work, lastStart, classes.laterOnly);

    work = copyIntervals(sink, std::move(work), sets.minus.get());
    if (!work) return false;
    addIntervals(sink, work.get(), sets.tilda.get());
    toRanges(*work, lastStart, classes.fitted);

    toRanges(*sets.plus, lastStart, classes.ends);

    classes.classOf.assign(series.dwSeriesSize, 0);
    const std::vector<PositionClasses::Range>* ordered[] = {
        &classes.firstOnly, &classes.firstOrLater, &classes.laterOnly};
    for (uint8_t c = 0; c < 3; ++c) {
        for (const auto& r : *ordered[c]) {
            const int32_t hi =
                std::min<int32_t>(r.hi, static_cast<int32_t>(series.dwSeriesSize) - 1);
            for (int32_t x = r.lo; x <= hi; ++x)
                classes.classOf[x] = static_cast<uint8_t>(c + 1);
        }
    }
    int32_t lastSecond = -1;
    for (const auto& r : classes.firstOrLater)
        lastSecond = std::max<int32_t>(lastSecond, r.hi);
    const int32_t readLimit = lastSecond - std::max<int32_t>(tmin, 1);
    classes.readUnreached.clear();
    for (int32_t x = 0; x < static_cast<int32_t>(series.dwSeriesSize); ++x) {
        const uint8_t c = classes.classOf[x];
        if (!(c == 0 || (c == 3 && x <= readLimit))) continue;
        if (!classes.readUnreached.empty() && classes.readUnreached.back().hi == x - 1) {
            classes.readUnreached.back().hi = x;
        } else {
            classes.readUnreached.push_back({x, x});
        }
    }
    classes.fittedAt.assign(series.dwSeriesSize, 0);
    for (const auto& r : classes.fitted) {
        const int32_t hi = std::min<int32_t>(r.hi, static_cast<int32_t>(series.dwSeriesSize) - 1);
        for (int32_t x = r.lo; x <= hi; ++x)
            classes.fittedAt[x] = 1;
    }
    return true;
}

bool PositionClassesCache::get(MessageSink& sink, const SeriesHeader& series, uint16_t tmin,
                               uint16_t tmax, const PositionClasses*& classes, StopFlag stop) {
    const Key key{
        series.dwSeriesSize, series.wImpulseSize, series.wMinPulses, series.wMaxPulses, tmin, tmax};
    if (!valid_ || !(key == key_)) {
        valid_ = false;
        if (!makePositionClasses(sink, series, tmin, tmax, classes_, stop)) return false;
        key_ = key;
        valid_ = true;
    }
    classes = &classes_;
    return true;
}

}  // namespace etalon
