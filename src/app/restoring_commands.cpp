// Restoring on copies of the state, the undoable input around it, and the
// matched filter beside the exact procedures.
#include "app/restoring_commands.h"

#include <exception>
#include <optional>
#include <string>
#include <vector>

#include "app/main_menu.h"
#include "app/subset_handover.h"
#include "base/collecting_sink.h"
#include "base/memory_budget.h"
#include "processing/matched_filter.h"
#include "simulation/restoring_budget.h"

namespace etalon {
namespace {

std::span<const int32_t> selection(const SubsetPanelState& panel) {
    return {panel.selectedSubset.data(), static_cast<std::size_t>(panel.selectionCount)};
}

constexpr char kRestoringCaption[] = " Processing ";

// What one restoration reads and writes, copied out of the state so that the
// worker shares nothing with the window while it runs.
struct RestoringCopies {
    std::vector<PulseHeader> alphabet;
    std::vector<uint16_t> etalons;
    std::vector<int32_t> pattern;
    std::vector<std::vector<int32_t>> patterns;
    std::vector<std::span<const int32_t>> patternViews;
    std::optional<SeriesHeader> series;
    std::optional<ChainsHeader> chains;
    int32_t debugging = 0;
    bool failed = false;

    explicit RestoringCopies(const AppState& s)
        : alphabet(alphabetOf(s).begin(), alphabetOf(s).end()),
          etalons(workingSet(s).begin(), workingSet(s).end()),
          pattern(selection(s.subsetPanel).begin(), selection(s.subsetPanel).end()),
          debugging(s.bDebuggingRepeat) {
        for (const auto& tuple : reservedTuples(s.subsetPanel))
            patterns.emplace_back(tuple.begin(), tuple.end());
        patternViews.assign(patterns.begin(), patterns.end());
        if (s.lpSeriesHeader) series = *s.lpSeriesHeader;
        if (s.lpChainsHeader) chains = *s.lpChainsHeader;
    }

    RestoringRequest request() {
        RestoringRequest r;
        r.alphabet = alphabet;
        r.etalons = etalons;
        r.pattern = pattern;
        r.patterns = patternViews;
        r.debugging = &debugging;
        r.chains = chains ? &*chains : nullptr;
        r.series = series ? &*series : nullptr;
        return r;
    }

    void moveInto(AppState& s) {
        if (series && s.lpSeriesHeader) *s.lpSeriesHeader = std::move(*series);
        if (chains && s.lpChainsHeader) *s.lpChainsHeader = std::move(*chains);
        s.bDebuggingRepeat = debugging;
    }
};

}  // namespace

void runUndoableInput(AppState& state, const std::function<void()>& input) {
    state.bDropInput = 0;
    AppState before = state;
    input();
    if (state.bDropInput) state = std::move(before);
}

namespace commands {

// Returns false when nothing was restored: a tuples task had nothing to look
// for (the subset panel was opened instead), or the run was cancelled.
bool runProcedure(CommandContext& ctx) {
    AppState& s = ctx.state;
    const SubsetPanelState& panel = s.subsetPanel;
    const RestoringProcedure procedure = chooseRestoringProcedure(s.wEffectiveTask, s.wSeriesType);
    if (readsPattern(procedure) && panel.selectionCount == 0)
        ctx.host.sendCommand(kCmdSelectPulses);
    if (readsPatterns(procedure) && (panel.selectionCount == 0 || panel.reservedCount == 0))
        ctx.host.sendCommand(kCmdSelectPulses);
    if ((readsPattern(procedure) || readsPatterns(procedure)) && panel.selectionCount == 0)
        return false;

    // The procedure runs off the GUI thread on copies of all it reads and
    // writes, while the window repaints; only a completed run is taken over.
    RestoringCopies copies(s);
    RestoringRequest request = copies.request();
    request.tmin = s.wTmin;
    request.tmax = s.wTmax;
    request.processingLevel = s.wProcessingLevel;
    request.proceeding = s.wSubsetProceeding;

    // Refused before it starts rather than killed halfway.
    const MemoryBudget budget = memoryBudget(std::nullopt, "");
    const std::size_t need = restoringMemoryNeed(procedure, request);
    if (need > budget.bytes) {
        const BudgetFit fit = fitRestoring(procedure, request, need, budget.bytes);
        ctx.sink.show(budgetRefusal("Restoring the series", fit, budget), kRestoringCaption,
                      MessageIcon::Warning);
        s.bDropInput = 1;
        return false;
    }

    // Tables for this run alone; through them Cancel (or closing the window)
    // stops the procedure itself instead of waiting for it to finish.
    RestoringWork work;
    request.work = &work;
    CollectingSink reports;
    const bool finished =
        ctx.host.runWithProgress(kRestoringCaption, 0, [&](platform::ProgressChannel& channel) {
            auto sink = reports.forItem(0);
            if (channel.cancelled()) return;
            work.stop = &channel.cancelFlag();
            try {
                runRestoringProcedure(sink, procedure, request, ctx.procedures);
            } catch (const RestoringStopped&) {
                copies.failed = true;  // cancelled: the copies are dropped without a word
            } catch (const std::exception& e) {
                // Nothing may leave the worker thread; the run keeps nothing.
                sink.show(std::string("The restoration stopped: ") + e.what(), kRestoringCaption,
                          MessageIcon::Warning);
                copies.failed = true;
            }
        });
    if (!finished) {
        s.bDropInput = 1;
        return false;
    }
    for (const auto& m : reports.messages())
        ctx.sink.show(m.text, m.caption, m.icon);
    if (copies.failed) {
        s.bDropInput = 1;
        return false;
    }
    copies.moveInto(s);
    return true;
}

// " Compare with matched filter": later simulations score the matched filter
// too; the statistics show or hide its curves at once.
void compareMatchedFilter(CommandContext& ctx) {
    AppState& s = ctx.state;
    s.bCompareMatchedFilter = !s.bCompareMatchedFilter;
    ctx.host.checkMenuItem(kCmdCompareMatchedFilter, s.bCompareMatchedFilter != 0);
    if (s.nDisplayMode == DisplayMode::Results && s.wMainView == MainView::Statistics)
        ctx.repaintGraphArea(true);
}

// " Show matched filter pulses": turned on, the series already restored gets
// the matched filter's pulses at once.
void showMatchedFilterPulses(CommandContext& ctx) {
    AppState& s = ctx.state;
    s.bShowMatchedFilterPulses = !s.bShowMatchedFilterPulses;
    ctx.host.checkMenuItem(kCmdShowMatchedFilterPulses, s.bShowMatchedFilterPulses != 0);
    const ChainsHeader* run = s.lpChainsHeader.get();
    if (run && run->wState > 1)
        refreshMatchedFilterPulses(ctx,
                                   chooseRestoringProcedure(run->wEffectiveTask, run->wSeriesType));
    else
        s.lpBaselineSeriesHeader.reset();
    if (s.nDisplayMode == DisplayMode::Results && s.wMainView == MainView::SeriesGraph)
        ctx.repaintGraphArea(true);
}

// After a restoration by `procedure`, and while the pulses are to be shown:
// the matched filter restores a copy of the series, never the exact result.
// Cancel only leaves its pulses out.
void refreshMatchedFilterPulses(CommandContext& ctx, RestoringProcedure procedure) {
    AppState& s = ctx.state;
    s.lpBaselineSeriesHeader.reset();
    if (!s.bShowMatchedFilterPulses || !s.lpSeriesHeader || !matchedFilterRestores(procedure))
        return;
    RestoringCopies copies(s);
    RestoringRequest request = copies.request();
    request.chains = nullptr;  // the results record keeps the exact chains
    request.tmin = s.wTmin;
    request.tmax = s.wTmax;
    request.processingLevel = s.wProcessingLevel;
    // What it could refuse (etalons the alphabet lacks) the exact run has just said.
    CollectingSink quiet;
    int restored = 0;
    std::string stopped;
    const bool finished =
        ctx.host.runWithProgress(kRestoringCaption, 0, [&](platform::ProgressChannel& channel) {
            auto sink = quiet.forItem(0);
            if (channel.cancelled()) return;
            try {
                restored = runMatchedFilter(sink, procedure, request);
            } catch (const std::exception& e) {
                stopped = std::string("The matched filter stopped: ") + e.what();
            }
        });
    if (!stopped.empty()) ctx.sink.show(stopped, kRestoringCaption, MessageIcon::Warning);
    if (finished && restored)
        s.lpBaselineSeriesHeader = std::make_unique<SeriesHeader>(std::move(*copies.series));
}

}  // namespace commands
}  // namespace etalon
