#include "processing/known_number_chain.h"

#include <algorithm>
#include <vector>

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
    std::vector<int16_t> listBegin, listEnd;
    RestoredChain restored, best;
};

thread_local KnownChainWork work;

// Sizes everything one run over `alphabet` needs; throws std::bad_alloc.
void growForRun(KnownChainWork& w, const SeriesHeader& series, std::size_t alphabetSize,
                const LayerRange& cover, int32_t tmin, int32_t tmax) {
    const std::size_t q = series.wImpulseQuantity;
    const std::size_t width = cover.hi >= cover.lo ? cover.hi - cover.lo + 1 : 0;
    w.cache.reserve(alphabetSize, width, series.wImpulseSize);
    w.chain.reserve(w.ranges, tmin, tmax);
    w.fits.resize(q);
    w.positions.resize(q);
    w.restored.resize(q);
    w.best.resize(q);
    w.listValue.resize(width);
    w.listIndex.resize(width);
    w.listBegin.resize(width);
    w.listEnd.resize(width);
}

// fitPulseList at every position of the covering range.
void fitList(KnownChainWork& w, std::span<const uint16_t> etalons, const LayerRange& cover) {
    const int32_t count = cover.hi - cover.lo + 1;
    for (std::size_t i = 0; i < etalons.size(); ++i) {
        const int32_t index = etalons[i] - 1;
        const FitTable& table = w.cache.fits(index);
        const int32_t* value = table.values();
        for (int32_t p = 0; p < count; ++p) {
            if (i != 0 && !(value[p] < w.listValue[p])) continue;
            const PulseFit fit = table.at(cover.lo + p);
            w.listValue[p] = fit.value;
            w.listIndex[p] = index;
            w.listBegin[p] = fit.begin;
            w.listEnd[p] = fit.end;
        }
    }
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
                           std::span<const uint16_t> etalons, uint16_t tmin, uint16_t tmax,
                           uint16_t level, ChainsHeader* chains, SeriesHeader& series) {
    KnownChainWork& w = work;
    if (!growTables([&] { storedRanges(series, w.ranges); })) {
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
    if (etalons.empty() || q == 0 || cover.lo > cover.hi) {
        noChain(series, chains);
        return 1;
    }

    w.cache.begin(series.noisyData(), alphabet, series.wImpulseSize, level, cover.lo, cover.hi);
    fitList(w, etalons, cover);
    pointLayers(w, w.listValue.data(), cover);
    int32_t criterion = 0;
    if (!w.chain.run(w.ranges, w.fits, tmin, tmax, {kSentinel6, kSentinel7, kSentinel9},
                     w.positions, criterion)) {
        noChain(series, chains);
        return 1;
    }
    for (int k = 0; k < q; ++k) {
        const int32_t p = w.positions[k] - cover.lo;
        w.restored.set(k, w.listIndex[p] + 1, w.positions[k], w.listBegin[p], w.listEnd[p]);
    }
    w.restored.n = q;
    writeRestoredPulses(series, w.restored);
    insertChain(chains, criterion, q, w.restored.view());
    return 1;
}

int recognizeKnownNumberChain(MessageSink& sink, std::span<const PulseHeader> alphabet,
                              std::span<const uint16_t> etalons, uint16_t tmin, uint16_t tmax,
                              uint16_t level, ChainsHeader* chains, SeriesHeader& series) {
    KnownChainWork& w = work;
    if (!growTables([&] { storedRanges(series, w.ranges); })) {
        reportNoMemory(sink, "Нет памяти для ppDw!");
        return -1;
    }
    const LayerRange cover = coveringRange(w.ranges);
    if (!growTables([&] { growForRun(w, series, alphabet.size(), cover, tmin, tmax); })) {
        reportNoMemory(sink, "Нет памяти для indexes!");
        return -1;
    }
    const uint16_t q = series.wImpulseQuantity;
    resetChains(chains, q, q);
    int recognised = -1;
    int32_t bestCriterion = kSentinel9;
    if (q > 0 && cover.lo <= cover.hi) {
        w.cache.begin(series.noisyData(), alphabet, series.wImpulseSize, level, cover.lo, cover.hi);
    }
    for (std::size_t i = 0; i < etalons.size() && q > 0 && cover.lo <= cover.hi; ++i) {
        const int32_t etalon = etalons[i];
        const FitTable& table = w.cache.fits(etalon - 1);
        pointLayers(w, table.values(), cover);
        int32_t criterion = 0;
        if (!w.chain.run(w.ranges, w.fits, tmin, tmax, {kSentinel9, kSentinel9, kSentinel9},
                         w.positions, criterion)) {
            continue;  // no chain for this candidate: nothing to rank
        }
        for (int k = 0; k < q; ++k) {
            const PulseFit fit = table.at(w.positions[k]);
            w.restored.set(k, etalon, w.positions[k], fit.begin, fit.end);
        }
        w.restored.n = q;
        insertChain(chains, criterion, q, w.restored.view());
        if (criterion < bestCriterion) {
            bestCriterion = criterion;
            recognised = etalon;
            std::swap(w.best, w.restored);
        }
    }
    if (recognised < 0) {
        noChain(series, chains);
        return -1;
    }
    writeRestoredPulses(series, w.best);
    return recognised;
}

}  // namespace etalon
