#include "processing/recording_fit.h"

#include <algorithm>

#include "processing/cpu_dispatch.h"

namespace etalon {

namespace {

// Correlations of an etalon with the samples at `count` positions, in
// doubles: every product and every sum of a pulse's products is an integer
// well below 2^53, so the sums are exact, and eight positions go at once.
ETALON_LOOP_BODY void correlateBody(const double* y, const int16_t* etalon, int64_t length,
                                    int64_t count, double* out) {
    // Sixteen positions at a time keep their sums in registers over the pulse.
    constexpr int64_t kTile = 16;
    int64_t x = 0;
    for (; x + kTile <= count; x += kTile) {
        double sum[kTile] = {};
        for (int64_t j = 0; j < length; ++j) {
            const double e = etalon[j];
            const double* from = y + x + j;
            for (int64_t k = 0; k < kTile; ++k)
                sum[k] += e * from[k];
        }
        for (int64_t k = 0; k < kTile; ++k)
            out[x + k] = sum[k];
    }
    for (; x < count; ++x) {
        double sum = 0;
        for (int64_t j = 0; j < length; ++j)
            sum += etalon[j] * y[x + j];
        out[x] = sum;
    }
}

void correlatePlain(const double* y, const int16_t* etalon, int64_t length, int64_t count,
                    double* out) {
    correlateBody(y, etalon, length, count, out);
}

#if ETALON_AVX2_TWINS
ETALON_AVX2 void correlateAvx2(const double* y, const int16_t* etalon, int64_t length,
                               int64_t count, double* out) {
    correlateBody(y, etalon, length, count, out);
}
#endif

void correlate(const double* y, const int16_t* etalon, int64_t length, int64_t count, double* out) {
#if ETALON_AVX2_TWINS
    if (vectorLoops()) return correlateAvx2(y, etalon, length, count, out);
#endif
    correlatePlain(y, etalon, length, count, out);
}

}  // namespace

RecordingFits::RecordingFits(std::span<const PulseHeader> alphabet, uint16_t level) {
    length_ = alphabet.empty() ? 0 : static_cast<int64_t>(alphabet[0].samples().size());
    etalons_.resize(alphabet.size());
    for (std::size_t i = 0; i < alphabet.size(); ++i) {
        Etalon& e = etalons_[i];
        e.samples = alphabet[i].samples();
        const auto length = static_cast<int32_t>(e.samples.size());
        e.pe.assign(e.samples.size() + 1, 0);
        for (int32_t j = 0; j < length; ++j)
            e.pe[j + 1] = e.pe[j] + int64_t{e.samples[j]} * e.samples[j];
        const int64_t total = e.pe[length];
        // Truncated toward zero, as the series' 32-bit threshold is.
        const int64_t threshold = int64_t{level} * total / 100;
        e.leastEnd.assign(e.samples.size(), -1);
        for (int32_t b = 0; b < length; ++b) {
            if (!(threshold < total - e.pe[b])) continue;
            int32_t f = b;
            while (!(threshold < e.pe[f + 1] - e.pe[b]))
                ++f;
            e.leastEnd[b] = f;
            e.windows = true;
        }
    }
}

void RecordingFits::fitOne(std::span<const int16_t> samples, const Etalon& e, int32_t index,
                           int64_t x, Fit& best, bool first) const {
    const auto length = static_cast<int32_t>(e.samples.size());
    const int16_t* y = samples.data() + x;
    if (!e.windows) {
        int64_t correlation = 0;
        for (int32_t j = 0; j < length; ++j)
            correlation += int64_t{e.samples[j]} * y[j];
        const int64_t value = e.pe[length] - 2 * correlation;
        if (first || value < best.value) best = {value, index, 0, length - 1};
        return;
    }
    // g[j]: the fit of samples 0..j-1, so window [b, f] fits g[f + 1] - g[b];
    // low[j]: the least g from j on, at its first place.
    thread_local std::vector<int64_t> g, low;
    thread_local std::vector<int32_t> lowAt;
    g.resize(length + 1);
    low.resize(length + 2);
    lowAt.resize(length + 2);
    int64_t correlation = 0;
    g[0] = 0;
    for (int32_t j = 0; j < length; ++j) {
        correlation += int64_t{e.samples[j]} * y[j];
        g[j + 1] = e.pe[j + 1] - 2 * correlation;
    }
    if (first || g[length] < best.value) best = {g[length], index, 0, length - 1};
    low[length + 1] = INT64_MAX;
    for (int32_t j = length; j >= 1; --j) {
        const bool here = g[j] <= low[j + 1];
        low[j] = here ? g[j] : low[j + 1];
        lowAt[j] = here ? j : lowAt[j + 1];
    }
    for (int32_t b = 0; b < length; ++b) {
        const int32_t least = e.leastEnd[b];
        if (least < 0) continue;
        const int64_t value = low[least + 1] - g[b];
        if (value < best.value) best = {value, index, b, lowAt[least + 1] - 1};
    }
}

Fit RecordingFits::best(std::span<const int16_t> samples, std::span<const int32_t> list,
                        int64_t x) const {
    Fit best;
    for (std::size_t i = 0; i < list.size(); ++i)
        fitOne(samples, etalons_[static_cast<std::size_t>(list[i])], list[i], x, best, i == 0);
    return best;
}

void RecordingFits::bestBlock(std::span<const int16_t> samples, std::span<const int32_t> list,
                              int64_t first, int64_t count, std::vector<Fit>& out) const {
    out.resize(static_cast<std::size_t>(count));
    thread_local std::vector<double> y, correlation;
    bool converted = false;
    for (std::size_t i = 0; i < list.size(); ++i) {
        const Etalon& e = etalons_[static_cast<std::size_t>(list[i])];
        const auto length = static_cast<int64_t>(e.samples.size());
        if (e.windows) {
            for (int64_t x = 0; x < count; ++x)
                fitOne(samples, e, list[i], first + x, out[static_cast<std::size_t>(x)], i == 0);
            continue;
        }
        if (!converted) {
            y.assign(samples.begin() + first, samples.begin() + first + count + length - 1);
            correlation.resize(static_cast<std::size_t>(count));
            converted = true;
        }
        correlate(y.data(), e.samples.data(), length, count, correlation.data());
        for (int64_t x = 0; x < count; ++x) {
            const int64_t value =
                e.pe[length] - 2 * static_cast<int64_t>(correlation[static_cast<std::size_t>(x)]);
            Fit& best = out[static_cast<std::size_t>(x)];
            if (i == 0 || value < best.value)
                best = {value, list[i], 0, static_cast<int32_t>(length - 1)};
        }
    }
}

std::size_t recordingFitsMemoryNeed(std::size_t etalons, std::size_t length) {
    return etalons * (length + 1) * (8 + 4) + 5 * (length + 2) * 8 + kRecordingFitBlock * 40;
}

}  // namespace etalon
