#include "processing/known_number_tuples.h"

#include <algorithm>
#include <array>
#include <vector>

#include "processing/lane_layered_chain.h"
#include "processing/layered_chain.h"
#include "processing/pulse_fit.h"
#include "processing/restored_chain.h"

namespace etalon {

bool isValidTuple(std::span<const int32_t> tuple, std::size_t alphabetSize) {
    if (tuple.empty()) return false;
    return std::all_of(tuple.begin(), tuple.end(), [&](int32_t member) {
        return member >= 1 && static_cast<std::size_t>(member) <= alphabetSize;
    });
}

namespace {

// One tuple at one shift: pulse k is member (shift + k) mod C.
struct Candidate {
    std::span<const int32_t> tuple;
    int32_t number;  // 0-based place in the list of tuples
    int32_t shift;
};

constexpr std::size_t kLanes = LaneLayeredChain::kLanes;
// A lane group's layers take their fits from tables of eight etalons side by
// side, one per distinct combination; tuples repeat, so few combinations
// occur. More than this many in a group: the candidates run one by one.
constexpr std::size_t kMostCombinations = 8;

struct TuplesWork {
    FitCache cache;
    LayeredChain chain;
    std::vector<LayerRange> ranges;
    std::vector<const int32_t*> fits;
    std::vector<int32_t> positions;
    RestoredChain restored, best;
    TupleSegmentation tuples, bestTuples;
    // Several candidates: eight per lane chain.
    std::vector<Candidate> candidates;
    std::vector<LaneLayeredChain> groups;
    std::vector<int32_t> combinationOf;                     // per group and layer
    std::vector<std::array<int32_t, kLanes>> combinations;  // alphabet indices, -1 unused
    std::vector<int32_t> combinationFits;  // per combination of a group: cover x 8 fits
    std::vector<int32_t> endPosition, endValue, chainPositions;
    std::vector<int8_t> traced;  // 0 not yet, 1 chain, -1 none
    std::vector<int8_t> needed;  // kept if every chain can be read
    std::vector<int32_t> ranked, kept;
    bool everyLayer = true;  // each group keeps every layer; otherwise one chain keeps checkpoints
    std::size_t everyLayerBudget = 0, traceCacheBytes = 0;
    std::vector<int32_t> stretch;  // without every layer: where a group's chains are read out
    StopFlag stop;                 // this run's caller's
};

void growForRun(TuplesWork& w, const SeriesHeader& series, std::size_t alphabetSize,
                const LayerRange& cover, int32_t tmin, int32_t tmax) {
    const std::size_t q = series.wImpulseQuantity;
    const std::size_t width = cover.hi >= cover.lo ? cover.hi - cover.lo + 1 : 0;
    w.cache.reserve(alphabetSize, width, series.wImpulseSize);
    w.chain.reserve(w.ranges, tmin, tmax);
    w.fits.resize(q);
    w.positions.resize(q);
    for (RestoredChain* chain : {&w.restored, &w.best})
        chain->resize(q);
    for (TupleSegmentation* t : {&w.tuples, &w.bestTuples}) {
        t->first.resize(q);
        t->second.resize(q);
    }
}

// One tuple and one shift: pulse k is member (shift + k) mod C. Fills
// w.restored and w.tuples; false when no admissible chain exists.
bool searchShift(TuplesWork& w, std::span<const int32_t> tuple, int shift, int32_t tmin,
                 int32_t tmax, const LayerRange& cover, int32_t& criterion) {
    const int q = static_cast<int>(w.ranges.size());
    const int c = static_cast<int>(tuple.size());
    for (int k = 0; k < q; ++k) {
        const FitTable& table = w.cache.fits(tuple[(shift + k) % c] - 1);
        const LayerRange& r = w.ranges[k];
        w.fits[k] = r.lo <= r.hi ? table.values() + (r.lo - cover.lo) : table.values();
    }
    if (!w.chain.run(w.ranges, w.fits, tmin, tmax,
                     {kNoPredecessorValue, kNoChainValue, kNoPredecessorValue}, w.positions,
                     criterion, w.stop)) {
        return false;
    }
    for (int k = 0; k < q; ++k) {
        const int32_t etalon = tuple[(shift + k) % c];
        const PulseFit fit = w.cache.fits(etalon - 1).at(w.positions[k]);
        w.restored.set(k, etalon, w.positions[k], fit.begin, fit.end);
    }
    w.restored.n = q;
    w.tuples.make(q, c - shift, c);
    return true;
}

int shiftsToTry(uint16_t proceeding, std::size_t members) {
    return proceeding == 1 ? 1 : static_cast<int>(members);
}

void writeBest(SeriesHeader& series, const TuplesWork& w, bool found) {
    if (!found) {
        series.wRestoredQuantity = 0;
        series.wRestoredTuples = 0;
        return;
    }
    writeRestoredPulses(series, w.best);
    writeRestoredTuples(series, w.bestTuples);
}

// Keeps the current chain as the best so far.
void keepCurrent(TuplesWork& w) {
    std::swap(w.best, w.restored);
    std::swap(w.bestTuples, w.tuples);
}

// The candidates of a run in list order; false when lane groups would need
// too many fit tables, so the candidates are better run one by one.
bool planLanes(TuplesWork& w, std::span<const std::span<const int32_t>> tuples, uint16_t proceeding,
               std::size_t alphabetSize, std::size_t q, std::size_t width, int32_t tmin,
               int32_t tmax) {
    w.candidates.clear();
    for (std::size_t g = 0; g < tuples.size(); ++g) {
        if (!isValidTuple(tuples[g], alphabetSize)) continue;
        for (int shift = 0; shift < shiftsToTry(proceeding, tuples[g].size()); ++shift)
            w.candidates.push_back({tuples[g], static_cast<int32_t>(g), shift});
    }
    // A lane group costs about three chains run alone (measured on the
    // default geometry), so fewer candidates run one by one.
    if (w.candidates.size() < 4 || q == 0 || width == 0) return false;
    const std::size_t groups = (w.candidates.size() + kLanes - 1) / kLanes;
    w.combinationOf.assign(groups * q, 0);
    w.combinations.clear();
    std::size_t most = 0;
    for (std::size_t g = 0; g < groups; ++g) {
        const std::size_t first = w.combinations.size();
        for (std::size_t k = 0; k < q; ++k) {
            std::array<int32_t, kLanes> members;
            members.fill(-1);
            for (std::size_t lane = 0; lane < kLanes; ++lane) {
                const std::size_t c = g * kLanes + lane;
                if (c >= w.candidates.size()) break;
                const Candidate& d = w.candidates[c];
                members[lane] = d.tuple[(d.shift + k) % d.tuple.size()] - 1;
            }
            auto found = std::find(w.combinations.begin() + first, w.combinations.end(), members);
            if (found == w.combinations.end()) {
                if (w.combinations.size() - first == kMostCombinations) return false;
                w.combinations.push_back(members);
                found = w.combinations.end() - 1;
            }
            w.combinationOf[g * q + k] = static_cast<int32_t>(found - w.combinations.begin());
        }
        most = std::max(most, w.combinations.size() - first);
    }
    w.everyLayer = LaneLayeredChain::keepsEveryLayer(w.ranges, groups, w.everyLayerBudget);
    if (w.groups.size() < groups) w.groups.resize(groups);
    for (std::size_t g = 0; g < groups; ++g)
        w.groups[g].reserve(w.ranges, tmin, tmax, w.everyLayer, w.traceCacheBytes);
    const std::size_t room =
        w.everyLayer
            ? 0
            : LaneLayeredChain::stretchBytes(w.ranges, w.traceCacheBytes) / sizeof(int32_t);
    if (w.stretch.size() < room) w.stretch.resize(room);
    if (w.combinationFits.size() < most * width * kLanes)
        w.combinationFits.resize(most * width * kLanes);
    const std::size_t n = w.candidates.size();
    for (auto* table : {&w.endPosition, &w.endValue, &w.ranked, &w.kept}) {
        if (table->size() < n) table->resize(n);
    }
    if (w.chainPositions.size() < n * q) w.chainPositions.resize(n * q);
    if (w.traced.size() < n) w.traced.resize(n);
    w.needed.reserve(n);
    return true;
}

// Every candidate's chain programme in the lanes of a group; the chains the
// results record keeps (the first wMaxSize of the candidates ranked by
// criterion, ties in list order) are read out and inserted in list order,
// which leaves the record as inserting every candidate's chain would. Returns
// the best candidate (the first of the smallest criterion), -1 when none has
// a chain; w.best and w.bestTuples then hold its chain.
// The fits of group g's combinations, and each layer pointed at its own.
void pointGroupFits(TuplesWork& w, std::size_t g, const LayerRange& cover, std::size_t q) {
    const int32_t width = cover.hi - cover.lo + 1;
    // The group's combinations are numbered from its first layer's on.
    const int32_t base = w.combinationOf[g * q];
    int32_t last = base;
    for (std::size_t k = 0; k < q; ++k)
        last = std::max(last, w.combinationOf[g * q + k]);
    for (int32_t c = base; c <= last; ++c) {
        std::array<const int32_t*, kLanes> tables{};
        for (std::size_t lane = 0; lane < kLanes; ++lane) {
            const int32_t index = w.combinations[c][lane];
            if (index >= 0) tables[lane] = w.cache.fits(index).values();
        }
        spreadIntoLanes(tables, width,
                        w.combinationFits.data() + std::size_t(c - base) * width * kLanes);
    }
    for (std::size_t k = 0; k < q; ++k) {
        const LayerRange& r = w.ranges[k];
        const int32_t* table = w.combinationFits.data() +
                               std::size_t(w.combinationOf[g * q + k] - base) * width * kLanes;
        w.fits[k] = table + (r.lo <= r.hi ? (r.lo - cover.lo) * kLanes : 0);
    }
}

// Reads out candidate c's chain once; false when it has none. Without every
// layer, c's chain and those of its group the record will keep are read out
// together from the checkpoints.
bool traceCandidate(TuplesWork& w, int32_t c, const LayerRange& cover, std::size_t q) {
    const std::size_t n = w.candidates.size();
    if (w.traced[c] == 0 && w.everyLayer) {
        std::span<int32_t> positions(w.chainPositions.data() + std::size_t(c) * q, q);
        positions[q - 1] = w.endPosition[c];
        w.traced[c] =
            w.groups[c / kLanes].backtrack(c % kLanes, kNoPredecessorValue, positions, w.stop) ? 1
                                                                                               : -1;
    }
    if (w.traced[c] == 0) {
        const std::size_t g = c / kLanes;
        pointGroupFits(w, g, cover, q);
        bool wanted[kLanes] = {}, found[kLanes] = {};
        std::array<int32_t*, kLanes> positions{};
        for (std::size_t lane = 0; lane < kLanes; ++lane) {
            const std::size_t d = g * kLanes + lane;
            if (d >= n || w.traced[d] != 0 || w.endPosition[d] < 0) continue;
            if (!w.needed[d] && d != std::size_t(c)) continue;
            wanted[lane] = true;
            positions[lane] = w.chainPositions.data() + d * q;
            positions[lane][q - 1] = w.endPosition[d];
        }
        w.groups[g].traceLanes(w.fits, wanted, positions, found, w.stretch, w.stop);
        for (std::size_t lane = 0; lane < kLanes; ++lane) {
            if (wanted[lane]) w.traced[g * kLanes + lane] = found[lane] ? 1 : -1;
        }
    }
    return w.traced[c] > 0;
}

// Every candidate's chain programme in the lanes of a group; the chains the
// results record keeps (the first wMaxSize of the candidates ranked by
// criterion, ties in list order) are read out and inserted in list order,
// which leaves the record as inserting every candidate's chain would. Returns
// the best candidate (the first of the smallest criterion), -1 when none has
// a chain; w.best and w.bestTuples then hold its chain.
int rankInLanes(TuplesWork& w, const LayerRange& cover, std::size_t q, int32_t tmin, int32_t tmax,
                ChainsHeader* chains) {
    const std::size_t n = w.candidates.size();
    for (std::size_t g = 0; g * kLanes < n; ++g) {
        pointGroupFits(w, g, cover, q);
        LaneLayeredChain& chain = w.groups[g];
        chain.forward(w.ranges, w.fits, tmin, tmax, kNoPredecessorValue, w.everyLayer, w.stop);
        const auto used = static_cast<int>(std::min(kLanes, n - g * kLanes));
        chain.findEnds(kNoChainValue, used, w.endPosition.data() + g * kLanes,
                       w.endValue.data() + g * kLanes);
    }
    std::fill_n(w.traced.begin(), n, 0);

    int32_t best = -1;
    const std::size_t kept = keptCandidates(
        n, chains, [&](std::size_t c) { return w.endPosition[c] >= 0; },
        [&](int32_t c) { return w.endValue[c]; },
        [&](int32_t c) { return traceCandidate(w, c, cover, q); }, w.ranked.data(), w.kept.data(),
        best,
        [&](std::span<const int32_t> first) {
            w.needed.assign(n, 0);
            for (const int32_t c : first)
                w.needed[c] = 1;
        });
    if (kept == 0) return -1;
    auto fill = [&](int32_t c, RestoredChain& chain, TupleSegmentation& tuples) {
        const Candidate& d = w.candidates[c];
        const int32_t* positions = w.chainPositions.data() + std::size_t(c) * q;
        const auto members = static_cast<int32_t>(d.tuple.size());
        for (std::size_t k = 0; k < q; ++k) {
            const int32_t etalon = d.tuple[(d.shift + k) % members];
            const PulseFit fit = w.cache.fits(etalon - 1).at(positions[k]);
            chain.set(static_cast<int>(k), etalon, positions[k], fit.begin, fit.end);
        }
        chain.n = static_cast<int>(q);
        tuples.make(static_cast<int>(q), members - d.shift, members);
    };
    for (std::size_t i = 0; i < kept; ++i) {
        fill(w.kept[i], w.restored, w.tuples);
        insertChain(chains, w.endValue[w.kept[i]], static_cast<int>(q), w.restored.view());
    }
    fill(best, w.best, w.bestTuples);
    return best;
}

}  // namespace

int detectKnownNumberTuples(MessageSink& sink, std::span<const PulseHeader> alphabet,
                            std::span<const int32_t> tuple, const TuplesSearch& search,
                            ChainsHeader* chains, SeriesHeader& series, RestoringWork* work) {
    const uint16_t proceeding = search.proceeding, tmin = search.bounds.tmin,
                   tmax = search.bounds.tmax, level = search.bounds.processingLevel;
    RestoringWork own;
    RestoringWork& tables = work ? *work : own;
    TuplesWork& w = tables.tables<TuplesWork>();
    w.everyLayerBudget = tables.everyLayerBudget;
    w.traceCacheBytes = tables.traceCacheBytes;
    w.stop = tables.stopFlag();
    if (!growTables([&] { formulaRanges(series, tmin, tmax, w.ranges); })) {
        reportNoMemory(sink, "Нет памяти для ppDw!");
        return 0;
    }
    const LayerRange cover = coveringRange(w.ranges);
    const uint16_t q = series.wImpulseQuantity;
    const std::span<const int32_t> only[] = {tuple};
    bool lanes = false;
    if (!growTables([&] {
            growForRun(w, series, alphabet.size(), cover, tmin, tmax);
            lanes = planLanes(w, only, proceeding, alphabet.size(), q,
                              std::max(cover.hi - cover.lo + 1, 0), tmin, tmax);
        })) {
        reportNoMemory(sink, "Нет памяти для ppDw[m]!");
        return 0;
    }
    resetChains(chains, q, q);
    bool found = false;
    if (lanes) {
        w.cache.begin(series.noisyData(), alphabet, series.wImpulseSize, level, cover.lo, cover.hi);
        found = rankInLanes(w, cover, q, tmin, tmax, chains) >= 0;
    } else if (q > 0 && cover.lo <= cover.hi && isValidTuple(tuple, alphabet.size())) {
        w.cache.begin(series.noisyData(), alphabet, series.wImpulseSize, level, cover.lo, cover.hi);
        int32_t best = kNoChainValue;
        for (int shift = 0; shift < shiftsToTry(proceeding, tuple.size()); ++shift) {
            int32_t criterion = 0;
            if (!searchShift(w, tuple, shift, tmin, tmax, cover, criterion)) continue;
            insertChain(chains, criterion, q, w.restored.view());
            if (criterion < best) {
                best = criterion;
                found = true;
                keepCurrent(w);
            }
        }
    }
    writeBest(series, w, found);
    if (!found && chains) chains->wSeekingPulsesQuantity = 0;
    return 1;
}

int recognizeKnownNumberTuples(MessageSink& sink, std::span<const PulseHeader> alphabet,
                               std::span<const std::span<const int32_t>> tuples,
                               const TuplesSearch& search, ChainsHeader* chains,
                               SeriesHeader& series, RestoringWork* work) {
    const uint16_t proceeding = search.proceeding, tmin = search.bounds.tmin,
                   tmax = search.bounds.tmax, level = search.bounds.processingLevel;
    RestoringWork own;
    RestoringWork& tables = work ? *work : own;
    TuplesWork& w = tables.tables<TuplesWork>();
    w.everyLayerBudget = tables.everyLayerBudget;
    w.traceCacheBytes = tables.traceCacheBytes;
    w.stop = tables.stopFlag();
    if (!growTables([&] { storedRanges(series, w.ranges); })) {
        reportNoMemory(sink, "Нет памяти для ppDw!");
        return 0;
    }
    const LayerRange cover = coveringRange(w.ranges);
    const uint16_t q = series.wImpulseQuantity;
    bool lanes = false;
    if (!growTables([&] {
            growForRun(w, series, alphabet.size(), cover, tmin, tmax);
            lanes = planLanes(w, tuples, proceeding, alphabet.size(), q,
                              std::max(cover.hi - cover.lo + 1, 0), tmin, tmax);
        })) {
        reportNoMemory(sink, "Нет памяти для ppDw[]!");
        return 0;
    }
    resetChains(chains, q, q);
    int recognised = 0;
    if (q > 0 && cover.lo <= cover.hi) {
        w.cache.begin(series.noisyData(), alphabet, series.wImpulseSize, level, cover.lo, cover.hi);
    }
    if (lanes) {
        const int best = rankInLanes(w, cover, q, tmin, tmax, chains);
        if (best >= 0) recognised = w.candidates[best].number + 1;
    }
    int32_t best = kNoChainValue;
    for (std::size_t g = 0; g < tuples.size() && !lanes && q > 0 && cover.lo <= cover.hi; ++g) {
        const std::span<const int32_t> tuple = tuples[g];
        if (!isValidTuple(tuple, alphabet.size())) continue;
        for (int shift = 0; shift < shiftsToTry(proceeding, tuple.size()); ++shift) {
            int32_t criterion = 0;
            if (!searchShift(w, tuple, shift, tmin, tmax, cover, criterion)) continue;
            const bool first = becomesBest(chains, criterion);
            insertChain(chains, criterion, q, w.restored.view());
            if (first) chains->wSeekingPulsesQuantity = q;
            if (criterion < best) {
                best = criterion;
                recognised = static_cast<int>(g + 1);
                keepCurrent(w);
            }
        }
    }
    writeBest(series, w, recognised > 0);
    series.wTupleCriterion = static_cast<int16_t>(recognised);
    if (chains) chains->wSeekingPulsesQuantity = recognised > 0 ? q : 0;
    return recognised;
}

}  // namespace etalon
