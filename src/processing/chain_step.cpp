#include "processing/chain_step.h"

#include <algorithm>

#if defined(__x86_64__) && defined(__GNUC__)
#include <immintrin.h>
#endif

#include "processing/pulse_fit.h"
#include "processing/vector_clones.h"

namespace etalon {

namespace {

#if defined(__x86_64__) && defined(__GNUC__)
bool hasAvx2() {
    static const bool avx2 = __builtin_cpu_supports("avx2");
    return avx2;
}
#endif

ETALON_VECTOR_CLONES
void stepValueRun(int32_t n, const int32_t* suffix, const int32_t* prefix, const int32_t* fit,
                  StepRule rule, int32_t start, int32_t unreached, int32_t* value) {
    const int32_t cap = rule == StepRule::Extend ? start : 0;
    const bool starts = rule == StepRule::ExtendOrStart;
    for (int32_t i = 0; i < n; ++i) {
        const int32_t m = prefix ? std::min(std::min(suffix[i], prefix[i]), cap) : cap;
        const bool extend = rule == StepRule::Extend || m < 0;
        value[i] = extend ? wrapAdd(m, fit[i]) : (starts ? fit[i] : unreached);
    }
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

// Leftmost smallest of n values if below start, else -1. Eight lanes each
// keep their own leftmost smallest (only a strictly smaller value replaces),
// then the lanes are merged by value and position.
int32_t mergeLanes(const int32_t* best, const int32_t* at, int32_t start) {
    int32_t value = start, where = -1;
    for (int32_t l = 0; l < 8; ++l) {
        if (at[l] >= 0 && (best[l] < value || (best[l] == value && at[l] < where))) {
            value = best[l];
            where = at[l];
        }
    }
    return where;
}

void laneTail(const int32_t* value, int32_t from, int32_t n, int32_t* best, int32_t* at) {
    for (int32_t i = from; i < n; ++i) {
        const int32_t l = i - from;
        if (value[i] < best[l]) {
            best[l] = value[i];
            at[l] = i;
        }
    }
}

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

#if defined(__x86_64__) && defined(__GNUC__)
__attribute__((target("avx2"))) int32_t leftmostBelowAvx2(const int32_t* value, int32_t n,
                                                          int32_t start) {
    __m256i best = _mm256_set1_epi32(start);
    __m256i at = _mm256_set1_epi32(-1);
    __m256i index = _mm256_setr_epi32(0, 1, 2, 3, 4, 5, 6, 7);
    const __m256i step = _mm256_set1_epi32(8);
    int32_t i = 0;
    for (; i + 8 <= n; i += 8) {
        const __m256i v = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(value + i));
        const __m256i take = _mm256_cmpgt_epi32(best, v);
        best = _mm256_blendv_epi8(best, v, take);
        at = _mm256_blendv_epi8(at, index, take);
        index = _mm256_add_epi32(index, step);
    }
    alignas(32) int32_t bests[8], ats[8];
    _mm256_store_si256(reinterpret_cast<__m256i*>(bests), best);
    _mm256_store_si256(reinterpret_cast<__m256i*>(ats), at);
    laneTail(value, i, n, bests, ats);
    return mergeLanes(bests, ats, start);
}
#endif

}  // namespace

int32_t leftmostBelow(const int32_t* value, int32_t n, int32_t start) {
#if defined(__x86_64__) && defined(__GNUC__)
    if (hasAvx2()) return leftmostBelowAvx2(value, n, start);
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

#if defined(__x86_64__) && defined(__GNUC__)
// Eight values at a time: a running minimum within the vector in three
// shift-and-min steps, then the carry from the values before. The chain from
// vector to vector is one broadcast and one minimum.
__attribute__((target("avx2"))) void runningMinForwardAvx2(const int32_t* in, int32_t n,
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

__attribute__((target("avx2"))) void runningMinBackwardAvx2(const int32_t* in, int32_t n,
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
#if defined(__x86_64__) && defined(__GNUC__)
    if (hasAvx2()) return runningMinForwardAvx2(in, n, carry, out);
#endif
    runningMinForwardPlain(in, n, carry, out);
}

void runningMinBackward(const int32_t* in, int32_t n, int32_t* out) {
#if defined(__x86_64__) && defined(__GNUC__)
    if (hasAvx2()) return runningMinBackwardAvx2(in, n, out);
#endif
    runningMinBackwardPlain(in, n, out);
}

}  // namespace etalon
