#include "processing/matched_filter.h"

#include <algorithm>
#include <array>
#include <climits>
#include <cstdint>
#include <vector>

#include "processing/pulse_fit.h"
#include "processing/restored_chain.h"

namespace etalon {

namespace {

constexpr std::size_t kLanes = 8;  // etalons fitted side by side

bool knowsCount(RestoringProcedure procedure) {
    return procedure == RestoringProcedure::DetectKnownNumberChain ||
           procedure == RestoringProcedure::RecognizeKnownNumberChain;
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

// The smallest key over the positions not yet excluded. Exclusions only
// ever grow, so a range is cleared by marking the nodes that cover it: a
// marked node's subtree is never read again.
class ExclusionTree {
  public:
    static constexpr int64_t kCleared = INT64_MAX;

    void build(std::span<const int64_t> keys) {
        count_ = keys.size();
        size_ = 1;
        while (size_ < count_)
            size_ *= 2;
        node_.assign(2 * size_, kCleared);
        std::copy(keys.begin(), keys.end(), node_.begin() + static_cast<std::ptrdiff_t>(size_));
        for (std::size_t i = size_ - 1; i > 0; --i)
            node_[i] = std::min(node_[2 * i], node_[2 * i + 1]);
    }
    int64_t smallest() const { return node_[1]; }
    void clear(std::size_t lo, std::size_t hi) { clear(1, 0, size_ - 1, lo, hi); }

  private:
    void clear(std::size_t i, std::size_t from, std::size_t to, std::size_t lo, std::size_t hi) {
        if (hi < from || to < lo || node_[i] == kCleared) return;
        if (lo <= from && to <= hi) {
            node_[i] = kCleared;
            return;
        }
        const std::size_t mid = (from + to) / 2;
        clear(2 * i, from, mid, lo, hi);
        clear(2 * i + 1, mid + 1, to, lo, hi);
        node_[i] = std::min(node_[2 * i], node_[2 * i + 1]);
    }

    std::size_t count_ = 0, size_ = 1;
    std::vector<int64_t> node_;
};

// Greedy peak picking over one fit per position: each pick is the smallest
// key left, so a run costs O(N + picks · log N).
Picked pickGreedy(std::span<const int32_t> fit, uint16_t tmin, std::size_t limit,
                  bool untilNonNegative, std::vector<int64_t>& keys, ExclusionTree& tree) {
    // Fit, then position, in one key: the smallest fit first, the leftmost on equal fits.
    keys.resize(fit.size());
    for (std::size_t x = 0; x < fit.size(); ++x)
        keys[x] = int64_t{fit[x]} * (int64_t{1} << 32) + static_cast<int64_t>(x);
    tree.build(keys);
    // A position can never be taken twice, whatever Tmin says.
    const int32_t apart = std::max<int32_t>(tmin, 1);
    const auto last = static_cast<int32_t>(fit.size()) - 1;
    Picked picked;
    while (picked.positions.size() < limit && tree.smallest() != ExclusionTree::kCleared) {
        const auto x = static_cast<int32_t>(tree.smallest() & 0xffffffff);
        if (untilNonNegative && fit[x] >= 0) break;
        picked.positions.push_back(x);
        picked.sum += fit[x];
        tree.clear(static_cast<std::size_t>(std::max(0, x - apart + 1)),
                   static_cast<std::size_t>(std::min(last, x + apart - 1)));
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
           procedure == RestoringProcedure::DetectUnknownNumberChain ||
           recognisesSinglePulses(procedure);
}

std::size_t matchedFilterMemoryNeed(const RestoringRequest& request) {
    if (!request.series) return 0;
    return matchedFilterMemoryNeed(request.series->noisyData().size(), request.series->wImpulseSize,
                                   request.etalons.size());
}

std::size_t matchedFilterMemoryNeed(std::size_t samples, std::size_t length, std::size_t etalons) {
    const std::size_t positions = samples >= length ? samples - length + 1 : 0;
    const std::size_t groups = (etalons + kLanes - 1) / kLanes;
    // Per position: the lanes' fits, the best fit and its etalon, the key, the
    // exclusion tree (at most four keys), and room for a pulse taken there in
    // the picks kept and grown, their sorted copy and the chain written.
    const std::size_t perPosition = groups * kLanes * sizeof(int32_t) + sizeof(int32_t) +
                                    sizeof(uint16_t) + 5 * sizeof(int64_t) + 32;
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
    std::vector<uint16_t> distinct;
    const std::span<const uint16_t> etalons = distinctEtalons(request.etalons, distinct);
    // Room for as many pulses as the record keeps; a known count asks for Q.
    const std::size_t room =
        std::min({series.lpRestoredPositions.size(), series.lpRestoredEtalons.size(),
                  series.lpRestoredCutStarts.size(), series.lpRestoredCutEnds.size()});
    const bool known = knowsCount(procedure);
    const std::size_t limit = known ? std::min<std::size_t>(series.wImpulseQuantity, room) : room;
    if (etalons.empty() || length == 0 || y.size() < length) {
        writeResult({}, {}, length, request.chains, series);
        return recognisesSinglePulses(procedure) && !etalons.empty() ? etalons.front() : 1;
    }
    const ListFits fits = fitList(y, request.alphabet, etalons, length);
    std::vector<int32_t> fit(fits.positions);
    std::vector<uint16_t> etalonAt(fits.positions);
    std::vector<int64_t> keys;
    ExclusionTree tree;

    if (!recognisesSinglePulses(procedure)) {
        for (std::size_t x = 0; x < fits.positions; ++x) {
            std::size_t best = 0;
            for (std::size_t i = 1; i < etalons.size(); ++i)
                if (fits.at(i, x) < fits.at(best, x)) best = i;
            fit[x] = fits.at(best, x);
            etalonAt[x] = etalons[best];
        }
        writeResult(pickGreedy(fit, request.tmin, limit, !known, keys, tree), etalonAt, length,
                    request.chains, series);
        return 1;
    }
    Picked best;
    std::size_t bestEtalon = 0;
    for (std::size_t i = 0; i < etalons.size(); ++i) {
        for (std::size_t x = 0; x < fits.positions; ++x)
            fit[x] = fits.at(i, x);
        Picked picked = pickGreedy(fit, request.tmin, limit, !known, keys, tree);
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
