#include "processing/unknown_number_chain.h"

#include <algorithm>
#include <array>
#include <vector>

#include "processing/intervals_header.h"
#include "processing/lane_position_chain.h"
#include "processing/layered_chain.h"
#include "processing/position_chain.h"
#include "processing/pulse_fit.h"
#include "processing/restored_chain.h"

namespace etalon {

namespace {

struct UnknownChainWork {
    FitCache cache;
    PositionChain chain;
    PositionClassesCache classesCache;
    const PositionClasses* classes = nullptr;
    RestoredChain restored, best;
    // Recognition: the distinct etalons run eight at a time, one per lane.
    LanePositionChain laneChain;
    LaneEtalons laneEtalons;
    StopFlag stop;  // this run's caller's
};

LayerRange fittedCover(const PositionClasses& classes) {
    if (classes.fitted.empty()) return {0, -1};
    return {classes.fitted.front().lo, classes.fitted.back().hi};
}

void growForRun(UnknownChainWork& w, const SeriesHeader& series, std::size_t alphabetSize) {
    const std::size_t n = series.dwSeriesSize;
    w.cache.reserve(alphabetSize, n, series.wImpulseSize);
    w.chain.reserve(n);
    // A chain has at most one pulse per position.
    w.restored.resize(n + 1);
    w.best.resize(n + 1);
}

// Fits the etalon with alphabet index `index` at every fitted position, unless
// an earlier list entry fits at least as well there.
void fitFitted(UnknownChainWork& w, int32_t index, bool first) {
    const FitTable& table = w.cache.fits(index);
    int32_t* fit = w.chain.fit();
    int32_t* etalon = w.chain.etalon();
    for (const auto& r : w.classes->fitted) {
        const int32_t count = r.hi - r.lo + 1;
        const int32_t offset = r.lo - table.first();
        const int32_t* value = table.values() + offset;
        if (first) {
            std::copy_n(value, count, fit + r.lo);
            std::fill_n(etalon + r.lo, count, index);
            continue;
        }
        for (int32_t i = 0; i < count; ++i) {
            const bool better = value[i] < fit[r.lo + i];
            fit[r.lo + i] = better ? value[i] : fit[r.lo + i];
            etalon[r.lo + i] = better ? index : etalon[r.lo + i];
        }
    }
}

// The windows of the chain's pulses: those the fits chose, or the whole
// pulse where nothing was fitted.
void setWindows(UnknownChainWork& w, RestoredChain& chain, int16_t length) {
    for (int k = 0; k < chain.n; ++k) {
        const int32_t x = chain.positions[k];
        PulseFit fit{0, 0, 0, static_cast<int16_t>(length - 1)};
        if (w.classes->fittedAt[x]) fit = w.cache.fits(chain.etalons[k] - 1).at(x);
        chain.cutStarts[k] = fit.begin;
        chain.cutEnds[k] = fit.end;
    }
}

// The sets and the tables for one run; false after a reported failure.
bool prepare(MessageSink& sink, UnknownChainWork& w, const SeriesHeader& series, uint16_t tmin,
             uint16_t tmax, std::size_t alphabetSize, const char* blockMessage) {
    if (!growTables([&] { growForRun(w, series, alphabetSize); })) {
        reportNoMemory(sink, blockMessage);
        return false;
    }
    if (!w.classesCache.get(sink, series, tmin, tmax, w.classes, w.stop)) {
        reportNoMemory(sink, "Нет памяти для IntervalsHeader!");
        return false;
    }
    return true;
}

void startFits(UnknownChainWork& w, const SeriesHeader& series,
               std::span<const PulseHeader> alphabet, uint16_t level) {
    const LayerRange cover = fittedCover(*w.classes);
    w.cache.begin(series.noisyData(), alphabet, series.wImpulseSize, level, cover.lo, cover.hi);
    w.chain.clear(series.dwSeriesSize, *w.classes);
}

}  // namespace

int detectUnknownNumberChain(MessageSink& sink, std::span<const PulseHeader> alphabet,
                             std::span<const uint16_t> etalons, const SearchBounds& bounds,
                             ChainsHeader* chains, SeriesHeader& series, RestoringWork* work) {
    RestoringWork own;
    RestoringWork& tables = work ? *work : own;
    UnknownChainWork& w = tables.tables<UnknownChainWork>();
    w.stop = tables.stopFlag();
    if (!growTables([] {})) {
        reportNoMemory(sink, "Нет памяти для EtalonsPartialEnergy!");
        return 0;
    }
    const uint16_t tmin = std::max<uint16_t>(bounds.tmin, 1), tmax = bounds.tmax;
    const uint16_t level = bounds.processingLevel;
    if (!prepare(sink, w, series, tmin, tmax, alphabet.size(), "Нет памяти для indexes!")) {
        return 0;
    }
    resetChains(chains, 0, series.wMaxPulses);

    startFits(w, series, alphabet, level);
    // One etalon: its table is read as it is, and every pulse of the chain
    // (all at fitted positions) is that etalon.
    int32_t only = -1;
    if (etalons.size() == 1) {
        only = etalons[0];
        const FitTable& table = w.cache.fits(only - 1);
        w.chain.useFits(table.values(), table.first());
    }
    for (std::size_t i = 0; only < 0 && i < etalons.size(); ++i)
        fitFitted(w, etalons[i] - 1, i == 0);
    w.chain.run(*w.classes, tmin, tmax, w.stop);
    int32_t best = 0;
    const int32_t end = w.chain.findEnd(*w.classes, kUnreachedValue, best);
    int32_t criterion = kNoChainValue;
    w.restored.n = 0;
    if (end >= 0 && best < kNoChainValue) {
        criterion = best;
        w.chain.fillChain(end, only, w.restored);
        setWindows(w, w.restored, static_cast<int16_t>(series.wImpulseSize));
    }
    writeRestoredPulses(series, w.restored);
    if (chains) {
        insertChain(chains, criterion, w.restored.n, w.restored.view());
        if (chains->wMaxSize > 0) {
            chains->wSeekingPulsesQuantity = static_cast<uint16_t>(chains->pulsesQuantity(0));
        }
    }
    return 1;
}

uint16_t recognizeUnknownNumberChain(MessageSink& sink, std::span<const PulseHeader> alphabet,
                                     std::span<const uint16_t> etalons, const SearchBounds& bounds,
                                     ChainsHeader* chains, SeriesHeader& series,
                                     RestoringWork* work) {
    RestoringWork own;
    RestoringWork& tables = work ? *work : own;
    UnknownChainWork& w = tables.tables<UnknownChainWork>();
    w.stop = tables.stopFlag();
    LanePositionChain& laneChain = w.laneChain;
    LaneEtalons& laneEtalons = w.laneEtalons;
    const uint16_t tmin = std::max<uint16_t>(bounds.tmin, 1), tmax = bounds.tmax;
    const uint16_t level = bounds.processingLevel;
    // The position tables are had before anything changes, so that a failure
    // is reported and leaves both records as they were.
    const auto grow = [&] {
        growForRun(w, series, alphabet.size());
        laneEtalons.reserve(alphabet.size());
        const std::size_t groups =
            (alphabet.size() + LanePositionChain::kLanes - 1) / LanePositionChain::kLanes;
        laneChain.reserve(series.dwSeriesSize, groups);
    };
    if (!growTables(grow)) {
        reportNoMemory(sink, "Нет памяти для indexes!");
        return 0;
    }
    if (!w.classesCache.get(sink, series, tmin, tmax, w.classes, w.stop)) {
        reportNoMemory(sink, "Нет памяти для IntervalsHeader!");
        return 0;
    }
    if (chains) {
        chains->wQuanPulses = series.wImpulseQuantity;
        chains->wSeekingPulsesQuantity = 0;
        chains->wPretenders = 0;
    }

    const LayerRange cover = fittedCover(*w.classes);
    w.cache.begin(series.noisyData(), alphabet, series.wImpulseSize, level, cover.lo, cover.hi);
    // Every distinct etalon's values, its chain end and the criterion of that
    // end; lanes past the last etalon repeat the group's first one.
    laneEtalons.assign(etalons);
    const std::span<const int32_t> distinct = laneEtalons.distinct();
    for (int g = 0; g < laneEtalons.groups(); ++g) {
        std::array<const FitTable*, LanePositionChain::kLanes> tables;
        const std::size_t first = g * LanePositionChain::kLanes;
        for (int l = 0; l < LanePositionChain::kLanes; ++l) {
            const std::size_t k = first + l;
            tables[l] = &w.cache.fits(distinct[k < distinct.size() ? k : first]);
        }
        const int used = static_cast<int>(
            std::min<std::size_t>(distinct.size() - first, LanePositionChain::kLanes));
        laneChain.run(*w.classes, tables, used, tmin, tmax, g, w.stop);
        laneChain.findEnds(*w.classes, kSearchStartValue, g);
    }

    int32_t bestCriterion = kNoChainValue;
    uint16_t recognised = 65535;
    // The chain written into the series: the smallest criterion of the
    // second end search, the first of equal ones (rank 0 of the record).
    int32_t shownCriterion = 0;
    bool shown = false;
    w.best.n = 0;
    for (const uint16_t etalon : etalons) {
        const int slot = laneEtalons.slotOf(etalon);
        // The search from kUnreachedValue finds the same end with the same value
        // when there is one below it.
        const int32_t criterion = laneChain.endValue(slot);
        const int32_t endValue = std::min(criterion, kUnreachedValue);
        if (endValue < bestCriterion) {
            bestCriterion = endValue;
            recognised = etalon;
        }
        const int32_t end = laneChain.endAt(slot);
        if (end < 0) continue;  // no chain at all: nothing to rank
        laneChain.fillChain(slot, end, etalon, w.restored);
        setWindows(w, w.restored, static_cast<int16_t>(series.wImpulseSize));
        if (chains) {
            insertChain(chains, criterion, w.restored.n, w.restored.view());
            if (chains->wMaxSize > 0) {
                chains->wSeekingPulsesQuantity = static_cast<uint16_t>(chains->pulsesQuantity(0));
            }
        }
        if (!shown || criterion < shownCriterion) {
            shown = true;
            shownCriterion = criterion;
            std::swap(w.best, w.restored);
        }
    }
    // A record with shorter rows holds only the first pulses of the chain.
    if (chains) w.best.n = std::min<int>(w.best.n, chains->wMaxPulses);
    writeRestoredPulses(series, w.best);
    return recognised;
}

}  // namespace etalon
