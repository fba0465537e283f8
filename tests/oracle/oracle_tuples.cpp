// References for the tuples: the known-count search per tuple and shift,
// and the layered search with its debug texts.
#include "oracle/oracle_processing.h"

#include <cstdio>
#include <string>

#include "oracle/oracle_steps.h"
#include "processing/intervals_header.h"

namespace etalon::oracle {

using namespace steps;

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
