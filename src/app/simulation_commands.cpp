// The commands of the statistical simulation: its ranges, the run behind a
// progress dialog, the statistics view and the table export.
#include "app/simulation_commands.h"

#include <oneapi/tbb/task_arena.h>

#include <atomic>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <new>
#include <span>
#include <string>

#include "app/main_menu.h"
#include "app/series_commands.h"
#include "dialogs/simulation_dialogs.h"
#include "export/atomic_file.h"
#include "graphs/stat_plot_text.h"
#include "series/series_generator.h"
#include "simulation/simulation_grid.h"
#include "simulation/simulation_table.h"
#include "simulation/stat_cutoff_varnel.h"

namespace etalon {

namespace {

std::string parameterSummary(const AppState& s) {
    std::string text;
    const auto add = [&text](const char* format, auto... values) {
        char line[160];
        std::snprintf(line, sizeof line, format, values...);
        text += line;
    };
    add("Create series parameters:\n");
    add("длина серии: %d\n", int(s.dwSeriesLength));
    add("wTmin: %d\n", int(s.wTmin));
    add("wTmax: %d\n", int(s.wTmax));
    add("длина эталона: %d\n", int(s.wEtalonLength));
    add("MinPulses: %d -> %d\n", int(s.wDlgMinPulses), int(s.wMinPulses));
    add("MaxPulses: %d -> %d\n", int(s.wDlgMaxPulses), int(s.wMaxPulses));
    add("\n");
    add("pulses: %d, from %d to %d incr %d \n", int(s.wPulsesSteps), int(s.wMinPulses),
        int(s.wMaxPulses), int(s.wPulsesIncrement));
    add("noise level: from %d to %d incr %d\n", int(s.wNoiseInitial), int(s.wNoiseSteps),
        int(s.wNoiseIncrement));
    add("number of repeats: %d\n", int(s.wRepeats));
    return text;
}

}  // namespace

namespace commands {

// Declared ahead: each follows the command that calls it.
static void runSimulation(CommandContext& ctx, std::unique_ptr<SeriesHeader> series);
static void noteUnusableUpperBound(CommandContext& ctx, double bound);

// 40012: the ranges, a summary, the records, the run, then the plots.
void statisticalSimulation(CommandContext& ctx) {
    AppState& s = ctx.state;
    s.wLostLevel = s.wNewLostLevel;
    s.wMakingLevel = s.wNewMakingLevel;
    s.wProcessingLevel = s.wNewProcessingLevel;
    ctx.host.sendCommand(kCmdLocationParameters);
    if (!s.bDialogAccepted) return;
    ctx.sink.show(parameterSummary(s), "getPulseEstAsRepeats", MessageIcon::None);
    // The run sizes and fills a copy: the window's series stays as it is
    // until a run completes, so Cancel has nothing to give back.
    const auto refuse = [&ctx] {
        ctx.sink.show("Не могу выделить память для lpCutOffSeriesHeader!",
                      " About getCutOffSeriesHeader ", MessageIcon::Warning);
    };
    std::unique_ptr<SeriesHeader> series;
    try {
        if (s.lpSeriesHeader) series = std::make_unique<SeriesHeader>(*s.lpSeriesHeader);
    } catch (const std::bad_alloc&) {
        refuse();
        return;
    }
    series = getCutOffSeriesHeader(ctx.sink, s.wEtalonsNumber, s.wEtalonLength, s.wTmin, s.wTmax,
                                   s.dwSeriesLength, std::move(series));
    if (!series) {
        refuse();
        return;
    }
    runSimulation(ctx, std::move(series));
}

// Runs on copies: only a complete run replaces the error record, the series
// record and the streams, so Cancel leaves the previous simulation showable.
static void runSimulation(CommandContext& ctx, std::unique_ptr<SeriesHeader> series) {
    AppState& s = ctx.state;
    auto errors = getRestErrHeader(ctx.sink, s.wPulsesSteps, s.wNoiseSteps, s.wRepeats, nullptr);
    if (!errors) {
        ctx.sink.show("Нет RestoreErrorHeader!", " About RestoreErrorHeader ", MessageIcon::None);
        return;
    }
    if (!initRestErrHeader(ctx.sink, s.wPulsesSteps, s.wMinPulses, s.wPulsesIncrement,
                           s.wNoiseSteps, s.wNoiseInitial, s.wNoiseIncrement, s.wRepeats,
                           errors.get())) {
        ctx.sink.show("Ошибка initRestErrHeader!", " About RestoreErrorHeader ", MessageIcon::None);
        return;
    }
    RandomStreams streams = s.streams;
    int32_t debugging = s.bDebuggingRepeat;
    SimulationRun run;
    run.alphabet = {s.alphabet.data(), s.wEtalonsNumber};
    run.etalonsNumber = s.wEtalonsNumber;
    run.requiredList = {s.lpRequiredList.data(),
                        std::min<std::size_t>(s.wRequiredCount, s.lpRequiredList.size())};
    run.seriesType = s.wSeriesType;
    run.effectiveTask = s.wEffectiveTask;
    run.makingLevel = s.wMakingLevel;
    run.processingLevel = s.wProcessingLevel;
    run.amplitude = static_cast<int16_t>(s.wPulseAmplitude);
    run.subsetProceeding = s.wSubsetProceeding;
    run.debuggingRepeat = &debugging;
    // The matched filter is scored beside the exact procedure; a completed run
    // hands back its grid, shaped as the exact one. The tuples tasks have none
    // and run as they always did.
    std::unique_ptr<RestErrorHeader> baseline;
    if (s.bCompareMatchedFilter && baselineApplies(run))
        baseline = std::make_unique<RestErrorHeader>();
    const SimulationRecords records{errors.get(), series.get(), &streams, baseline.get()};

    // Set-up refusals are shown after the dialog has closed.
    CollectingSink setup;
    auto setupSink = setup.forItem(0);
    SimulationResult result;
    const uint32_t total = simulationSeriesCount(*errors);
    // The run has every core; it reports whatever its steps or workers throw
    // and never lets it out onto the progress thread.
    tbb::task_arena everyCore;
    const MemoryBudget budget = memoryBudget(std::nullopt, "");
    const bool finished = ctx.host.runWithProgress(
        " Statistical Simulation", total, [&](platform::ProgressChannel& channel) {
            SimulationOptions options;
            options.arena = &everyCore;
            // The dialog's own flag: the restorations in progress poll it too.
            options.cancel = &channel.cancelFlag();
            options.procedures = &ctx.procedures;
            options.memoryBudget = &budget;
            options.progress = [&](uint32_t done) { channel.report(done); };
            result = statCutoffVarnel(setupSink, run, records, options);
        });
    for (const auto& m : setup.messages())
        ctx.sink.show(m.text, m.caption, m.icon);
    showSeriesReports(ctx.sink, result);
    if (!finished || !result.completed()) return;

    if (s.lpSeriesHeader) {
        *s.lpSeriesHeader = std::move(*series);
    } else {
        s.lpSeriesHeader = std::move(series);
    }
    s.bSeriesWithoutTruth = 0;
    s.longRecording.reset();
    s.streams = streams;
    s.bDebuggingRepeat = debugging;
    s.lpRestErrorHeader = std::move(errors);
    s.lpBaselineErrorHeader = std::move(baseline);  // none when this run did not compare
    s.simulationStartTime = result.startTime;
    s.simulationEndTime = result.endTime;
    ctx.host.enableMenuItem(kCmdShowStatSimulation, true);
    ctx.host.sendCommand(kCmdShowStatSimulation);
}

// kCmdLocationParameters: dialogs 105 and 110; false when either was cancelled.
bool locationParameters(CommandContext& ctx) {
    AppState& s = ctx.state;
    ctx.host.sendCommand(kCmdSeriesParameters);
    if (!s.bDialogAccepted) return false;
    const PulseCountBounds bounds =
        pulseCountBounds(s.dwDlgSeriesLength, s.wEtalonLength, s.wDlgTmin, s.wDlgTmax);
    // A least count of 0 is shown as 1, the least a run can use.
    s.wDlgMinPulses = std::max<uint16_t>(bounds.minPulses, 1);
    s.wDlgMaxPulses = bounds.maxPulses;
    if (s.bFirstLocation) {
        growEtalonSequence(s, s.wMaxPulses);
        std::fill_n(s.lpEtalonSequence.begin(), s.wMaxPulses,
                    static_cast<uint16_t>(s.nDefaultEtalon));
        s.bFirstLocation = 0;
    }

    LocationParametersValues values;
    values.dlgMinPulses = s.wDlgMinPulses;
    values.dlgMaxPulses = s.wDlgMaxPulses;
    values.pulsesIncrement = s.wPulsesIncrement;
    values.noiseInitial = s.wNoiseInitial;
    values.noiseSteps = s.wNoiseSteps;
    values.noiseIncrement = s.wNoiseIncrement;
    values.repeats = s.wRepeats;
    values.geometryMaxPulses = bounds.maxPulses;
    values.maxNoiseLevel = maxNoiseLevelFor(static_cast<int16_t>(s.wPulseAmplitude));
    ctx.host.runDialog(kDialogLocationParameters, locationParametersTemplate(),
                       locationParametersProcedure(values));
    s.bDialogAccepted = values.accepted;
    if (!values.accepted) return false;
    s.wDlgMinPulses = values.dlgMinPulses;
    s.wDlgMaxPulses = values.dlgMaxPulses;
    s.wPulsesIncrement = values.pulsesIncrement;
    s.wNoiseInitial = values.noiseInitial;
    s.wNoiseSteps = values.noiseSteps;
    s.wNoiseIncrement = values.noiseIncrement;
    s.wRepeats = values.repeats;

    s.dwNewSeriesLength = s.dwSeriesLength = s.dwDlgSeriesLength;
    s.wTmin = s.wDlgTmin;
    s.wTmax = s.wDlgTmax;
    s.wMakingLevel = s.wDlgMakingLevel;
    s.wProcessingLevel = s.wDlgProcessingLevel;
    s.wMinPulses = s.wDlgMinPulses;
    s.wMaxPulses = s.wDlgMaxPulses;
    growEtalonSequence(s, s.wMaxPulses);
    const PulseGrid grid = pulseGridFor(s.wMinPulses, s.wMaxPulses, s.wPulsesIncrement);
    s.wPulsesIncrement = grid.increment;
    s.wPulsesSteps = grid.steps;
    return true;
}

// 40015: the plots of the last complete simulation.
void showStatisticalSimulation(CommandContext& ctx) {
    AppState& s = ctx.state;
    if (!s.lpRestErrorHeader || !s.lpRestErrorHeader->ifComplete) return;
    s.wMainView = MainView::Statistics;
    StatisticsViewValues values;
    values.errorKind = s.nErrorKind;
    values.viewCase = s.nViewCase;
    values.fixedUpperBound = s.bFixedUpperBound;
    values.upperBound = s.dUpperBound;
    values.boundsIncluded = s.bBoundsIncluded;
    if (s.wTaskType == TaskCode::Recognition) {
        ctx.host.runDialog(kDialogRecognitionStatisticsView, recognitionStatisticsViewTemplate(),
                           recognitionStatisticsViewProcedure(values));
    } else {
        ctx.host.runDialog(kDialogStatisticsView, statisticsViewTemplate(),
                           statisticsViewProcedure(values));
    }
    if (values.fixedUpperBound) noteUnusableUpperBound(ctx, values.upperBound);
    s.nErrorKind = values.errorKind;
    s.nViewCase = values.viewCase;
    s.bFixedUpperBound = values.fixedUpperBound;
    s.dUpperBound = values.upperBound;
    s.bBoundsIncluded = values.boundsIncluded;
    s.nStatPlotMode = statPlotMode(s.nErrorKind, s.nViewCase, s.bBoundsIncluded != 0);
    ctx.repaintGraphArea(true);
    ctx.repaintButtonColumn();
    s.bRepaintButtons = 0;
    ctx.repaintFlaggedSelectors();
    s.nDisplayMode = DisplayMode::Results;
}

// A fixed bound the plot cannot use as it stands is kept, and the user told
// what the plot does with it instead.
static void noteUnusableUpperBound(CommandContext& ctx, double bound) {
    char text[200];
    if (bound <= 0) {
        std::snprintf(text, sizeof text,
                      "The fixed upper bound %g is not above 0, so the plot ignores it and "
                      "chooses its own top.",
                      bound);
    } else if (bound > kLargestUpperBound) {
        std::snprintf(text, sizeof text,
                      "The fixed upper bound %g is above %g, the largest the plot takes, so the "
                      "plot is drawn up to %g.",
                      bound, kLargestUpperBound, kLargestUpperBound);
    } else {
        return;
    }
    ctx.sink.show(text, " Show Statistical Simulation", MessageIcon::Information);
}

// 40034: the grid of the last complete simulation as CSV, all or nothing.
void exportSimulationTable(CommandContext& ctx) {
    const RestErrorHeader* errors = ctx.state.lpRestErrorHeader.get();
    if (!errors || !errors->ifComplete) {
        ctx.sink.show("There is no complete statistical simulation to export yet.",
                      " Export simulation table ", MessageIcon::Information);
        return;
    }
    const auto chosen = ctx.host.askSaveFile("Simulation Table File Name", {"CSV Files (*.csv)"});
    if (!chosen || chosen->name.empty()) return;
    std::filesystem::path path(chosen->name);
    if (!path.has_extension()) path += ".csv";
    const std::string csv = simulationTableCsv(*errors);
    const FileWriteResult written = writeFileAtomically(
        path, std::span(reinterpret_cast<const uint8_t*>(csv.data()), csv.size()));
    if (!written.ok()) {
        ctx.sink.show("The table could not be written to " + path.string() + ": " +
                          std::strerror(written.errorNumber) + ". Nothing was changed on disk.",
                      " Export simulation table ", MessageIcon::Warning);
    }
}

}  // namespace commands
}  // namespace etalon
