#include "processing/lane_layered_chain.h"

#include <algorithm>

#include "processing/cpu_dispatch.h"

namespace etalon {

using lanes::Lanes;
using lanes::load;
using lanes::splat;
using lanes::store;
constexpr int kLanes = LaneLayeredChain::kLanes;

void LaneLayeredChain::reserve(std::span<const LayerRange> ranges, int32_t tmin, int32_t tmax) {
    std::size_t total = 0, widest = 0;
    for (const LayerRange& r : ranges) {
        const std::size_t width = r.hi >= r.lo ? static_cast<std::size_t>(r.hi - r.lo + 1) : 0;
        total += width;
        widest = std::max(widest, width);
    }
    ranges_.reserve(ranges.size());
    offsets_.reserve(ranges.size() + 1);
    if (values_.size() < total * kLanes) values_.resize(total * kLanes);
    const std::size_t span = widest + static_cast<std::size_t>(std::max(tmax - tmin, 0));
    if (prefix_.size() < span * kLanes) prefix_.resize(span * kLanes);
}

namespace {

struct LaneStep {
    LayerRange r, p;
    const int32_t* fit;
    const int32_t* prev;
    int32_t* v;
    int32_t tmin, tmax, start;
    int32_t* prefix;
};

// As LayeredChain's layer step: the window [x - Tmax, x - Tmin] is a suffix
// of one block of w positions and a prefix of the next, so running minima
// per block answer it; positions outside the previous layer count as the
// start value, and every running minimum starts from it, which caps the
// previous values as the predecessor search does. Each position is one
// vector of eight lanes, so the running minima have no scalar steps and no
// tail. The forward pass keeps the prefix minima; the backward pass finishes
// each value as soon as its suffix minimum is known.
ETALON_LOOP_BODY void laneLayerBody(const LaneStep& s) {
    const int32_t count = s.r.hi - s.r.lo + 1;
    if (count <= 0) return;
    const Lanes start = splat(s.start);
    const int32_t* __restrict fit = s.fit;
    int32_t* __restrict v = s.v;
    if (s.tmax < s.tmin) {
        for (int32_t i = 0; i < count; ++i)
            store(v + i * kLanes, lanes::wrapAdd(start, load(fit + i * kLanes)));
        return;
    }
    const int32_t width = s.tmax - s.tmin + 1;
    const int32_t first = s.r.lo - s.tmax;
    const int32_t span = count + width - 1;
    // Positions [inFrom, inTo) of the span lie in the previous layer.
    const int32_t inFrom = std::clamp(s.p.lo - first, 0, span);
    const int32_t inTo = std::clamp(s.p.hi + 1 - first, inFrom, span);
    int32_t* __restrict prefix = s.prefix;
    const int32_t* __restrict prev = s.prev;
    const int32_t shift = first - s.p.lo;  // t + shift: the position's index in prev

    // Of the first block's prefix minima only the last is read (by the first
    // position's window).
    {
        const int32_t inside = std::min(inFrom, width), after = std::clamp(inTo, inside, width);
        Lanes running = start;
        for (int32_t t = inside; t < after; ++t)
            running = lanes::min(running, load(prev + (t + shift) * kLanes));
        store(prefix + (width - 1) * kLanes, running);
    }
    for (int32_t block = width; block < span; block += width) {
        const int32_t end = std::min(block + width, span);
        const int32_t inside = std::clamp(inFrom, block, end),
                      after = std::clamp(inTo, inside, end);
        Lanes running = start;
        int32_t t = block;
        for (; t < inside; ++t)
            store(prefix + t * kLanes, running);
        for (; t < after; ++t) {
            running = lanes::min(running, load(prev + (t + shift) * kLanes));
            store(prefix + t * kLanes, running);
        }
        for (; t < end; ++t)
            store(prefix + t * kLanes, running);
    }
    // The window of position t ends in the next block: its prefix minimum.
    const int32_t* __restrict next = prefix + (width - 1) * kLanes;
    for (int32_t block = 0; block < count; block += width) {
        const int32_t end = std::min(block + width, span);
        const int32_t inside = std::clamp(inFrom, block, end),
                      after = std::clamp(inTo, inside, end);
        const int32_t last = std::min(count, end);  // positions to finish: [block, last)
        Lanes running = start;
        for (int32_t t = after - 1; t >= std::max(inside, last); --t)
            running = lanes::min(running, load(prev + (t + shift) * kLanes));
        int32_t t = last - 1;
        for (; t >= std::max(after, block); --t) {
            const Lanes m = lanes::min(running, load(next + t * kLanes));
            store(v + t * kLanes, lanes::wrapAdd(m, load(fit + t * kLanes)));
        }
        for (; t >= inside; --t) {
            running = lanes::min(running, load(prev + (t + shift) * kLanes));
            const Lanes m = lanes::min(running, load(next + t * kLanes));
            store(v + t * kLanes, lanes::wrapAdd(m, load(fit + t * kLanes)));
        }
        for (; t >= block; --t) {
            const Lanes m = lanes::min(running, load(next + t * kLanes));
            store(v + t * kLanes, lanes::wrapAdd(m, load(fit + t * kLanes)));
        }
    }
}

ETALON_AVX2 void laneLayerAvx2(const LaneStep& s) {
    laneLayerBody(s);
}

void laneLayerPlain(const LaneStep& s) {
    laneLayerBody(s);
}

// Leftmost smallest value below `start` per lane over n positions.
ETALON_LOOP_BODY void laneEndsBody(const int32_t* v, int32_t n, int32_t lo, int32_t start,
                                   int32_t* position, int32_t* value) {
    Lanes best = splat(start), at = splat(-1);
    for (int32_t i = 0; i < n; ++i) {
        const Lanes x = load(v + i * kLanes);
        const Lanes take = x < best;
        best = lanes::select(take, x, best);
        at = lanes::select(take, splat(lo + i), at);
    }
    store(position, at);
    store(value, best);
}

ETALON_AVX2 void laneEndsAvx2(const int32_t* v, int32_t n, int32_t lo, int32_t start,
                              int32_t* position, int32_t* value) {
    laneEndsBody(v, n, lo, start, position, value);
}

}  // namespace

void LaneLayeredChain::forward(std::span<const LayerRange> ranges,
                               std::span<const int32_t* const> fits, int32_t tmin, int32_t tmax,
                               int32_t start) {
    ranges_.assign(ranges.begin(), ranges.end());
    tmin_ = tmin;
    tmax_ = tmax;
    const std::size_t q = ranges.size();
    offsets_.assign(q + 1, 0);
    for (std::size_t k = 0; k < q; ++k) {
        const LayerRange& r = ranges[k];
        offsets_[k + 1] = offsets_[k] + (r.hi >= r.lo ? std::size_t(r.hi - r.lo + 1) * kLanes : 0);
    }
    if (q == 0) return;
    int32_t* values = values_.data();
    std::copy_n(fits[0], offsets_[1], values);
    const bool vector = vectorLoops();
    for (std::size_t k = 1; k < q; ++k) {
        const LaneStep step{ranges[k],
                            ranges[k - 1],
                            fits[k],
                            values + offsets_[k - 1],
                            values + offsets_[k],
                            tmin,
                            tmax,
                            start,
                            prefix_.data()};
        if (vector) {
            laneLayerAvx2(step);
        } else {
            laneLayerPlain(step);
        }
    }
}

void LaneLayeredChain::findEnds(int32_t start, int used, int32_t* position, int32_t* value) const {
    alignas(32) int32_t at[kLanes], best[kLanes];
    std::fill_n(at, kLanes, -1);
    std::fill_n(best, kLanes, start);
    const LayerRange* last = ranges_.empty() ? nullptr : &ranges_.back();
    if (last && last->hi >= last->lo) {
        const int32_t* v = values_.data() + offsets_[ranges_.size() - 1];
        const int32_t n = last->hi - last->lo + 1;
        if (vectorLoops()) {
            laneEndsAvx2(v, n, last->lo, start, at, best);
        } else {
            laneEndsBody(v, n, last->lo, start, at, best);
        }
    }
    std::copy_n(at, used, position);
    std::copy_n(best, used, value);
}

bool LaneLayeredChain::backtrack(int lane, int32_t start, std::span<int32_t> positions) const {
    for (int k = static_cast<int>(ranges_.size()) - 2; k >= 0; --k) {
        const LayerRange& r = ranges_[k];
        const int32_t* layer = values_.data() + offsets_[k] + lane;
        const int32_t from = std::max(positions[k + 1] - tmax_, r.lo);
        const int32_t to = std::min(positions[k + 1] - tmin_, r.hi);
        int32_t value = start, z = -1;
        for (int32_t y = from; y <= to; ++y) {
            const int32_t candidate = layer[std::size_t(y - r.lo) * kLanes];
            if (candidate < value) {
                value = candidate;
                z = y;
            }
        }
        if (z < 0) return false;
        positions[k] = z;
    }
    return true;
}

void spreadIntoLanes(std::span<const int32_t* const, kLanes> tables, int32_t count, int32_t* out) {
    for (int lane = 0; lane < kLanes; ++lane) {
        const int32_t* table = tables[lane];
        for (int32_t p = 0; p < count; ++p)
            out[p * kLanes + lane] = table ? table[p] : 0;
    }
}

}  // namespace etalon
