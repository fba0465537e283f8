#include "processing/recording_fit.h"

#include <immintrin.h>

#include <algorithm>
#include <climits>
#include <cstdlib>

#include "processing/cpu_dispatch.h"

namespace etalon {

namespace {

// Correlations of an etalon with the samples at `count` positions from the
// samples in overlapping pairs (word i holds samples i and i + 1): the pair
// word x + 2j meets etalon samples 2j, 2j + 1, so eight positions are one
// multiply-add. A pair's sum of two products is below 2^31 in magnitude (no
// etalon sample is -32768), and `run` of them summed stay within 32 bits for
// these samples; the sums are widened to 64 bits after every run.
void correlatePlain(const int16_t* y, const int16_t* etalon, int64_t length, int64_t count,
                    int64_t* out) {
    for (int64_t x = 0; x < count; ++x) {
        int64_t sum = 0;
        for (int64_t j = 0; j < length; ++j)
            sum += int64_t{etalon[j]} * y[x + j];
        out[x] = sum;
    }
}

#if ETALON_AVX2_TWINS
ETALON_AVX2 void correlatePairsAvx2(const int32_t* pairs, const int32_t* etalonPairs, int64_t words,
                                    int64_t run, int64_t count, int64_t* out) {
    for (int64_t x = 0; x < count; x += 8) {
        __m256i low = _mm256_setzero_si256(), high = low, sum = low;
        int64_t inRun = 0;
        const auto widen = [&]() ETALON_AVX2 {
            low = _mm256_add_epi64(low, _mm256_cvtepi32_epi64(_mm256_castsi256_si128(sum)));
            high = _mm256_add_epi64(high, _mm256_cvtepi32_epi64(_mm256_extracti128_si256(sum, 1)));
            sum = _mm256_setzero_si256();
            inRun = 0;
        };
        for (int64_t j = 0; j < words; ++j) {
            const __m256i word =
                _mm256_loadu_si256(reinterpret_cast<const __m256i*>(pairs + x + 2 * j));
            sum = _mm256_add_epi32(sum, _mm256_madd_epi16(word, _mm256_set1_epi32(etalonPairs[j])));
            if (++inRun == run) widen();
        }
        if (inRun > 0) widen();
        alignas(32) int64_t lanes[8];
        _mm256_store_si256(reinterpret_cast<__m256i*>(lanes), low);
        _mm256_store_si256(reinterpret_cast<__m256i*>(lanes + 4), high);
        std::copy_n(lanes, std::min<int64_t>(8, count - x), out + x);
    }
}
#endif

// The pair words of samples [first, first + count + length + 16), zero past the end.
void pairWords(std::span<const int16_t> samples, int64_t first, int64_t words,
               std::vector<int32_t>& out) {
    out.resize(static_cast<std::size_t>(words));
    const auto n = static_cast<int64_t>(samples.size());
    const auto at = [&](int64_t i) { return i < n ? samples[static_cast<std::size_t>(i)] : 0; };
    for (int64_t i = 0; i < words; ++i)
        out[static_cast<std::size_t>(i)] = static_cast<int32_t>(
            static_cast<uint16_t>(at(first + i)) |
            (static_cast<uint32_t>(static_cast<uint16_t>(at(first + i + 1))) << 16));
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
        // The etalon's samples in pairs, the last one alone when odd.
        e.pairs.assign((e.samples.size() + 1) / 2, 0);
        for (int32_t j = 0; j < length; ++j) {
            const auto bits = static_cast<uint32_t>(static_cast<uint16_t>(e.samples[j]));
            e.pairs[j / 2] = static_cast<int32_t>(static_cast<uint32_t>(e.pairs[j / 2]) |
                                                  (j % 2 == 0 ? bits : bits << 16));
            e.largest = std::max<int32_t>(e.largest, std::abs(int32_t{e.samples[j]}));
        }
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
    thread_local std::vector<int32_t> pairs;
    thread_local std::vector<int64_t> correlation;
    correlation.resize(static_cast<std::size_t>(count));
    int32_t largest = -1;  // the block's largest magnitude, once the pairs are made
    for (std::size_t i = 0; i < list.size(); ++i) {
        const Etalon& e = etalons_[static_cast<std::size_t>(list[i])];
        const auto length = static_cast<int64_t>(e.samples.size());
        if (e.windows) {
            for (int64_t x = 0; x < count; ++x)
                fitOne(samples, e, list[i], first + x, out[static_cast<std::size_t>(x)], i == 0);
            continue;
        }
#if ETALON_AVX2_TWINS
        if (vectorLoops()) {
            if (largest < 0) {
                pairWords(samples, first, count + length + 16, pairs);
                largest = 1;
                for (int64_t x = first; x < first + count + length - 1; ++x)
                    largest = std::max<int32_t>(largest, std::abs(int32_t{samples[x]}));
            }
            const int64_t pairMost = 2 * int64_t{e.largest} * largest;
            const int64_t run = std::max<int64_t>(1, INT32_MAX / std::max<int64_t>(pairMost, 1));
            correlatePairsAvx2(pairs.data(), e.pairs.data(), (length + 1) / 2, run, count,
                               correlation.data());
        } else
#endif
        {
            correlatePlain(samples.data() + first, e.samples.data(), length, count,
                           correlation.data());
        }
        for (int64_t x = 0; x < count; ++x) {
            const int64_t value = e.pe[length] - 2 * correlation[static_cast<std::size_t>(x)];
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
