#include "processing/recording_matched_filter.h"

#include <algorithm>
#include <set>

#include "processing/recording_fit.h"
#include "processing/restoring_stop.h"

namespace etalon {

namespace {

struct Candidate {
    int64_t value;
    int64_t position;
    int32_t etalon;  // alphabet index
};

// The greedy picking over the candidates of one fit table: the chain of the
// positions taken, in position order, and its criterion.
RecordingChain pick(std::vector<Candidate>& candidates, int64_t tmin, int64_t length) {
    std::sort(candidates.begin(), candidates.end(), [](const Candidate& a, const Candidate& b) {
        return a.value != b.value ? a.value < b.value : a.position < b.position;
    });
    std::set<int64_t> taken;
    RecordingChain chain;
    std::vector<Candidate> kept;
    for (const Candidate& c : candidates) {
        const auto next = taken.lower_bound(c.position);
        if (next != taken.end() && *next - c.position < tmin) continue;
        if (next != taken.begin() && c.position - *std::prev(next) < tmin) continue;
        taken.insert(c.position);
        kept.push_back(c);
        chain.criterion += c.value;
    }
    std::sort(kept.begin(), kept.end(),
              [](const Candidate& a, const Candidate& b) { return a.position < b.position; });
    for (const Candidate& c : kept)
        chain.pulses.push_back({c.position, static_cast<uint16_t>(c.etalon + 1), 0,
                                static_cast<uint16_t>(length - 1)});
    return chain;
}

// The positions fitting below 0 with the list's best etalon, whole pulses.
std::vector<Candidate> candidatesOf(const RecordingChainRequest& r, const RecordingFits& fits,
                                    std::span<const int32_t> list) {
    std::vector<Candidate> out;
    std::vector<Fit> block;
    const auto last = static_cast<int64_t>(r.samples.size()) - fits.length();
    const StopFlag stop(r.stop);
    for (int64_t first = 0; first <= last; first += kRecordingFitBlock) {
        stop.check();
        if (r.progress) r.progress(static_cast<uint64_t>(first), r.samples.size());
        const int64_t count = std::min(kRecordingFitBlock, last - first + 1);
        fits.bestBlock(r.samples, list, first, count, block);
        for (int64_t x = 0; x < count; ++x) {
            const Fit& f = block[static_cast<std::size_t>(x)];
            if (f.value < 0) out.push_back({f.value, first + x, f.etalon});
        }
    }
    return out;
}

}  // namespace

RecordingChainResult matchedFilterOverRecording(const RecordingChainRequest& request) {
    if (request.etalons.empty()) throw RecordingRefused("no etalon to look for");
    if (request.geometry.tmin < 1)
        throw RecordingRefused("Tmin " + std::to_string(request.geometry.tmin) + " is below 1");
    // Whole pulses only: the baseline knows no windows.
    const RecordingFits fits(request.alphabet, 100);
    const int64_t length = fits.length();
    RecordingChainResult result;
    std::vector<int32_t> list;
    for (uint16_t e : request.etalons) {
        if (e < 1 || e > request.alphabet.size())
            throw RecordingRefused("etalon " + std::to_string(e) + " is outside 1.." +
                                   std::to_string(request.alphabet.size()));
        if (std::find(list.begin(), list.end(), e - 1) == list.end()) list.push_back(e - 1);
    }
    if (static_cast<int64_t>(request.samples.size()) < length || length == 0) {
        result.chains.push_back({});
        return result;
    }
    // The baseline's picks are Tmin apart too, and their criterion a sum.
    refuseWrappingSums(request.samples, request.alphabet, request.etalons, request.geometry.tmin);
    if (request.task == RecordingTask::Detection) {
        std::vector<Candidate> candidates = candidatesOf(request, fits, list);
        result.chains.push_back(pick(candidates, request.geometry.tmin, length));
        return result;
    }
    for (const int32_t e : list) {
        std::vector<Candidate> candidates = candidatesOf(request, fits, std::span(&e, 1));
        RecordingChain chain = pick(candidates, request.geometry.tmin, length);
        chain.etalon = static_cast<uint16_t>(e + 1);
        result.chains.push_back(std::move(chain));
    }
    std::stable_sort(
        result.chains.begin(), result.chains.end(),
        [](const RecordingChain& a, const RecordingChain& b) { return a.criterion < b.criterion; });
    return result;
}

std::size_t recordingMatchedFilterMemoryNeed(const RecordingChainRequest& request,
                                             std::size_t candidates) {
    const std::size_t length = request.alphabet.empty() ? 0 : request.alphabet[0].samples().size();
    // The candidates, sorted in place, and as many kept and taken at most.
    return candidates * (sizeof(Candidate) * 2 + 48) +
           recordingFitsMemoryNeed(request.alphabet.size(), length);
}

}  // namespace etalon
