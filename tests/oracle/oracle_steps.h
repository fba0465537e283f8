// The steps the reference restoring procedures share: pulse energies, the
// fit of a pulse or of its fragments at one position, the known-count chain,
// the position ranges and writing a result into the series. Kept apart so
// each family of references reads on its own.
#pragma once

#include <algorithm>
#include <cstdint>
#include <span>
#include <vector>

#include "processing/chains_header.h"
#include "pulses/pulse_header.h"
#include "series/series_header.h"

namespace etalon::oracle::steps {

inline constexpr int32_t S6 = 999999, S7 = 9999999, S8 = 99999999, S9 = 999999999;

inline int32_t add(int32_t a, int32_t b) {
    return static_cast<int32_t>(static_cast<uint32_t>(a) + static_cast<uint32_t>(b));
}

struct Energy {
    std::vector<int32_t> pe;
    int32_t t = 0, theta = 0;
};

inline Energy energyOf(const PulseHeader& pulse, int L, uint16_t S) {
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

inline int32_t D(const int16_t* y, const int16_t* e, int x, int b, int f) {
    int32_t s = 0;
    for (int j = b; j <= f; ++j)
        s += e[j] * (e[j] - 2 * y[x + j]);
    return s;
}

// Every window [b, f] that keeps the saved energy, each measured from scratch,
// against a current best: the fragments a cut-off pulse may have left.
inline void fragments(const int16_t* y, const int16_t* e, const Energy& en, int L, int x, int index,
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

inline Fit fitPulse(const int16_t* y, const int16_t* e, const Energy& en, int L, int x) {
    Fit best{D(y, e, x, 0, L - 1), 0, 0, L - 1};
    fragments(y, e, en, L, x, 0, best);
    return best;
}

inline Fit fitPulseList(const int16_t* y, std::span<const PulseHeader> alphabet,
                        std::span<const uint16_t> list, const std::vector<Energy>& en, int L,
                        int x) {
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

inline void writeSeries(SeriesHeader& s, const Chain& c) {
    const int n = std::min<int>(c.n, s.lpRestoredPositions.size());
    s.wRestoredQuantity = static_cast<uint16_t>(n);
    for (int k = 0; k < n; ++k) {
        s.lpRestoredPositions[k] = c.p[k];
        s.lpRestoredEtalons[k] = c.e[k];
        s.lpRestoredCutStarts[k] = c.b[k];
        s.lpRestoredCutEnds[k] = c.f[k];
    }
}

inline void writeTuples(SeriesHeader& s, const std::vector<int16_t>& first,
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
inline Range clip(int64_t lo, int64_t hi, const SeriesHeader& s) {
    lo = std::max<int64_t>(lo, 0);
    hi = std::min<int64_t>(hi, int64_t{s.dwSeriesSize} - s.wImpulseSize);
    if (lo > hi) return {0, -1};
    return {int(lo), int(hi)};
}
inline std::vector<Range> stored(const SeriesHeader& s) {
    std::vector<Range> r;
    for (int k = 0; k < s.wImpulseQuantity; ++k)
        r.push_back(clip(s.lpMinPositions[k], s.lpMaxPositions[k], s));
    return r;
}
inline std::vector<Range> formula(const SeriesHeader& s, int64_t tmin, int64_t tmax) {
    std::vector<Range> r;
    const int64_t Q = s.wImpulseQuantity, N = s.dwSeriesSize, L = s.wImpulseSize;
    for (int64_t k = 0; k < Q; ++k) {
        r.push_back(clip(std::max(k * tmin, N - tmax * (Q - k)),
                         std::min((k + 1) * tmax - L, N - L - tmin * (Q - 1 - k)), s));
    }
    return r;
}

inline void noChain(SeriesHeader& s, ChainsHeader* h) {
    s.wRestoredQuantity = 0;
    if (h) h->wSeekingPulsesQuantity = 0;
}

// The known-count programme: fit(k, x) gives layer k's fit at x.
template <class FitAt>
inline bool knownChain(const std::vector<Range>& r, int N, int tmin, int tmax, int32_t predStart,
                       int32_t endStart, int32_t backStart, FitAt fitAt, std::vector<int>& xs,
                       int32_t& d, std::vector<std::vector<Fit>>& fits) {
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

}  // namespace etalon::oracle::steps
