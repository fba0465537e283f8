#include "oracle/oracle_processing.h"

#include <algorithm>
#include <cstdio>

#include "processing/intervals_header.h"

namespace etalon::oracle {

namespace {

constexpr int32_t S6 = 999999, S7 = 9999999, S8 = 99999999, S9 = 999999999;

int32_t add(int32_t a, int32_t b) {
    return static_cast<int32_t>(static_cast<uint32_t>(a) + static_cast<uint32_t>(b));
}

struct Energy {
    std::vector<int32_t> pe;
    int32_t t = 0, theta = 0;
};

Energy energyOf(const PulseHeader& pulse, int L, uint16_t S) {
    Energy e;
    e.pe.assign(L + 1, 0);
    for (int j = 0; j < L; ++j)
        e.pe[j + 1] = add(e.pe[j], pulse.lpData[j] * pulse.lpData[j]);
    e.t = e.pe[L];
    e.theta = static_cast<int32_t>(uint32_t{S} * static_cast<uint32_t>(e.t)) / 100;
    return e;
}

struct Fit {
    int32_t value, index, b, f;
};

int32_t D(const int16_t* y, const int16_t* e, int x, int b, int f) {
    int32_t s = 0;
    for (int j = b; j <= f; ++j)
        s += e[j] * (e[j] - 2 * y[x + j]);
    return s;
}

// Every window [b, f] that keeps the saved energy, each measured from scratch,
// against a current best: the fragments a cut-off pulse may have left.
void fragments(const int16_t* y, const int16_t* e, const Energy& en, int L, int x, int index,
               Fit& best) {
    for (int b = 0; b < L; ++b) {
        if (!(en.theta < en.t - en.pe[b])) continue;
        for (int f = b; f < L; ++f) {
            if (!(en.theta < en.pe[f + 1] - en.pe[b])) continue;
            const int32_t s = D(y, e, x, b, f);
            if (s < best.value) best = {s, index, b, f};
        }
    }
}

Fit fitPulse(const int16_t* y, const int16_t* e, const Energy& en, int L, int x) {
    Fit best{D(y, e, x, 0, L - 1), 0, 0, L - 1};
    fragments(y, e, en, L, x, 0, best);
    return best;
}

Fit fitPulseList(const int16_t* y, std::span<const PulseHeader> alphabet,
                 std::span<const uint16_t> list, const std::vector<Energy>& en, int L, int x) {
    Fit best = fitPulse(y, alphabet[list[0] - 1].lpData.data(), en[0], L, x);
    best.index = list[0] - 1;
    for (std::size_t i = 1; i < list.size(); ++i) {
        const int16_t* e = alphabet[list[i] - 1].lpData.data();
        const int32_t whole = D(y, e, x, 0, L - 1);
        if (whole < best.value) best = {whole, list[i] - 1, 0, L - 1};
        fragments(y, e, en[i], L, x, list[i] - 1, best);
    }
    return best;
}

struct Chain {
    std::vector<int16_t> e, p, b, f;
    int n = 0;
    void resize(int size) {
        e.assign(size, 0);
        p.assign(size, 0);
        b.assign(size, 0);
        f.assign(size, 0);
    }
    ChainView view() const {
        return {{e.data(), std::size_t(n)},
                {p.data(), std::size_t(n)},
                {b.data(), std::size_t(n)},
                {f.data(), std::size_t(n)}};
    }
};

void writeSeries(SeriesHeader& s, const Chain& c) {
    const int n = std::min<int>(c.n, s.lpRestoredPositions.size());
    s.wRestoredQuantity = static_cast<uint16_t>(n);
    for (int k = 0; k < n; ++k) {
        s.lpRestoredPositions[k] = c.p[k];
        s.lpRestoredEtalons[k] = c.e[k];
        s.lpRestoredCutStarts[k] = c.b[k];
        s.lpRestoredCutEnds[k] = c.f[k];
    }
}

void writeTuples(SeriesHeader& s, const std::vector<int16_t>& first,
                 const std::vector<int16_t>& second, int count) {
    count = std::min<int>(count, s.lpRestoredTupleFirst.size());
    s.wRestoredTuples = static_cast<int16_t>(count);
    for (int i = 0; i < count; ++i) {
        s.lpRestoredTupleFirst[i] = first[i];
        s.lpRestoredTupleSecond[i] = second[i];
    }
}

// Position ranges, clipped to where a pulse fits into the series.
struct Range {
    int lo, hi;
};
Range clip(int64_t lo, int64_t hi, const SeriesHeader& s) {
    lo = std::max<int64_t>(lo, 0);
    hi = std::min<int64_t>(hi, int64_t{s.dwSeriesSize} - s.wImpulseSize);
    if (lo > hi) return {0, -1};
    return {int(lo), int(hi)};
}
std::vector<Range> stored(const SeriesHeader& s) {
    std::vector<Range> r;
    for (int k = 0; k < s.wImpulseQuantity; ++k)
        r.push_back(clip(s.lpMinPositions[k], s.lpMaxPositions[k], s));
    return r;
}
std::vector<Range> formula(const SeriesHeader& s, int64_t tmin, int64_t tmax) {
    std::vector<Range> r;
    const int64_t Q = s.wImpulseQuantity, N = s.dwSeriesSize, L = s.wImpulseSize;
    for (int64_t k = 0; k < Q; ++k) {
        r.push_back(clip(std::max(k * tmin, N - tmax * (Q - k)),
                         std::min((k + 1) * tmax - L, N - L - tmin * (Q - 1 - k)), s));
    }
    return r;
}

void noChain(SeriesHeader& s, ChainsHeader* h) {
    s.wRestoredQuantity = 0;
    if (h) h->wSeekingPulsesQuantity = 0;
}

// The known-count programme: fit(k, x) gives layer k's fit at x.
template <class FitAt>
bool knownChain(const std::vector<Range>& r, int N, int tmin, int tmax, int32_t predStart,
                int32_t endStart, int32_t backStart, FitAt fitAt, std::vector<int>& xs, int32_t& d,
                std::vector<std::vector<Fit>>& fits) {
    const int Q = static_cast<int>(r.size());
    std::vector<std::vector<int32_t>> V(Q, std::vector<int32_t>(N, 0));
    fits.assign(Q, std::vector<Fit>(N, Fit{0, 0, 0, 0}));
    for (int k = 0; k < Q; ++k) {
        for (int x = r[k].lo; x <= r[k].hi; ++x) {
            int32_t P = 0;
            if (k >= 1) {
                P = predStart;
                for (int z = x - tmax; z <= x - tmin; ++z) {
                    if (r[k - 1].lo <= z && z <= r[k - 1].hi && V[k - 1][z] < P) P = V[k - 1][z];
                }
            }
            const Fit fit = fitAt(k, x);
            V[k][x] = add(P, fit.value);
            fits[k][x] = fit;
        }
    }
    int32_t best = endStart;
    int at = -1;
    for (int x = r[Q - 1].lo; x <= r[Q - 1].hi; ++x) {
        if (V[Q - 1][x] < best) {
            best = V[Q - 1][x];
            at = x;
        }
    }
    if (at < 0) return false;
    d = best;
    xs.assign(Q, 0);
    xs[Q - 1] = at;
    for (int k = Q - 2; k >= 0; --k) {
        int32_t v = backStart;
        int found = -1;
        for (int z = xs[k + 1] - tmax; z <= xs[k + 1] - tmin; ++z) {
            if (r[k].lo <= z && z <= r[k].hi && V[k][z] < v) {
                v = V[k][z];
                found = z;
            }
        }
        if (found < 0) return false;
        xs[k] = found;
    }
    return true;
}

}  // namespace

int detectKnownNumberChain(std::span<const PulseHeader> alphabet, std::span<const uint16_t> etalons,
                           const SearchBounds& bounds, ChainsHeader* chains, SeriesHeader& series) {
    const uint16_t tmin = bounds.tmin, tmax = bounds.tmax, level = bounds.processingLevel;
    const int Q = series.wImpulseQuantity, N = series.dwSeriesSize, L = series.wImpulseSize;
    const int16_t* y = series.lpNoisyData.data();
    std::vector<Energy> en;
    for (uint16_t e : etalons)
        en.push_back(energyOf(alphabet[e - 1], L, level));
    resetChains(chains, Q, Q);
    const std::vector<Range> r = stored(series);
    std::vector<int> xs;
    int32_t d = 0;
    std::vector<std::vector<Fit>> fits;
    if (etalons.empty() || Q == 0 ||
        !knownChain(
            r, N, tmin, tmax, S6, S7, S9,
            [&](int, int x) { return fitPulseList(y, alphabet, etalons, en, L, x); }, xs, d,
            fits)) {
        noChain(series, chains);
        return 1;
    }
    Chain c;
    c.resize(Q);
    c.n = Q;
    for (int k = 0; k < Q; ++k) {
        const Fit& f = fits[k][xs[k]];
        c.e[k] = f.index + 1;
        c.p[k] = xs[k];
        c.b[k] = f.b;
        c.f[k] = f.f;
    }
    writeSeries(series, c);
    insertChain(chains, d, Q, c.view());
    return 1;
}

int recognizeKnownNumberChain(std::span<const PulseHeader> alphabet,
                              std::span<const uint16_t> etalons, const SearchBounds& bounds,
                              ChainsHeader* chains, SeriesHeader& series) {
    const uint16_t tmin = bounds.tmin, tmax = bounds.tmax, level = bounds.processingLevel;
    const int Q = series.wImpulseQuantity, N = series.dwSeriesSize, L = series.wImpulseSize;
    const int16_t* y = series.lpNoisyData.data();
    resetChains(chains, Q, Q);
    int32_t best = S9;
    int recognised = -1;
    Chain kept;
    const std::vector<Range> r = stored(series);
    for (std::size_t i = 0; i < etalons.size() && Q > 0; ++i) {
        const int e = etalons[i];
        const Energy en = energyOf(alphabet[e - 1], L, level);
        const int16_t* samples = alphabet[e - 1].lpData.data();
        std::vector<int> xs;
        int32_t A = 0;
        std::vector<std::vector<Fit>> fits;
        if (!knownChain(
                r, N, tmin, tmax, S9, S9, S9,
                [&](int, int x) { return fitPulse(y, samples, en, L, x); }, xs, A, fits)) {
            continue;
        }
        Chain c;
        c.resize(Q);
        c.n = Q;
        for (int k = 0; k < Q; ++k) {
            c.e[k] = e;
            c.p[k] = xs[k];
            c.b[k] = fits[k][xs[k]].b;
            c.f[k] = fits[k][xs[k]].f;
        }
        insertChain(chains, A, Q, c.view());
        if (A < best) {
            best = A;
            recognised = e;
            kept = c;
        }
    }
    if (recognised < 0) {
        noChain(series, chains);
        return -1;
    }
    writeSeries(series, kept);
    return recognised;
}

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
    for (const auto& r : c.firstOrLater) {
        for (int x = r.lo; x <= r.hi; ++x) {
            int32_t best = 0;
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
    for (const auto& r : c.laterOnly) {
        for (int x = r.lo; x <= r.hi; ++x) {
            int32_t best = S8;
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

namespace {

struct TupleRun {
    Chain chain;
    std::vector<int16_t> first, second;
    int tuples = 0;
};

void segment(TupleRun& run, int n, int head, int period) {
    run.first.clear();
    run.second.clear();
    if (n <= 0) {
        run.tuples = 0;
        return;
    }
    int u = std::min(head, n);
    run.first.push_back(1);
    run.second.push_back(u);
    while (u < n) {
        run.first.push_back(u + 1);
        u = std::min(u + period, n);
        run.second.push_back(u);
    }
    run.tuples = static_cast<int>(run.first.size());
}

bool validTuple(std::span<const int32_t> t, std::size_t size) {
    if (t.empty()) return false;
    for (int32_t m : t) {
        if (m < 1 || std::size_t(m) > size) return false;
    }
    return true;
}

// One tuple, one shift.
bool tupleSearch(std::span<const PulseHeader> alphabet, std::span<const int32_t> tuple, int m,
                 const std::vector<Range>& r, int tmin, int tmax, uint16_t level,
                 const SeriesHeader& series, int32_t& w, TupleRun& run) {
    const int Q = series.wImpulseQuantity, N = series.dwSeriesSize, L = series.wImpulseSize;
    const int C = static_cast<int>(tuple.size());
    const int16_t* y = series.lpNoisyData.data();
    std::vector<Energy> en;
    for (int32_t t : tuple)
        en.push_back(energyOf(alphabet[t - 1], L, level));
    std::vector<int> xs;
    std::vector<std::vector<Fit>> fits;
    auto fitAt = [&](int k, int x) {
        const int member = (m + k) % C;
        return fitPulse(y, alphabet[tuple[member] - 1].lpData.data(), en[member], L, x);
    };
    if (!knownChain(r, N, tmin, tmax, S6, S7, S6, fitAt, xs, w, fits)) return false;
    run.chain.resize(Q);
    run.chain.n = Q;
    for (int k = 0; k < Q; ++k) {
        run.chain.e[k] = tuple[(m + k) % C];
        run.chain.p[k] = xs[k];
        run.chain.b[k] = fits[k][xs[k]].b;
        run.chain.f[k] = fits[k][xs[k]].f;
    }
    segment(run, Q, C - m, C);
    return true;
}

}  // namespace

int detectKnownNumberTuples(std::span<const PulseHeader> alphabet, std::span<const int32_t> tuple,
                            const TuplesSearch& search, ChainsHeader* chains,
                            SeriesHeader& series) {
    const uint16_t proceeding = search.proceeding, tmin = search.bounds.tmin,
                   tmax = search.bounds.tmax, level = search.bounds.processingLevel;
    const int Q = series.wImpulseQuantity;
    resetChains(chains, Q, Q);
    int32_t best = S7;
    bool found = false;
    const std::vector<Range> r = formula(series, tmin, tmax);
    if (Q > 0 && validTuple(tuple, alphabet.size())) {
        const int shifts = proceeding == 1 ? 1 : static_cast<int>(tuple.size());
        for (int m = 0; m < shifts; ++m) {
            TupleRun run;
            int32_t w = 0;
            if (!tupleSearch(alphabet, tuple, m, r, tmin, tmax, level, series, w, run)) continue;
            insertChain(chains, w, Q, run.chain.view());
            if (w < best) {
                best = w;
                found = true;
                writeSeries(series, run.chain);
                writeTuples(series, run.first, run.second, run.tuples);
            }
        }
    }
    if (found) {
        series.wRestoredQuantity = Q;
    } else {
        series.wRestoredQuantity = 0;
        series.wRestoredTuples = 0;
        if (chains) chains->wSeekingPulsesQuantity = 0;
    }
    return 1;
}

int recognizeKnownNumberTuples(std::span<const PulseHeader> alphabet,
                               std::span<const std::span<const int32_t>> tuples,
                               const TuplesSearch& search, ChainsHeader* chains,
                               SeriesHeader& series) {
    const uint16_t proceeding = search.proceeding, tmin = search.bounds.tmin,
                   tmax = search.bounds.tmax, level = search.bounds.processingLevel;
    const int Q = series.wImpulseQuantity;
    resetChains(chains, Q, Q);
    int32_t best = S7;
    int recognised = 0;
    TupleRun kept;
    const std::vector<Range> r = stored(series);
    for (std::size_t g = 0; g < tuples.size() && Q > 0; ++g) {
        if (!validTuple(tuples[g], alphabet.size())) continue;
        const int shifts = proceeding == 1 ? 1 : static_cast<int>(tuples[g].size());
        for (int m = 0; m < shifts; ++m) {
            TupleRun run;
            int32_t w = 0;
            if (!tupleSearch(alphabet, tuples[g], m, r, tmin, tmax, level, series, w, run)) {
                continue;
            }
            if (w < best) {
                best = w;
                recognised = static_cast<int>(g + 1);
                kept = run;
            }
            if (chains) {
                const bool rankZero =
                    chains->wMaxSize > 0 && (chains->wPretenders == 0 || w < chains->distance(0));
                insertChain(chains, w, Q, run.chain.view());
                if (rankZero) chains->wSeekingPulsesQuantity = Q;
            }
        }
    }
    if (recognised > 0) {
        writeSeries(series, kept.chain);
        writeTuples(series, kept.first, kept.second, kept.tuples);
        if (chains) chains->wSeekingPulsesQuantity = Q;
    } else {
        series.wRestoredQuantity = 0;
        series.wRestoredTuples = 0;
        if (chains) chains->wSeekingPulsesQuantity = 0;
    }
    series.wTupleCriterion = static_cast<int16_t>(recognised);
    return recognised;
}

namespace {

template <class... Args>
void appendf(std::string& s, const char* format, Args... args) {
    char buffer[128];
    std::snprintf(buffer, sizeof buffer, format, args...);
    s += buffer;
}

// The layered search over one pattern, as written: tables per layer over the
// positions 0..N-L.
struct Layered {
    int layers, width;
    int32_t omega;
    std::vector<std::vector<int32_t>> V, Pred, Etl, Beg, End;
    Layered(int layers_, int width_, int32_t omega_, int L)
        : layers(layers_),
          width(width_),
          omega(omega_),
          V(layers_, std::vector<int32_t>(width_, omega_)),
          Pred(layers_, std::vector<int32_t>(width_, omega_)),
          Etl(layers_, std::vector<int32_t>(width_, 0)),
          Beg(layers_, std::vector<int32_t>(width_, 0)),
          End(layers_, std::vector<int32_t>(width_, L - 1)) {}
};

std::string positionLine(const Layered& t, const std::vector<PositionClasses::Range>& cls, int l) {
    std::string s;
    int32_t smallest = t.omega;
    int m = -1;
    for (const auto& r : cls) {
        for (int x = r.lo; x <= r.hi; ++x) {
            if (t.V[l][x] < smallest) {
                smallest = t.V[l][x];
                m = x;
            }
        }
    }
    for (const auto& r : cls) {
        for (int x = r.lo; x <= r.hi; ++x) {
            if (t.V[l][x] < 0 && x == m)
                appendf(s, " %d", t.V[l][x]);
            else if (t.V[l][x] < 0)
                s += " -";
            else
                s += " +";
            if (t.Pred[l][x] >= 0) appendf(s, "[%d]", t.Pred[l][x]);
        }
    }
    return s;
}

int32_t layeredSearch(std::span<const PulseHeader> alphabet, std::span<const int32_t> pattern,
                      int layers, int32_t omega, const PositionClasses& c, int tmin, int tmax,
                      uint16_t level, const SeriesHeader& series, bool debugging,
                      std::vector<std::string>* texts, TupleRun& run) {
    const int N = series.dwSeriesSize, L = series.wImpulseSize;
    const int16_t* y = series.lpNoisyData.data();
    const int width = N - L + 1;
    const int C = static_cast<int>(pattern.size());
    std::vector<Energy> en;
    for (int32_t t : pattern)
        en.push_back(energyOf(alphabet[t - 1], L, level));
    Layered t(layers, width, omega, L);
    auto fitAt = [&](int l, int x) {
        return fitPulse(y, alphabet[pattern[l] - 1].lpData.data(), en[l], L, x);
    };
    for (const auto& r : c.firstOnly) {
        for (int x = r.lo; x <= r.hi; ++x) {
            const Fit f = fitAt(0, x);
            t.V[0][x] = f.value;
            t.Pred[0][x] = -1;
            t.Etl[0][x] = pattern[0] - 1;
            t.Beg[0][x] = f.b;
            t.End[0][x] = f.f;
        }
    }
    if (debugging && texts) {
        std::string s = "omega_minus - omega_tilda: ";
        for (const auto& r : c.firstOnly)
            appendf(s, " [%d..%d] ", r.lo, r.hi);
        s += "\n";
        s += positionLine(t, c.firstOnly, 0);
        s += "\n ";
        texts->push_back(s);
    }
    auto step = [&](int x, int l, int32_t start, bool firstOrLater) {
        const int pl = l == 0 ? layers - 1 : l - 1;
        const Fit f = fitAt(l, x);
        t.Etl[l][x] = pattern[l] - 1;
        t.Beg[l][x] = f.b;
        t.End[l][x] = f.f;
        int32_t best = start;
        int pred = -2;
        for (int z = x - tmax; z <= x - tmin; ++z) {
            if (z >= 0 && t.V[pl][z] < best) {
                best = t.V[pl][z];
                pred = z;
            }
        }
        if (!firstOrLater || best < 0) {
            t.V[l][x] = add(best, f.value);
            t.Pred[l][x] = pred;
        } else if (l > 0) {
            t.V[l][x] = omega;
            t.Pred[l][x] = -2;
        } else {
            t.V[l][x] = f.value;
            t.Pred[l][x] = -1;
        }
    };
    for (const auto& r : c.firstOrLater) {
        for (int x = r.lo; x <= r.hi; ++x) {
            for (int l = 0; l < layers; ++l)
                step(x, l, 0, true);
        }
    }
    if (debugging && texts) {
        std::string s = "omega_minus x omega_tilda: ";
        for (const auto& r : c.firstOrLater)
            appendf(s, " [%d..%d] ", r.lo, r.hi);
        s += "\n";
        for (int l = 0; l < layers; ++l) {
            appendf(s, "l=%d\n ", l + 1);
            s += positionLine(t, c.firstOrLater, l);
            s += "\n ";
        }
        texts->push_back(s);
    }
    for (const auto& r : c.laterOnly) {
        for (int x = r.lo; x <= r.hi; ++x) {
            for (int l = 0; l < layers; ++l)
                step(x, l, omega, false);
        }
    }
    int32_t best = omega;
    int endX = -1, endL = 0;
    for (const auto& r : c.ends) {
        for (int x = r.lo; x <= r.hi && x < width; ++x) {
            for (int l = 0; l < layers; ++l) {
                if (t.V[l][x] < best) {
                    best = t.V[l][x];
                    endX = x;
                    endL = l;
                }
            }
        }
    }
    int n = 0;
    for (int x = endX, l = endL; x >= 0 && x < width;) {
        ++n;
        x = t.Pred[l][x];
        l = l == 0 ? layers - 1 : l - 1;
    }
    run.chain.resize(n);
    run.chain.n = n;
    for (int k = n - 1, x = endX, l = endL; k >= 0; --k) {
        run.chain.p[k] = x;
        run.chain.e[k] = t.Etl[l][x] + 1;
        run.chain.b[k] = t.Beg[l][x];
        run.chain.f[k] = t.End[l][x];
        x = t.Pred[l][x];
        l = l == 0 ? layers - 1 : l - 1;
    }
    segment(run, n, C, C);
    return best;
}

}  // namespace

int TuplesDetection(std::span<const PulseHeader> alphabet, std::span<const int32_t> pattern,
                    const TuplesSearch& search, ChainsHeader* chains, SeriesHeader& series,
                    int32_t& debuggingRepeat, std::vector<std::string>* texts) {
    SilentSink sink;
    const uint16_t tmin = std::max<uint16_t>(search.bounds.tmin, 1), tmax = search.bounds.tmax;
    const uint16_t level = search.bounds.processingLevel;
    const int layers = std::min<int>(pattern.size(), series.wMaxPulses);
    PositionClasses c;
    makePositionClasses(sink, series, tmin, tmax, c);
    resetChains(chains, 0, series.wMaxPulses);
    TupleRun run;
    int32_t criterion = S8;
    if (layers > 0 && validTuple(pattern, alphabet.size())) {
        criterion = layeredSearch(alphabet, pattern, layers, S8, c, tmin, tmax, level, series,
                                  debuggingRepeat != 0, texts, run);
        if (!(criterion < S8)) run = TupleRun{};
    }
    insertChain(chains, criterion, run.chain.n, run.chain.view());
    writeSeries(series, run.chain);
    writeTuples(series, run.first, run.second, run.tuples);
    if (chains) chains->wSeekingPulsesQuantity = series.wRestoredQuantity;
    debuggingRepeat = 0;
    return 1;
}

int TuplesRecognition(std::span<const PulseHeader> alphabet,
                      std::span<const std::span<const int32_t>> patterns,
                      const TuplesSearch& search, ChainsHeader* chains, SeriesHeader& series,
                      int32_t& debuggingRepeat, std::vector<std::string>* texts) {
    SilentSink sink;
    const uint16_t tmin = std::max<uint16_t>(search.bounds.tmin, 1), tmax = search.bounds.tmax;
    const uint16_t level = search.bounds.processingLevel;
    PositionClasses c;
    makePositionClasses(sink, series, tmin, tmax, c);
    resetChains(chains, 0, series.wMaxPulses);
    int32_t best = S9;
    int recognised = 0;
    TupleRun kept;
    for (std::size_t g = 0; g < patterns.size(); ++g) {
        const int layers = std::min<int>(patterns[g].size(), series.wMaxPulses);
        if (layers == 0 || !validTuple(patterns[g], alphabet.size())) continue;
        TupleRun run;
        const int32_t criterion = layeredSearch(alphabet, patterns[g], layers, S9, c, tmin, tmax,
                                                level, series, debuggingRepeat != 0, texts, run);
        if (criterion < best) {
            best = criterion;
            kept = run;
            recognised = static_cast<int>(g + 1);
        }
        insertChain(chains, criterion, run.chain.n, run.chain.view());
    }
    writeSeries(series, kept.chain);
    writeTuples(series, kept.first, kept.second, kept.tuples);
    series.wTupleCriterion = static_cast<int16_t>(recognised);
    if (chains) chains->wSeekingPulsesQuantity = static_cast<uint16_t>(kept.chain.n);
    debuggingRepeat = 0;
    return recognised;
}

}  // namespace etalon::oracle
