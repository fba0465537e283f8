#include "processing/layered_chain.h"

#include <algorithm>

#include "processing/cpu_dispatch.h"
#include "processing/lanes.h"
#include "processing/pulse_fit.h"
#include "processing/window_minima.h"

namespace etalon {

void LayeredChain::reserve(std::span<const LayerRange> ranges, int32_t tmin, int32_t tmax) {
    std::size_t total = 0, widest = 0;
    for (const LayerRange& r : ranges) {
        const std::size_t width = r.hi >= r.lo ? static_cast<std::size_t>(r.hi - r.lo + 1) : 0;
        total += width;
        widest = std::max(widest, width);
    }
    if (values_.size() < total) values_.resize(total);
    if (offsets_.size() < ranges.size() + 1) offsets_.resize(ranges.size() + 1);
    const std::size_t span = widest + static_cast<std::size_t>(std::max(tmax - tmin, 0));
    for (auto* table : {&prefix_, &suffix_}) {
        if (table->size() < span) table->resize(span);
    }
}

namespace {

struct LayerStep {
    LayerRange r, p;
    const int32_t* fit;
    const int32_t* prev;
    int32_t* v;
    int32_t tmin, tmax, start;
    int32_t *prefix, *suffix;
};

// v[i] = min(window minimum, start) + fit[i] for i in [from, to), the
// minimum over what the window sees: a suffix, a prefix, both or nothing.
// Whole vectors, the last one overlapping those before it (the values it
// writes again come out the same); only fewer than eight go one by one.
template <bool Suffix, bool Prefix>
ETALON_LOOP_BODY void capAndAdd(const int32_t* suffix, const int32_t* prefix, const int32_t* fit,
                                int32_t* v, int32_t from, int32_t to, int32_t start) {
    using namespace lanes;
    if (to - from < kLanes) {
        for (int32_t i = from; i < to; ++i) {
            int32_t m = start;
            if constexpr (Suffix) m = std::min(m, suffix[i]);
            if constexpr (Prefix) m = std::min(m, prefix[i]);
            v[i] = wrapAdd(m, fit[i]);
        }
        return;
    }
    const Lanes cap = splat(start);
    const auto at = [&](int32_t i) __attribute__((always_inline)) {
        Lanes m = cap;
        if constexpr (Suffix) m = lanes::min(m, load(suffix + i));
        if constexpr (Prefix) m = lanes::min(m, load(prefix + i));
        store(v + i, wrapAdd(m, load(fit + i)));
    };
    int32_t i = from;
    for (; i + kLanes <= to; i += kLanes)
        at(i);
    if (i < to) at(to - kLanes);
}

// Every window [x - Tmax, x - Tmin] has the same width w, so with blocks of w
// positions each window is a suffix of one block and a prefix of the next:
// two running minima per block answer every window in O(1) (van Herk / Gil and
// Werman). Positions outside the previous layer's range count as the start
// value, which caps the minimum exactly as the predecessor search does; so the
// blocks start where that range does, the minima run over the range alone,
// and the start value caps each window's minimum at the end.
ETALON_LOOP_BODY void forwardLayerBody(const LayerStep& s) {
    const int32_t count = s.r.hi - s.r.lo + 1;
    if (count <= 0) return;
    const int32_t* fit = s.fit;
    int32_t* v = s.v;
    if (s.tmax < s.tmin) {
        capAndAdd<false, false>(nullptr, nullptr, fit, v, 0, count, s.start);
        return;
    }
    // Window i covers t = i .. i + w - 1, t = z - first.
    const int32_t width = s.tmax - s.tmin + 1;
    const int32_t first = s.r.lo - s.tmax;   // z of the first window's start
    const int32_t span = count + width - 1;  // positions any window covers
    const int32_t from = std::max(s.p.lo, first), to = std::min(s.p.hi, first + span - 1);
    if (from > to) {
        capAndAdd<false, false>(nullptr, nullptr, fit, v, 0, count, s.start);
        return;
    }
    const int32_t a = from - first, b = to - first;  // the previous layer's part of t
    const int32_t* prev = s.prev + (from - s.p.lo);  // at t = a
    int32_t* prefix = s.prefix;
    int32_t* suffix = s.suffix;
    int32_t block = a;
    for (; block <= b; block += width) {
        const int32_t n = std::min(block + width - 1, b) - block + 1;
        runningMinForwardBody(prev + (block - a), n, INT32_MAX, prefix + block);
        runningMinBackwardBody(prev + (block - a), n, suffix + block);
    }
    // Nothing enters the last block past b; windows reaching past it see no value.
    const int32_t last = block - width;
    for (int32_t t = b + 1; t < std::min(block, span); ++t)
        prefix[t] = prefix[b];
    const auto clip = [count](int32_t i) { return std::clamp(i, 0, count); };
    const int32_t* ending = prefix + width - 1;  // window i ends at t = i + w - 1
    capAndAdd<false, false>(nullptr, nullptr, fit, v, 0, clip(a - width + 1), s.start);
    capAndAdd<false, true>(nullptr, ending, fit, v, clip(a - width + 1), clip(a), s.start);
    capAndAdd<true, true>(suffix, ending, fit, v, clip(a), clip(last + 1), s.start);
    capAndAdd<true, false>(suffix, nullptr, fit, v, clip(last + 1), clip(b + 1), s.start);
    capAndAdd<false, false>(nullptr, nullptr, fit, v, clip(b + 1), count, s.start);
}

ETALON_AVX2 void forwardLayerAvx2(const LayerStep& s) {
    forwardLayerBody(s);
}

void forwardLayerPlain(const LayerStep& s) {
    forwardLayerBody(s);
}

// The leftmost of the smallest values below `bound` in values[0..n), or -1:
// the minimum in vectors, then its first place, with no branch that depends
// on the values until it is found.
ETALON_LOOP_BODY int32_t leftmostBelowBody(const int32_t* values, int32_t n, int32_t bound) {
    int32_t least = bound;
    for (int32_t i = 0; i < n; ++i)
        least = std::min(least, values[i]);
    if (least >= bound) return -1;
    return static_cast<int32_t>(std::find(values, values + n, least) - values);
}

ETALON_AVX2 int32_t leftmostBelowAvx2(const int32_t* values, int32_t n, int32_t bound) {
    return leftmostBelowBody(values, n, bound);
}

int32_t leftmostBelowPlain(const int32_t* values, int32_t n, int32_t bound) {
    return leftmostBelowBody(values, n, bound);
}

int32_t leftmostBelow(const int32_t* values, int32_t n, int32_t bound) {
    if (vectorLoops()) return leftmostBelowAvx2(values, n, bound);
    return leftmostBelowPlain(values, n, bound);
}

}  // namespace

void LayeredChain::forwardLayer(const LayerRange& r, const LayerRange& p, const int32_t* fit,
                                const int32_t* prev, int32_t* v, int32_t tmin, int32_t tmax,
                                int32_t start) {
    const LayerStep step{r, p, fit, prev, v, tmin, tmax, start, prefix_.data(), suffix_.data()};
    if (vectorLoops()) return forwardLayerAvx2(step);
    forwardLayerPlain(step);
}

bool LayeredChain::run(std::span<const LayerRange> ranges, std::span<const int32_t* const> fits,
                       int32_t tmin, int32_t tmax, const ChainSentinels& sentinels,
                       std::span<int32_t> positions, int32_t& criterion, StopFlag stop) {
    const int q = static_cast<int>(ranges.size());
    if (q == 0) return false;
    offsets_[0] = 0;
    for (int k = 0; k < q; ++k) {
        const std::size_t width =
            ranges[k].hi >= ranges[k].lo ? ranges[k].hi - ranges[k].lo + 1 : 0;
        offsets_[k + 1] = offsets_[k] + width;
    }
    int32_t* values = values_.data();

    // Layer 0 has no predecessor.
    {
        const LayerRange r = ranges[0];
        std::copy_n(fits[0], std::max(r.hi - r.lo + 1, 0), values + offsets_[0]);
    }
    for (int k = 1; k < q; ++k) {
        stop.check();
        forwardLayer(ranges[k], ranges[k - 1], fits[k], values + offsets_[k - 1],
                     values + offsets_[k], tmin, tmax, sentinels.predecessor);
    }

    // The last pulse: leftmost smallest value below the end start.
    const LayerRange last = ranges[q - 1];
    const int32_t* v = values + offsets_[q - 1];
    const int32_t at = leftmostBelow(v, last.hi - last.lo + 1, sentinels.end);
    if (at < 0) return false;
    criterion = v[at];
    positions[q - 1] = last.lo + at;

    for (int k = q - 2; k >= 0; --k) {
        stop.check();
        const LayerRange r = ranges[k];
        const int32_t* layer = values + offsets_[k];
        const int32_t from = std::max(positions[k + 1] - tmax, r.lo);
        const int32_t to = std::min(positions[k + 1] - tmin, r.hi);
        const int32_t z = leftmostBelow(layer + (from - r.lo), to - from + 1, sentinels.backward);
        if (z < 0) return false;
        positions[k] = from + z;
    }
    return true;
}

namespace {

// Products of counts and bounds are taken in 64 bits so absurd settings
// cannot wrap into a valid-looking range.
LayerRange clipped(int64_t lo, int64_t hi, const SeriesHeader& series) {
    const int64_t room = int64_t{series.dwSeriesSize} - series.wImpulseSize;
    lo = std::max<int64_t>(lo, 0);
    hi = std::min(hi, room);
    if (lo > hi) return {0, -1};
    return {static_cast<int32_t>(lo), static_cast<int32_t>(hi)};
}

}  // namespace

void storedRanges(const SeriesHeader& series, std::vector<LayerRange>& ranges) {
    const std::size_t q = series.wImpulseQuantity;
    ranges.resize(q);
    for (std::size_t k = 0; k < q; ++k) {
        ranges[k] = clipped(series.lpMinPositions[k], series.lpMaxPositions[k], series);
    }
}

void formulaRanges(const SeriesHeader& series, int32_t tmin, int32_t tmax,
                   std::vector<LayerRange>& ranges) {
    const int64_t q = series.wImpulseQuantity;
    const int64_t n = series.dwSeriesSize;
    const int64_t length = series.wImpulseSize;
    ranges.resize(q);
    for (int64_t k = 0; k < q; ++k) {
        ranges[k] =
            clipped(std::max(k * tmin, n - tmax * (q - k)),
                    std::min((k + 1) * tmax - length, n - length - tmin * (q - 1 - k)), series);
    }
}

LayerRange coveringRange(std::span<const LayerRange> ranges) {
    LayerRange cover{0, -1};
    bool any = false;
    for (const LayerRange& r : ranges) {
        if (r.lo > r.hi) continue;
        cover = any ? LayerRange{std::min(cover.lo, r.lo), std::max(cover.hi, r.hi)} : r;
        any = true;
    }
    return cover;
}

}  // namespace etalon
