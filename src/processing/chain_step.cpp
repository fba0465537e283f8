#include "processing/chain_step.h"

#include <algorithm>

#if defined(__x86_64__) && defined(__GNUC__)
#include <immintrin.h>
#endif

#include "processing/pulse_fit.h"
#include "processing/vector_clones.h"

namespace etalon {

namespace {

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
    static const bool avx2 = __builtin_cpu_supports("avx2");
    if (avx2) return leftmostBelowAvx2(value, n, start);
#endif
    return leftmostBelowPlain(value, n, start);
}

}  // namespace etalon
