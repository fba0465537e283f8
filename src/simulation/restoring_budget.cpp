#include "simulation/restoring_budget.h"

#include <algorithm>
#include <vector>

#include "processing/layered_chain.h"
#include "series/series_header.h"

namespace etalon {

std::size_t geometryMemoryNeed(RestoringProcedure procedure, const RestoringRequest& request,
                               uint32_t seriesLength, uint16_t pulses) {
    if (!request.series) return 0;
    // Only the geometry is read: no samples are copied.
    SeriesHeader probe;
    probe.dwSeriesSize = seriesLength;
    probe.wImpulseSize = request.series->wImpulseSize;
    probe.wImpulseQuantity = pulses;
    probe.wTmin = request.tmin;
    probe.wTmax = request.tmax;
    std::vector<LayerRange> ranges;
    formulaRanges(probe, request.tmin, request.tmax, ranges);
    probe.lpMinPositions.resize(ranges.size());
    probe.lpMaxPositions.resize(ranges.size());
    for (std::size_t k = 0; k < ranges.size(); ++k) {
        probe.lpMinPositions[k] = static_cast<int16_t>(ranges[k].lo);
        probe.lpMaxPositions[k] = static_cast<int16_t>(ranges[k].hi);
    }
    RestoringRequest r = request;
    r.series = &probe;
    return restoringMemoryNeed(procedure, r);
}

namespace {

// A changed geometry brings its own default pulse count, as in the dialogs.
uint16_t pulsesHeld(const RestoringRequest& r, uint32_t length, uint16_t tmin) {
    const PulseCountBounds bounds = pulseCountBounds(length, r.series->wImpulseSize, tmin, r.tmax);
    return static_cast<uint16_t>((bounds.minPulses + bounds.maxPulses) / 2);
}

}  // namespace

BudgetFit fitRestoring(RestoringProcedure procedure, const RestoringRequest& request,
                       std::size_t need, std::size_t budget) {
    BudgetFit fit{need, need <= budget, std::nullopt, std::nullopt};
    if (fit.fits || !request.series) return fit;
    const uint32_t length = request.series->dwSeriesSize;
    for (uint32_t tmin = request.tmin + 1u; tmin <= request.tmax; ++tmin) {
        RestoringRequest r = request;
        r.tmin = static_cast<uint16_t>(tmin);
        const uint16_t pulses = pulsesHeld(r, length, r.tmin);
        if (pulses > 0 && geometryMemoryNeed(procedure, r, length, pulses) <= budget) {
            fit.tmin = r.tmin;
            break;
        }
    }
    // The need grows with the length: the largest shorter one that fits.
    const uint32_t shortest = uint32_t{request.series->wImpulseSize} + request.tmin;
    const auto fitsAt = [&](uint32_t n) {
        const uint16_t pulses = pulsesHeld(request, n, request.tmin);
        return pulses > 0 && geometryMemoryNeed(procedure, request, n, pulses) <= budget;
    };
    if (length > shortest && fitsAt(shortest)) {
        uint32_t lo = shortest, hi = length - 1;
        while (lo < hi) {
            const uint32_t mid = lo + (hi - lo + 1) / 2;
            if (fitsAt(mid))
                lo = mid;
            else
                hi = mid - 1;
        }
        fit.length = lo;
    }
    return fit;
}

std::string budgetRefusal(const std::string& what, const BudgetFit& fit,
                          const MemoryBudget& budget) {
    std::string text = what + " needs " + memoryText(fit.need) + " of memory, but " +
                       memoryText(budget.bytes) + " is " + budget.source + ".";
    if (fit.tmin && fit.length) {
        text += " Tmin " + std::to_string(*fit.tmin) + " would fit, or a series of " +
                std::to_string(*fit.length) + " samples (with their default pulse counts).";
    } else if (fit.tmin) {
        text += " Tmin " + std::to_string(*fit.tmin) + " would fit (with its default pulse count).";
    } else if (fit.length) {
        text += " A series of " + std::to_string(*fit.length) +
                " samples would fit (with its default pulse count).";
    } else {
        text += " No larger Tmin or shorter series fits either.";
    }
    return text;
}

}  // namespace etalon
