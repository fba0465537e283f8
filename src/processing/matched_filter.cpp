#include "processing/matched_filter.h"

#include <algorithm>
#include <array>
#include <vector>

#include "processing/pulse_fit.h"
#include "processing/restored_chain.h"

namespace etalon {

namespace {

constexpr std::size_t kLanes = 8;  // etalons fitted side by side

bool recognises(RestoringProcedure procedure) {
    return procedure == RestoringProcedure::RecognizeKnownNumberChain ||
           procedure == RestoringProcedure::RecognizeUnknownNumberChain;
}

bool knowsCount(RestoringProcedure procedure) {
    return procedure == RestoringProcedure::DetectKnownNumberChain ||
           procedure == RestoringProcedure::RecognizeKnownNumberChain;
}

// The list's etalons in order of first appearance: a repeated entry can only
// tie with its first.
std::vector<uint16_t> distinctEtalons(std::span<const uint16_t> list) {
    std::vector<uint16_t> kept;
    for (uint16_t e : list) {
        if (std::find(kept.begin(), kept.end(), e) == kept.end()) kept.push_back(e);
    }
    return kept;
}

// The whole-pulse fits of every listed etalon at every position, lane by
// lane: fits[(group * positions + x) * 8 + lane] for etalon group * 8 + lane.
struct ListFits {
    std::size_t positions = 0;
    std::vector<int32_t> values;

    int32_t at(std::size_t etalon, std::size_t x) const {
        return values[((etalon / kLanes) * positions + x) * kLanes + etalon % kLanes];
    }
};

ListFits fitList(std::span<const int16_t> y, std::span<const PulseHeader> alphabet,
                 std::span<const uint16_t> etalons, std::size_t length) {
    ListFits fits;
    fits.positions = y.size() - length + 1;
    const std::size_t groups = (etalons.size() + kLanes - 1) / kLanes;
    fits.values.assign(groups * fits.positions * kLanes, 0);
    std::vector<int32_t> scratch((length + 1) * kLanes);
    for (std::size_t g = 0; g < groups; ++g) {
        std::array<std::span<const int16_t>, kLanes> samples;
        std::array<int32_t, kLanes> totals{};
        const std::size_t from = g * kLanes, to = std::min(etalons.size(), from + kLanes);
        for (std::size_t i = from; i < to; ++i) {
            const std::span<const int16_t> e = alphabet[etalons[i] - 1u].samples();
            samples[i - from] = e.first(std::min(e.size(), length));
            for (const int16_t v : samples[i - from])
                totals[i - from] = wrapAdd(totals[i - from], int32_t{v} * v);
        }
        fitWholeLanes(y, 0, static_cast<int32_t>(fits.positions),
                      std::span(samples).first(to - from), totals, scratch.data(),
                      fits.values.data() + g * fits.positions * kLanes);
    }
    return fits;
}

struct Picked {
    std::vector<int32_t> positions;  // in the order taken
    int64_t sum = 0;
};

// Greedy peak picking over one fit per position.
Picked pickGreedy(std::span<const int32_t> fit, uint16_t tmin, std::size_t limit,
                  bool untilNonNegative) {
    // Smallest fit first, the leftmost on equal fits: one key orders both, and
    // sorts far faster than indices compared through the fits. An unknown
    // count stops at the first fit of 0 or more, so those are never sorted.
    std::vector<int64_t> order;
    order.reserve(fit.size());
    for (std::size_t x = 0; x < fit.size(); ++x) {
        if (!untilNonNegative || fit[x] < 0)
            order.push_back(int64_t{fit[x]} * (int64_t{1} << 32) + static_cast<int64_t>(x));
    }
    std::sort(order.begin(), order.end());
    // A position can never be taken twice, whatever Tmin says.
    const int32_t apart = std::max<int32_t>(tmin, 1);
    std::vector<uint8_t> excluded(fit.size(), 0);
    Picked picked;
    for (const int64_t key : order) {
        if (picked.positions.size() >= limit) break;
        const auto x = static_cast<int32_t>(key & 0xffffffff);
        if (excluded[x]) continue;
        picked.positions.push_back(x);
        picked.sum += fit[x];
        const int32_t lo = std::max(0, x - apart + 1);
        const int32_t hi = std::min(static_cast<int32_t>(fit.size()) - 1, x + apart - 1);
        std::fill(excluded.begin() + lo, excluded.begin() + hi + 1, uint8_t{1});
    }
    return picked;
}

void writeResult(const Picked& picked, std::span<const uint16_t> etalonAt, uint16_t length,
                 ChainsHeader* chains, SeriesHeader& series) {
    std::vector<int32_t> positions = picked.positions;
    std::sort(positions.begin(), positions.end());
    RestoredChain chain;
    chain.resize(positions.size());
    for (std::size_t k = 0; k < positions.size(); ++k)
        chain.set(static_cast<int>(k), etalonAt[positions[k]], positions[k], 0, length - 1);
    chain.n = static_cast<int>(positions.size());
    writeRestoredPulses(series, chain);
    const auto taken = static_cast<uint16_t>(positions.size());
    resetChains(chains, taken, taken);
    // 32-bit like the exact programmes' criteria.
    insertChain(chains, static_cast<int32_t>(static_cast<uint32_t>(picked.sum)), chain.n,
                chain.view());
}

}  // namespace

bool matchedFilterRestores(RestoringProcedure procedure) {
    return procedure == RestoringProcedure::DetectKnownNumberChain ||
           procedure == RestoringProcedure::DetectUnknownNumberChain || recognises(procedure);
}

std::size_t matchedFilterMemoryNeed(const RestoringRequest& request) {
    if (!request.series) return 0;
    const std::size_t length = request.series->wImpulseSize;
    const std::size_t samples = request.series->noisyData().size();
    const std::size_t positions = samples >= length ? samples - length + 1 : 0;
    const std::size_t groups = (request.etalons.size() + kLanes - 1) / kLanes;
    // The lanes' fits, then per position the best fit, its etalon, the
    // picking order, the exclusion mark and at most one pulse taken (twice).
    const std::size_t perPosition = groups * kLanes * sizeof(int32_t) + sizeof(int32_t) +
                                    sizeof(uint16_t) + sizeof(int64_t) + 1 + 2 * sizeof(int32_t);
    return positions * perPosition + (length + 1) * kLanes * sizeof(int32_t);
}

std::string matchedFilterBudgetProblem(const RestoringRequest& request,
                                       const MemoryBudget& budget) {
    const std::size_t need = matchedFilterMemoryNeed(request);
    if (need <= budget.bytes) return {};
    return "Restoring the series with the matched filter needs " + memoryText(need) +
           " of memory, but " + memoryText(budget.bytes) + " is " + budget.source +
           ". Its tables grow with the series length times the etalons of the list.";
}

int runMatchedFilter(MessageSink& sink, RestoringProcedure procedure,
                     const RestoringRequest& request) {
    if (!request.series) return 0;
    if (!matchedFilterRestores(procedure)) {
        sink.show("The matched filter restores single pulses only, not tuples.", " Processing ",
                  MessageIcon::None);
        return 0;
    }
    if (!numbersAreEtalons(sink, procedure, request)) return 0;
    SeriesHeader& series = *request.series;
    const uint16_t length = series.wImpulseSize;
    const std::span<const int16_t> y = series.noisyData();
    const std::vector<uint16_t> etalons = distinctEtalons(request.etalons);
    // Room for as many pulses as the record keeps; a known count asks for Q.
    const std::size_t room =
        std::min({series.lpRestoredPositions.size(), series.lpRestoredEtalons.size(),
                  series.lpRestoredCutStarts.size(), series.lpRestoredCutEnds.size()});
    const bool known = knowsCount(procedure);
    const std::size_t limit = known ? std::min<std::size_t>(series.wImpulseQuantity, room) : room;
    if (etalons.empty() || length == 0 || y.size() < length) {
        writeResult({}, {}, length, request.chains, series);
        return recognises(procedure) && !etalons.empty() ? etalons.front() : 1;
    }
    const ListFits fits = fitList(y, request.alphabet, etalons, length);
    std::vector<int32_t> fit(fits.positions);
    std::vector<uint16_t> etalonAt(fits.positions);

    if (!recognises(procedure)) {
        for (std::size_t x = 0; x < fits.positions; ++x) {
            std::size_t best = 0;
            for (std::size_t i = 1; i < etalons.size(); ++i)
                if (fits.at(i, x) < fits.at(best, x)) best = i;
            fit[x] = fits.at(best, x);
            etalonAt[x] = etalons[best];
        }
        writeResult(pickGreedy(fit, request.tmin, limit, !known), etalonAt, length, request.chains,
                    series);
        return 1;
    }
    Picked best;
    std::size_t bestEtalon = 0;
    for (std::size_t i = 0; i < etalons.size(); ++i) {
        for (std::size_t x = 0; x < fits.positions; ++x)
            fit[x] = fits.at(i, x);
        Picked picked = pickGreedy(fit, request.tmin, limit, !known);
        if (i == 0 || picked.sum < best.sum) {
            best = std::move(picked);
            bestEtalon = i;
        }
    }
    std::fill(etalonAt.begin(), etalonAt.end(), etalons[bestEtalon]);
    writeResult(best, etalonAt, length, request.chains, series);
    return etalons[bestEtalon];
}

}  // namespace etalon
