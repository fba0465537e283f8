#include "simulation/run_setup.h"

#include <oneapi/tbb/task_arena.h>

#include <algorithm>
#include <string>

#include "base/allocation.h"
#include "base/memory_budget.h"
#include "processing/matched_filter.h"
#include "processing/task_codes.h"
#include "series/series_codes.h"
#include "simulation/restoring_budget.h"

namespace etalon {

namespace {

constexpr const char* kDriverCaption = " About statCutoffVarnel ";
constexpr const char* kSubsetCaption = " About selectedSubset ";
constexpr const char* kChainsCaption = " About ChainsHeader ";
constexpr uint16_t kResultSlots = 10;

bool needsTuples(const SimulationRun& run) {
    return isTuplesSeries(run.seriesType) || run.effectiveTask == TaskCode::TuplesDetection ||
           run.effectiveTask == TaskCode::TuplesRecognition;
}

bool listIsValid(const SimulationRun& run) {
    const std::size_t etalons = std::min<std::size_t>(run.etalonsNumber, run.alphabet.size());
    return std::all_of(run.requiredList.begin(), run.requiredList.end(),
                       [&](uint16_t e) { return e >= 1 && e <= etalons; });
}

bool prepareTuples(MessageSink& sink, const SimulationRun& run, const SeriesHeader& series,
                   RunSetup& setup) {
    const uint16_t m = series.wSubsetLength;
    if (m == 0) {
        sink.show("Error: selected Subset is absence!", kSubsetCaption, MessageIcon::None);
        return false;
    }
    if (!allocateBuffer(setup.pattern, m)) {
        sink.show("Ошибка selectedSubset!", kSubsetCaption, MessageIcon::None);
        return false;
    }
    const std::size_t kept = std::min<std::size_t>(m, series.lpSelectedSubset.size());
    std::copy_n(series.lpSelectedSubset.begin(), kept, setup.pattern.begin());
    if (run.effectiveTask != TaskCode::TuplesRecognition) return true;

    const uint16_t stored = static_cast<uint16_t>(
        std::min<std::size_t>(series.wSubsets, series.selectedSubsetList.size()));
    if (stored == 0) {
        // The repeats are shared out over the stored subsets: none leaves nothing to run.
        sink.show("Error: reserved subsets are absence!", kDriverCaption, MessageIcon::None);
        return false;
    }
    setup.storedSubsets = stored;
    setup.storedLists.resize(stored);
    for (uint16_t s = 0; s < stored; ++s) {
        const std::span<const int16_t> row = series.storedSubset(s);
        setup.storedLists[s].assign(row.begin(), row.end());
    }
    setup.patterns.assign(setup.storedLists.begin(), setup.storedLists.end());
    return true;
}

// The largest need of one series over the grid's pulse counts; with the
// probe the refusal's suggestions are made from.
std::size_t seriesMemoryNeed(const SimulationRun& run, const RunSetup& setup,
                             const RestErrorHeader& errors, RestoringRequest& request,
                             SeriesHeader& probe) {
    probe.dwSeriesSize = setup.seriesLength;
    probe.wImpulseSize = setup.pulseLength;
    request.alphabet = run.alphabet;
    request.etalons = run.requiredList;
    request.pattern = setup.pattern;
    request.patterns = setup.patterns;
    request.tmin = setup.tmin;
    request.tmax = setup.tmax;
    request.proceeding = run.subsetProceeding;
    request.series = &probe;
    std::size_t need = 0;
    for (const int16_t pulses : errors.wPulseValues()) {
        const auto q = static_cast<uint16_t>(std::max<int16_t>(pulses, 0));
        probe.wImpulseQuantity = std::max(probe.wImpulseQuantity, q);
        need = std::max(need, geometryMemoryNeed(setup.procedure, request, setup.seriesLength, q));
    }
    // The baseline runs after the exact procedure, whose tables the worker keeps.
    if (setup.baseline)
        need +=
            matchedFilterMemoryNeed(setup.seriesLength, setup.pulseLength, run.requiredList.size());
    return need;
}

}  // namespace

std::optional<RunSetup> prepareRun(MessageSink& sink, const SimulationRun& run,
                                   const SimulationRecords& records, RestErrorHeader& errors) {
    RunSetup setup;
    const SeriesHeader& series = *records.series;
    if (run.requiredList.empty()) {
        sink.show("Empty list of etalons!", kDriverCaption, MessageIcon::None);
        return std::nullopt;
    }
    if (!listIsValid(run)) {
        sink.show("Wrong etalon number in the list of etalons!", kDriverCaption, MessageIcon::None);
        return std::nullopt;
    }
    setup.tmin = series.wTmin;
    setup.tmax = series.wTmax;
    const uint16_t maxP = series.wMaxPulses;

    auto chains = getChainsHeader(sink, kResultSlots, maxP, nullptr);
    if (!chains) {
        sink.show("Error getChainsHeader!", kChainsCaption, MessageIcon::None);
        return std::nullopt;
    }
    if (!addToChainsHeader(sink, run.seriesType, run.effectiveTask, run.makingLevel,
                           run.processingLevel, chains.get())) {
        sink.show("Error addToChainsHeader!", kChainsCaption, MessageIcon::None);
        return std::nullopt;
    }
    setup.chains = *chains;
    if (!addInitRestErrHeader(sink, run.seriesType, run.effectiveTask, run.makingLevel,
                              run.processingLevel, &errors)) {
        sink.show("Ошибка addInitRestErrHeader!", " About RestoreErrorHeader ", MessageIcon::None);
        return std::nullopt;
    }
    // The procedures read n entries of the sequence and the grid may ask for
    // more pulses than the series allows: room for all of them.
    const std::span<const int16_t> counts = errors.wPulseValues();
    const int largestCount = counts.empty() ? 0 : *std::max_element(counts.begin(), counts.end());
    setup.workSize = std::max<std::size_t>(
        {maxP, run.requiredList.size(), static_cast<std::size_t>(std::max(largestCount, 0))});
    std::vector<uint16_t> probe;
    if (!allocateBuffer(probe, setup.workSize)) {
        sink.show("Ошибка lpEtalonNumbersList!", kDriverCaption, MessageIcon::None);
        return std::nullopt;
    }
    if (needsTuples(run) && !prepareTuples(sink, run, series, setup)) return std::nullopt;

    setup.seriesLength = series.dwSeriesSize;
    setup.pulseLength = run.alphabet[run.requiredList[0] - 1].wSize;
    setup.repeats = static_cast<uint16_t>(errors.repeats);
    setup.procedure = chooseRestoringProcedure(run.effectiveTask, run.seriesType);
    if (records.baseline) {
        if (!matchedFilterRestores(setup.procedure)) {
            sink.show("The matched filter restores single pulses only: this task has no baseline.",
                      kDriverCaption, MessageIcon::None);
            return std::nullopt;
        }
        setup.baseline = true;
    }
    return setup;
}

bool planMemory(MessageSink& sink, const SimulationRun& run, const SimulationOptions& options,
                const RestErrorHeader& errors, RunSetup& setup) {
    if (!options.memoryBudget) return true;
    const MemoryBudget& budget = *options.memoryBudget;
    RestoringRequest request;
    SeriesHeader probe;
    const std::size_t need = seriesMemoryNeed(run, setup, errors, request, probe);
    if (need > budget.bytes) {
        const BudgetFit fit = fitRestoring(setup.procedure, request, need, budget.bytes);
        sink.show(budgetRefusal("Restoring one series of the simulation", fit, budget),
                  kDriverCaption, MessageIcon::Warning);
        return false;
    }
    const std::size_t threads = static_cast<std::size_t>(
        options.arena ? options.arena->max_concurrency() : tbb::this_task_arena::max_concurrency());
    setup.seriesAtOnce = need > 0 ? budget.bytes / need : SIZE_MAX;
    if (setup.seriesAtOnce < threads) {
        sink.show("Restoring one series needs " + memoryText(need) + " of memory and " +
                      memoryText(budget.bytes) + " is " + budget.source + ": " +
                      std::to_string(setup.seriesAtOnce) + " of the " + std::to_string(threads) +
                      " threads restore at once.",
                  kDriverCaption, MessageIcon::Information);
    }
    return true;
}

}  // namespace etalon
