#include "processing/chain_step.h"

#include <algorithm>

#include "processing/cpu_dispatch.h"
#include "processing/pulse_fit.h"

#if ETALON_AVX2_TWINS
#include <immintrin.h>
#endif

namespace etalon {

namespace {

ETALON_LOOP_BODY void stepValueRunBody(int32_t n, const int32_t* suffix, const int32_t* prefix, const int32_t* fit,
                  StepRule rule, int32_t start, int32_t unreached, int32_t* value) {
    const int32_t cap = rule == StepRule::Extend ? start : 0;
    const bool starts = rule == StepRule::ExtendOrStart;
    for (int32_t i = 0; i < n; ++i) {
        const int32_t m = prefix ? std::min(std::min(suffix[i], prefix[i]), cap) : cap;
        const bool extend = rule == StepRule::Extend || m < 0;
        value[i] = extend ? wrapAdd(m, fit[i]) : (starts ? fit[i] : unreached);
    }
}

ETALON_AVX2 void stepValueRunAvx2(int32_t n, const int32_t* suffix, const int32_t* prefix,
                                  const int32_t* fit, StepRule rule, int32_t start,
                                  int32_t unreached, int32_t* value) {
    stepValueRunBody(n, suffix, prefix, fit, rule, start, unreached, value);
}

void stepValueRun(int32_t n, const int32_t* suffix, const int32_t* prefix, const int32_t* fit,
                  StepRule rule, int32_t start, int32_t unreached, int32_t* value) {
    if (vectorLoops()) return stepValueRunAvx2(n, suffix, prefix, fit, rule, start, unreached, value);
    stepValueRunBody(n, suffix, prefix, fit, rule, start, unreached, value);
}

}  // namespace

void stepValues(const WindowMinima& minima, int32_t x0, int32_t x1, const int32_t* fit,
                StepRule rule, int32_t start, int32_t unreached, int32_t* value) {
    int32_t x = x0;
    const int32_t emptyEnd = std::min<int64_t>(x1 + 1, minima.emptyBelow());
    if (x < emptyEnd) {
        stepValueRun(emptyEnd - x, nullptr, nullptr, fit, rule, start, unreached, value);
        x = emptyEnd;
    }
    const int32_t prefixEnd = std::min(x1, minima.prefixOnlyThrough());
    if (x <= prefixEnd) {
        const int32_t* p = minima.prefix(x);
        stepValueRun(prefixEnd - x + 1, p, p, fit + (x - x0), rule, start, unreached,
                     value + (x - x0));
        x = prefixEnd + 1;
    }
    if (x <= x1) {
        stepValueRun(x1 - x + 1, minima.suffix(x), minima.prefix(x), fit + (x - x0), rule, start,
                     unreached, value + (x - x0));
    }
}

namespace {

int32_t leftmostBelowPlain(const int32_t* value, int32_t n, int32_t start) {
    int32_t best = start, at = -1;
    for (int32_t i = 0; i < n; ++i) {
        if (value[i] < best) {
            best = value[i];
            at = i;
        }
    }
    return at;
}

#if ETALON_AVX2_TWINS
// The smallest value first (a plain vector minimum), then the first place
// it occurs (compare and bit mask, stopping at the first hit).
ETALON_AVX2 int32_t leftmostBelowAvx2(const int32_t* value, int32_t n,
                                                          int32_t start) {
    __m256i low = _mm256_set1_epi32(start), high = low;
    int32_t i = 0;
    for (; i + 16 <= n; i += 16) {
        low =
            _mm256_min_epi32(low, _mm256_loadu_si256(reinterpret_cast<const __m256i*>(value + i)));
        high = _mm256_min_epi32(
            high, _mm256_loadu_si256(reinterpret_cast<const __m256i*>(value + i + 8)));
    }
    alignas(32) int32_t lanes[8];
    _mm256_store_si256(reinterpret_cast<__m256i*>(lanes), _mm256_min_epi32(low, high));
    int32_t best = start;
    for (int32_t l = 0; l < 8; ++l)
        best = std::min(best, lanes[l]);
    for (; i < n; ++i)
        best = std::min(best, value[i]);
    if (best >= start) return -1;
    const __m256i target = _mm256_set1_epi32(best);
    int32_t j = 0;
    for (; j + 8 <= n; j += 8) {
        const __m256i v = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(value + j));
        const int mask = _mm256_movemask_ps(_mm256_castsi256_ps(_mm256_cmpeq_epi32(v, target)));
        if (mask != 0) return j + __builtin_ctz(static_cast<unsigned>(mask));
    }
    for (; j < n; ++j) {
        if (value[j] == best) return j;
    }
    return -1;
}
#endif

}  // namespace

int32_t leftmostBelow(const int32_t* value, int32_t n, int32_t start) {
#if ETALON_AVX2_TWINS
    if (vectorLoops()) return leftmostBelowAvx2(value, n, start);
#endif
    return leftmostBelowPlain(value, n, start);
}

namespace {

void runningMinForwardPlain(const int32_t* in, int32_t n, int32_t carry, int32_t* out) {
    for (int32_t i = 0; i < n; ++i)
        out[i] = carry = std::min(carry, in[i]);
}

void runningMinBackwardPlain(const int32_t* in, int32_t n, int32_t* out) {
    int32_t carry = INT32_MAX;
    for (int32_t i = n - 1; i >= 0; --i)
        out[i] = carry = std::min(carry, in[i]);
}

#if ETALON_AVX2_TWINS
// Eight values at a time: a running minimum within the vector in three
// shift-and-min steps, then the carry from the values before. The chain from
// vector to vector is one broadcast and one minimum.
ETALON_AVX2 void runningMinForwardAvx2(const int32_t* in, int32_t n,
                                                           int32_t carry, int32_t* out) {
    const __m256i none = _mm256_set1_epi32(INT32_MAX);
    const __m256i by1 = _mm256_setr_epi32(0, 0, 1, 2, 3, 4, 5, 6);
    const __m256i by2 = _mm256_setr_epi32(0, 0, 0, 1, 2, 3, 4, 5);
    const __m256i by4 = _mm256_setr_epi32(0, 0, 0, 0, 0, 1, 2, 3);
    const __m256i last = _mm256_set1_epi32(7);
    __m256i c = _mm256_set1_epi32(carry);
    int32_t i = 0;
    for (; i + 8 <= n; i += 8) {
        __m256i x = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(in + i));
        x = _mm256_min_epi32(x,
                             _mm256_blend_epi32(_mm256_permutevar8x32_epi32(x, by1), none, 0x01));
        x = _mm256_min_epi32(x,
                             _mm256_blend_epi32(_mm256_permutevar8x32_epi32(x, by2), none, 0x03));
        x = _mm256_min_epi32(x,
                             _mm256_blend_epi32(_mm256_permutevar8x32_epi32(x, by4), none, 0x0F));
        x = _mm256_min_epi32(x, c);
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + i), x);
        c = _mm256_permutevar8x32_epi32(x, last);
    }
    carry = _mm256_cvtsi256_si32(c);
    runningMinForwardPlain(in + i, n - i, carry, out + i);
}

ETALON_AVX2 void runningMinBackwardAvx2(const int32_t* in, int32_t n,
                                                            int32_t* out) {
    const __m256i none = _mm256_set1_epi32(INT32_MAX);
    const __m256i by1 = _mm256_setr_epi32(1, 2, 3, 4, 5, 6, 7, 7);
    const __m256i by2 = _mm256_setr_epi32(2, 3, 4, 5, 6, 7, 7, 7);
    const __m256i by4 = _mm256_setr_epi32(4, 5, 6, 7, 7, 7, 7, 7);
    const __m256i first = _mm256_setzero_si256();
    __m256i c = none;
    int32_t end = n;
    for (; end >= 8; end -= 8) {
        const int32_t i = end - 8;
        __m256i x = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(in + i));
        x = _mm256_min_epi32(x,
                             _mm256_blend_epi32(_mm256_permutevar8x32_epi32(x, by1), none, 0x80));
        x = _mm256_min_epi32(x,
                             _mm256_blend_epi32(_mm256_permutevar8x32_epi32(x, by2), none, 0xC0));
        x = _mm256_min_epi32(x,
                             _mm256_blend_epi32(_mm256_permutevar8x32_epi32(x, by4), none, 0xF0));
        x = _mm256_min_epi32(x, c);
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + i), x);
        c = _mm256_permutevar8x32_epi32(x, first);
    }
    int32_t carry = _mm256_cvtsi256_si32(c);
    for (int32_t i = end - 1; i >= 0; --i)
        out[i] = carry = std::min(carry, in[i]);
}

#endif

}  // namespace

void runningMinForward(const int32_t* in, int32_t n, int32_t carry, int32_t* out) {
#if ETALON_AVX2_TWINS
    if (vectorLoops()) return runningMinForwardAvx2(in, n, carry, out);
#endif
    runningMinForwardPlain(in, n, carry, out);
}

void runningMinBackward(const int32_t* in, int32_t n, int32_t* out) {
#if ETALON_AVX2_TWINS
    if (vectorLoops()) return runningMinBackwardAvx2(in, n, out);
#endif
    runningMinBackwardPlain(in, n, out);
}

}  // namespace etalon
