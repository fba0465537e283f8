#include "processing/pulse_fit.h"

#include <algorithm>
#include <limits>

#include "processing/cpu_dispatch.h"
#include "processing/lanes.h"

#if ETALON_AVX2_TWINS
#include <immintrin.h>
#endif

namespace etalon {

int32_t savedEnergyThreshold(uint16_t level, int32_t total) {
    const auto product = static_cast<int32_t>(uint32_t{level} * static_cast<uint32_t>(total));
    return product / 100;
}

bool keepsAnyWindow(const EtalonEnergy& energy) {
    // A start keeps a window exactly when its longest one (to the last
    // sample) holds enough.
    const int32_t length = static_cast<int32_t>(energy.pe.size()) - 1;
    for (int32_t b = 0; b < length; ++b) {
        if (energy.threshold < energy.total - energy.pe[b]) return true;
    }
    return false;
}

void computeEtalonEnergy(std::span<const int16_t> samples, uint16_t level, EtalonEnergy& out) {
    out.pe.resize(samples.size() + 1);
    out.pe[0] = 0;
    for (std::size_t j = 0; j < samples.size(); ++j) {
        out.pe[j + 1] = wrapAdd(out.pe[j], int32_t{samples[j]} * samples[j]);
    }
    out.total = out.pe[samples.size()];
    out.threshold = savedEnergyThreshold(level, out.total);
}

namespace {

// D(x, b, f) for every window at once: prefix[j] is the fit of samples 0..j-1.
void fitPrefix(std::span<const int16_t> series, std::span<const int16_t> etalon, int32_t x,
               int32_t* prefix) {
    prefix[0] = 0;
    for (std::size_t j = 0; j < etalon.size(); ++j) {
        const int32_t e = etalon[j];
        prefix[j + 1] = prefix[j] + e * (e - 2 * int32_t{series[x + j]});
    }
}

}  // namespace

PulseFit fitPulse(std::span<const int16_t> series, std::span<const int16_t> etalon,
                  const EtalonEnergy& energy, int32_t x) {
    const int32_t length = static_cast<int32_t>(etalon.size());
    std::vector<int32_t> prefix(length + 1);
    fitPrefix(series, etalon, x, prefix.data());
    PulseFit best{prefix[length], 0, 0, static_cast<int16_t>(length - 1)};
    const int32_t theta = energy.threshold;
    for (int32_t b = 0; b < length; ++b) {
        if (!(theta < energy.total - energy.pe[b])) continue;
        for (int32_t f = b; f < length; ++f) {
            if (!(theta < energy.pe[f + 1] - energy.pe[b])) continue;
            const int32_t s = prefix[f + 1] - prefix[b];
            if (s < best.value) best = {s, 0, static_cast<int16_t>(b), static_cast<int16_t>(f)};
        }
    }
    return best;
}

PulseFit fitPulseList(std::span<const int16_t> series, std::span<const PulseHeader> alphabet,
                      std::span<const uint16_t> etalons, std::span<const EtalonEnergy> energies,
                      int32_t x) {
    PulseFit best;
    for (std::size_t i = 0; i < etalons.size(); ++i) {
        const int32_t index = etalons[i] - 1;
        PulseFit fit = fitPulse(series, alphabet[index].samples(), energies[i], x);
        fit.index = index;
        if (i == 0 || fit.value < best.value) best = fit;
    }
    return best;
}

namespace {

constexpr int32_t kChunk = 64;

// T - 2 * correlation at `count` positions: one pass per etalon sample so the
// inner loop runs over positions.
ETALON_LOOP_BODY void fitWholeBody(const int16_t* y, const int16_t* etalon, int32_t length,
                                   int32_t total, int32_t count, int32_t* value) {
    for (int32_t i = 0; i < count; ++i)
        value[i] = 0;
    for (int32_t j = 0; j < length; ++j) {
        const int32_t e = etalon[j];
        const int16_t* yj = y + j;
        for (int32_t i = 0; i < count; ++i)
            value[i] += e * yj[i];
    }
    for (int32_t i = 0; i < count; ++i)
        value[i] = total - 2 * value[i];
}

void fitWholePlain(const int16_t* y, const int16_t* etalon, int32_t length, int32_t total,
                   int32_t count, int32_t* value) {
    fitWholeBody(y, etalon, length, total, count, value);
}

#if ETALON_AVX2_TWINS
ETALON_AVX2 void fitWholeLoopsAvx2(const int16_t* y, const int16_t* etalon, int32_t length,
                                   int32_t total, int32_t count, int32_t* value) {
    fitWholeBody(y, etalon, length, total, count, value);
}

// From the series' samples in overlapping pairs: the pair for position x and
// etalon samples j, j + 1 is word x + j, so eight positions are one load and
// one multiply-add per pair of etalon samples. 32 positions at a time share
// each broadcast; the words run on past the last position (kPairsPadding).
ETALON_AVX2 void fitWholePairsAvx2(const int32_t* pairs, const int32_t* etalonPairs, int32_t length,
                                   int32_t total, int32_t count, int32_t* value) {
    const int32_t words = (length + 1) / 2;
    const __m256i totals = _mm256_set1_epi32(total);
    for (int32_t x = 0; x < count; x += 32) {
        __m256i s0 = _mm256_setzero_si256(), s1 = s0, s2 = s0, s3 = s0;
        // Two pairs of etalon samples per step; an odd last one alone.
        int32_t j = 0;
        for (; j + 2 <= words; j += 2) {
            const __m256i e = _mm256_set1_epi32(etalonPairs[j]);
            const __m256i f = _mm256_set1_epi32(etalonPairs[j + 1]);
            const auto* at = reinterpret_cast<const __m256i*>(pairs + x + 2 * j);
            const auto* next = reinterpret_cast<const __m256i*>(pairs + x + 2 * j + 2);
            s0 = _mm256_add_epi32(s0,
                                  _mm256_add_epi32(_mm256_madd_epi16(_mm256_loadu_si256(at), e),
                                                   _mm256_madd_epi16(_mm256_loadu_si256(next), f)));
            s1 = _mm256_add_epi32(
                s1, _mm256_add_epi32(_mm256_madd_epi16(_mm256_loadu_si256(at + 1), e),
                                     _mm256_madd_epi16(_mm256_loadu_si256(next + 1), f)));
            s2 = _mm256_add_epi32(
                s2, _mm256_add_epi32(_mm256_madd_epi16(_mm256_loadu_si256(at + 2), e),
                                     _mm256_madd_epi16(_mm256_loadu_si256(next + 2), f)));
            s3 = _mm256_add_epi32(
                s3, _mm256_add_epi32(_mm256_madd_epi16(_mm256_loadu_si256(at + 3), e),
                                     _mm256_madd_epi16(_mm256_loadu_si256(next + 3), f)));
        }
        if (j < words) {
            const __m256i e = _mm256_set1_epi32(etalonPairs[j]);
            const auto* at = reinterpret_cast<const __m256i*>(pairs + x + 2 * j);
            s0 = _mm256_add_epi32(s0, _mm256_madd_epi16(_mm256_loadu_si256(at), e));
            s1 = _mm256_add_epi32(s1, _mm256_madd_epi16(_mm256_loadu_si256(at + 1), e));
            s2 = _mm256_add_epi32(s2, _mm256_madd_epi16(_mm256_loadu_si256(at + 2), e));
            s3 = _mm256_add_epi32(s3, _mm256_madd_epi16(_mm256_loadu_si256(at + 3), e));
        }
        alignas(32) int32_t out[32];
        _mm256_store_si256(reinterpret_cast<__m256i*>(out),
                           _mm256_sub_epi32(totals, _mm256_add_epi32(s0, s0)));
        _mm256_store_si256(reinterpret_cast<__m256i*>(out + 8),
                           _mm256_sub_epi32(totals, _mm256_add_epi32(s1, s1)));
        _mm256_store_si256(reinterpret_cast<__m256i*>(out + 16),
                           _mm256_sub_epi32(totals, _mm256_add_epi32(s2, s2)));
        _mm256_store_si256(reinterpret_cast<__m256i*>(out + 24),
                           _mm256_sub_epi32(totals, _mm256_add_epi32(s3, s3)));
        std::copy_n(out, std::min(32, count - x), value + x);
    }
}
#endif

void fitWhole(const int16_t* y, const int16_t* etalon, int32_t length, int32_t total, int32_t count,
              int32_t* value) {
#if ETALON_AVX2_TWINS
    // Without the pair words (a table computed alone) the loops above,
    // vectorised by the compiler.
    if (vectorLoops()) return fitWholeLoopsAvx2(y, etalon, length, total, count, value);
#endif
    fitWholePlain(y, etalon, length, total, count, value);
}

// Admissible window starts grouped by where their ends begin: the window
// (b, f) with f >= leastEnd(b) is prefix[f + 1] - prefix[b].
struct WindowStarts {
    const int16_t* leastEnd;
    const int16_t* order;  // admissible starts by leastEnd descending
    int32_t count;         // how many starts are admissible
    int32_t length;
    int32_t lowestSuffix;  // smallest leastEnd + 1 over the admissible starts
};

// The best fit at up to kChunk positions, all lanes at once: prefix sums of
// the fit per window end, a running suffix minimum over the ends, and each
// start b compared when the suffix reaches its least end. Only the value:
// which window gives it is found again, for the few positions that need it,
// by FitTable::at.
ETALON_LOOP_BODY void fitWindowsChunkBody(const int16_t* y, const int16_t* etalon,
                                          const WindowStarts& starts, int32_t count,
                                          int32_t* prefix, int32_t* value) {
    const int32_t length = starts.length;
    // Eight vectors of eight lanes hold the chunk's positions.
    constexpr int kVectors = kChunk / lanes::kLanes;
    // e * (e - 2y) as e^2 + (-2e) * y, summed over the etalon in registers
    // and stored once a step (sums wrap at 32 bits).
    lanes::UnsignedLanes sum[kVectors] = {};
    for (int32_t i = 0; i < kChunk; ++i)
        prefix[i] = 0;
    for (int32_t j = 0; j < length; ++j) {
        const int32_t e = etalon[j];
        const auto square = static_cast<uint32_t>(e * e);
        const auto twice = static_cast<uint32_t>(-2 * e);
        int32_t* to = prefix + (j + 1) * kChunk;
#pragma GCC unroll 8
        for (int v = 0; v < kVectors; ++v) {
            const auto samples =
                reinterpret_cast<lanes::UnsignedLanes>(lanes::widen(y + j + v * lanes::kLanes));
            sum[v] += samples * twice + square;
            lanes::store(to + v * lanes::kLanes, reinterpret_cast<lanes::Lanes>(sum[v]));
        }
    }
    lanes::Lanes suffixMin[kVectors], best[kVectors];
    const int32_t* whole = prefix + length * kChunk;
    for (int v = 0; v < kVectors; ++v)
        suffixMin[v] = best[v] = lanes::load(whole + v * lanes::kLanes);
    int32_t next = 0;
    for (int32_t j = length; j >= starts.lowestSuffix; --j) {
        const int32_t* pj = prefix + j * kChunk;
        if (j < length) {
            for (int v = 0; v < kVectors; ++v)
                suffixMin[v] = lanes::min(suffixMin[v], lanes::load(pj + v * lanes::kLanes));
        }
        for (; next < starts.count && starts.leastEnd[starts.order[next]] + 1 == j; ++next) {
            const int32_t* pb = prefix + starts.order[next] * kChunk;
            for (int v = 0; v < kVectors; ++v) {
                const auto difference =
                    reinterpret_cast<lanes::UnsignedLanes>(suffixMin[v]) -
                    reinterpret_cast<lanes::UnsignedLanes>(lanes::load(pb + v * lanes::kLanes));
                best[v] = lanes::min(best[v], reinterpret_cast<lanes::Lanes>(difference));
            }
        }
    }
    // Only the last chunk of a table is short.
    alignas(32) int32_t out[kChunk];
    int32_t* to = count == kChunk ? value : out;
    for (int v = 0; v < kVectors; ++v)
        lanes::store(to + v * lanes::kLanes, best[v]);
    if (to == out) std::copy_n(out, count, value);
}

ETALON_AVX2 void fitWindowsChunkAvx2(const int16_t* y, const int16_t* etalon,
                                     const WindowStarts& starts, int32_t count, int32_t* prefix,
                                     int32_t* value) {
    fitWindowsChunkBody(y, etalon, starts, count, prefix, value);
}

void fitWindowsChunk(const int16_t* y, const int16_t* etalon, const WindowStarts& starts,
                     int32_t count, int32_t* prefix, int32_t* value) {
    if (vectorLoops()) return fitWindowsChunkAvx2(y, etalon, starts, count, prefix, value);
    fitWindowsChunkBody(y, etalon, starts, count, prefix, value);
}

constexpr int kLanes = lanes::kLanes;

// samples[j * 8 + l]: lane l's sample j, zeros past its end.
void fitWholeLanesPlain(const int16_t* y, int32_t count, const int32_t* samples, int32_t length,
                        const int32_t* totals, int32_t* out) {
    const lanes::Lanes total = lanes::load(totals);
    for (int32_t p = 0; p < count; ++p) {
        lanes::UnsignedLanes sum{};
        for (int32_t j = 0; j < length; ++j) {
            const auto e =
                reinterpret_cast<lanes::UnsignedLanes>(lanes::load(samples + j * kLanes));
            sum += e * static_cast<uint32_t>(int32_t{y[p + j]});
        }
        lanes::store(out + p * kLanes,
                     lanes::wrapAdd(total, reinterpret_cast<lanes::Lanes>(-(sum + sum))));
    }
}

#if ETALON_AVX2_TWINS
// The series' samples x and x + 1 as one 32-bit word in every lane, or
// with `single`, sample x alone (the last of an odd-length etalon).
ETALON_AVX2 inline __m256i sampleWord(const int16_t* x, bool single) {
    int32_t word;
    if (single) {
        word = static_cast<uint16_t>(*x);
    } else {
        std::memcpy(&word, x, sizeof word);
    }
    return _mm256_set1_epi32(word);
}

// Pairs of samples per multiply-add: the series' two samples at x + j are one
// 32-bit word, broadcast to every lane; each lane holds its etalon's pair.
// 16-bit products summed in 32 bits wrap exactly as the plain sums do.
ETALON_AVX2 void fitWholeLanesAvx2(const int16_t* y, int32_t count, const int32_t* pairs,
                                   int32_t length, const int32_t* totals, int32_t* out) {
    const __m256i total = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(totals));
    const int32_t words = (length + 1) / 2;
    const bool odd = length % 2 != 0;
    auto finish = [&](__m256i sum, int32_t p) ETALON_AVX2 {
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + p * kLanes),
                            _mm256_sub_epi32(total, _mm256_add_epi32(sum, sum)));
    };
    int32_t p = 0;
    // Four positions at a time share each load of the etalons' pairs.
    for (; p + 4 <= count; p += 4) {
        __m256i s0 = _mm256_setzero_si256(), s1 = s0, s2 = s0, s3 = s0;
        for (int32_t j = 0; j < words; ++j) {
            const bool single = odd && j == words - 1;
            const __m256i e =
                _mm256_loadu_si256(reinterpret_cast<const __m256i*>(pairs + j * kLanes));
            const int16_t* x = y + p + 2 * j;
            s0 = _mm256_add_epi32(s0, _mm256_madd_epi16(sampleWord(x, single), e));
            s1 = _mm256_add_epi32(s1, _mm256_madd_epi16(sampleWord(x + 1, single), e));
            s2 = _mm256_add_epi32(s2, _mm256_madd_epi16(sampleWord(x + 2, single), e));
            s3 = _mm256_add_epi32(s3, _mm256_madd_epi16(sampleWord(x + 3, single), e));
        }
        finish(s0, p);
        finish(s1, p + 1);
        finish(s2, p + 2);
        finish(s3, p + 3);
    }
    for (; p < count; ++p) {
        __m256i sum = _mm256_setzero_si256();
        for (int32_t j = 0; j < words; ++j) {
            const __m256i e =
                _mm256_loadu_si256(reinterpret_cast<const __m256i*>(pairs + j * kLanes));
            sum = _mm256_add_epi32(
                sum, _mm256_madd_epi16(sampleWord(y + p + 2 * j, odd && j == words - 1), e));
        }
        finish(sum, p);
    }
}
#endif

}  // namespace

void fitWholeLanes(std::span<const int16_t> series, int32_t first, int32_t count,
                   std::span<const std::span<const int16_t>> etalons,
                   std::span<const int32_t> totals, int32_t* scratch, int32_t* out) {
    if (count <= 0) return;
    int32_t length = 0;
    for (const auto& e : etalons)
        length = std::max(length, static_cast<int32_t>(e.size()));
    alignas(32) int32_t total[kLanes] = {};
    for (std::size_t l = 0; l < etalons.size() && l < kLanes; ++l)
        total[l] = totals[l];
    const int16_t* y = series.data() + first;
    int32_t* table = scratch;
    std::fill_n(table, std::size_t(length + 1) * kLanes, 0);
#if ETALON_AVX2_TWINS
    if (vectorLoops()) {
        for (std::size_t l = 0; l < etalons.size() && l < kLanes; ++l) {
            const auto& e = etalons[l];
            for (std::size_t j = 0; j < e.size(); ++j) {
                const uint32_t half = static_cast<uint16_t>(e[j]);
                table[(j / 2) * kLanes + l] |= static_cast<int32_t>(j % 2 ? half << 16 : half);
            }
        }
        return fitWholeLanesAvx2(y, count, table, length, total, out);
    }
#endif
    for (std::size_t l = 0; l < etalons.size() && l < kLanes; ++l) {
        const auto& e = etalons[l];
        for (std::size_t j = 0; j < e.size(); ++j)
            table[j * kLanes + l] = e[j];
    }
    fitWholeLanesPlain(y, count, table, length, total, out);
}

void FitTable::reserve(std::size_t count, std::size_t length) {
    value_.reserve(count);
    positionPrefix_.reserve(length + 1);
    leastEnd_.reserve(length);
    order_.reserve(length);
    prefix_.reserve((length + 1) * kChunk);
    padded_.reserve(kChunk + length);
    etalonPairs_.reserve(length / 2 + 1);
}

void FitTable::compute(std::span<const int16_t> series, std::span<const int16_t> etalon,
                       const EtalonEnergy& energy, int32_t first, int32_t last,
                       const int32_t* pairs) {
    first_ = first;
    last_ = last;
    series_ = series.data() + first;
    etalon_ = etalon.data();
    const int32_t length = static_cast<int32_t>(etalon.size());
    const int32_t count = std::max(last - first + 1, 0);
    length_ = length;
    windows_ = false;
    value_.resize(count);
    if (count == 0) return;

    // Which windows keep enough energy depends on the etalon alone: for each
    // start b the admissible ends are leastEnd..L-1.
    leastEnd_.assign(length, -1);
    int32_t lowestSuffix = length + 1;
    const int32_t theta = energy.threshold;
    for (int32_t b = 0; b < length; ++b) {
        if (!(theta < energy.total - energy.pe[b])) continue;
        for (int32_t f = b; f < length; ++f) {
            if (theta < energy.pe[f + 1] - energy.pe[b]) {
                leastEnd_[b] = static_cast<int16_t>(f);
                lowestSuffix = std::min(lowestSuffix, f + 1);
                break;
            }
        }
    }
    const int16_t* y = series.data() + first;
    if (lowestSuffix > length) {
#if ETALON_AVX2_TWINS
        if (pairs && vectorLoops()) {
            // Etalon samples 2j and 2j + 1 as one word, 0 past the end.
            etalonPairs_.assign((length + 1) / 2, 0);
            for (int32_t j = 0; j < length; ++j) {
                const uint32_t half = static_cast<uint16_t>(etalon[j]);
                etalonPairs_[j / 2] |= static_cast<int32_t>(j % 2 ? half << 16 : half);
            }
            fitWholePairsAvx2(pairs, etalonPairs_.data(), length, energy.total, count,
                              value_.data());
            return;
        }
#endif
        fitWhole(y, etalon.data(), length, energy.total, count, value_.data());
        return;
    }
    // The chunks read kChunk positions; the series may end before that, so
    // the last chunk reads a padded copy.
    windows_ = true;
    lowestSuffix_ = lowestSuffix;
    positionPrefix_.resize(length + 1);
    prefix_.resize(std::size_t(length + 1) * kChunk);
    order_.clear();
    for (int16_t b = 0; b < length; ++b) {
        if (leastEnd_[b] >= 0) order_.push_back(b);
    }
    std::stable_sort(order_.begin(), order_.end(),
                     [&](int16_t a, int16_t b) { return leastEnd_[a] > leastEnd_[b]; });
    const WindowStarts starts{leastEnd_.data(), order_.data(), static_cast<int32_t>(order_.size()),
                              length, lowestSuffix};
    for (int32_t c = 0; c < count; c += kChunk) {
        const int32_t m = std::min(kChunk, count - c);
        const int16_t* source = y + c;
        if (m < kChunk) {
            padded_.assign(kChunk + length, 0);
            std::copy_n(source, m + length - 1, padded_.begin());
            source = padded_.data();
        }
        fitWindowsChunk(source, etalon.data(), starts, m, prefix_.data(), value_.data() + c);
    }
}

// The window the chunk's search would pick at one position, by the same
// steps: ends scanned downwards keeping the leftmost smallest prefix sum,
// each start compared when the scan reaches its least end, ties to the
// smaller start; a window replaces the whole pulse only when strictly better.
PulseFit FitTable::windowAt(int32_t i) const {
    const int32_t length = length_;
    const int16_t* y = series_ + i;
    int32_t* prefix = positionPrefix_.data();
    prefix[0] = 0;
    for (int32_t j = 0; j < length; ++j) {
        const int16_t e = etalon_[j];
        prefix[j + 1] = prefix[j] + (int32_t{e} * e - 2 * (int32_t{e} * int32_t{y[j]}));
    }
    const int32_t whole = prefix[length];
    int32_t suffixMin = whole, suffixArg = length;
    int32_t best = INT32_MAX, bestBegin = length, bestEnd = 0;
    std::size_t next = 0;
    for (int32_t j = length; j >= lowestSuffix_; --j) {
        if (j < length && prefix[j] <= suffixMin) {
            suffixMin = prefix[j];
            suffixArg = j;
        }
        for (; next < order_.size() && leastEnd_[order_[next]] + 1 == j; ++next) {
            const int32_t b = order_[next];
            const int32_t s = wrapSub(suffixMin, prefix[b]);
            if (s < best || (s == best && b < bestBegin)) {
                best = s;
                bestBegin = b;
                bestEnd = suffixArg - 1;
            }
        }
    }
    if (best < whole) {
        return {value_[i], 0, static_cast<int16_t>(bestBegin), static_cast<int16_t>(bestEnd)};
    }
    return {value_[i], 0, 0, static_cast<int16_t>(length - 1)};
}

void FitCache::reserve(std::size_t alphabetSize, std::size_t positions, std::size_t length) {
    // Runs on series of one geometry ask for the same room again and again.
    if (alphabetSize <= reservedEtalons_ && positions <= reservedPositions_ &&
        length <= reservedLength_) {
        return;
    }
    if (energies_.size() < alphabetSize) energies_.resize(alphabetSize);
    if (tables_.size() < alphabetSize) tables_.resize(alphabetSize);
    hasEnergy_.resize(std::max(hasEnergy_.size(), alphabetSize));
    hasFits_.resize(std::max(hasFits_.size(), alphabetSize));
    for (std::size_t i = 0; i < alphabetSize; ++i) {
        energies_[i].pe.reserve(length + 1);
        tables_[i].reserve(positions, length);
    }
    pairs_.reserve(positions + length + FitTable::kPairsPadding);
    reservedEtalons_ = alphabetSize;
    reservedPositions_ = positions;
    reservedLength_ = length;
}

void FitCache::begin(std::span<const int16_t> series, std::span<const PulseHeader> alphabet,
                     uint16_t length, uint16_t level, int32_t first, int32_t last) {
    series_ = series;
    length_ = length;
    alphabet_ = alphabet;
    level_ = level;
    first_ = first;
    last_ = last;
    std::fill(hasEnergy_.begin(), hasEnergy_.end(), uint8_t{0});
    std::fill(hasFits_.begin(), hasFits_.end(), uint8_t{0});
    hasPairs_ = false;
}

namespace {

// words[i] = samples i and i + 1 of `y` as the low and high half.
ETALON_LOOP_BODY void pairWordsBody(const int16_t* y, int32_t count, int32_t* words) {
    for (int32_t i = 0; i < count; ++i) {
        words[i] = static_cast<int32_t>(uint32_t{static_cast<uint16_t>(y[i])} |
                                        uint32_t{static_cast<uint16_t>(y[i + 1])} << 16);
    }
}

ETALON_AVX2 void pairWordsAvx2(const int16_t* y, int32_t count, int32_t* words) {
    pairWordsBody(y, count, words);
}

}  // namespace

void FitCache::makePairs() {
    const int32_t count = std::max(last_ - first_ + 1, 0);
    const auto size = static_cast<std::size_t>(count) + length_ + FitTable::kPairsPadding;
    // Only into the room reserve() made: the fits never allocate.
    if (size > pairs_.capacity()) return;
    pairs_.resize(size);
    // Samples from first_ on; past the series' end they count as 0.
    const auto available =
        static_cast<int64_t>(series_.size()) - std::min<int64_t>(first_, series_.size());
    const int16_t* y = series_.data() + std::min<std::size_t>(first_, series_.size());
    const auto whole = static_cast<int32_t>(std::clamp<int64_t>(available - 1, 0, size));
    if (vectorLoops()) {
        pairWordsAvx2(y, whole, pairs_.data());
    } else {
        pairWordsBody(y, whole, pairs_.data());
    }
    for (std::size_t i = whole; i < size; ++i) {
        pairs_[i] = static_cast<int64_t>(i) < available ? static_cast<uint16_t>(y[i]) : 0;
    }
    hasPairs_ = true;
}

std::span<const int16_t> FitCache::samples(int32_t index) const {
    std::span<const int16_t> all = alphabet_[index].samples();
    return all.first(std::min<std::size_t>(all.size(), length_));
}

const EtalonEnergy& FitCache::energy(int32_t index) {
    if (!hasEnergy_[index]) {
        computeEtalonEnergy(samples(index), level_, energies_[index]);
        hasEnergy_[index] = 1;
    }
    return energies_[index];
}

const FitTable& FitCache::fits(int32_t index) {
    if (!hasFits_[index]) {
        // The pair words serve whole-pulse fits only.
        if (!hasPairs_ && vectorLoops() && !keepsAnyWindow(energy(index))) makePairs();
        tables_[index].compute(series_, samples(index), energy(index), first_, last_,
                               hasPairs_ ? pairs_.data() : nullptr);
        hasFits_[index] = 1;
    }
    return tables_[index];
}

}  // namespace etalon
