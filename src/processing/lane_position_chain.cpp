#include "processing/lane_position_chain.h"

#include <algorithm>

#include "processing/cpu_dispatch.h"

// The lane helpers return vectors only inside always-inlined bodies, so the
// AVX calling convention GCC warns about never applies.
#pragma GCC diagnostic ignored "-Wpsabi"
#include "processing/lanes.h"

#if ETALON_AVX2_TWINS
#include <immintrin.h>
#endif

namespace etalon {

namespace {

using lanes::Lanes;
using Range = PositionClasses::Range;
constexpr std::ptrdiff_t kWidth = lanes::kLanes;
static_assert(LanePositionChain::kLanes == lanes::kLanes);

struct PassTables {
    const int32_t* fit;
    int32_t* value;
    int32_t* pred;
    int32_t* suffixValue;
    int32_t* suffixAt;
};

// Eight copies of x, for set-up; the loops count positions in vectors, as
// GCC builds a broadcast lane by lane.
ETALON_LOOP_BODY Lanes broadcast(int32_t x) {
    return Lanes{} + x;
}
ETALON_LOOP_BODY Lanes unsignedMin(Lanes a, Lanes b) {
    const auto ua = reinterpret_cast<lanes::UnsignedLanes>(a);
    const auto ub = reinterpret_cast<lanes::UnsignedLanes>(b);
    return reinterpret_cast<Lanes>(ua < ub ? ua : ub);
}
ETALON_LOOP_BODY Lanes max(Lanes a, Lanes b) {
    return a > b ? a : b;
}

// Suffix minima of the block [begin, end] and where they lie: on equal
// values the earlier position wins. Minima carry both running values, so
// each step waits for one instruction only.
ETALON_LOOP_BODY void closeBlock(PassTables t, int32_t begin, int32_t end) {
    Lanes best = lanes::load(t.value + end * kWidth), z = broadcast(end), at = z;
    lanes::store(t.suffixValue + end * kWidth, best);
    lanes::store(t.suffixAt + end * kWidth, at);
    for (std::ptrdiff_t i = (end - 1) * kWidth; i >= begin * kWidth; i -= kWidth) {
        const Lanes v = lanes::load(t.value + i);
        z -= 1;
        // Going down, z is below every place held so far.
        // Unsigned, a place not taken (all ones) loses to the one held.
        at = unsignedMin(at, z | (v > best));
        best = lanes::min(best, v);
        lanes::store(t.suffixValue + i, best);
        lanes::store(t.suffixAt + i, at);
    }
}

// The running prefix minimum of the block being entered, where it lies,
// and the next position to enter.
struct Prefix {
    Lanes value, at, nextAt;
    int32_t next, blockStart, blockEnd;
};

// Enters positions through `last`: a block's first position starts its
// running minimum, its last one makes the block's suffix minima.
ETALON_LOOP_BODY void enterUpTo(PassTables t, Prefix& p, int32_t last, int32_t width) {
    for (; p.next <= last; ++p.next) {
        const Lanes v = lanes::load(t.value + p.next * kWidth);
        if (p.next == p.blockStart) {
            p.value = v;
            p.at = p.nextAt;
        } else {
            // Going up, positions are not negative and grow: a place not
            // taken is 0 and loses to the one held.
            p.at = max(p.at, p.nextAt & (v < p.value));
            p.value = lanes::min(p.value, v);
        }
        p.nextAt += 1;
        if (p.next == p.blockEnd) {
            closeBlock(t, p.blockStart, p.next);
            p.blockStart = p.next + 1;
            p.blockEnd = p.next + width;
        }
    }
}

// The value and predecessor of x from its window: the prefix part, and with
// `suffix` the part in the block before, which wins ties (it lies first).
ETALON_LOOP_BODY void step(PassTables t, const Prefix& p, int32_t x, bool suffix, int32_t tmax,
                           Lanes cap) {
    Lanes best = p.value, where = p.at;
    if (suffix) {
        const Lanes sv = lanes::load(t.suffixValue + (x - tmax) * kWidth);
        const Lanes sa = lanes::load(t.suffixAt + (x - tmax) * kWidth);
        where = lanes::select(sv <= best, sa, where);
        best = lanes::min(best, sv);
    }
    // No predecessor is any negative entry: all ones here.
    const Lanes at = where | (best >= cap);
    const Lanes m = lanes::min(best, cap);
    lanes::store(t.value + x * kWidth, lanes::wrapAdd(m, lanes::load(t.fit + x * kWidth)));
    lanes::store(t.pred + x * kWidth, at);
}

// Positions x0..x1 whose new window positions lie inside the block being
// entered (neither its first nor its last): one entry and one step each.
template <bool kSuffix>
ETALON_LOOP_BODY void insideBlock(PassTables t, Prefix& p, int32_t x0, int32_t x1, int32_t tmin,
                                  int32_t tmax, Lanes cap) {
    for (int32_t x = x0; x <= x1; ++x) {
        const Lanes v = lanes::load(t.value + (x - tmin) * kWidth);
        p.at = max(p.at, p.nextAt & (v < p.value));
        p.value = lanes::min(p.value, v);
        p.nextAt += 1;
        step(t, p, x, kSuffix, tmax, cap);
    }
    p.next = x1 - tmin + 1;
}

// One class of positions, as PositionChain::pass with StepRule::Extend: the
// window of x is [max(x - Tmax, 0), x - Tmin]; its minimum is capped at
// `cap`, and the predecessor is the leftmost minimum when it is below the
// cap, else negative. Positions enter the running prefix minimum of their block
// once x - Tmin reaches them (van Herk blocks of Tmax - Tmin + 1 positions).
ETALON_LOOP_BODY void passBody(const Range* ranges, std::size_t count, int32_t cap, int32_t tmin,
                               int32_t tmax, PassTables t) {
    const int32_t width = tmax - tmin + 1;
    const Lanes capValue = broadcast(cap), noPred = broadcast(-2);
    Prefix p{capValue, noPred, broadcast(0), 0, 0, width - 1};
    for (std::size_t i = 0; i < count; ++i) {
        const int32_t hi = ranges[i].hi;
        int32_t x = ranges[i].lo;
        // Empty windows: before Tmin, or all of them when Tmin is above Tmax.
        for (; x <= hi && (width <= 0 || x < tmin); ++x) {
            lanes::store(t.value + x * kWidth,
                         lanes::wrapAdd(capValue, lanes::load(t.fit + x * kWidth)));
            lanes::store(t.pred + x * kWidth, noPred);
        }
        while (x <= hi) {
            enterUpTo(t, p, x - tmin, width);
            step(t, p, x, x > tmax, tmax, capValue);
            ++x;
            if (p.next == p.blockStart) continue;  // x opens a block
            const int32_t stop = std::min(hi, p.blockEnd - 1 + tmin);
            if (x <= tmax) {
                const int32_t prefixOnly = std::min(stop, tmax);
                insideBlock<false>(t, p, x, prefixOnly, tmin, tmax, capValue);
                x = std::max(x, prefixOnly + 1);
            }
            if (x <= stop) {
                insideBlock<true>(t, p, x, stop, tmin, tmax, capValue);
                x = stop + 1;
            }
        }
    }
}

ETALON_AVX2 void passAvx2(const Range* ranges, std::size_t count, int32_t cap, int32_t tmin,
                          int32_t tmax, PassTables t) {
    passBody(ranges, count, cap, tmin, tmax, t);
}

void pass(const std::vector<Range>& ranges, int32_t cap, int32_t tmin, int32_t tmax, PassTables t) {
    if (vectorLoops()) return passAvx2(ranges.data(), ranges.size(), cap, tmin, tmax, t);
    passBody(ranges.data(), ranges.size(), cap, tmin, tmax, t);
}

// Strictly smaller values win, position by position in ascending ranges: the
// leftmost smallest below start, as findEnd.
ETALON_LOOP_BODY void findEndsBody(const Range* ranges, std::size_t count, int32_t start,
                                   const int32_t* value, int32_t* bestValue, int32_t* bestAt) {
    Lanes best = broadcast(start), at = broadcast(-1);
    for (std::size_t i = 0; i < count; ++i) {
        Lanes xAt = broadcast(ranges[i].lo);
        for (int32_t x = ranges[i].lo; x <= ranges[i].hi; ++x) {
            const Lanes v = lanes::load(value + x * kWidth);
            const Lanes take = v < best;
            best = lanes::select(take, v, best);
            at = lanes::select(take, xAt, at);
            xAt += 1;
        }
    }
    lanes::store(bestValue, best);
    lanes::store(bestAt, at);
}

ETALON_AVX2 void findEndsAvx2(const Range* ranges, std::size_t count, int32_t start,
                              const int32_t* value, int32_t* bestValue, int32_t* bestAt) {
    findEndsBody(ranges, count, start, value, bestValue, bestAt);
}

// to[i * 8 + l] = from[l][i] for i < n.
void interleavePlain(const std::array<const int32_t*, lanes::kLanes>& from, int32_t n, int32_t* to,
                     int32_t i = 0) {
    for (; i < n; ++i) {
        for (int l = 0; l < lanes::kLanes; ++l)
            to[i * kWidth + l] = from[l][i];
    }
}

#if ETALON_AVX2_TWINS
// Eight by eight: rows from the tables, transposed in registers (pairs of
// 32-bit entries, then of 64-bit ones, then the 128-bit halves).
ETALON_AVX2 void interleaveAvx2(const std::array<const int32_t*, lanes::kLanes>& from, int32_t n,
                                int32_t* to) {
    int32_t i = 0;
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
        __m256i* out = reinterpret_cast<__m256i*>(to + i * kWidth);
        for (int k = 0; k < 4; ++k) {
            _mm256_storeu_si256(out + k, _mm256_permute2x128_si256(u[k], u[k + 4], 0x20));
            _mm256_storeu_si256(out + k + 4, _mm256_permute2x128_si256(u[k], u[k + 4], 0x31));
        }
    }
    interleavePlain(from, n, to, i);
}
#endif

void interleave(const std::array<const int32_t*, lanes::kLanes>& from, int32_t n, int32_t* to) {
#if ETALON_AVX2_TWINS
    if (vectorLoops()) return interleaveAvx2(from, n, to);
#endif
    interleavePlain(from, n, to);
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
    }
    n_ = n;
}

void LanePositionChain::setFits(const PositionClasses& classes,
                                const std::array<const FitTable*, kLanes>& tables) {
    for (const auto& r : classes.fitted) {
        std::array<const int32_t*, kLanes> from;
        for (int l = 0; l < kLanes; ++l)
            from[l] = tables[l]->values() + (r.lo - tables[l]->first());
        interleave(from, r.hi - r.lo + 1, fit_.data() + r.lo * kWidth);
    }
}

void LanePositionChain::run(const PositionClasses& classes, int32_t tmin, int32_t tmax, int group) {
    classes_ = &classes;
    int32_t* value = value_.data();
    for (const auto& r : classes.readUnreached) {
        std::fill(value + r.lo * kWidth, value + (r.hi + 1) * kWidth, kSentinel8);
    }
    for (const auto& r : classes.firstOnly) {
        std::copy(fit_.data() + r.lo * kWidth, fit_.data() + (r.hi + 1) * kWidth,
                  value + r.lo * kWidth);
    }
    const PassTables t{fit_.data(), value, pred_.data() + group * n_ * kLanes, suffixValue_.data(),
                       suffixAt_.data()};
    // A pulse that may also start a chain only extends a chain with a
    // negative criterion; a later-only pulse always takes the best one.
    pass(classes.firstOrLater, 0, tmin, tmax, t);
    pass(classes.laterOnly, kSentinel8, tmin, tmax, t);
}

void LanePositionChain::findEnds(const PositionClasses& classes, int32_t start, int group) {
    int32_t* value = endValue_.data() + group * kLanes;
    int32_t* at = endAt_.data() + group * kLanes;
    const Range* ranges = classes.ends.data();
    if (vectorLoops())
        return findEndsAvx2(ranges, classes.ends.size(), start, value_.data(), value, at);
    findEndsBody(ranges, classes.ends.size(), start, value_.data(), value, at);
}

// First-only positions start a chain; positions in no class have nothing
// below their unreached windows.
int32_t LanePositionChain::predecessor(int slot, int32_t x) const {
    const uint8_t cls = classes_->classOf[x];
    if (cls == 1) return -1;
    if (cls == 0) return -2;
    const std::size_t group = slot / kLanes, lane = slot % kLanes;
    return pred_[(group * n_ + x) * kLanes + lane];
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
