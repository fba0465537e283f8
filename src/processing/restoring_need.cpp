// What each procedure's work tables take for a request, counted from the
// same geometry the procedures size their tables by.
#include <algorithm>
#include <vector>

#include "processing/lane_layered_chain.h"
#include "processing/layered_chain.h"
#include "processing/restoring.h"

namespace etalon {

namespace {

constexpr std::size_t kInt = sizeof(int32_t);
constexpr std::size_t kLaneCount = 8;  // candidates side by side in one lane chain
constexpr std::size_t kLaneBytes = kLaneCount * kInt;
constexpr std::size_t kChunk = 64;  // the fit tables' chunk of positions
// Headers, small per-etalon tables and allocator rounding.
constexpr std::size_t kSlack = std::size_t{256} << 10;

struct Layers {
    std::size_t q = 0, cells = 0, widest = 0, cover = 0;
};

Layers layersOf(const std::vector<LayerRange>& ranges) {
    Layers l;
    l.q = ranges.size();
    for (const LayerRange& r : ranges) {
        const std::size_t width = r.hi >= r.lo ? std::size_t(r.hi - r.lo + 1) : 0;
        l.cells += width;
        l.widest = std::max(l.widest, width);
    }
    const LayerRange c = coveringRange(ranges);
    l.cover = c.hi >= c.lo ? std::size_t(c.hi - c.lo + 1) : 0;
    return l;
}

// Every etalon's fits over `positions` and the tables that make them.
std::size_t fitCacheNeed(std::size_t etalons, std::size_t positions, std::size_t length) {
    const std::size_t perEtalon = positions * kInt + 2 * (length + 1) * kInt + 2 * length * 2 +
                                  (length + 1) * kChunk * kInt + (kChunk + length) * 2 +
                                  (length / 2 + 1) * kInt;
    return etalons * perEtalon + (positions + length + 32) * kInt;
}

std::size_t restoredNeed(std::size_t capacity) {
    return 2 * capacity * 4 * sizeof(int16_t);
}

std::size_t layeredNeed(const Layers& l, int32_t tmin, int32_t tmax) {
    const std::size_t span = l.widest + std::size_t(std::max(tmax - tmin, 0));
    return l.cells * kInt + (l.q + 1) * sizeof(std::size_t) + 2 * span * kInt;
}

// The lane chains of `groups` groups: every layer of each, or the
// checkpoints of each and one room for the layers between them.
std::size_t laneChainsNeed(const std::vector<LayerRange>& ranges, std::size_t groups, int32_t tmin,
                           int32_t tmax, const RestoringWork& settings) {
    const std::size_t budget = settings.everyLayerBudget;
    const std::size_t span = (std::size_t(std::max(tmax - tmin, 0)) + 2) * kLaneBytes;
    const std::size_t perChain = ranges.size() * (sizeof(LayerRange) + sizeof(std::size_t)) + span;
    if (LaneLayeredChain::keepsEveryLayer(ranges, groups, budget))
        return groups * (LaneLayeredChain::everyLayerBytes(ranges) + perChain);
    return groups * (LaneLayeredChain::checkpointBytes(ranges, tmin, tmax) + perChain) +
           LaneLayeredChain::stretchBytes(ranges, settings.traceCacheBytes);
}

const RestoringWork& settingsOf(const RestoringRequest& r) {
    static const RestoringWork defaults;
    return r.work ? *r.work : defaults;
}

std::size_t groupsOf(std::size_t candidates) {
    return (candidates + kLaneCount - 1) / kLaneCount;
}

std::size_t knownChainNeed(const RestoringRequest& r, const std::vector<LayerRange>& ranges,
                           bool recognition) {
    const SeriesHeader& s = *r.series;
    const Layers l = layersOf(ranges);
    const std::size_t a = r.alphabet.size();
    const std::size_t need = fitCacheNeed(a, l.cover, s.wImpulseSize) +
                             l.q * (sizeof(LayerRange) + 8 + kInt) + 2 * l.cover * kInt +
                             restoredNeed(l.q);
    if (!recognition) return need + layeredNeed(l, r.tmin, r.tmax);
    return need + laneChainsNeed(ranges, groupsOf(a), r.tmin, r.tmax, settingsOf(r)) +
           l.cover * kLaneBytes + a * l.q * kInt + (std::size_t(s.wImpulseSize) + 1) * kLaneBytes;
}

std::size_t unknownChainNeed(const RestoringRequest& r, bool recognition) {
    const SeriesHeader& s = *r.series;
    const std::size_t n = s.dwSeriesSize, a = r.alphabet.size();
    // Fits, values and etalons per position, the window minima, the classes.
    std::size_t need = fitCacheNeed(a, n, s.wImpulseSize) + 3 * n * kInt + 2 * n * kInt + 16 * n +
                       restoredNeed(n + 1);
    if (recognition) need += 4 * n * kLaneBytes + groupsOf(a) * n * kLaneBytes;
    return need;
}

std::size_t knownTuplesNeed(const RestoringRequest& r, const std::vector<LayerRange>& ranges,
                            std::size_t candidates) {
    const SeriesHeader& s = *r.series;
    const Layers l = layersOf(ranges);
    std::size_t need = fitCacheNeed(r.alphabet.size(), l.cover, s.wImpulseSize) +
                       layeredNeed(l, r.tmin, r.tmax) + l.q * (sizeof(LayerRange) + 8 + kInt) +
                       restoredNeed(l.q) + 4 * l.q * sizeof(int16_t);
    if (candidates >= 4) {
        // At most eight fit tables of eight lanes per group.
        need += laneChainsNeed(ranges, groupsOf(candidates), r.tmin, r.tmax, settingsOf(r)) +
                groupsOf(candidates) * l.q * kInt + 8 * l.cover * kLaneBytes +
                candidates * (l.q + 8) * kInt + groupsOf(candidates) * 8 * kLaneBytes;
    }
    return need;
}

std::size_t patternNeed(const RestoringRequest& r, std::size_t layers) {
    const SeriesHeader& s = *r.series;
    const std::size_t width =
        std::size_t(std::max<int64_t>(int64_t{s.dwSeriesSize} - s.wImpulseSize + 1, 0));
    return fitCacheNeed(r.alphabet.size(), width, s.wImpulseSize) + layers * width * kInt +
           layers * 2 * width * kInt + width * kInt + 16 * std::size_t(s.dwSeriesSize) +
           restoredNeed(width + 1) + 4 * (width + 1) * sizeof(int16_t);
}

std::size_t candidatesOf(std::span<const int32_t> tuple, uint16_t proceeding) {
    return tuple.empty() ? 0 : (proceeding == 1 ? 1 : tuple.size());
}

}  // namespace

std::size_t restoringMemoryNeed(RestoringProcedure procedure, const RestoringRequest& r) {
    if (!r.series || procedure == RestoringProcedure::None) return 0;
    const SeriesHeader& s = *r.series;
    std::vector<LayerRange> ranges;
    const auto stored = [&]() -> const std::vector<LayerRange>& {
        storedRanges(s, ranges);
        return ranges;
    };
    std::size_t need = 0;
    switch (procedure) {
        case RestoringProcedure::DetectKnownNumberChain:
            need = knownChainNeed(r, stored(), false);
            break;
        case RestoringProcedure::RecognizeKnownNumberChain:
            need = knownChainNeed(r, stored(), true);
            break;
        case RestoringProcedure::DetectUnknownNumberChain:
            need = unknownChainNeed(r, false);
            break;
        case RestoringProcedure::RecognizeUnknownNumberChain:
            need = unknownChainNeed(r, true);
            break;
        case RestoringProcedure::DetectKnownNumberTuples: {
            formulaRanges(s, r.tmin, r.tmax, ranges);
            need = knownTuplesNeed(r, ranges, candidatesOf(r.pattern, r.proceeding));
            break;
        }
        case RestoringProcedure::RecognizeKnownNumberTuples: {
            std::size_t candidates = 0;
            for (const auto& p : r.patterns)
                candidates += candidatesOf(p, r.proceeding);
            need = knownTuplesNeed(r, stored(), candidates);
            break;
        }
        case RestoringProcedure::TuplesDetection:
            need = patternNeed(r, r.pattern.size());
            break;
        case RestoringProcedure::TuplesRecognition: {
            std::size_t layers = 0;
            for (const auto& p : r.patterns)
                layers = std::max(layers, p.size());
            need = patternNeed(r, layers);
            break;
        }
        case RestoringProcedure::None:
            break;
    }
    return need + kSlack;
}

}  // namespace etalon
