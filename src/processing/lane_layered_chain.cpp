#include "processing/lane_layered_chain.h"

#include <algorithm>

#include "processing/cpu_dispatch.h"

namespace etalon {

using lanes::Lanes;
using lanes::load;
using lanes::splat;
using lanes::store;
constexpr int kLanes = LaneLayeredChain::kLanes;

namespace {

std::size_t widthOf(const LayerRange& r) {
    return r.hi >= r.lo ? static_cast<std::size_t>(r.hi - r.lo + 1) : 0;
}

std::size_t widestOf(std::span<const LayerRange> ranges) {
    std::size_t widest = 0;
    for (const LayerRange& r : ranges)
        widest = std::max(widest, widthOf(r));
    return widest;
}

// The prefix minima of one layer step: one block and the start value.
std::size_t stepSpan(int32_t tmin, int32_t tmax) {
    return static_cast<std::size_t>(std::max(tmax - tmin, 0)) + 2;
}

// Kept layers when not every one is: every `every`-th; and the widest
// stretch of layers between two kept ones.
struct Checkpoints {
    std::size_t every = 1, kept = 0, stretch = 0;
};

Checkpoints checkpointsOf(std::span<const LayerRange> ranges) {
    Checkpoints c;
    const std::size_t q = ranges.size();
    while (c.every * c.every < q)
        ++c.every;
    std::size_t stretch = 0;
    for (std::size_t k = 0; k < q; ++k) {
        const std::size_t width = widthOf(ranges[k]);
        if (k % c.every == 0) {
            c.kept += width;
            stretch = 0;
        } else {
            stretch += width;
            c.stretch = std::max(c.stretch, stretch);
        }
    }
    return c;
}

// Layers of room the trace takes when it keeps every sub-th layer of a
// stretch: two alternating, the kept ones, and one sub-stretch.
std::size_t roomLayers(std::size_t every, std::size_t sub) {
    return 2 + (every + sub - 1) / sub + sub;
}

// The trace keeps every sub-th layer of a stretch. What it computes again
// is read back at once, so its room should stay within the cache: out of
// it, writing and reading the layers costs more than computing part of
// them twice. So every layer (one pass) when the whole stretch fits
// `cache` bytes, else the smallest sub whose room does (short
// sub-stretches, whose reach is narrow), else about sqrt(every), the least
// room.
std::size_t subEveryOf(std::size_t every, std::size_t widest, std::size_t cache) {
    const std::size_t slot = widest * kLanes * sizeof(int32_t);
    if (roomLayers(every, 1) * slot <= cache) return 1;
    for (std::size_t sub = 2; sub < every; ++sub) {
        if (roomLayers(every, sub) * slot <= cache) return sub;
    }
    std::size_t sub = 1;
    while (sub * sub < every)
        ++sub;
    return sub;
}

}  // namespace

std::size_t LaneLayeredChain::everyLayerBytes(std::span<const LayerRange> ranges) {
    std::size_t cells = 0;
    for (const LayerRange& r : ranges)
        cells += widthOf(r);
    return cells * kLanes * sizeof(int32_t);
}

std::size_t LaneLayeredChain::checkpointBytes(std::span<const LayerRange> ranges, int32_t tmin,
                                              int32_t tmax) {
    const Checkpoints c = checkpointsOf(ranges);
    return (c.kept + 2 * widestOf(ranges) + stepSpan(tmin, tmax)) * kLanes * sizeof(int32_t) +
           (c.every + ranges.size() + 1) * sizeof(std::size_t);
}

std::size_t LaneLayeredChain::stretchBytes(std::span<const LayerRange> ranges,
                                           std::size_t traceCache) {
    const std::size_t every = checkpointsOf(ranges).every, widest = widestOf(ranges);
    return roomLayers(every, subEveryOf(every, widest, traceCache)) * widest * kLanes *
           sizeof(int32_t);
}

void LaneLayeredChain::reserve(std::span<const LayerRange> ranges, int32_t tmin, int32_t tmax,
                               bool everyLayer, std::size_t traceCache) {
    traceCache_ = traceCache;
    ranges_.reserve(ranges.size());
    offsets_.reserve(ranges.size() + 1);
    std::size_t cells = everyLayerBytes(ranges) / (kLanes * sizeof(int32_t));
    if (!everyLayer) {
        const Checkpoints c = checkpointsOf(ranges);
        cells = c.kept + 2 * widestOf(ranges);
        const std::size_t sub = subEveryOf(c.every, widestOf(ranges), traceCache);
        kept_.reserve((c.every + sub - 1) / sub);
        stretch_.reserve(sub);
    }
    if (values_.size() < cells * kLanes) values_.resize(cells * kLanes);
    const std::size_t span = stepSpan(tmin, tmax);
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
// tail. Block by block: the next block's prefix minima go to a buffer of one
// block, then the block's own values are finished backwards as its suffix
// minima are known, so a layer streams once through the previous one, its
// fits and its values (wide layers stay within the cache).
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
    const int32_t* __restrict prev = s.prev;
    const int32_t shift = first - s.p.lo;  // t + shift: the position's index in prev
    // next[t - block]: the prefix minimum of the next block that position t's
    // window ends at; a window that is exactly its block (t = block) needs
    // none, so it reads the start value.
    int32_t* __restrict next = s.prefix;
    store(next, start);
    for (int32_t block = 0; block < count; block += width) {
        {
            const int32_t from = block + width, to = std::min(block + 2 * width - 1, span);
            const int32_t inside = std::clamp(inFrom, from, std::max(from, to)),
                          after = std::clamp(inTo, inside, std::max(from, to));
            int32_t* __restrict out = next + (kLanes - from * kLanes);
            Lanes running = start;
            int32_t t = from;
            for (; t < inside; ++t)
                store(out + t * kLanes, running);
            for (; t < after; ++t) {
                running = lanes::min(running, load(prev + (t + shift) * kLanes));
                store(out + t * kLanes, running);
            }
            for (; t < to; ++t)
                store(out + t * kLanes, running);
        }
        const int32_t* __restrict ends = next - block * kLanes;  // ends[t]: next[t - block]
        const int32_t end = std::min(block + width, span);
        const int32_t inside = std::clamp(inFrom, block, end),
                      after = std::clamp(inTo, inside, end);
        const int32_t last = std::min(count, end);  // positions to finish: [block, last)
        Lanes running = start;
        for (int32_t t = after - 1; t >= std::max(inside, last); --t)
            running = lanes::min(running, load(prev + (t + shift) * kLanes));
        int32_t t = last - 1;
        for (; t >= std::max(after, block); --t) {
            const Lanes m = lanes::min(running, load(ends + t * kLanes));
            store(v + t * kLanes, lanes::wrapAdd(m, load(fit + t * kLanes)));
        }
        for (; t >= inside; --t) {
            running = lanes::min(running, load(prev + (t + shift) * kLanes));
            const Lanes m = lanes::min(running, load(ends + t * kLanes));
            store(v + t * kLanes, lanes::wrapAdd(m, load(fit + t * kLanes)));
        }
        for (; t >= block; --t) {
            const Lanes m = lanes::min(running, load(ends + t * kLanes));
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

void LaneLayeredChain::keep(std::span<const LayerRange> ranges, int32_t tmin, int32_t tmax,
                            int32_t start) {
    ranges_.assign(ranges.begin(), ranges.end());
    tmin_ = tmin;
    tmax_ = tmax;
    start_ = start;
    last_ = nullptr;
}

void LaneLayeredChain::layer(std::size_t k, std::span<const int32_t* const> fits,
                             const int32_t* prev, int32_t* out, bool vector) {
    const LaneStep step{ranges_[k], ranges_[k - 1], fits[k], prev,          out,
                        tmin_,      tmax_,          start_,  prefix_.data()};
    if (vector) {
        laneLayerAvx2(step);
    } else {
        laneLayerPlain(step);
    }
}

void LaneLayeredChain::layerPart(std::size_t k, std::span<const int32_t* const> fits,
                                 const Part& prev, const Part& out, bool vector) {
    const int32_t* fit = fits[k];
    if (out.range.lo <= out.range.hi) fit += std::size_t(out.range.lo - ranges_[k].lo) * kLanes;
    const LaneStep step{out.range, prev.range, fit,    prev.values,   out.values,
                        tmin_,     tmax_,      start_, prefix_.data()};
    if (vector) {
        laneLayerAvx2(step);
    } else {
        laneLayerPlain(step);
    }
}

LayerRange LaneLayeredChain::reach(std::size_t k, std::size_t end, int32_t lo, int32_t hi) const {
    const LayerRange& r = ranges_[k];
    if (tmax_ < tmin_) return r;
    const auto steps = static_cast<int64_t>(end - k);
    return {static_cast<int32_t>(std::max<int64_t>(r.lo, lo - steps * tmax_)),
            static_cast<int32_t>(std::min<int64_t>(r.hi, hi - steps * tmin_))};
}

void LaneLayeredChain::forward(std::span<const LayerRange> ranges,
                               std::span<const int32_t* const> fits, int32_t tmin, int32_t tmax,
                               int32_t start, bool everyLayer, StopFlag stop) {
    keep(ranges, tmin, tmax, start);
    const std::size_t q = ranges.size();
    offsets_.assign(q + 1, 0);
    if (q == 0) return;
    // Without every layer, the kept ones come first; the others alternate
    // in two layers' room after them.
    const Checkpoints c = everyLayer ? Checkpoints{1, 0, 0} : checkpointsOf(ranges);
    every_ = c.every;
    const std::size_t widest = widestOf(ranges) * kLanes, kept = c.kept * kLanes;
    std::size_t next = 0;
    for (std::size_t k = 0; k < q; ++k) {
        const bool keptLayer = k % c.every == 0;
        offsets_[k] = keptLayer ? next : kept + (k % 2) * widest;
        if (keptLayer) next += widthOf(ranges[k]) * kLanes;
    }
    int32_t* values = values_.data();
    std::copy_n(fits[0], widthOf(ranges[0]) * kLanes, values);
    const bool vector = vectorLoops();
    for (std::size_t k = 1; k < q; ++k) {
        stop.check();
        layer(k, fits, values + offsets_[k - 1], values + offsets_[k], vector);
    }
    last_ = values + offsets_[q - 1];
}

void LaneLayeredChain::findEnds(int32_t start, int used, int32_t* position, int32_t* value) const {
    alignas(32) int32_t at[kLanes], best[kLanes];
    std::fill_n(at, kLanes, -1);
    std::fill_n(best, kLanes, start);
    const LayerRange* last = ranges_.empty() ? nullptr : &ranges_.back();
    if (last && last->hi >= last->lo && last_) {
        const int32_t* v = last_;
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

namespace {

// The leftmost smallest value below `start` in the window of the pulse
// before one at `next`; false when the window holds none.
bool predecessorIn(const int32_t* layer, const LayerRange& r, int32_t next, int32_t tmin,
                   int32_t tmax, int32_t start, int32_t& at) {
    const int32_t from = std::max(next - tmax, r.lo);
    const int32_t to = std::min(next - tmin, r.hi);
    int32_t value = start, z = -1;
    for (int32_t y = from; y <= to; ++y) {
        const int32_t candidate = layer[std::size_t(y - r.lo) * kLanes];
        if (candidate < value) {
            value = candidate;
            z = y;
        }
    }
    at = z;
    return z >= 0;
}

}  // namespace

bool LaneLayeredChain::backtrack(int lane, int32_t start, std::span<int32_t> positions,
                                 StopFlag stop) const {
    for (int k = static_cast<int>(ranges_.size()) - 2; k >= 0; --k) {
        stop.check();
        const int32_t* layer = values_.data() + offsets_[k] + lane;
        if (!predecessorIn(layer, ranges_[k], positions[k + 1], tmin_, tmax_, start, positions[k]))
            return false;
    }
    return true;
}

namespace {

// The positions the chains of the lanes still found hold at a layer.
bool heldRange(const bool* found, std::span<int32_t* const, kLanes> positions, std::size_t k,
               int32_t& lo, int32_t& hi) {
    lo = INT32_MAX;
    hi = INT32_MIN;
    for (int lane = 0; lane < kLanes; ++lane) {
        if (!found[lane]) continue;
        lo = std::min(lo, positions[lane][k]);
        hi = std::max(hi, positions[lane][k]);
    }
    return lo <= hi;
}

}  // namespace

void LaneLayeredChain::traceLanes(std::span<const int32_t* const> fits, const bool* wanted,
                                  std::span<int32_t* const, kLanes> positions, bool* found,
                                  std::span<int32_t> room, StopFlag stop) {
    const std::span<const LayerRange> ranges = ranges_;
    const std::size_t q = ranges.size();
    for (int lane = 0; lane < kLanes; ++lane)
        found[lane] = wanted[lane];
    if (q < 2) return;
    const std::size_t every = every_, sub = subEveryOf(every, widestOf(ranges), traceCache_);
    const std::size_t slot = widestOf(ranges) * kLanes;
    int32_t* const alternate = room.data();
    int32_t* const keptRoom = alternate + 2 * slot;
    int32_t* const subRoom = keptRoom + ((every + sub - 1) / sub) * slot;
    const bool vector = vectorLoops();

    // Stretches from the last, each in sub-stretches from its last. Only the
    // positions a chain ending where the later stretch put it can pass are
    // computed (its reach): every window a chain reads lies within them.
    for (std::size_t first = (q - 1) / every * every;; first -= every) {
        const std::size_t end = std::min(first + every, q - 1);  // the last layer is not read
        int32_t lo = 0, hi = 0;
        if (!heldRange(found, positions, end, lo, hi)) return;
        // The stretch once, keeping every sub-th layer over its reach.
        kept_.assign(1, Part{ranges[first], values_.data() + offsets_[first]});
        Part prev = kept_.back();
        for (std::size_t k = first + 1; k < end; ++k) {
            if ((k - first) % sub != 0 && (k - first) / sub == (end - 1 - first) / sub) break;
            stop.check();
            const bool keptLayer = (k - first) % sub == 0;
            const Part out{reach(k, end, lo, hi), keptLayer
                                                      ? keptRoom + ((k - first) / sub - 1) * slot
                                                      : alternate + (k % 2) * slot};
            layerPart(k, fits, prev, out, vector);
            if (keptLayer) kept_.push_back(out);
            prev = out;
        }
        for (std::size_t j = kept_.size(); j-- > 0;) {
            const std::size_t from = first + j * sub, to = std::min(from + sub, end);
            if (!heldRange(found, positions, to, lo, hi)) return;
            stretch_.assign(1, kept_[j]);
            int32_t* out = subRoom;
            for (std::size_t k = from + 1; k < to; ++k) {
                stop.check();
                const Part part{reach(k, to, lo, hi), out};
                layerPart(k, fits, stretch_.back(), part, vector);
                stretch_.push_back(part);
                out += slot;
            }
            for (std::size_t k = to; k-- > from;) {
                stop.check();
                const Part& layer = stretch_[k - from];
                for (int lane = 0; lane < kLanes; ++lane) {
                    if (!found[lane]) continue;
                    found[lane] =
                        predecessorIn(layer.values + lane, layer.range, positions[lane][k + 1],
                                      tmin_, tmax_, start_, positions[lane][k]);
                }
            }
        }
        if (first == 0) break;
    }
}

void spreadIntoLanes(std::span<const int32_t* const, kLanes> tables, int32_t count, int32_t* out) {
    for (int lane = 0; lane < kLanes; ++lane) {
        const int32_t* table = tables[lane];
        for (int32_t p = 0; p < count; ++p)
            out[p * kLanes + lane] = table ? table[p] : 0;
    }
}

}  // namespace etalon
