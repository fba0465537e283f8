#include "processing/lane_position_chain.h"

#include <algorithm>

#include "processing/cpu_dispatch.h"

// The lane helpers return vectors only inside always-inlined bodies, so the
// AVX calling convention GCC warns about never applies.
#pragma GCC diagnostic ignored "-Wpsabi"
#include "processing/lanes.h"

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

// Suffix minima of the block [begin, end] and where they lie: on equal
// values the earlier position wins.
ETALON_LOOP_BODY void closeBlock(PassTables t, int32_t begin, int32_t end) {
    Lanes best = lanes::load(t.value + end * kWidth), z = broadcast(end), at = z;
    lanes::store(t.suffixValue + end * kWidth, best);
    lanes::store(t.suffixAt + end * kWidth, at);
    for (std::ptrdiff_t i = (end - 1) * kWidth; i >= begin * kWidth; i -= kWidth) {
        const Lanes v = lanes::load(t.value + i);
        z -= 1;
        const Lanes take = v <= best;
        best = lanes::select(take, v, best);
        at = lanes::select(take, z, at);
        lanes::store(t.suffixValue + i, best);
        lanes::store(t.suffixAt + i, at);
    }
}

// One class of positions, as PositionChain::pass with StepRule::Extend: the
// window of x is [max(x - Tmax, 0), x - Tmin]; its minimum is capped at
// `cap`, and the predecessor is the leftmost minimum when it is below the
// cap, else -2. Positions enter the running prefix minimum once x - Tmin
// reaches them; a block's suffix minima are made when its last position enters.
ETALON_LOOP_BODY void passBody(const Range* ranges, std::size_t count, int32_t cap, int32_t tmin,
                               int32_t tmax, PassTables t) {
    const int32_t width = tmax - tmin + 1;
    const Lanes capValue = broadcast(cap), noPred = broadcast(-2);
    Lanes prefixValue = capValue, prefixAt = noPred;
    int32_t next = 0, blockStart = 0;
    Lanes nextAt = broadcast(0);
    for (std::size_t i = 0; i < count; ++i) {
        for (int32_t x = ranges[i].lo; x <= ranges[i].hi; ++x) {
            Lanes m = capValue, at = noPred;
            if (width > 0 && x >= tmin) {
                const int32_t last = x - tmin;
                for (; next <= last; ++next) {
                    const Lanes v = lanes::load(t.value + next * kWidth);
                    if (next == blockStart + width) blockStart = next;
                    if (next == blockStart) {
                        prefixValue = v;
                        prefixAt = nextAt;
                    } else {
                        const Lanes take = v < prefixValue;
                        prefixValue = lanes::select(take, v, prefixValue);
                        prefixAt = lanes::select(take, nextAt, prefixAt);
                    }
                    nextAt += 1;
                    if (next == blockStart + width - 1) closeBlock(t, blockStart, next);
                }
                Lanes best = prefixValue, where = prefixAt;
                if (x > tmax) {
                    // The suffix part lies before the prefix part: it wins ties.
                    const Lanes sv = lanes::load(t.suffixValue + (x - tmax) * kWidth);
                    const Lanes sa = lanes::load(t.suffixAt + (x - tmax) * kWidth);
                    const Lanes take = sv <= best;
                    best = lanes::select(take, sv, best);
                    where = lanes::select(take, sa, where);
                }
                const Lanes below = best < capValue;
                m = lanes::select(below, best, capValue);
                at = lanes::select(below, where, noPred);
            }
            lanes::store(t.value + x * kWidth, lanes::wrapAdd(m, lanes::load(t.fit + x * kWidth)));
            lanes::store(t.pred + x * kWidth, at);
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
    int32_t* fit = fit_.data();
    for (const auto& r : classes.fitted) {
        std::array<const int32_t*, kLanes> from;
        for (int l = 0; l < kLanes; ++l)
            from[l] = tables[l]->values() + (r.lo - tables[l]->first());
        for (int32_t i = 0; i <= r.hi - r.lo; ++i) {
            int32_t* to = fit + (r.lo + i) * kWidth;
            for (int l = 0; l < kLanes; ++l)
                to[l] = from[l][i];
        }
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
