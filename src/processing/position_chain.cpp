#include "processing/position_chain.h"

#include <algorithm>

#include "processing/chain_step.h"
#include "processing/pulse_fit.h"

namespace etalon {

void PositionChain::reserve(std::size_t n) {
    for (auto* table : {&fit_, &value_, &etalon_}) {
        if (table->size() < n) table->resize(n);
    }
    window_.reserve(n);
}

void PositionChain::clear(std::size_t n, const PositionClasses& classes) {
    useFits(fit_.data(), 0);
    for (const auto& r : classes.readUnreached) {
        std::fill(value_.begin() + r.lo, value_.begin() + r.hi + 1, kUnreachedValue);
    }
    const std::vector<PositionClasses::Range>& fitted = classes.fitted;
    auto unfitted = [&](std::size_t from, std::size_t to) {
        if (from >= to) return;
        std::fill(fit_.begin() + from, fit_.begin() + to, kUnreachedValue);
        std::fill(etalon_.begin() + from, etalon_.begin() + to, 0);
    };
    std::size_t next = 0;
    for (const auto& r : fitted) {
        unfitted(next, std::min<std::size_t>(r.lo, n));
        next = std::max<std::size_t>(next, r.hi + 1);
    }
    unfitted(next, n);
}

void PositionChain::run(const PositionClasses& classes, int32_t tmin, int32_t tmax, StopFlag stop) {
    stop.check();
    classes_ = &classes;
    tmin_ = tmin;
    tmax_ = tmax;
    for (const auto& r : classes.firstOnly) {
        std::copy_n(fits_ + (r.lo - fitsFirst_), r.hi - r.lo + 1, value_.begin() + r.lo);
    }
    // A pulse that may also start a chain only extends a chain with a
    // negative criterion; a later-only pulse always takes the best one.
    window_.start(value_.data(), tmin, tmax);
    pass(classes.firstOrLater, 0, tmin);
    stop.check();
    if (!windowsCarryOver(classes, tmin)) window_.start(value_.data(), tmin, tmax);
    pass(classes.laterOnly, kUnreachedValue, tmin);
}

// Positions enter the window once their value is final for this pass: every
// z <= x - Tmin lies before x, so it was computed earlier in the pass or
// belongs to a class whose turn has passed (or has not come and stays unreached).
void PositionChain::pass(const std::vector<PositionClasses::Range>& ranges, int32_t start,
                         int32_t tmin) {
    const StepLayer layer{&window_, fits_, fitsFirst_, value_.data(), StepRule::Extend};
    stepPass(ranges, {&layer, 1}, std::min(tmin, kChunk), start, start);
}

int32_t PositionChain::predecessor(int32_t x) const {
    const uint8_t cls = classes_->classOf[x];
    if (cls == 1) return -1;
    const int32_t start = cls == 2 ? 0 : kUnreachedValue;
    const int32_t from = std::max(x - tmax_, 0), to = x - tmin_;
    if (to < from) return -2;
    // The value of x is the best value of its window (capped at start) plus
    // its fit: only where that value first is remains to be found.
    const int32_t best = valueBefore(value_[x], fits_[x - fitsFirst_]);
    if (best >= start) return -2;
    const int32_t n = to - from + 1;
    // Later-only positions are the last computed, so their windows hold
    // final values; other windows saw the classes after theirs unreached.
    if (cls == 3) {
        const int32_t at = firstEqual(value_.data() + from, n, best);
        return at < 0 ? -2 : from + at;
    }
    const uint8_t* classOf = classes_->classOf.data();
    for (int32_t z = from; z <= to; ++z) {
        if (classOf[z] <= cls && value_[z] == best) return z;
    }
    return -2;
}

int32_t PositionChain::findEnd(const PositionClasses& classes, int32_t start, int32_t& best) const {
    // Ranges ascend, so a later range only wins with a strictly smaller value.
    best = start;
    int32_t at = -1;
    for (const auto& r : classes.ends) {
        const int32_t i = leftmostBelow(value_.data() + r.lo, r.hi - r.lo + 1, best);
        if (i < 0) continue;
        at = r.lo + i;
        best = value_[at];
    }
    return at;
}

int PositionChain::chainLength(int32_t x) const {
    int n = 0;
    for (; x >= 0; x = predecessor(x))
        ++n;
    return n;
}

void PositionChain::fillChain(int32_t x, int32_t etalon, RestoredChain& chain) const {
    // Last pulse first, then reversed in place.
    int n = 0;
    for (; x >= 0; x = predecessor(x)) {
        chain.set(n++, etalon < 0 ? etalon_[x] + 1 : etalon, x, 0, 0);
    }
    chain.n = n;
    for (int i = 0, j = n - 1; i < j; ++i, --j) {
        std::swap(chain.etalons[i], chain.etalons[j]);
        std::swap(chain.positions[i], chain.positions[j]);
        std::swap(chain.cutStarts[i], chain.cutStarts[j]);
        std::swap(chain.cutEnds[i], chain.cutEnds[j]);
    }
}

}  // namespace etalon
