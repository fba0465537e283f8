#include "processing/lane_position_chain.h"

#include <algorithm>
#include <cstring>

#include "processing/cpu_dispatch.h"

#include "processing/lanes.h"

#if ETALON_AVX2_TWINS
#include <immintrin.h>
#endif

namespace etalon {

namespace {

using Range = PositionClasses::Range;
static_assert(LanePositionChain::kLanes == lanes::kLanes);

// Eight lanes (one AVX2 register), or four for a group of at most four
// etalons, so a short last group costs less.
struct Wide {
    using V = lanes::Lanes;
    using U = lanes::UnsignedLanes;
    static constexpr std::ptrdiff_t kWidth = 8;
};
struct Narrow {
    typedef int32_t V __attribute__((vector_size(16)));
    typedef uint32_t U __attribute__((vector_size(16)));
    static constexpr std::ptrdiff_t kWidth = 4;
};
// Four of the eight lanes: the plain loops run a group of eight as two of
// these, as a processor without AVX2 has registers of four.
struct HalfWide {
    using V = Narrow::V;
    using U = Narrow::U;
    static constexpr std::ptrdiff_t kWidth = 8;
};

template <class T>
ETALON_LOOP_BODY typename T::V load(const int32_t* p) {
    typename T::V v;
    std::memcpy(&v, p, sizeof v);
    return v;
}
template <class V>
ETALON_LOOP_BODY void store(int32_t* p, V v) {
    std::memcpy(p, &v, sizeof v);
}
// Copies of x, for set-up; the loops count positions in vectors, as GCC
// builds a broadcast lane by lane.
template <class T>
ETALON_LOOP_BODY typename T::V broadcast(int32_t x) {
    return typename T::V{} + x;
}
template <class V>
ETALON_LOOP_BODY V vmin(V a, V b) {
    return a < b ? a : b;
}
template <class V>
ETALON_LOOP_BODY V vmax(V a, V b) {
    return a > b ? a : b;
}
template <class V>
ETALON_LOOP_BODY V select(V mask, V a, V b) {
    return (a & mask) | (b & ~mask);
}
// Sums wrap at 32 bits, as the scalar programmes' do.
template <class T>
ETALON_LOOP_BODY typename T::V wrapAdd(typename T::V a, typename T::V b) {
    using U = typename T::U;
    return reinterpret_cast<typename T::V>(reinterpret_cast<U>(a) + reinterpret_cast<U>(b));
}

struct PassTables {
    const int32_t* fit;
    int32_t* value;
    int32_t* pred;
    int32_t* suffixValue;
    int32_t* suffixAt;
};

// Suffix minima of the block [begin, end] and where they lie: on equal
// values the earlier position wins. Minima carry both running values, so
// each step waits for one instruction only.
template <class T>
ETALON_LOOP_BODY void closeBlock(PassTables t, int32_t begin, int32_t end) {
    using V = typename T::V;
    constexpr std::ptrdiff_t w = T::kWidth;
    const V none = broadcast<T>(INT32_MAX);
    V best = load<T>(t.value + end * w), z = broadcast<T>(end), at = z;
    store(t.suffixValue + end * w, best);
    store(t.suffixAt + end * w, at);
    for (std::ptrdiff_t i = (end - 1) * w; i >= begin * w; i -= w) {
        const V v = load<T>(t.value + i);
        z -= 1;
        // Going down, z is below every place held so far.
        at = vmin(at, select(v <= best, z, none));
        best = vmin(best, v);
        store(t.suffixValue + i, best);
        store(t.suffixAt + i, at);
    }
}

// The running prefix minimum of the block being entered, where it lies,
// and the next position to enter.
template <class T>
struct Prefix {
    typename T::V value, at, nextAt;
    int32_t next, blockStart, blockEnd;
};

// Enters positions through `last`: a block's first position starts its
// running minimum, its last one makes the block's suffix minima.
template <class T>
ETALON_LOOP_BODY void enterUpTo(PassTables t, Prefix<T>& p, int32_t last, int32_t width) {
    for (; p.next <= last; ++p.next) {
        const typename T::V v = load<T>(t.value + p.next * T::kWidth);
        if (p.next == p.blockStart) {
            p.value = v;
            p.at = p.nextAt;
        } else {
            // Going up, positions are not negative and grow: a place not
            // taken is 0 and loses to the one held.
            p.at = vmax(p.at, p.nextAt & (v < p.value));
            p.value = vmin(p.value, v);
        }
        p.nextAt += 1;
        if (p.next == p.blockEnd) {
            closeBlock<T>(t, p.blockStart, p.next);
            p.blockStart = p.next + 1;
            p.blockEnd = p.next + width;
        }
    }
}

// The value and predecessor of x from its window: the prefix part, and with
// `suffix` the part in the block before, which wins ties (it lies first).
template <class T>
ETALON_LOOP_BODY void step(PassTables t, const Prefix<T>& p, int32_t x, bool suffix, int32_t tmax,
                           typename T::V cap) {
    using V = typename T::V;
    constexpr std::ptrdiff_t w = T::kWidth;
    V best = p.value, where = p.at;
    if (suffix) {
        const V sv = load<T>(t.suffixValue + (x - tmax) * w);
        const V sa = load<T>(t.suffixAt + (x - tmax) * w);
        where = select(sv <= best, sa, where);
        best = vmin(best, sv);
    }
    // No predecessor is any negative entry: all ones here.
    store(t.pred + x * w, where | (best >= cap));
    store(t.value + x * w, wrapAdd<T>(vmin(best, cap), load<T>(t.fit + x * w)));
}

// Positions x0..x1 whose new window positions lie inside the block being
// entered (neither its first nor its last): one entry and one step each.
template <class T, bool kSuffix>
ETALON_LOOP_BODY void insideBlock(PassTables t, Prefix<T>& p, int32_t x0, int32_t x1, int32_t tmin,
                                  int32_t tmax, typename T::V cap) {
    for (int32_t x = x0; x <= x1; ++x) {
        const typename T::V v = load<T>(t.value + (x - tmin) * T::kWidth);
        p.at = vmax(p.at, p.nextAt & (v < p.value));
        p.value = vmin(p.value, v);
        p.nextAt += 1;
        step<T>(t, p, x, kSuffix, tmax, cap);
    }
    p.next = x1 - tmin + 1;
}

// One class of positions, as PositionChain::pass with StepRule::Extend: the
// window of x is [max(x - Tmax, 0), x - Tmin]; its minimum is capped at
// `cap`, and the predecessor is the leftmost minimum when it is below the
// cap, else negative. Positions enter the running prefix minimum of their
// block once x - Tmin reaches them (van Herk blocks of Tmax - Tmin + 1
// positions).
template <class T>
ETALON_LOOP_BODY void passBody(const Range* ranges, std::size_t count, int32_t cap, int32_t tmin,
                               int32_t tmax, PassTables t) {
    using V = typename T::V;
    constexpr std::ptrdiff_t w = T::kWidth;
    const int32_t width = tmax - tmin + 1;
    const V capValue = broadcast<T>(cap), noPred = broadcast<T>(-2);
    Prefix<T> p{capValue, noPred, broadcast<T>(0), 0, 0, width - 1};
    for (std::size_t i = 0; i < count; ++i) {
        const int32_t hi = ranges[i].hi;
        int32_t x = ranges[i].lo;
        // Empty windows: before Tmin, or all of them when Tmin is above Tmax.
        for (; x <= hi && (width <= 0 || x < tmin); ++x) {
            store(t.value + x * w, wrapAdd<T>(capValue, load<T>(t.fit + x * w)));
            store(t.pred + x * w, noPred);
        }
        while (x <= hi) {
            enterUpTo<T>(t, p, x - tmin, width);
            step<T>(t, p, x, x > tmax, tmax, capValue);
            ++x;
            if (p.next == p.blockStart) continue;  // x opens a block
            const int32_t stop = std::min(hi, p.blockEnd - 1 + tmin);
            if (x <= tmax) {
                const int32_t prefixOnly = std::min(stop, tmax);
                insideBlock<T, false>(t, p, x, prefixOnly, tmin, tmax, capValue);
                x = std::max(x, prefixOnly + 1);
            }
            if (x <= stop) {
                insideBlock<T, true>(t, p, x, stop, tmin, tmax, capValue);
                x = stop + 1;
            }
        }
    }
}

template <class T>
ETALON_AVX2 void passAvx2(const Range* ranges, std::size_t count, int32_t cap, int32_t tmin,
                          int32_t tmax, PassTables t) {
    passBody<T>(ranges, count, cap, tmin, tmax, t);
}

template <class T>
void pass(const std::vector<Range>& ranges, int32_t cap, int32_t tmin, int32_t tmax, PassTables t) {
    if (vectorLoops()) return passAvx2<T>(ranges.data(), ranges.size(), cap, tmin, tmax, t);
    passBody<T>(ranges.data(), ranges.size(), cap, tmin, tmax, t);
}

// Strictly smaller values win, position by position in ascending ranges: the
// leftmost smallest below start, as findEnd.
template <class T>
ETALON_LOOP_BODY void findEndsBody(const Range* ranges, std::size_t count, int32_t start,
                                   const int32_t* value, int32_t* bestValue, int32_t* bestAt) {
    using V = typename T::V;
    V best = broadcast<T>(start), at = broadcast<T>(-1);
    for (std::size_t i = 0; i < count; ++i) {
        V xAt = broadcast<T>(ranges[i].lo);
        for (int32_t x = ranges[i].lo; x <= ranges[i].hi; ++x) {
            const V v = load<T>(value + x * T::kWidth);
            const V take = v < best;
            best = select(take, v, best);
            at = select(take, xAt, at);
            xAt += 1;
        }
    }
    store(bestValue, best);
    store(bestAt, at);
}

template <class T>
ETALON_AVX2 void findEndsAvx2(const Range* ranges, std::size_t count, int32_t start,
                              const int32_t* value, int32_t* bestValue, int32_t* bestAt) {
    findEndsBody<T>(ranges, count, start, value, bestValue, bestAt);
}

template <class T>
void findEndsIn(const std::vector<Range>& ranges, int32_t start, const int32_t* value,
                int32_t* bestValue, int32_t* bestAt) {
    if (vectorLoops())
        return findEndsAvx2<T>(ranges.data(), ranges.size(), start, value, bestValue, bestAt);
    findEndsBody<T>(ranges.data(), ranges.size(), start, value, bestValue, bestAt);
}

using Rows = std::array<const int32_t*, lanes::kLanes>;

// to[i * w + l] = from[l][i] for i < n, l < w.
void interleavePlain(const Rows& from, std::ptrdiff_t w, int32_t n, int32_t* to, int32_t i = 0) {
    for (; i < n; ++i) {
        for (int l = 0; l < w; ++l)
            to[i * w + l] = from[l][i];
    }
}

#if ETALON_AVX2_TWINS
// Eight by eight (or four by four): rows from the tables, transposed in
// registers (pairs of 32-bit entries, then of 64-bit ones, then the 128-bit
// halves).
ETALON_AVX2 void interleaveAvx2(const Rows& from, std::ptrdiff_t w, int32_t n, int32_t* to) {
    int32_t i = 0;
    if (w == 4) {
        for (; i + 4 <= n; i += 4) {
            __m128i r[4];
            for (int l = 0; l < 4; ++l)
                r[l] = _mm_loadu_si128(reinterpret_cast<const __m128i*>(from[l] + i));
            const __m128i t0 = _mm_unpacklo_epi32(r[0], r[1]), t1 = _mm_unpacklo_epi32(r[2], r[3]);
            const __m128i t2 = _mm_unpackhi_epi32(r[0], r[1]), t3 = _mm_unpackhi_epi32(r[2], r[3]);
            __m128i* out = reinterpret_cast<__m128i*>(to + i * 4);
            _mm_storeu_si128(out, _mm_unpacklo_epi64(t0, t1));
            _mm_storeu_si128(out + 1, _mm_unpackhi_epi64(t0, t1));
            _mm_storeu_si128(out + 2, _mm_unpacklo_epi64(t2, t3));
            _mm_storeu_si128(out + 3, _mm_unpackhi_epi64(t2, t3));
        }
        return interleavePlain(from, w, n, to, i);
    }
    for (; i + 8 <= n; i += 8) {
        __m256i r[8], t[8], u[8];
        for (int l = 0; l < 8; ++l)
            r[l] = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(from[l] + i));
        for (int l = 0; l < 8; l += 2) {
            t[l] = _mm256_unpacklo_epi32(r[l], r[l + 1]);
            t[l + 1] = _mm256_unpackhi_epi32(r[l], r[l + 1]);
        }
        for (int l = 0; l < 8; l += 4) {
            u[l] = _mm256_unpacklo_epi64(t[l], t[l + 2]);
            u[l + 1] = _mm256_unpackhi_epi64(t[l], t[l + 2]);
            u[l + 2] = _mm256_unpacklo_epi64(t[l + 1], t[l + 3]);
            u[l + 3] = _mm256_unpackhi_epi64(t[l + 1], t[l + 3]);
        }
        __m256i* out = reinterpret_cast<__m256i*>(to + i * 8);
        for (int k = 0; k < 4; ++k) {
            _mm256_storeu_si256(out + k, _mm256_permute2x128_si256(u[k], u[k + 4], 0x20));
            _mm256_storeu_si256(out + k + 4, _mm256_permute2x128_si256(u[k], u[k + 4], 0x31));
        }
    }
    interleavePlain(from, w, n, to, i);
}
#endif

void interleave(const Rows& from, std::ptrdiff_t w, int32_t n, int32_t* to) {
#if ETALON_AVX2_TWINS
    if (vectorLoops()) return interleaveAvx2(from, w, n, to);
#endif
    interleavePlain(from, w, n, to);
}

}  // namespace

void LanePositionChain::reserve(std::size_t n, std::size_t groups) {
    const std::size_t entries = n * kLanes;
    for (auto* table : {&fit_, &value_, &suffixValue_, &suffixAt_}) {
        if (table->size() < entries) table->resize(entries);
    }
    if (pred_.size() < entries * groups) pred_.resize(entries * groups);
    if (endAt_.size() < groups * kLanes) {
        endAt_.resize(groups * kLanes);
        endValue_.resize(groups * kLanes);
        width_.resize(groups);
    }
    n_ = n;
}

void LanePositionChain::run(const PositionClasses& classes,
                            const std::array<const FitTable*, kLanes>& tables, int used,
                            int32_t tmin, int32_t tmax, int group, StopFlag stop) {
    stop.check();
    classes_ = &classes;
    const std::ptrdiff_t w = used <= Narrow::kWidth ? Narrow::kWidth : Wide::kWidth;
    width_[group] = static_cast<int>(w);
    int32_t* fit = fit_.data();
    for (const auto& r : classes.fitted) {
        Rows from;
        for (int l = 0; l < w; ++l)
            from[l] = tables[l]->values() + (r.lo - tables[l]->first());
        interleave(from, w, r.hi - r.lo + 1, fit + r.lo * w);
    }
    int32_t* value = value_.data();
    for (const auto& r : classes.readUnreached)
        std::fill(value + r.lo * w, value + (r.hi + 1) * w, kUnreachedValue);
    for (const auto& r : classes.firstOnly)
        std::copy(fit + r.lo * w, fit + (r.hi + 1) * w, value + r.lo * w);
    const PassTables t{fit, value, pred_.data() + group * n_ * kLanes, suffixValue_.data(),
                       suffixAt_.data()};
    // A pulse that may also start a chain only extends a chain with a
    // negative criterion; a later-only pulse always takes the best one.
    if (w == Narrow::kWidth) {
        pass<Narrow>(classes.firstOrLater, 0, tmin, tmax, t);
        stop.check();
        pass<Narrow>(classes.laterOnly, kUnreachedValue, tmin, tmax, t);
    } else if (vectorLoops()) {
        pass<Wide>(classes.firstOrLater, 0, tmin, tmax, t);
        stop.check();
        pass<Wide>(classes.laterOnly, kUnreachedValue, tmin, tmax, t);
    } else {
        for (const int half : {0, 4}) {
            const PassTables h{t.fit + half, t.value + half, t.pred + half, t.suffixValue + half,
                               t.suffixAt + half};
            pass<HalfWide>(classes.firstOrLater, 0, tmin, tmax, h);
            stop.check();
            pass<HalfWide>(classes.laterOnly, kUnreachedValue, tmin, tmax, h);
        }
    }
}

void LanePositionChain::findEnds(const PositionClasses& classes, int32_t start, int group) {
    int32_t* value = endValue_.data() + group * kLanes;
    int32_t* at = endAt_.data() + group * kLanes;
    if (width_[group] == Narrow::kWidth) {
        findEndsIn<Narrow>(classes.ends, start, value_.data(), value, at);
    } else if (vectorLoops()) {
        findEndsIn<Wide>(classes.ends, start, value_.data(), value, at);
    } else {
        for (const int half : {0, 4})
            findEndsIn<HalfWide>(classes.ends, start, value_.data() + half, value + half,
                                 at + half);
    }
}

// First-only positions start a chain; positions in no class have nothing
// below their unreached windows.
int32_t LanePositionChain::predecessor(int slot, int32_t x) const {
    const uint8_t cls = classes_->classOf[x];
    if (cls == 1) return -1;
    if (cls == 0) return -2;
    const std::size_t group = slot / kLanes, lane = slot % kLanes;
    return pred_[group * n_ * kLanes + x * width_[group] + lane];
}

void LanePositionChain::fillChain(int slot, int32_t x, int32_t etalon, RestoredChain& chain) const {
    // Last pulse first, then reversed in place.
    int n = 0;
    for (; x >= 0; x = predecessor(slot, x))
        chain.set(n++, etalon, x, 0, 0);
    chain.n = n;
    std::reverse(chain.positions.begin(), chain.positions.begin() + n);
}

void LaneEtalons::reserve(std::size_t alphabetSize) {
    if (slot_.size() < alphabetSize) {
        slot_.resize(alphabetSize, -1);
        distinct_.resize(alphabetSize);
    }
}

void LaneEtalons::assign(std::span<const uint16_t> etalons) {
    for (std::size_t i = 0; i < count_; ++i)
        slot_[distinct_[i]] = -1;
    count_ = 0;
    for (const uint16_t e : etalons) {
        const int32_t index = e - 1;
        if (slot_[index] >= 0) continue;
        slot_[index] = static_cast<int32_t>(count_);
        distinct_[count_++] = index;
    }
}

}  // namespace etalon
