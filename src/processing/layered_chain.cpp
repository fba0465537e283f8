#include "processing/layered_chain.h"

#include <algorithm>

#include "processing/pulse_fit.h"

namespace etalon {

void LayeredChain::reserve(std::span<const LayerRange> ranges) {
    std::size_t total = 0, widest = 0;
    for (const LayerRange& r : ranges) {
        const std::size_t width = r.hi >= r.lo ? static_cast<std::size_t>(r.hi - r.lo + 1) : 0;
        total += width;
        widest = std::max(widest, width);
    }
    if (values_.size() < total) values_.resize(total);
    if (offsets_.size() < ranges.size() + 1) offsets_.resize(ranges.size() + 1);
    window_.reset(widest);
}

bool LayeredChain::run(std::span<const LayerRange> ranges, std::span<const int32_t* const> fits,
                       int32_t tmin, int32_t tmax, const ChainSentinels& sentinels,
                       std::span<int32_t> positions, int32_t& criterion) {
    const int q = static_cast<int>(ranges.size());
    if (q == 0) return false;
    offsets_[0] = 0;
    for (int k = 0; k < q; ++k) {
        const std::size_t width = ranges[k].hi >= ranges[k].lo ? ranges[k].hi - ranges[k].lo + 1 : 0;
        offsets_[k + 1] = offsets_[k] + width;
    }
    int32_t* values = values_.data();

    // Layer 0 has no predecessor.
    {
        const LayerRange r = ranges[0];
        const int32_t* fit = fits[0];
        int32_t* v = values + offsets_[0];
        for (int32_t i = 0; i <= r.hi - r.lo; ++i) v[i] = fit[i];
    }
    for (int k = 1; k < q; ++k) {
        const LayerRange r = ranges[k], p = ranges[k - 1];
        const int32_t* fit = fits[k];
        const int32_t* prev = values + offsets_[k - 1];
        int32_t* v = values + offsets_[k];
        window_.reset(0);
        int32_t next = p.lo;  // next previous-layer position to enter the window
        for (int32_t x = r.lo; x <= r.hi; ++x) {
            const int32_t from = std::max(x - tmax, p.lo);
            const int32_t to = std::min(x - tmin, p.hi);
            next = std::max(next, from);
            for (; next <= to; ++next) window_.push(prev, next - p.lo);
            window_.dropBelow(from - p.lo);
            int32_t best = sentinels.predecessor;
            if (!window_.empty()) best = std::min(best, prev[window_.front()]);
            v[x - r.lo] = wrapAdd(best, fit[x - r.lo]);
        }
    }

    // The last pulse: leftmost smallest value below the end start.
    const LayerRange last = ranges[q - 1];
    const int32_t* v = values + offsets_[q - 1];
    int32_t best = sentinels.end, at = -1;
    for (int32_t x = last.lo; x <= last.hi; ++x) {
        if (v[x - last.lo] < best) {
            best = v[x - last.lo];
            at = x;
        }
    }
    if (at < 0) return false;
    criterion = best;
    positions[q - 1] = at;

    for (int k = q - 2; k >= 0; --k) {
        const LayerRange r = ranges[k];
        const int32_t* layer = values + offsets_[k];
        const int32_t from = std::max(positions[k + 1] - tmax, r.lo);
        const int32_t to = std::min(positions[k + 1] - tmin, r.hi);
        int32_t value = sentinels.backward, z = -1;
        for (int32_t y = from; y <= to; ++y) {
            if (layer[y - r.lo] < value) {
                value = layer[y - r.lo];
                z = y;
            }
        }
        if (z < 0) return false;
        positions[k] = z;
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
        ranges[k] = clipped(std::max(k * tmin, n - tmax * (q - k)),
                            std::min((k + 1) * tmax - length, n - length - tmin * (q - 1 - k)),
                            series);
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
