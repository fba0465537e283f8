#include "processing/chain_step.h"

#include <algorithm>

#include "processing/cpu_dispatch.h"
#include "processing/pulse_fit.h"

#if ETALON_AVX2_TWINS
#include <immintrin.h>
#endif

namespace etalon {

namespace {

// What a run of positions sees of its windows: nothing yet, only the prefix
// (the window is cut at the series start), or suffix and prefix.
enum class Window { Empty, Prefix, Both };

template <Window kWindow>
ETALON_LOOP_BODY int32_t bestBefore(const int32_t* suffix, const int32_t* prefix, int32_t i,
                                    int32_t cap) {
    if constexpr (kWindow == Window::Empty) return cap;
    if constexpr (kWindow == Window::Prefix) return std::min(prefix[i], cap);
    return std::min(std::min(suffix[i], prefix[i]), cap);
}

template <Window kWindow>
ETALON_LOOP_BODY lanes::Lanes bestBefore(const int32_t* suffix, const int32_t* prefix, int32_t i,
                                         lanes::Lanes cap) {
    if constexpr (kWindow == Window::Empty) return cap;
    if constexpr (kWindow == Window::Prefix) return lanes::min(lanes::load(prefix + i), cap);
    return lanes::min(lanes::min(lanes::load(suffix + i), lanes::load(prefix + i)), cap);
}

// Eight positions from i on.
template <Window kWindow>
ETALON_LOOP_BODY void stepLanes(int32_t i, const int32_t* suffix, const int32_t* prefix,
                                const int32_t* fit, bool extendAlways, bool starts,
                                lanes::Lanes cap, lanes::Lanes unreached, int32_t* value) {
    using namespace lanes;
    const Lanes m = bestBefore<kWindow>(suffix, prefix, i, cap);
    const Lanes f = load(fit + i);
    const Lanes extended = wrapAdd(m, f);
    if (extendAlways) {
        store(value + i, extended);
        return;
    }
    store(value + i, select(m < splat(0), extended, starts ? f : unreached));
}

// n positions; the values written never feed this run's windows, so the last
// vector may overlap the one before it.
template <Window kWindow>
ETALON_LOOP_BODY void stepValueRunBody(int32_t n, const int32_t* suffix, const int32_t* prefix,
                                       const int32_t* fit, StepRule rule, int32_t start,
                                       int32_t unreached, int32_t* value) {
    const int32_t cap = rule == StepRule::Extend ? start : 0;
    const bool extendAlways = rule == StepRule::Extend;
    const bool starts = rule == StepRule::ExtendOrStart;
    if (n < lanes::kLanes) {
        for (int32_t i = 0; i < n; ++i) {
            const int32_t m = bestBefore<kWindow>(suffix, prefix, i, cap);
            const bool extend = extendAlways || m < 0;
            value[i] = extend ? wrapAdd(m, fit[i]) : (starts ? fit[i] : unreached);
        }
        return;
    }
    const lanes::Lanes capLanes = lanes::splat(cap), unreachedLanes = lanes::splat(unreached);
    int32_t i = 0;
    for (; i + lanes::kLanes <= n; i += lanes::kLanes) {
        stepLanes<kWindow>(i, suffix, prefix, fit, extendAlways, starts, capLanes, unreachedLanes,
                           value);
    }
    if (i < n) {
        stepLanes<kWindow>(n - lanes::kLanes, suffix, prefix, fit, extendAlways, starts, capLanes,
                           unreachedLanes, value);
    }
}

ETALON_LOOP_BODY void stepValuesBody(const WindowMinima& minima, int32_t x0, int32_t x1,
                                     const int32_t* fit, StepRule rule, int32_t start,
                                     int32_t unreached, int32_t* value) {
    int32_t x = x0;
    const int32_t emptyEnd = std::min<int64_t>(x1 + 1, minima.emptyBelow());
    if (x < emptyEnd) {
        stepValueRunBody<Window::Empty>(emptyEnd - x, nullptr, nullptr, fit, rule, start, unreached,
                                        value);
        x = emptyEnd;
    }
    const int32_t prefixEnd = std::min(x1, minima.prefixOnlyThrough());
    if (x <= prefixEnd) {
        stepValueRunBody<Window::Prefix>(prefixEnd - x + 1, nullptr, minima.prefix(x),
                                         fit + (x - x0), rule, start, unreached, value + (x - x0));
        x = prefixEnd + 1;
    }
    if (x <= x1) {
        stepValueRunBody<Window::Both>(x1 - x + 1, minima.suffix(x), minima.prefix(x),
                                       fit + (x - x0), rule, start, unreached, value + (x - x0));
    }
}

ETALON_LOOP_BODY void stepPassBody(std::span<const PositionClasses::Range> ranges,
                                   std::span<const StepLayer> layers, int32_t chunk, int32_t start,
                                   int32_t unreached) {
    for (const auto& r : ranges) {
        for (int32_t x0 = r.lo; x0 <= r.hi; x0 += chunk) {
            const int32_t x1 = std::min(r.hi, x0 + chunk - 1);
            for (const StepLayer& layer : layers) {
                layer.minima->enterUpTo(x1 - layer.minima->tmin());
                stepValuesBody(*layer.minima, x0, x1, layer.fit + (x0 - layer.fitFirst), layer.rule,
                               start, unreached, layer.value + x0);
            }
        }
    }
}

ETALON_AVX2 void stepPassAvx2(std::span<const PositionClasses::Range> ranges,
                              std::span<const StepLayer> layers, int32_t chunk, int32_t start,
                              int32_t unreached) {
    stepPassBody(ranges, layers, chunk, start, unreached);
}

}  // namespace

void stepPass(std::span<const PositionClasses::Range> ranges, std::span<const StepLayer> layers,
              int32_t chunk, int32_t start, int32_t unreached) {
    if (vectorLoops()) return stepPassAvx2(ranges, layers, chunk, start, unreached);
    stepPassBody(ranges, layers, chunk, start, unreached);
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
// it occurs (compare and bit mask, stopping at the first hit). Values left
// over after whole vectors are read again by a last vector overlapping the
// one before: the minimum is the same, and a hit there is the first one.
ETALON_AVX2 inline __m256i loadAt(const int32_t* value, int32_t i) {
    return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(value + i));
}

ETALON_AVX2 inline unsigned hitsAt(const int32_t* value, int32_t i, __m256i target) {
    return static_cast<unsigned>(
        _mm256_movemask_ps(_mm256_castsi256_ps(_mm256_cmpeq_epi32(loadAt(value, i), target))));
}

ETALON_AVX2 int32_t leftmostBelowAvx2(const int32_t* value, int32_t n, int32_t start) {
    if (n < 8) return leftmostBelowPlain(value, n, start);
    __m256i low = _mm256_set1_epi32(start), high = low;
    int32_t i = 0;
    for (; i + 16 <= n; i += 16) {
        low = _mm256_min_epi32(low, loadAt(value, i));
        high = _mm256_min_epi32(high, loadAt(value, i + 8));
    }
    if (i + 8 <= n) low = _mm256_min_epi32(low, loadAt(value, i));
    low = _mm256_min_epi32(_mm256_min_epi32(low, high), loadAt(value, n - 8));
    __m128i half = _mm_min_epi32(_mm256_castsi256_si128(low), _mm256_extracti128_si256(low, 1));
    half = _mm_min_epi32(half, _mm_shuffle_epi32(half, _MM_SHUFFLE(1, 0, 3, 2)));
    half = _mm_min_epi32(half, _mm_shuffle_epi32(half, _MM_SHUFFLE(2, 3, 0, 1)));
    const int32_t best = _mm_cvtsi128_si32(half);
    if (best >= start) return -1;
    const __m256i target = _mm256_set1_epi32(best);
    for (int32_t j = 0; j + 8 <= n; j += 8) {
        if (const unsigned mask = hitsAt(value, j, target)) return j + __builtin_ctz(mask);
    }
    return n - 8 + __builtin_ctz(hitsAt(value, n - 8, target));
}

ETALON_AVX2 int32_t firstEqualAvx2(const int32_t* value, int32_t n, int32_t target) {
    if (n < 8) return -1;
    const __m256i t = _mm256_set1_epi32(target);
    for (int32_t j = 0; j + 8 <= n; j += 8) {
        if (const unsigned mask = hitsAt(value, j, t)) return j + __builtin_ctz(mask);
    }
    const unsigned mask = hitsAt(value, n - 8, t);
    return mask ? n - 8 + __builtin_ctz(mask) : -1;
}

ETALON_AVX2 void runningMinForwardTwin(const int32_t* in, int32_t n, int32_t carry, int32_t* out) {
    runningMinForwardBody(in, n, carry, out);
}

ETALON_AVX2 void runningMinBackwardTwin(const int32_t* in, int32_t n, int32_t* out) {
    runningMinBackwardBody(in, n, out);
}
#endif

}  // namespace

int32_t firstEqual(const int32_t* value, int32_t n, int32_t target) {
#if ETALON_AVX2_TWINS
    if (vectorLoops() && n >= 8) return firstEqualAvx2(value, n, target);
#endif
    for (int32_t i = 0; i < n; ++i) {
        if (value[i] == target) return i;
    }
    return -1;
}

int32_t leftmostBelow(const int32_t* value, int32_t n, int32_t start) {
#if ETALON_AVX2_TWINS
    if (vectorLoops()) return leftmostBelowAvx2(value, n, start);
#endif
    return leftmostBelowPlain(value, n, start);
}

void runningMinForwardPlain(const int32_t* in, int32_t n, int32_t carry, int32_t* out) {
    runningMinForwardBody(in, n, carry, out);
}

void runningMinBackwardPlain(const int32_t* in, int32_t n, int32_t* out) {
    runningMinBackwardBody(in, n, out);
}

bool runningMinForwardAvx2(const int32_t* in, int32_t n, int32_t carry, int32_t* out) {
#if ETALON_AVX2_TWINS
    if (!vectorLoops()) return false;
    runningMinForwardTwin(in, n, carry, out);
    return true;
#else
    return false;
#endif
}

bool runningMinBackwardAvx2(const int32_t* in, int32_t n, int32_t* out) {
#if ETALON_AVX2_TWINS
    if (!vectorLoops()) return false;
    runningMinBackwardTwin(in, n, out);
    return true;
#else
    return false;
#endif
}

}  // namespace etalon
