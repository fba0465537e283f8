#include "graphs/envelope_pyramid.h"

#include <algorithm>

namespace etalon {
namespace {

SampleRange joined(SampleRange a, SampleRange b) {
    return {std::min(a.low, b.low), std::max(a.high, b.high)};
}

void widen(SampleRange& r, std::span<const int16_t> samples) {
    for (int16_t v : samples)
        r = joined(r, {v, v});
}

}  // namespace

EnvelopePyramid::EnvelopePyramid(std::span<const int16_t> samples) : samples_(samples) {
    std::vector<SampleRange> level(samples.size() / kEnvelopeBlock);
    for (std::size_t b = 0; b < level.size(); ++b) {
        const auto block = samples.subspan(b * kEnvelopeBlock, kEnvelopeBlock);
        SampleRange r{block[0], block[0]};
        widen(r, block);
        level[b] = r;
    }
    while (!level.empty()) {
        std::vector<SampleRange> next(level.size() / 2);
        for (std::size_t b = 0; b < next.size(); ++b)
            next[b] = joined(level[2 * b], level[2 * b + 1]);
        levels_.push_back(std::move(level));
        level = std::move(next);
    }
}

SampleRange EnvelopePyramid::range(std::size_t first, std::size_t last) const {
    SampleRange r{samples_[first], samples_[first]};
    // Loose samples up to the first whole block and after the last one.
    std::size_t a = (first + kEnvelopeBlock - 1) / kEnvelopeBlock;
    std::size_t b = last / kEnvelopeBlock;
    if (levels_.empty() || a >= b) {
        widen(r, samples_.subspan(first, last - first));
        return r;
    }
    widen(r, samples_.subspan(first, a * kEnvelopeBlock - first));
    widen(r, samples_.subspan(b * kEnvelopeBlock, last - b * kEnvelopeBlock));
    // Blocks [a, b) of each level: take an odd end, then climb a level.
    for (std::size_t l = 0; l < levels_.size() && a < b; ++l, a /= 2, b /= 2) {
        if (a % 2 == 1) r = joined(r, levels_[l][a++]);
        if (b % 2 == 1) r = joined(r, levels_[l][--b]);
    }
    return r;
}

std::size_t EnvelopePyramid::bytes() const {
    std::size_t total = 0;
    for (const auto& level : levels_)
        total += level.size() * sizeof(SampleRange);
    return total;
}

}  // namespace etalon
