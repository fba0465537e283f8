// References for the unknown-count chains over the position classes:
// detection and recognition.
#include "oracle/oracle_processing.h"

#include "oracle/oracle_steps.h"
#include "processing/intervals_header.h"

namespace etalon::oracle {

using namespace steps;

namespace {

struct Classes {
    PositionClasses c;
};

// V, Pred, Fit, Etl, Beg, End over the series, as the unknown-count
// programme keeps them.
struct Tables {
    std::vector<int32_t> fit, V, pred, etl, beg, end;
    Tables(int N, int L) : fit(N, S8), V(N, S8), pred(N, S8), etl(N, 0), beg(N, 0), end(N, L - 1) {}
};

void chainValues(const PositionClasses& c, Tables& t, int tmin, int tmax) {
    for (const auto& r : c.firstOnly) {
        for (int x = r.lo; x <= r.hi; ++x) {
            t.V[x] = t.fit[x];
            t.pred[x] = -1;
        }
    }
    // A position that may start the chain extends it from 0 at most (the
    // empty prefix); one that only continues it, from the start value.
    const auto extend = [&](const auto& ranges, int32_t from) {
        for (const auto& r : ranges) {
            for (int x = r.lo; x <= r.hi; ++x) {
                int32_t best = from;
                t.pred[x] = -2;
                for (int z = x - tmax; z <= x - tmin; ++z) {
                    if (z >= 0 && t.V[z] < best) {
                        best = t.V[z];
                        t.pred[x] = z;
                    }
                }
                t.V[x] = add(best, t.fit[x]);
            }
        }
    };
    extend(c.firstOrLater, 0);
    extend(c.laterOnly, S8);
}

int endSearch(const PositionClasses& c, const Tables& t, int32_t start, int32_t& best) {
    best = start;
    int end = -1;
    for (const auto& r : c.ends) {
        for (int x = r.lo; x <= r.hi; ++x) {
            if (t.V[x] < best) {
                best = t.V[x];
                end = x;
            }
        }
    }
    return end;
}

void fillFrom(const Tables& t, int end, int etalon, Chain& c) {
    int n = 0;
    for (int x = end; x >= 0; x = t.pred[x])
        ++n;
    c.resize(n);
    c.n = n;
    int x = end;
    for (int k = n - 1; k >= 0; --k) {
        c.p[k] = x;
        c.e[k] = etalon < 0 ? t.etl[x] + 1 : etalon;
        c.b[k] = t.beg[x];
        c.f[k] = t.end[x];
        x = t.pred[x];
    }
}

}  // namespace

int detectUnknownNumberChain(std::span<const PulseHeader> alphabet,
                             std::span<const uint16_t> etalons, const SearchBounds& bounds,
                             ChainsHeader* chains, SeriesHeader& series) {
    SilentSink sink;
    const int N = series.dwSeriesSize, L = series.wImpulseSize;
    const int16_t* y = series.lpNoisyData.data();
    const uint16_t tmin = std::max<uint16_t>(bounds.tmin, 1), tmax = bounds.tmax;
    const uint16_t level = bounds.processingLevel;
    std::vector<Energy> en;
    for (uint16_t e : etalons)
        en.push_back(energyOf(alphabet[e - 1], L, level));
    PositionClasses c;
    makePositionClasses(sink, series, tmin, tmax, c);
    resetChains(chains, 0, series.wMaxPulses);
    Tables t(N, L);
    for (const auto& r : c.fitted) {
        for (int x = r.lo; x <= r.hi; ++x) {
            const Fit f = fitPulseList(y, alphabet, etalons, en, L, x);
            t.fit[x] = f.value;
            t.etl[x] = f.index;
            t.beg[x] = f.b;
            t.end[x] = f.f;
        }
    }
    chainValues(c, t, tmin, tmax);
    int32_t best = 0;
    const int end = endSearch(c, t, S8, best);
    Chain chain;
    int32_t d = S7;
    if (end >= 0 && best < S7) {
        d = best;
        fillFrom(t, end, -1, chain);
    }
    writeSeries(series, chain);
    if (chains) {
        insertChain(chains, d, chain.n, chain.view());
        if (chains->wMaxSize > 0) chains->wSeekingPulsesQuantity = chains->pulsesQuantity(0);
    }
    return 1;
}

uint16_t recognizeUnknownNumberChain(std::span<const PulseHeader> alphabet,
                                     std::span<const uint16_t> etalons, const SearchBounds& bounds,
                                     ChainsHeader* chains, SeriesHeader& series) {
    SilentSink sink;
    const int N = series.dwSeriesSize, L = series.wImpulseSize;
    const int16_t* y = series.lpNoisyData.data();
    const uint16_t tmin = std::max<uint16_t>(bounds.tmin, 1), tmax = bounds.tmax;
    const uint16_t level = bounds.processingLevel;
    if (chains) {
        chains->wQuanPulses = series.wImpulseQuantity;
        chains->wSeekingPulsesQuantity = 0;
        chains->wPretenders = 0;
    }
    PositionClasses c;
    makePositionClasses(sink, series, tmin, tmax, c);
    int32_t C = S7;
    uint16_t recognised = 65535;
    Chain best;  // only used without a chains record
    int32_t bestE = 0;
    bool any = false;
    for (uint16_t e : etalons) {
        const Energy en = energyOf(alphabet[e - 1], L, level);
        Tables t(N, L);
        for (const auto& r : c.fitted) {
            for (int x = r.lo; x <= r.hi; ++x) {
                const Fit f = fitPulse(y, alphabet[e - 1].lpData.data(), en, L, x);
                t.fit[x] = f.value;
                t.beg[x] = f.b;
                t.end[x] = f.f;
            }
        }
        chainValues(c, t, tmin, tmax);
        int32_t J = 0;
        endSearch(c, t, S8, J);
        if (J < C) {
            C = J;
            recognised = e;
        }
        int32_t E = 0;
        const int D = endSearch(c, t, S9, E);
        if (D < 0) continue;
        Chain chain;
        fillFrom(t, D, e, chain);
        if (chains) {
            insertChain(chains, E, chain.n, chain.view());
            if (chains->wMaxSize > 0) chains->wSeekingPulsesQuantity = chains->pulsesQuantity(0);
        }
        if (!any || E < bestE) {
            any = true;
            bestE = E;
            best = chain;
        }
    }
    if (chains && chains->wMaxSize > 0) {
        // From the best chain of the record.
        Chain shown;
        const int n = chains->wSeekingPulsesQuantity;
        shown.resize(n);
        shown.n = n;
        for (int k = 0; k < n; ++k) {
            shown.p[k] = chains->positionsList(0)[k];
            shown.e[k] = chains->pulsesList(0)[k];
            shown.b[k] = chains->cutStartsList(0)[k];
            shown.f[k] = chains->cutEndsList(0)[k];
        }
        writeSeries(series, shown);
    } else {
        writeSeries(series, best);
    }
    return recognised;
}

}  // namespace etalon::oracle
