// References for the known-count chains: detection and recognition.
#include "oracle/oracle_processing.h"

#include "oracle/oracle_steps.h"

namespace etalon::oracle {

using namespace steps;

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

}  // namespace etalon::oracle
