#include "processing/chain_step.h"

#include <algorithm>

#include "processing/pulse_fit.h"
#include "processing/vector_clones.h"

namespace etalon {

namespace {

// One run of positions whose windows share a shape: `suffix` and `prefix`
// give each window's keys (the same array for windows cut at the series
// start), or both null for empty windows. One loop, no data branches, so it
// vectorises.
ETALON_VECTOR_CLONES
void stepRun(int32_t n, const int64_t* suffix, const int64_t* prefix, const int32_t* fit,
             StepRule rule, int32_t start, int32_t unreached, int32_t* value, int32_t* pred) {
    const int32_t cap = rule == StepRule::Extend ? start : 0;
    const bool starts = rule == StepRule::ExtendOrStart;
    for (int32_t i = 0; i < n; ++i) {
        int32_t m = cap, at = -2;
        if (prefix) {
            const int64_t k = std::min(suffix[i], prefix[i]);
            const int32_t v = BlockedMinima::valueOf(k);
            const bool take = v < cap;
            m = take ? v : cap;
            at = take ? BlockedMinima::positionOf(k) : -2;
        }
        const bool extend = rule == StepRule::Extend || m < 0;
        value[i] = extend ? wrapAdd(m, fit[i]) : (starts ? fit[i] : unreached);
        pred[i] = extend ? at : (starts ? -1 : -2);
    }
}

}  // namespace

void stepPositions(const BlockedMinima& minima, int32_t x0, int32_t x1, const int32_t* fit,
                   StepRule rule, int32_t start, int32_t unreached, int32_t* value, int32_t* pred) {
    int32_t x = x0;
    const int32_t emptyEnd = std::min<int64_t>(x1 + 1, minima.emptyBelow());
    if (x < emptyEnd) {
        stepRun(emptyEnd - x, nullptr, nullptr, fit, rule, start, unreached, value, pred);
        x = emptyEnd;
    }
    const int32_t prefixEnd = std::min(x1, minima.prefixOnlyThrough());
    if (x <= prefixEnd) {
        const int64_t* p = minima.prefix(x);
        stepRun(prefixEnd - x + 1, p, p, fit + (x - x0), rule, start, unreached, value + (x - x0),
                pred + (x - x0));
        x = prefixEnd + 1;
    }
    if (x <= x1) {
        stepRun(x1 - x + 1, minima.suffix(x), minima.prefix(x), fit + (x - x0), rule, start,
                unreached, value + (x - x0), pred + (x - x0));
    }
}

namespace {

ETALON_VECTOR_CLONES
void stepValueRun(int32_t n, const int32_t* suffix, const int32_t* prefix, const int32_t* fit,
                  int32_t start, int32_t* value) {
    for (int32_t i = 0; i < n; ++i) {
        const int32_t m = prefix ? std::min(std::min(suffix[i], prefix[i]), start) : start;
        value[i] = wrapAdd(m, fit[i]);
    }
}

}  // namespace

void stepValues(const WindowMinima& minima, int32_t x0, int32_t x1, const int32_t* fit,
                int32_t start, int32_t* value) {
    int32_t x = x0;
    const int32_t emptyEnd = std::min<int64_t>(x1 + 1, minima.emptyBelow());
    if (x < emptyEnd) {
        stepValueRun(emptyEnd - x, nullptr, nullptr, fit, start, value);
        x = emptyEnd;
    }
    const int32_t prefixEnd = std::min(x1, minima.prefixOnlyThrough());
    if (x <= prefixEnd) {
        const int32_t* p = minima.prefix(x);
        stepValueRun(prefixEnd - x + 1, p, p, fit + (x - x0), start, value + (x - x0));
        x = prefixEnd + 1;
    }
    if (x <= x1) {
        stepValueRun(x1 - x + 1, minima.suffix(x), minima.prefix(x), fit + (x - x0), start,
                     value + (x - x0));
    }
}

}  // namespace etalon
