#include "restoring_calls.h"

#include <pybind11/pybind11.h>

#include <algorithm>
#include <memory>

#include "base/memory_budget.h"
#include "io/recording.h"
#include "io/recording_series.h"
#include "io/sum_range.h"
#include "processing/chains_header.h"
#include "processing/matched_filter.h"
#include "processing/recording_chain.h"
#include "processing/recording_matched_filter.h"
#include "processing/restoring.h"
#include "processing/restoring_work.h"
#include "series/subsets.h"
#include "simulation/restoring_budget.h"

namespace etalon::python {

namespace py = pybind11;

void RecordingSink::raiseReports() const {
    if (reports.empty()) return;
    if (reports.front().outOfMemory) throw std::bad_alloc();
    throw py::value_error(reports.front().text);
}

namespace {

std::vector<RestoredChain> heldChains(const ChainsHeader& chains) {
    std::vector<RestoredChain> held;
    for (std::size_t c = 0; c < chains.wPretenders; ++c) {
        const auto n = static_cast<std::size_t>(
            std::clamp<int32_t>(chains.pulsesQuantity(c), 0, chains.wMaxPulses));
        const auto first = [n](std::span<const int16_t> row) {
            return std::vector<int16_t>(row.begin(), row.begin() + n);
        };
        const std::vector<int16_t> positions = first(chains.positionsList(c));
        held.push_back({chains.distance(c),
                        first(chains.pulsesList(c)),
                        {positions.begin(), positions.end()},
                        first(chains.cutStartsList(c)),
                        first(chains.cutEndsList(c))});
    }
    return held;
}

// The unknown count over the whole recording, in one pass.
Restored restoreWhole(std::span<const int16_t> samples, const RestoringCall& call,
                      RecordingTask task) {
    RecordingChainRequest request;
    request.samples = samples;
    request.alphabet = call.alphabet;
    request.etalons = call.list;
    request.geometry = {call.tmin, call.tmax};
    request.processingLevel = call.processingLevel;
    request.task = task;
    request.stop = call.stop;
    request.progress = call.progress;
    // The baseline holds its candidates: at most every position.
    const std::size_t need = call.matchedFilter
                                 ? recordingMatchedFilterMemoryNeed(request, samples.size())
                                 : recordingChainMemoryNeed(request);
    const MemoryBudget budget = memoryBudget(call.memoryLimit, "memory_limit");
    if (need > budget.bytes)
        throw MemoryRefused("Restoring the recording needs " + std::to_string(need >> 20) +
                            " MB of memory besides its samples, but " +
                            std::to_string(budget.bytes >> 20) + " MB is available (" +
                            budget.source + ")");
    RecordingChainResult result;
    try {
        result = call.matchedFilter ? matchedFilterOverRecording(request)
                                    : restoreRecordingChain(request);
    } catch (const RecordingRefused& refused) {
        throw py::value_error(refused.what());
    }
    Restored out;
    for (const RecordingChain& chain : result.chains) {
        RestoredChain c;
        c.criterion = chain.criterion;
        for (const RecordingPulse& p : chain.pulses) {
            c.etalons.push_back(static_cast<int16_t>(p.etalon));
            c.positions.push_back(p.position);
            c.cutStarts.push_back(static_cast<int16_t>(p.cutStart));
            c.cutEnds.push_back(static_cast<int16_t>(p.cutEnd));
        }
        out.chains.push_back(std::move(c));
    }
    // As the series procedures return: 1 after a detection, the recognised
    // etalon (65535 for none) after a recognition.
    out.returned = task == RecordingTask::Detection ? 1
                   : result.chains.empty()          ? 65535
                                                    : result.chains[0].etalon;
    return out;
}

}  // namespace

Restored restoreSamples(std::span<const int16_t> samples, const RestoringCall& call) {
    RecordingSink sink;
    const std::vector<PulseHeader> fitted = io::listedEtalons(call.alphabet, call.list);
    const RestoringProcedure chosen = chooseRestoringProcedure(
        call.task, io::recordingSeriesType(call.pulses.has_value(), call.processingLevel));
    // The matched filter, too, takes single pulses of an unknown count whole.
    const bool plain = !call.pulses && !readsPattern(chosen) && !readsPatterns(chosen) &&
                       chosen != RestoringProcedure::None;
    const bool longer = samples.size() > io::kMostRecordingSamples;
    const bool wideTmax = !call.recordingTmax || *call.recordingTmax > io::kMostRecordingSamples;
    if (wideTmax && !plain)
        throw py::value_error(
            "tmax: only an unknown count of single pulses takes a tmax past 32767 or None");
    if (plain && (wideTmax || io::seriesCannotHold(samples, fitted, call.tmin, call.tmax)))
        return restoreWhole(samples, call,
                            chosen == RestoringProcedure::RecognizeUnknownNumberChain
                                ? RecordingTask::Recognition
                                : RecordingTask::Detection);
    if (longer)
        throw py::value_error("samples: " + std::to_string(samples.size()) +
                              " samples, and a known count (pulses=) or tuples take at most "
                              "32,767 (positions are 16-bit); the unknown count works at any "
                              "length");
    io::RecordingProcessing how;
    how.tmin = call.tmin;
    how.tmax = call.tmax;
    how.pulses = call.pulses;
    how.processingLevel = call.processingLevel;
    how.alphabet = call.alphabet;
    how.fitted = fitted;
    io::RecordingRefusal refusal;
    auto series = io::seriesFromRecording(sink, samples, how, refusal);
    if (refusal.refused()) {
        const bool count = refusal.reason == io::RecordingRefusal::Reason::PulseCount;
        throw py::value_error((count ? "pulses: " : "samples: ") + refusal.text);
    }
    if (!series) throw std::bad_alloc();

    const SeriesCode type = io::recordingSeriesType(call.pulses.has_value(), call.processingLevel);
    const RestoringProcedure procedure = chooseRestoringProcedure(call.task, type);
    if (call.matchedFilter && !matchedFilterRestores(procedure))
        throw py::value_error("method: the matched filter restores single pulses, not tuples");
    if (!call.patterns.empty() &&
        !storePatterns(sink, call.patterns, call.pick, 4, 1, series.get()))
        sink.raiseReports();
    // The procedure reads the patterns as the record stores them.
    std::vector<std::vector<int32_t>> stored;
    for (std::size_t g = 0; g < series->wSubsets; ++g) {
        const auto row = series->storedSubset(g);
        stored.emplace_back(row.begin(), row.end());
    }
    const std::vector<std::span<const int32_t>> patterns(stored.begin(), stored.end());

    const uint16_t room =
        std::max(series->wMaxPulses,
                 pulseCountBounds(series->dwSeriesSize, series->wImpulseSize, call.tmin, call.tmax)
                     .maxPulses);
    auto chains = getChainsHeader(sink, 10, room, nullptr);
    if (!chains) sink.raiseReports();
    RestoringRequest request;
    request.alphabet = call.alphabet;
    request.etalons = call.list;
    request.pattern = call.pattern;
    request.patterns = patterns;
    request.tmin = call.tmin;
    request.tmax = call.tmax;
    request.processingLevel = call.processingLevel;
    request.proceeding = call.proceeding;
    request.chains = chains.get();
    request.series = series.get();
    // Tables made afresh on every call cost more in page faults than the
    // procedure takes on the default geometry, so each calling thread keeps
    // its own between calls; a run past RestoringWork's retained size gives
    // them back when it ends.
    thread_local RestoringWork work;
    request.work = &work;
    const std::size_t need = call.matchedFilter ? matchedFilterMemoryNeed(request)
                                                : restoringMemoryNeed(procedure, request);
    // Reading the kernel's figure takes longer than restoring a short series,
    // so small work is held only to the limits the user set.
    constexpr std::size_t kSmallWork = std::size_t{16} << 20;
    const MemoryBudget budget =
        memoryBudget(call.memoryLimit, "memory_limit",
                     need <= kSmallWork ? std::optional<std::string>("") : std::nullopt);
    if (call.matchedFilter) {
        const std::string problem = matchedFilterBudgetProblem(request, budget);
        if (!problem.empty()) throw MemoryRefused(problem);
    } else if (need > budget.bytes) {
        const BudgetFit fit = fitRestoring(procedure, request, need, budget.bytes);
        throw MemoryRefused(budgetRefusal("Restoring the series", fit, budget));
    }
    const int returned = call.matchedFilter ? runMatchedFilter(sink, procedure, request)
                                            : runRestoringProcedure(sink, procedure, request);
    sink.raiseReports();
    return {heldChains(*chains), returned};
}

}  // namespace etalon::python
