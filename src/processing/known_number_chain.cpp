#include "processing/known_number_chain.h"

#include <algorithm>
#include <array>
#include <vector>

#include "processing/cpu_dispatch.h"
#include "processing/lane_layered_chain.h"
#include "processing/layered_chain.h"
#include "processing/pulse_fit.h"
#include "processing/restored_chain.h"

namespace etalon {

namespace {

// Tables kept between runs (one set per thread, for parallel simulations).
struct KnownChainWork {
    FitCache cache;
    LayeredChain chain;
    std::vector<LayerRange> ranges;
    std::vector<const int32_t*> fits;
    std::vector<int32_t> positions;
    // fitPulseList over the covering range.
    std::vector<int32_t> listValue, listIndex;
    int32_t listEtalon = -1;  // the list's only etalon; -1: several
    RestoredChain restored, best;
    // Recognition: the distinct etalons of the list, eight per lane chain.
    std::vector<LaneLayeredChain> groups;
    std::vector<int32_t> laneFits;               // one group's fits, lanes side by side
    std::vector<int32_t> distinct;               // alphabet indices, first appearance first
    std::vector<int32_t> distinctOf;             // per list entry
    std::vector<int32_t> endPosition, endValue;  // per distinct etalon; -1: no end
    std::vector<int32_t> chainPositions;         // per distinct etalon, Q positions
    std::vector<int8_t> traced;                  // 0 not yet, 1 chain, -1 none
    std::vector<int8_t> needed;                  // kept if every chain can be read
    std::vector<int32_t> ranked, kept;           // list entries
    std::vector<int8_t> wholeOnly;               // per distinct etalon: no window kept
    std::vector<int32_t> pairScratch;
    bool everyLayer = true;  // each group keeps every layer; otherwise one chain keeps checkpoints
    std::size_t everyLayerBudget = 0, traceCacheBytes = 0;
    std::vector<int32_t> stretch;  // without every layer: where a group's chains are read out
    StopFlag stop;                 // this run's caller's
};

// Sizes everything one run over `alphabet` needs; throws std::bad_alloc.
void growForRun(KnownChainWork& w, const SeriesHeader& series, std::size_t alphabetSize,
                const LayerRange& cover, int32_t tmin, int32_t tmax, bool oneChain) {
    const std::size_t q = series.wImpulseQuantity;
    const std::size_t width = cover.hi >= cover.lo ? cover.hi - cover.lo + 1 : 0;
    w.cache.reserve(alphabetSize, width, series.wImpulseSize);
    if (oneChain) w.chain.reserve(w.ranges, tmin, tmax);
    w.fits.resize(q);
    w.positions.resize(q);
    w.restored.resize(q);
    w.best.resize(q);
    w.listValue.resize(width);
    w.listIndex.resize(width);
}

// One etalon's fits taken where they are below the list's so far; a tie
// keeps the etalon named first.
ETALON_LOOP_BODY void takeSmallerBody(const int32_t* __restrict value, int32_t index, int32_t count,
                                      int32_t* __restrict best, int32_t* __restrict bestIndex) {
    for (int32_t p = 0; p < count; ++p) {
        const bool take = value[p] < best[p];
        best[p] = take ? value[p] : best[p];
        bestIndex[p] = take ? index : bestIndex[p];
    }
}

ETALON_AVX2 void takeSmallerAvx2(const int32_t* value, int32_t index, int32_t count, int32_t* best,
                                 int32_t* bestIndex) {
    takeSmallerBody(value, index, count, best, bestIndex);
}

void takeSmallerPlain(const int32_t* value, int32_t index, int32_t count, int32_t* best,
                      int32_t* bestIndex) {
    takeSmallerBody(value, index, count, best, bestIndex);
}

// fitPulseList at every position of the covering range, and the etalon
// giving it; a list naming one etalon only is that etalon's own table.
const int32_t* fitList(KnownChainWork& w, std::span<const uint16_t> etalons,
                       const LayerRange& cover) {
    const int32_t count = cover.hi - cover.lo + 1;
    const int32_t first = etalons[0] - 1;
    const bool one =
        std::all_of(etalons.begin(), etalons.end(), [first](uint16_t e) { return e - 1 == first; });
    w.listEtalon = one ? first : -1;
    if (one) return w.cache.fits(first).values();
    std::copy_n(w.cache.fits(first).values(), count, w.listValue.data());
    std::fill_n(w.listIndex.data(), count, first);
    for (std::size_t i = 1; i < etalons.size(); ++i) {
        const int32_t index = etalons[i] - 1;
        const int32_t* value = w.cache.fits(index).values();
        if (vectorLoops()) {
            takeSmallerAvx2(value, index, count, w.listValue.data(), w.listIndex.data());
        } else {
            takeSmallerPlain(value, index, count, w.listValue.data(), w.listIndex.data());
        }
    }
    return w.listValue.data();
}

// Points layer k at its range's first entry of a table over the covering range.
void pointLayers(KnownChainWork& w, const int32_t* table, const LayerRange& cover) {
    for (std::size_t k = 0; k < w.ranges.size(); ++k) {
        const LayerRange& r = w.ranges[k];
        w.fits[k] = r.lo <= r.hi ? table + (r.lo - cover.lo) : table;
    }
}

void noChain(SeriesHeader& series, ChainsHeader* chains) {
    series.wRestoredQuantity = 0;
    if (chains) chains->wSeekingPulsesQuantity = 0;
}

}  // namespace

int detectKnownNumberChain(MessageSink& sink, std::span<const PulseHeader> alphabet,
                           std::span<const uint16_t> etalons, const SearchBounds& bounds,
                           ChainsHeader* chains, SeriesHeader& series, RestoringWork* work) {
    const uint16_t tmin = bounds.tmin, tmax = bounds.tmax, level = bounds.processingLevel;
    RestoringWork own;
    RestoringWork& tables = work ? *work : own;
    KnownChainWork& w = tables.tables<KnownChainWork>();
    w.stop = tables.stopFlag();
    if (!growTables([&] { storedRanges(series, w.ranges); })) {
        reportNoMemory(sink, "Нет памяти для ppDw!");
        return 0;
    }
    const LayerRange cover = coveringRange(w.ranges);
    if (!growTables([&] { growForRun(w, series, alphabet.size(), cover, tmin, tmax, true); })) {
        reportNoMemory(sink, "Нет памяти для ppDw[m]!");
        return 0;
    }
    const uint16_t q = series.wImpulseQuantity;
    resetChains(chains, q, q);
    if (etalons.empty() || q == 0 || cover.lo > cover.hi) {
        noChain(series, chains);
        return 1;
    }

    w.cache.begin(series.noisyData(), alphabet, series.wImpulseSize, level, cover.lo, cover.hi);
    pointLayers(w, fitList(w, etalons, cover), cover);
    int32_t criterion = 0;
    if (!w.chain.run(w.ranges, w.fits, tmin, tmax,
                     {kNoPredecessorValue, kNoChainValue, kSearchStartValue}, w.positions,
                     criterion, w.stop)) {
        noChain(series, chains);
        return 1;
    }
    for (int k = 0; k < q; ++k) {
        const int32_t index =
            w.listEtalon >= 0 ? w.listEtalon : w.listIndex[w.positions[k] - cover.lo];
        const PulseFit fit = w.cache.fits(index).at(w.positions[k]);
        w.restored.set(k, index + 1, w.positions[k], fit.begin, fit.end);
    }
    w.restored.n = q;
    writeRestoredPulses(series, w.restored);
    insertChain(chains, criterion, q, w.restored.view());
    return 1;
}

namespace {

// The distinct etalons of the list in order of first appearance: a repeated
// entry restores exactly as its first one did.
void findDistinct(KnownChainWork& w, std::span<const uint16_t> etalons, std::size_t alphabetSize) {
    w.distinct.clear();
    w.distinctOf.resize(etalons.size());
    std::vector<int32_t>& seen = w.chainPositions;  // free until the chains are traced
    seen.assign(alphabetSize, -1);
    for (std::size_t i = 0; i < etalons.size(); ++i) {
        const int32_t index = etalons[i] - 1;
        if (seen[index] < 0) {
            seen[index] = static_cast<int32_t>(w.distinct.size());
            w.distinct.push_back(index);
        }
        w.distinctOf[i] = seen[index];
    }
}

void growForLanes(KnownChainWork& w, std::size_t listSize, std::size_t alphabetSize, std::size_t q,
                  uint16_t length, const LayerRange& cover, int32_t tmin, int32_t tmax) {
    constexpr std::size_t lanes = LaneLayeredChain::kLanes;
    const std::size_t width = cover.hi >= cover.lo ? cover.hi - cover.lo + 1 : 0;
    const std::size_t groups = (alphabetSize + lanes - 1) / lanes;
    w.everyLayer = LaneLayeredChain::keepsEveryLayer(w.ranges, groups, w.everyLayerBudget);
    if (w.groups.size() < groups) w.groups.resize(groups);
    for (std::size_t g = 0; g < groups; ++g)
        w.groups[g].reserve(w.ranges, tmin, tmax, w.everyLayer, w.traceCacheBytes);
    const std::size_t room =
        w.everyLayer
            ? 0
            : LaneLayeredChain::stretchBytes(w.ranges, w.traceCacheBytes) / sizeof(int32_t);
    if (w.stretch.size() < room) w.stretch.resize(room);
    if (w.laneFits.size() < width * lanes) w.laneFits.resize(width * lanes);
    w.distinct.reserve(alphabetSize);
    w.distinctOf.reserve(listSize);
    for (auto* table : {&w.endPosition, &w.endValue}) {
        if (table->size() < alphabetSize) table->resize(alphabetSize);
    }
    if (w.chainPositions.size() < std::max(alphabetSize * q, alphabetSize))
        w.chainPositions.resize(std::max(alphabetSize * q, alphabetSize));
    w.traced.reserve(alphabetSize);
    w.needed.reserve(alphabetSize);
    w.wholeOnly.reserve(alphabetSize);
    if (w.pairScratch.size() < (std::size_t(length) + 1) * lanes)
        w.pairScratch.resize((std::size_t(length) + 1) * lanes);
    if (w.ranked.size() < listSize) w.ranked.resize(listSize);
    if (w.kept.size() < listSize) w.kept.resize(listSize);
}

// The fits of one group's etalons side by side; lanes past the list hold 0.
// Where no etalon of the group keeps a window, the correlations are taken
// for the eight at once; otherwise each etalon's table is spread into its lane.
void interleaveFits(KnownChainWork& w, std::span<const int16_t> series, std::size_t group,
                    const LayerRange& cover) {
    constexpr std::size_t lanes = LaneLayeredChain::kLanes;
    const int32_t count = cover.hi - cover.lo + 1;
    const std::size_t from = group * lanes, to = std::min(w.distinct.size(), from + lanes);
    bool whole = true;
    for (std::size_t d = from; d < to; ++d)
        whole = whole && w.wholeOnly[d];
    int32_t* out = w.laneFits.data();
    if (whole) {
        std::array<std::span<const int16_t>, lanes> samples;
        std::array<int32_t, lanes> totals{};
        for (std::size_t d = from; d < to; ++d) {
            samples[d - from] = w.cache.samples(w.distinct[d]);
            totals[d - from] = w.cache.energy(w.distinct[d]).total;
        }
        fitWholeLanes(series, cover.lo, count, std::span(samples).first(to - from), totals,
                      w.pairScratch.data(), out);
        return;
    }
    std::array<const int32_t*, lanes> tables{};
    for (std::size_t d = from; d < to; ++d)
        tables[d - from] = w.cache.fits(w.distinct[d]).values();
    spreadIntoLanes(tables, count, out);
}

void pointLaneLayers(KnownChainWork& w, const LayerRange& cover) {
    constexpr std::size_t lanes = LaneLayeredChain::kLanes;
    for (std::size_t k = 0; k < w.ranges.size(); ++k) {
        const LayerRange& r = w.ranges[k];
        w.fits[k] = w.laneFits.data() + (r.lo <= r.hi ? (r.lo - cover.lo) * lanes : 0);
    }
}

// Distinct etalon d's chain and those of its group the record will keep,
// from the checkpoints: the layers between them run once more for all of
// them, over the positions their chains can pass (the fewer and the closer
// the chains, the fewer positions).
void traceGroup(KnownChainWork& w, std::span<const int16_t> series, std::size_t d,
                const LayerRange& cover) {
    const std::size_t group = d / LaneLayeredChain::kLanes;
    constexpr std::size_t lanes = LaneLayeredChain::kLanes;
    const std::size_t q = w.ranges.size();
    interleaveFits(w, series, group, cover);
    pointLaneLayers(w, cover);
    bool wanted[lanes] = {}, found[lanes] = {};
    std::array<int32_t*, lanes> positions{};
    for (std::size_t lane = 0; lane < lanes; ++lane) {
        const std::size_t e = group * lanes + lane;
        if (e >= w.distinct.size() || w.traced[e] != 0 || w.endPosition[e] < 0) continue;
        if (!w.needed[e] && e != d) continue;
        wanted[lane] = true;
        positions[lane] = w.chainPositions.data() + e * q;
        positions[lane][q - 1] = w.endPosition[e];
    }
    w.groups[group].traceLanes(w.fits, wanted, positions, found, w.stretch, w.stop);
    for (std::size_t lane = 0; lane < lanes; ++lane) {
        if (wanted[lane]) w.traced[group * lanes + lane] = found[lane] ? 1 : -1;
    }
}

// Reads out distinct etalon d's chain once; false when it has none.
bool traceChain(KnownChainWork& w, std::span<const int16_t> series, std::size_t d, std::size_t q,
                const LayerRange& cover) {
    constexpr std::size_t lanes = LaneLayeredChain::kLanes;
    if (w.traced[d] == 0 && !w.everyLayer) traceGroup(w, series, d, cover);
    if (w.traced[d] == 0) {
        std::span<int32_t> positions(w.chainPositions.data() + d * q, q);
        positions[q - 1] = w.endPosition[d];
        const bool found = w.groups[d / lanes].backtrack(static_cast<int>(d % lanes),
                                                         kSearchStartValue, positions, w.stop);
        w.traced[d] = found ? 1 : -1;
    }
    return w.traced[d] > 0;
}

void fillRestored(KnownChainWork& w, std::size_t d, std::size_t q, RestoredChain& chain) {
    const int32_t index = w.distinct[d];
    const int32_t* positions = w.chainPositions.data() + d * q;
    if (w.wholeOnly[d]) {
        const auto last = static_cast<int32_t>(w.cache.samples(index).size()) - 1;
        for (std::size_t k = 0; k < q; ++k)
            chain.set(static_cast<int>(k), index + 1, positions[k], 0, last);
        chain.n = static_cast<int>(q);
        return;
    }
    const FitTable& table = w.cache.fits(index);
    for (std::size_t k = 0; k < q; ++k) {
        const PulseFit fit = table.at(positions[k]);
        chain.set(static_cast<int>(k), index + 1, positions[k], fit.begin, fit.end);
    }
    chain.n = static_cast<int>(q);
}

}  // namespace

// Every candidate's chain programme runs in the lanes of one of the groups;
// the candidates are then ranked by criterion (ties: list order), and only
// the chains the results record keeps, and the best one, are read out. The
// record ends as it would after inserting every candidate's chain in list
// order: it keeps the first wMaxSize of that stable ranking.
int recognizeKnownNumberChain(MessageSink& sink, std::span<const PulseHeader> alphabet,
                              std::span<const uint16_t> etalons, const SearchBounds& bounds,
                              ChainsHeader* chains, SeriesHeader& series, RestoringWork* work) {
    const uint16_t tmin = bounds.tmin, tmax = bounds.tmax, level = bounds.processingLevel;
    RestoringWork own;
    RestoringWork& tables = work ? *work : own;
    KnownChainWork& w = tables.tables<KnownChainWork>();
    w.everyLayerBudget = tables.everyLayerBudget;
    w.traceCacheBytes = tables.traceCacheBytes;
    w.stop = tables.stopFlag();
    if (!growTables([&] { storedRanges(series, w.ranges); })) {
        reportNoMemory(sink, "Нет памяти для ppDw!");
        return -1;
    }
    const LayerRange cover = coveringRange(w.ranges);
    const uint16_t q = series.wImpulseQuantity;
    if (!growTables([&] {
            growForRun(w, series, alphabet.size(), cover, tmin, tmax, false);
            growForLanes(w, etalons.size(), alphabet.size(), q, series.wImpulseSize, cover, tmin,
                         tmax);
        })) {
        reportNoMemory(sink, "Нет памяти для indexes!");
        return -1;
    }
    resetChains(chains, q, q);
    if (q == 0 || cover.lo > cover.hi || etalons.empty()) {
        noChain(series, chains);
        return -1;
    }

    w.cache.begin(series.noisyData(), alphabet, series.wImpulseSize, level, cover.lo, cover.hi);
    findDistinct(w, etalons, alphabet.size());
    constexpr std::size_t lanes = LaneLayeredChain::kLanes;
    const std::size_t distinct = w.distinct.size();
    w.wholeOnly.resize(distinct);
    for (std::size_t d = 0; d < distinct; ++d)
        w.wholeOnly[d] = !keepsAnyWindow(w.cache.energy(w.distinct[d]));
    for (std::size_t g = 0; g * lanes < distinct; ++g) {
        interleaveFits(w, series.noisyData(), g, cover);
        pointLaneLayers(w, cover);
        LaneLayeredChain& chain = w.groups[g];
        chain.forward(w.ranges, w.fits, tmin, tmax, kSearchStartValue, w.everyLayer, w.stop);
        const auto used = static_cast<int>(std::min(lanes, distinct - g * lanes));
        chain.findEnds(kSearchStartValue, used, w.endPosition.data() + g * lanes,
                       w.endValue.data() + g * lanes);
    }

    // Candidates are the list entries; a repeated etalon's chain is read once.
    w.traced.assign(distinct, 0);
    int32_t bestEntry = -1;
    const std::size_t kept = keptCandidates(
        etalons.size(), chains, [&](std::size_t i) { return w.endPosition[w.distinctOf[i]] >= 0; },
        [&](int32_t i) { return w.endValue[w.distinctOf[i]]; },
        [&](int32_t i) { return traceChain(w, series.noisyData(), w.distinctOf[i], q, cover); },
        w.ranked.data(), w.kept.data(), bestEntry,
        [&](std::span<const int32_t> first) {
            w.needed.assign(distinct, 0);
            for (const int32_t i : first)
                w.needed[w.distinctOf[i]] = 1;
        });
    if (kept == 0) {
        noChain(series, chains);
        return -1;
    }
    for (std::size_t k = 0; k < kept; ++k) {
        const std::size_t d = w.distinctOf[w.kept[k]];
        fillRestored(w, d, q, w.restored);
        insertChain(chains, w.endValue[d], q, w.restored.view());
    }
    fillRestored(w, w.distinctOf[bestEntry], q, w.best);
    writeRestoredPulses(series, w.best);
    return etalons[bestEntry];
}

}  // namespace etalon
