// The series chain (working set, geometry, sequence, series, noise, process)
// and the task and series type choices.
#include "app/series_commands.h"

#include <algorithm>

#include "app/long_recording_commands.h"
#include "app/main_menu.h"
#include "app/recording_view.h"
#include "app/restoring_commands.h"
#include "dialogs/series_dialogs.h"
#include "series/series_generator.h"
#include "series/subsets.h"

namespace etalon {
namespace {

constexpr uint16_t kTaskItems[] = {kCmdDetection, kCmdRecognition, kCmdJointDetection,
                                   kCmdSeriesProcessing};
constexpr uint16_t kSeriesTypeItems[] = {kCmdFixedWhole,    kCmdUnfixedWhole, kCmdFixedCutoff,
                                         kCmdUnfixedCutoff, kCmdFixedTuples,  kCmdUnfixedTuples};

// Dialog 106 over what dialog 105 left; false when it was cancelled.
bool askSeriesStructure(CommandContext& ctx) {
    AppState& s = ctx.state;
    PulseCountBounds bounds =
        pulseCountBounds(s.dwDlgSeriesLength, s.wEtalonLength, s.wDlgTmin, s.wDlgTmax);
    s.wDlgMinPulses = std::max<uint16_t>(bounds.minPulses, 1);
    s.wDlgMaxPulses = bounds.maxPulses;
    s.wRequestedPulses = static_cast<uint16_t>((s.wDlgMinPulses + s.wDlgMaxPulses) / 2);

    if (s.lpEditedSequence.size() < s.wDlgMaxPulses) s.lpEditedSequence.assign(s.wDlgMaxPulses, 0);
    for (std::size_t i = 0; i < s.lpEditedSequence.size(); ++i) {
        s.lpEditedSequence[i] = i < s.lpEtalonSequence.size()
                                    ? s.lpEtalonSequence[i]
                                    : static_cast<uint16_t>(s.nDefaultEtalon);
    }

    SeriesStructureValues values;
    values.dlgMinPulses = s.wDlgMinPulses;
    values.dlgMaxPulses = s.wDlgMaxPulses;
    values.requestedPulses = s.wRequestedPulses;
    values.etalons = s.wEtalonsNumber;
    values.editedSequence = s.lpEditedSequence;
    values.noiseLevel = s.wNoiseLevel;
    values.maxNoiseLevel = maxNoiseLevelFor(static_cast<int16_t>(s.wPulseAmplitude));
    ctx.host.runDialog(kDialogSeriesStructure, seriesStructureTemplate(),
                       seriesStructureProcedure(values));
    s.bDialogAccepted = values.accepted;
    if (values.accepted) {
        s.wDlgPulses = values.dlgPulses;
        s.wDlgNoiseLevel = values.dlgNoiseLevel;
    }
    if (s.wDlgPulses < s.wDlgMinPulses || s.wDlgPulses > s.wDlgMaxPulses)
        s.wDlgPulses = static_cast<uint16_t>((s.wDlgMinPulses + s.wDlgMaxPulses) / 2);
    return values.accepted != 0;
}

// What the two dialogs hold becomes the series to make.
void applyCreatedSeries(CommandContext& ctx) {
    AppState& s = ctx.state;
    s.dwNewSeriesLength = s.dwDlgSeriesLength;
    s.wTmin = s.wDlgTmin;
    s.wTmax = s.wDlgTmax;
    s.nSelectedEtalon = s.nDefaultEtalon;
    s.wMakingLevel = s.wDlgMakingLevel;
    s.wProcessingLevel = s.wDlgProcessingLevel;
    s.wRequestedPulses = s.wDlgPulses;
    s.wNewNoiseLevel = s.wDlgNoiseLevel;
    s.wMinPulses = s.wDlgMinPulses;
    s.wMaxPulses = s.wDlgMaxPulses;

    if (s.lpEtalonSequence.size() < s.wMaxPulses) s.lpEtalonSequence.assign(s.wMaxPulses, 0);
    for (std::size_t i = 0; i < s.lpEtalonSequence.size(); ++i) {
        s.lpEtalonSequence[i] = i < s.lpEditedSequence.size()
                                    ? s.lpEditedSequence[i]
                                    : static_cast<uint16_t>(s.nDefaultEtalon);
    }
    s.lpChainsHeader = getChainsHeader(ctx.sink, 10, s.wMaxPulses, std::move(s.lpChainsHeader));
    s.bRepaintLength = s.bRepaintNoise = s.bRepaintLost = 1;
    s.nDisplayMode = DisplayMode::Results;
    if (s.wSeriesType == SeriesCode::FixedWhole) s.wSeriesType = SeriesCode::CreatedFixed;
    if (s.wSeriesType == SeriesCode::UnfixedWhole) s.wSeriesType = SeriesCode::CreatedUnfixed;
}

}  // namespace

bool keepsLoadedRecording(const AppState& state, CommandHost& host) {
    if (!state.bSeriesWithoutTruth || !state.lpSeriesHeader) return false;
    return !host.askYesNo("The series is the recording " + state.recordingName +
                              ". This command replaces it with a new series, and the "
                              "recording is not kept unless it was saved.\n\n"
                              "Replace the recording? No keeps it and does nothing.",
                          " Loaded series");
}

void growEtalonSequence(AppState& state, std::size_t entries) {
    if (state.lpEtalonSequence.size() < entries)
        state.lpEtalonSequence.resize(entries, static_cast<uint16_t>(state.nDefaultEtalon));
}

namespace commands {

// " New pulses... ": the working set typed as a list.
void newPulses(CommandContext& ctx) {
    AppState& s = ctx.state;
    if (s.lpRequiredList.empty() || s.wRequiredCount > s.wRequiredCapacity) {
        s.wRequiredCount = s.wEtalonsNumber;
        if (!getRequiredList(ctx.sink, s.wEtalonsNumber, s.lpRequiredList)) s.wRequiredCount = 0;
        s.wRequiredCapacity = s.wEtalonsNumber;
    }
    s.lpRequiredList.resize(s.wRequiredCapacity);

    RequiredListValues values;
    values.etalons = s.wEtalonsNumber;
    values.requiredCount = s.wRequiredCount;
    values.requiredList = s.lpRequiredList;
    ctx.host.runDialog(kDialogRequiredList, requiredListTemplate(), requiredListProcedure(values));
    s.bDialogAccepted = values.accepted;
    s.wRequiredCount = values.requiredCount;

    // Numbers that name no etalon (0 included) become the entry's own place.
    for (uint16_t i = 0; i < s.wRequiredCount; ++i) {
        if (s.lpRequiredList[i] == 0 || s.lpRequiredList[i] > s.wEtalonsNumber)
            s.lpRequiredList[i] = static_cast<uint16_t>(i + 1);
    }
    const auto before = s.selectedFlags;
    for (uint16_t k = 1; k <= s.wRequiredCapacity && k <= s.wEtalonsNumber; ++k) {
        const auto listed = workingSet(s);
        s.selectedFlags[k] = std::find(listed.begin(), listed.end(), k) != listed.end() ? 1 : 0;
    }
    ctx.repaintIfWorkingSetChanged(before);
}

// " Create series... ": dialogs 105 and 106, then a series from what they hold.
void createSeries(CommandContext& ctx) {
    ctx.host.sendCommand(kCmdSeriesParameters);
    if (!ctx.state.bDialogAccepted) return;
    const uint16_t keptRequested = ctx.state.wRequestedPulses;
    if (!askSeriesStructure(ctx)) {
        ctx.state.wRequestedPulses = keptRequested;
        return;
    }
    applyCreatedSeries(ctx);
    ctx.host.sendCommand(kCmdMakeSeries);
}

void chooseTask(CommandContext& ctx, uint16_t id) {
    AppState& s = ctx.state;
    for (uint16_t item : kTaskItems)
        ctx.host.checkMenuItem(item, item == id);
    switch (id) {
        case kCmdDetection:
            s.wTaskType = TaskCode::Detection;
            if (isTuplesSeries(s.wSeriesType)) {
                s.wEffectiveTask = TaskCode::TuplesDetection;
                return;
            }
            s.wEffectiveTask = TaskCode::Detection;
            {
                const auto before = s.selectedFlags;
                std::fill(s.selectedFlags.begin(), s.selectedFlags.end(), int16_t{0});
                if (s.nSelectedEtalon >= 1 && s.nSelectedEtalon <= s.wEtalonsNumber)
                    s.selectedFlags[s.nSelectedEtalon] = 1;
                rebuildRequiredList(s);
                ctx.repaintIfWorkingSetChanged(before);
            }
            return;
        case kCmdRecognition:
            s.wTaskType = s.wEffectiveTask = TaskCode::Recognition;
            if (isTuplesSeries(s.wSeriesType)) s.wEffectiveTask = TaskCode::TuplesRecognition;
            return;
        case kCmdJointDetection:
            s.wTaskType = s.wEffectiveTask = TaskCode::Joint;
            return;
        default:
            s.wTaskType = s.wEffectiveTask = TaskCode::SeriesProcessing;
            s.wMainView = MainView::SeriesGraph;
            ctx.host.sendCommand(kCmdNothing);
            return;
    }
}

void chooseSeriesType(CommandContext& ctx, uint16_t id) {
    for (uint16_t item : kSeriesTypeItems)
        ctx.host.checkMenuItem(item, item == id);
    switch (id) {
        case kCmdFixedWhole:
            ctx.state.wSeriesType = SeriesCode::FixedWhole;
            break;
        case kCmdUnfixedWhole:
            ctx.state.wSeriesType = SeriesCode::UnfixedWhole;
            break;
        case kCmdFixedCutoff:
            ctx.state.wSeriesType = SeriesCode::FixedCutoff;
            break;
        case kCmdUnfixedCutoff:
            ctx.state.wSeriesType = SeriesCode::UnfixedCutoff;
            break;
        case kCmdFixedTuples:
            ctx.state.wSeriesType = SeriesCode::FixedTuples;
            break;
        default:
            ctx.state.wSeriesType = SeriesCode::UnfixedTuples;
            break;
    }
    if (!isCutoffSeries(ctx.state.wSeriesType)) resetLevels(ctx.state);
}

// kCmdSeriesParameters: dialog 105, after making sure the working set and the singled-out
// etalon name something.
void seriesParameters(CommandContext& ctx) {
    AppState& s = ctx.state;
    const auto before = s.selectedFlags;
    if (s.wRequiredCount == 0) {
        s.wRequiredCount = 1;
        if (s.lpRequiredList.empty()) s.lpRequiredList.resize(s.wRequiredCapacity);
        s.lpRequiredList[0] = 1;
        growEtalonSequence(s, 1);
        s.lpEtalonSequence[0] = 1;
        s.nSelectedEtalon = 1;
        s.selectedFlags[1] = 1;
    }
    ctx.repaintIfWorkingSetChanged(before);
    const bool selectedValid = s.nSelectedEtalon >= 1 && s.nSelectedEtalon <= s.wEtalonsNumber;
    if (!selectedValid || s.selectedFlags[s.nSelectedEtalon] == 0) {
        for (uint16_t k = 1; k <= s.wEtalonsNumber; ++k) {
            if (s.selectedFlags[k] == 1) {
                s.nSelectedEtalon = k;
                break;
            }
        }
    }

    SeriesGeometryValues values;
    values.seriesLength = s.dwSeriesLength;
    values.tmin = s.wTmin;
    values.tmax = s.wTmax;
    values.makingLevel = s.wMakingLevel;
    values.processingLevel = s.wProcessingLevel;
    values.selectedEtalon = s.nSelectedEtalon;
    values.pulseLength = s.wEtalonLength;
    values.etalons = s.wEtalonsNumber;
    ctx.host.runDialog(kDialogSeriesGeometry, seriesGeometryTemplate(),
                       seriesGeometryProcedure(values));
    s.bDialogAccepted = values.accepted;
    if (!values.accepted) return;
    s.dwDlgSeriesLength = values.dlgSeriesLength;
    s.wDlgTmin = values.dlgTmin;
    s.wDlgTmax = values.dlgTmax;
    s.wDlgMakingLevel = values.dlgMakingLevel;
    s.nDefaultEtalon = values.defaultEtalon;
    s.wDlgProcessingLevel = values.dlgProcessingLevel;
}

// kCmdNextSeries: a random etalon sequence drawn from the working set.
void nextSeries(CommandContext& ctx) {
    AppState& s = ctx.state;
    const auto set = workingSet(s);
    if (set.empty()) return;  // nothing to draw the sequence from
    s.wEffectiveTask = effectiveTask(s.wTaskType, s.wSeriesType);
    s.wSeriesPulses = s.wRequestedPulses;
    s.wMaxPulses =
        pulseCountBounds(s.dwNewSeriesLength, s.wEtalonLength, s.wTmin, s.wTmax).maxPulses;
    growEtalonSequence(s, s.wMaxPulses);
    for (uint16_t i = 0; i < s.wMaxPulses; ++i) {
        const int r = s.crtRandom.next();
        s.lpEtalonSequence[i] = set[static_cast<std::size_t>(r / 8) % set.size()];
    }
    ctx.host.sendCommand(kCmdNewGeometry);
}

// kCmdNewGeometry: bounds and pending levels taken over.
void newGeometry(CommandContext& ctx) {
    AppState& s = ctx.state;
    const PulseCountBounds bounds =
        pulseCountBounds(s.dwNewSeriesLength, s.wEtalonLength, s.wTmin, s.wTmax);
    s.wMinPulses = bounds.minPulses;
    s.wMaxPulses = bounds.maxPulses;
    s.wLostLevel = s.wNewLostLevel;
    s.wMakingLevel = s.wNewMakingLevel;
    s.wProcessingLevel = s.wNewProcessingLevel;
    if (s.wEffectiveTask == TaskCode::Detection || s.wEffectiveTask == TaskCode::Recognition) {
        // Detection and recognition look for one etalon repeated.
        growEtalonSequence(s, std::max<std::size_t>(s.wMaxPulses, 1));
        std::fill_n(s.lpEtalonSequence.begin(), s.wMaxPulses, s.lpEtalonSequence[0]);
    }
    ctx.host.sendCommand(kCmdMakeSeries);
}

// kCmdMakeSeries: the series from the sequence.
void makeSeries(CommandContext& ctx) {
    AppState& s = ctx.state;
    s.dwSeriesLength = s.dwNewSeriesLength;
    s.wSeriesPulses = s.wRequestedPulses;
    if (s.wRequestedPulses < s.wMinPulses || s.wRequestedPulses > s.wMaxPulses)
        s.wSeriesPulses = static_cast<uint16_t>((s.wMaxPulses + s.wMinPulses) / 2);
    s.wNoiseLevel = s.wNewNoiseLevel;

    const PulseCountBounds bounds =
        pulseCountBounds(s.dwSeriesLength, s.wEtalonLength, s.wTmin, s.wTmax);
    growEtalonSequence(s, std::max({s.wMaxPulses, s.wSeriesPulses, bounds.maxPulses}));
    const SeriesMade made = makeSeriesFromState(s, ctx.sink);
    if (made == SeriesMade::NoRecord) {
        ctx.sink.show("Не могу создать ряд!", "CM_INFO", MessageIcon::None);
        return;
    }
    // A generator that refused kept the old series: do not process it as new.
    if (made == SeriesMade::Refused) return;
    ctx.host.sendCommand(kCmdAddNoise);
}

// kCmdAddNoise: noise into the current series.
void addNoise(CommandContext& ctx) {
    addSeriesNoise(ctx.state.wNoiseLevel, static_cast<int16_t>(ctx.state.wPulseAmplitude),
                   ctx.state.lpSeriesHeader.get(), ctx.state.streams.wNoiseSeed);
    ctx.host.sendCommand(kCmdProcess);
}

// kCmdProcess: the procedure for the task and series type, then the record of the run.
void process(CommandContext& ctx) {
    AppState& s = ctx.state;
    if (!s.lpSeriesHeader) {
        ctx.sink.show("Не могу создать ряд!", "CM_INFO", MessageIcon::None);
        return;
    }
    if (shownLongRecording(s)) return processLongRecording(ctx);
    if (s.bSeriesWithoutTruth && s.lpSeriesHeader->wImpulseQuantity == 0 &&
        !isUnfixedSeries(s.wSeriesType)) {
        // The known-count procedures need the count a recording opened without one lacks.
        ctx.sink.show(
            "The pulse count of this recording is unknown: choose an unfixed series type, "
            "or open the recording again with its number of pulses.",
            " Processing", MessageIcon::Information);
        return;
    }
    if (!runProcedure(ctx)) return;
    if (!addToChainsHeader(ctx.sink, s.wSeriesType, s.wEffectiveTask, s.wMakingLevel,
                           s.wProcessingLevel, s.lpChainsHeader.get())) {
        ctx.sink.show("Ошибка addToChainsHeader!", " About ChainsHeader ", MessageIcon::None);
        return;
    }
    refreshMatchedFilterPulses(ctx, chooseRestoringProcedure(s.wEffectiveTask, s.wSeriesType));
    s.nDisplayMode = DisplayMode::Results;
    s.wMainView = MainView::SeriesGraph;
    ctx.host.sendCommand(kCmdResultsRepaint);
}

// kCmdSelectorPick: the three selector entries become the pending values.
void selectorPick(CommandContext& ctx) {
    applySelectorPicks(ctx.state);
    growEtalonSequence(ctx.state, ctx.state.wMaxPulses);
    ctx.host.invalidate(nullptr, true);
}

}  // namespace commands
}  // namespace etalon
