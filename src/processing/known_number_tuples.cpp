#include "processing/known_number_tuples.h"

#include <algorithm>
#include <vector>

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

struct TuplesWork {
    FitCache cache;
    LayeredChain chain;
    std::vector<LayerRange> ranges;
    std::vector<const int32_t*> fits;
    std::vector<int32_t> positions;
    RestoredChain restored, best;
    TupleSegmentation tuples, bestTuples;
};

thread_local TuplesWork work;

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
    if (!w.chain.run(w.ranges, w.fits, tmin, tmax, {kSentinel6, kSentinel7, kSentinel6},
                     w.positions, criterion)) {
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

}  // namespace

int detectKnownNumberTuples(MessageSink& sink, std::span<const PulseHeader> alphabet,
                            std::span<const int32_t> tuple, uint16_t proceeding, uint16_t tmin,
                            uint16_t tmax, uint16_t level, ChainsHeader* chains,
                            SeriesHeader& series) {
    TuplesWork& w = work;
    if (!growTables([&] { formulaRanges(series, tmin, tmax, w.ranges); })) {
        reportNoMemory(sink, "Нет памяти для ppDw!");
        return 0;
    }
    const LayerRange cover = coveringRange(w.ranges);
    if (!growTables([&] { growForRun(w, series, alphabet.size(), cover, tmin, tmax); })) {
        reportNoMemory(sink, "Нет памяти для ppDw[m]!");
        return 0;
    }
    const uint16_t q = series.wImpulseQuantity;
    resetChains(chains, q, q);
    bool found = false;
    if (q > 0 && cover.lo <= cover.hi && isValidTuple(tuple, alphabet.size())) {
        w.cache.begin(series.noisyData(), alphabet, series.wImpulseSize, level, cover.lo, cover.hi);
        int32_t best = kSentinel7;
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
                               uint16_t proceeding, uint16_t tmin, uint16_t tmax, uint16_t level,
                               ChainsHeader* chains, SeriesHeader& series) {
    TuplesWork& w = work;
    if (!growTables([&] { storedRanges(series, w.ranges); })) {
        reportNoMemory(sink, "Нет памяти для ppDw!");
        return 0;
    }
    const LayerRange cover = coveringRange(w.ranges);
    if (!growTables([&] { growForRun(w, series, alphabet.size(), cover, tmin, tmax); })) {
        reportNoMemory(sink, "Нет памяти для ppDw[]!");
        return 0;
    }
    const uint16_t q = series.wImpulseQuantity;
    resetChains(chains, q, q);
    int recognised = 0;
    if (q > 0 && cover.lo <= cover.hi) {
        w.cache.begin(series.noisyData(), alphabet, series.wImpulseSize, level, cover.lo, cover.hi);
    }
    int32_t best = kSentinel7;
    for (std::size_t g = 0; g < tuples.size() && q > 0 && cover.lo <= cover.hi; ++g) {
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
