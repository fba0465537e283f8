#include "app/command_handler.h"

#include <algorithm>
#include <exception>
#include <optional>
#include <string>
#include <vector>

#include "app/main_menu.h"
#include "app/shown_views.h"
#include "base/collecting_sink.h"
#include "base/memory_budget.h"
#include "dialogs/series_dialogs.h"
#include "processing/matched_filter.h"
#include "series/series_generator.h"
#include "series/subsets.h"
#include "simulation/restoring_budget.h"

namespace etalon {
namespace {

constexpr uint16_t kTaskItems[] = {kCmdDetection, kCmdRecognition, kCmdJointDetection,
                                   kCmdSeriesProcessing};
constexpr uint16_t kSeriesTypeItems[] = {kCmdFixedWhole,    kCmdUnfixedWhole, kCmdFixedCutoff,
                                         kCmdUnfixedCutoff, kCmdFixedTuples,  kCmdUnfixedTuples};

std::span<const PulseHeader> alphabetOf(const AppState& s) {
    return {s.alphabet.data(), s.wEtalonsNumber};
}

std::span<const uint16_t> workingSet(const AppState& s) {
    return {s.lpRequiredList.data(),
            std::min<std::size_t>(s.wRequiredCount, s.lpRequiredList.size())};
}

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

std::vector<std::span<const int32_t>> reservedTuples(const SubsetPanelState& panel) {
    std::vector<std::span<const int32_t>> tuples;
    for (int32_t s = 0; s < panel.reservedCount && s < panel.kReservedCapacity; ++s) {
        const auto length = std::clamp<int32_t>(panel.selectedSubsetArraySize[s], 0,
                                                SubsetPanelState::kSelectionCapacity);
        tuples.emplace_back(panel.reservedSubsets[s].data(), static_cast<std::size_t>(length));
    }
    return tuples;
}

int storeReservedSubsets(MessageSink& sink, AppState& state) {
    const SubsetPanelState& panel = state.subsetPanel;
    const auto tuples = reservedTuples(panel);
    return addSomeSelectedSubsetToSeriesHeader(
        sink, std::span<const int32_t>(panel.selectedSubsetArraySize.data(), tuples.size()), tuples,
        SubsetPanelState::kReservedCapacity, SubsetPanelState::kSelectionCapacity,
        panel.pickedReserved, state.wSubsetEmployment, state.wSubsetInitPosition,
        state.lpSeriesHeader.get());
}

void handSelectionToSeries(AppState& state) {
    const SubsetPanelState& panel = state.subsetPanel;
    setSelectedSubset(std::span<const int32_t>(panel.selectedSubset.data(),
                                               static_cast<std::size_t>(panel.selectionCount)),
                      state.wSubsetEmployment, state.wSubsetInitPosition,
                      state.lpSeriesHeader.get());
}

bool keepsLoadedRecording(const AppState& state, CommandHost& host) {
    if (!state.bSeriesWithoutTruth || !state.lpSeriesHeader) return false;
    return !host.askYesNo("The series is the recording " + state.recordingName +
                              ". This command replaces it with a new series, and the "
                              "recording is not kept unless it was saved.\n\n"
                              "Replace the recording? No keeps it and does nothing.",
                          " Loaded series");
}

namespace {

// The menu commands that make a new series into the series record.
bool replacesSeries(uint16_t id) {
    switch (id) {
        case kCmdCreateSeries:
        case kCmdNextData:
        case kCmdFixedCase:
        case kCmdUnfixedCase:
        case kCmdRepeatDetection:
        case kCmdRepeatRecognition:
        case kCmdRepeatJoint:
        case kCmdRepeatSeriesProcessing:
        case kCmdStatSimulation:
            return true;
        default:
            return false;
    }
}

}  // namespace

void runUndoableInput(AppState& state, const std::function<void()>& input) {
    state.bDropInput = 0;
    AppState before = state;
    input();
    if (state.bDropInput) state = std::move(before);
}

void growEtalonSequence(AppState& state, std::size_t entries) {
    if (state.lpEtalonSequence.size() < entries)
        state.lpEtalonSequence.resize(entries, static_cast<uint16_t>(state.nDefaultEtalon));
}

CommandHandler::CommandHandler(AppState& state, const WindowLayout& layout, CommandHost& host,
                               MessageSink& sink, const RestoringProcedures& procedures)
    : state_(state), layout_(layout), host_(host), sink_(sink), procedures_(procedures) {}

void CommandHandler::onCommand(uint16_t id) {
    if (replacesSeries(id) && keepsLoadedRecording(state_, host_)) return;
    switch (id) {
        case kCmdNewPulses:
            return newPulses();
        case kCmdCreateSeries:
            return createSeries();
        case kCmdSelectPulses:
            state_.nDisplayMode = DisplayMode::SubsetPanel;
            return repaintGraphArea(true);
        case kCmdExit:
        case kCmdClose:
            return host_.close();
        case kCmdSameData:
            state_.wMainView = MainView::SeriesGraph;
            return host_.sendCommand(kCmdProcess);
        case kCmdNextData:
            state_.wMainView = MainView::SeriesGraph;
            return host_.sendCommand(kCmdNextSeries);
        case kCmdMoreDetails:
            return host_.sendCommand(kCmdProcess);
        case kCmdTypeMoreDetails:
            state_.bNoErase = 1;
            return host_.sendCommand(kCmdResultsRepaint);
        case kCmdFixedCase:
            state_.wSeriesType = SeriesCode::FixedWhole;
            return rerun(kCmdNextSeries);
        case kCmdUnfixedCase:
            state_.wSeriesType = SeriesCode::UnfixedWhole;
            return rerun(kCmdNextSeries);
        case kCmdRepeatDetection:
            state_.wTaskType = TaskCode::Detection;
            return rerun(kCmdNextSeries);
        case kCmdRepeatRecognition:
            state_.wTaskType = TaskCode::Recognition;
            return rerun(kCmdNextSeries);
        case kCmdRepeatJoint:
            state_.wTaskType = TaskCode::Joint;
            return rerun(kCmdNextSeries);
        case kCmdRepeatSeriesProcessing:
            state_.wTaskType = TaskCode::SeriesProcessing;
            return rerun(kCmdNextSeries);
        case kCmdDebuggingRepeat:
            state_.bDebuggingRepeat = 1;
            return rerun(kCmdProcess);
        case kCmdDetection:
        case kCmdRecognition:
        case kCmdJointDetection:
        case kCmdSeriesProcessing:
            return chooseTask(id);
        case kCmdFixedWhole:
        case kCmdUnfixedWhole:
        case kCmdFixedCutoff:
        case kCmdUnfixedCutoff:
        case kCmdFixedTuples:
        case kCmdUnfixedTuples:
            return chooseSeriesType(id);
        case kCmdNextSeries:
            return nextSeries();
        case kCmdRepaintAll:
            return host_.invalidate(nullptr, true);
        case kCmdNewGeometry:
            return newGeometry();
        case kCmdAddNoise:
            return addNoise();
        case kCmdProcess:
            return process();
        case kCmdSelectorPick:
            return selectorPick();
        case kCmdEtalonHighlight:
            return etalonHighlight();
        case kCmdGridRepaint:
            return gridRepaint();
        case kCmdSeriesParameters:
            return seriesParameters();
        case kCmdStatSimulation:
            return statisticalSimulation();
        case kCmdLocationParameters:
            locationParameters();
            return;
        case kCmdShowStatSimulation:
            return showStatisticalSimulation();
        case kCmdExportSimulationTable:
            return exportSimulationTable();
        case kCmdViewSeriesParameters:
            return viewSeriesParameters();
        case kCmdSubsetSettings:
            return subsetSettings();
        case kCmdDrawingSettings:
            return drawingSettings();
        case kCmdSaveImage:
            MakeSnapshot(host_, sink_);
            return;
        case kCmdMakeSeries:
            return makeSeries();
        case kCmdOpenSeries:
            return openSeries();
        case kCmdSaveSeries:
            return saveSeries();
        case kCmdExportResults:
            return exportResults();
        case kCmdCompareMatchedFilter:
            return compareMatchedFilter();
        case kCmdShowMatchedFilterPulses:
            return showMatchedFilterPulses();
        case kCmdOpenEtalons:
            return openEtalons();
        case kCmdSaveEtalons:
            return saveEtalons();
        case kCmdEtalonFromSeries:
            return etalonFromSeries();
        case kCmdResultsRepaint:
            return resultsRepaint();
        case kCmdSelectionRepaint:
            return invalidate(state_.subsetPanel.selectionAreaRect, true);
        case kCmdGraphRepaint:
            return repaintGraphArea(true);
        case kCmdGraphOverlay:
            return repaintGraphArea(false);
        case kCmdReservedRowsRepaint:
            return reservedRowsRepaint();
        default:
            return;  // kCmdNothing, 217, 219, 220 and kCmdElseCreateSeries do nothing
    }
}

void CommandHandler::rerun(uint16_t next) {
    state_.wMainView = MainView::SeriesGraph;
    host_.sendCommand(next);
}

// " New pulses... ": the working set typed as a list.
void CommandHandler::newPulses() {
    AppState& s = state_;
    if (s.lpRequiredList.empty() || s.wRequiredCount > s.wRequiredCapacity) {
        s.wRequiredCount = s.wEtalonsNumber;
        if (!getRequiredList(sink_, s.wEtalonsNumber, s.lpRequiredList)) s.wRequiredCount = 0;
        s.wRequiredCapacity = s.wEtalonsNumber;
    }
    s.lpRequiredList.resize(s.wRequiredCapacity);

    RequiredListValues values;
    values.etalons = s.wEtalonsNumber;
    values.requiredCount = s.wRequiredCount;
    values.requiredList = s.lpRequiredList;
    host_.runDialog(kDialogRequiredList, requiredListTemplate(), requiredListProcedure(values));
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
    repaintIfWorkingSetChanged(before);
}

// " Create series... ": dialogs 105 and 106, then a series from what they hold.
void CommandHandler::createSeries() {
    host_.sendCommand(kCmdSeriesParameters);
    if (!state_.bDialogAccepted) return;
    const uint16_t keptRequested = state_.wRequestedPulses;
    if (!askSeriesStructure()) {
        state_.wRequestedPulses = keptRequested;
        return;
    }
    applyCreatedSeries();
    host_.sendCommand(kCmdMakeSeries);
}

bool CommandHandler::askSeriesStructure() {
    AppState& s = state_;
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
    host_.runDialog(kDialogSeriesStructure, seriesStructureTemplate(),
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

void CommandHandler::applyCreatedSeries() {
    AppState& s = state_;
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
    s.lpChainsHeader = getChainsHeader(sink_, 10, s.wMaxPulses, std::move(s.lpChainsHeader));
    s.bRepaintLength = s.bRepaintNoise = s.bRepaintLost = 1;
    s.nDisplayMode = DisplayMode::Results;
    if (s.wSeriesType == SeriesCode::FixedWhole) s.wSeriesType = SeriesCode::CreatedFixed;
    if (s.wSeriesType == SeriesCode::UnfixedWhole) s.wSeriesType = SeriesCode::CreatedUnfixed;
}

void CommandHandler::chooseTask(uint16_t id) {
    AppState& s = state_;
    for (uint16_t item : kTaskItems)
        host_.checkMenuItem(item, item == id);
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
                repaintIfWorkingSetChanged(before);
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
            host_.sendCommand(kCmdNothing);
            return;
    }
}

void CommandHandler::chooseSeriesType(uint16_t id) {
    for (uint16_t item : kSeriesTypeItems)
        host_.checkMenuItem(item, item == id);
    switch (id) {
        case kCmdFixedWhole:
            state_.wSeriesType = SeriesCode::FixedWhole;
            break;
        case kCmdUnfixedWhole:
            state_.wSeriesType = SeriesCode::UnfixedWhole;
            break;
        case kCmdFixedCutoff:
            state_.wSeriesType = SeriesCode::FixedCutoff;
            break;
        case kCmdUnfixedCutoff:
            state_.wSeriesType = SeriesCode::UnfixedCutoff;
            break;
        case kCmdFixedTuples:
            state_.wSeriesType = SeriesCode::FixedTuples;
            break;
        default:
            state_.wSeriesType = SeriesCode::UnfixedTuples;
            break;
    }
    if (!isCutoffSeries(state_.wSeriesType)) resetLevels(state_);
}

// kCmdSeriesParameters: dialog 105, after making sure the working set and the singled-out
// etalon name something.
void CommandHandler::seriesParameters() {
    AppState& s = state_;
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
    repaintIfWorkingSetChanged(before);
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
    host_.runDialog(kDialogSeriesGeometry, seriesGeometryTemplate(),
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
void CommandHandler::nextSeries() {
    AppState& s = state_;
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
    host_.sendCommand(kCmdNewGeometry);
}

// kCmdNewGeometry: bounds and pending levels taken over.
void CommandHandler::newGeometry() {
    AppState& s = state_;
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
    host_.sendCommand(kCmdMakeSeries);
}

// kCmdMakeSeries: the series from the sequence.
void CommandHandler::makeSeries() {
    AppState& s = state_;
    s.dwSeriesLength = s.dwNewSeriesLength;
    s.wSeriesPulses = s.wRequestedPulses;
    if (s.wRequestedPulses < s.wMinPulses || s.wRequestedPulses > s.wMaxPulses)
        s.wSeriesPulses = static_cast<uint16_t>((s.wMaxPulses + s.wMinPulses) / 2);
    s.wNoiseLevel = s.wNewNoiseLevel;

    const PulseCountBounds bounds =
        pulseCountBounds(s.dwSeriesLength, s.wEtalonLength, s.wTmin, s.wTmax);
    growEtalonSequence(s, std::max({s.wMaxPulses, s.wSeriesPulses, bounds.maxPulses}));
    const SeriesMade made = makeSeriesFromState(s, sink_);
    if (made == SeriesMade::NoRecord) {
        sink_.show("Не могу создать ряд!", "CM_INFO", MessageIcon::None);
        return;
    }
    // A generator that refused kept the old series: do not process it as new.
    if (made == SeriesMade::Refused) return;
    host_.sendCommand(kCmdAddNoise);
}

// kCmdAddNoise: noise into the current series.
void CommandHandler::addNoise() {
    addSeriesNoise(state_.wNoiseLevel, static_cast<int16_t>(state_.wPulseAmplitude),
                   state_.lpSeriesHeader.get(), state_.streams.wNoiseSeed);
    host_.sendCommand(kCmdProcess);
}

// kCmdProcess: the procedure for the task and series type, then the record of the run.
void CommandHandler::process() {
    AppState& s = state_;
    if (!s.lpSeriesHeader) {
        sink_.show("Не могу создать ряд!", "CM_INFO", MessageIcon::None);
        return;
    }
    if (s.bSeriesWithoutTruth && s.lpSeriesHeader->wImpulseQuantity == 0 &&
        !isUnfixedSeries(s.wSeriesType)) {
        // The known-count procedures need the count a recording opened without one lacks.
        sink_.show(
            "The pulse count of this recording is unknown: choose an unfixed series type, "
            "or open the recording again with its number of pulses.",
            " Processing", MessageIcon::Information);
        return;
    }
    if (!runProcedure()) return;
    if (!addToChainsHeader(sink_, s.wSeriesType, s.wEffectiveTask, s.wMakingLevel,
                           s.wProcessingLevel, s.lpChainsHeader.get())) {
        sink_.show("Ошибка addToChainsHeader!", " About ChainsHeader ", MessageIcon::None);
        return;
    }
    refreshMatchedFilterPulses(chooseRestoringProcedure(s.wEffectiveTask, s.wSeriesType));
    s.nDisplayMode = DisplayMode::Results;
    s.wMainView = MainView::SeriesGraph;
    host_.sendCommand(kCmdResultsRepaint);
}

// Returns false when nothing was restored: a tuples task had nothing to look
// for (the subset panel was opened instead), or the run was cancelled.
bool CommandHandler::runProcedure() {
    AppState& s = state_;
    const SubsetPanelState& panel = s.subsetPanel;
    const RestoringProcedure procedure = chooseRestoringProcedure(s.wEffectiveTask, s.wSeriesType);
    if (readsPattern(procedure) && panel.selectionCount == 0) host_.sendCommand(kCmdSelectPulses);
    if (readsPatterns(procedure) && (panel.selectionCount == 0 || panel.reservedCount == 0))
        host_.sendCommand(kCmdSelectPulses);
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
        sink_.show(budgetRefusal("Restoring the series", fit, budget), kRestoringCaption,
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
        host_.runWithProgress(kRestoringCaption, 0, [&](platform::ProgressChannel& channel) {
            auto sink = reports.forItem(0);
            if (channel.cancelled()) return;
            work.stop = &channel.cancelFlag();
            try {
                runRestoringProcedure(sink, procedure, request, procedures_);
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
        sink_.show(m.text, m.caption, m.icon);
    if (copies.failed) {
        s.bDropInput = 1;
        return false;
    }
    copies.moveInto(s);
    return true;
}

// " Compare with matched filter": later simulations score the matched filter
// too; the statistics show or hide its curves at once.
void CommandHandler::compareMatchedFilter() {
    AppState& s = state_;
    s.bCompareMatchedFilter = !s.bCompareMatchedFilter;
    host_.checkMenuItem(kCmdCompareMatchedFilter, s.bCompareMatchedFilter != 0);
    if (s.nDisplayMode == DisplayMode::Results && s.wMainView == MainView::Statistics)
        repaintGraphArea(true);
}

// " Show matched filter pulses": turned on, the series already restored gets
// the matched filter's pulses at once.
void CommandHandler::showMatchedFilterPulses() {
    AppState& s = state_;
    s.bShowMatchedFilterPulses = !s.bShowMatchedFilterPulses;
    host_.checkMenuItem(kCmdShowMatchedFilterPulses, s.bShowMatchedFilterPulses != 0);
    const ChainsHeader* run = s.lpChainsHeader.get();
    if (run && run->wState > 1)
        refreshMatchedFilterPulses(chooseRestoringProcedure(run->wEffectiveTask, run->wSeriesType));
    else
        s.lpBaselineSeriesHeader.reset();
    if (s.nDisplayMode == DisplayMode::Results && s.wMainView == MainView::SeriesGraph)
        repaintGraphArea(true);
}

// After a restoration by `procedure`, and while the pulses are to be shown:
// the matched filter restores a copy of the series, never the exact result.
// Cancel only leaves its pulses out.
void CommandHandler::refreshMatchedFilterPulses(RestoringProcedure procedure) {
    AppState& s = state_;
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
        host_.runWithProgress(kRestoringCaption, 0, [&](platform::ProgressChannel& channel) {
            auto sink = quiet.forItem(0);
            if (channel.cancelled()) return;
            try {
                restored = runMatchedFilter(sink, procedure, request);
            } catch (const std::exception& e) {
                stopped = std::string("The matched filter stopped: ") + e.what();
            }
        });
    if (!stopped.empty()) sink_.show(stopped, kRestoringCaption, MessageIcon::Warning);
    if (finished && restored)
        s.lpBaselineSeriesHeader = std::make_unique<SeriesHeader>(std::move(*copies.series));
}

// kCmdSelectorPick: the three selector entries become the pending values.
void CommandHandler::selectorPick() {
    applySelectorPicks(state_);
    growEtalonSequence(state_, state_.wMaxPulses);
    host_.invalidate(nullptr, true);
}

// kCmdResultsRepaint: the graph area and whatever the flags ask for.
void CommandHandler::resultsRepaint() {
    AppState& s = state_;
    repaintGraphArea(!s.bNoErase);
    repaintFlaggedSelectors();
    if (s.bRepaintButtons) {
        repaintButtonColumn();
        s.bRepaintButtons = 0;
    }
}

void CommandHandler::repaintFlaggedSelectors() {
    AppState& s = state_;
    if (s.bRepaintLength) invalidate(selectorExtent(layout_, layout_.rcLengthSelector), true);
    if (s.bRepaintNoise) invalidate(selectorExtent(layout_, layout_.rcNoiseSelector), true);
    if (s.bRepaintLost) invalidate(selectorExtent(layout_, layout_.rcLostSelector), true);
    s.bRepaintLength = s.bRepaintNoise = s.bRepaintLost = 0;
}

// kCmdEtalonHighlight: the cells of the singled-out etalon, with room for its frame.
void CommandHandler::etalonHighlight() {
    const auto repaintCell = [&](int32_t etalon) {
        if (etalon < 1 || etalon > state_.wEtalonsNumber) return;
        Rect r = layout_.rcCells[etalon - 1];
        r.left -= 1;
        r.top -= 1;
        r.right += 3;
        r.bottom += 3;
        invalidate(r, true);
    };
    repaintCell(state_.nSelectedEtalon);
    if (state_.wEffectiveTask == TaskCode::Detection)
        repaintCell(state_.nPrevSelectedEtalon);
    else
        invalidate(layout_.rcToggleButton, true);
}

// kCmdGridRepaint: the grid after the working set changed.
void CommandHandler::gridRepaint() {
    repaintGraphArea(true);
    if (state_.wEffectiveTask != TaskCode::Detection) invalidate(layout_.rcToggleButton, true);
    if (state_.bRepaintButtons) {
        repaintButtonColumn();
        state_.bRepaintButtons = 0;
    }
}

// kCmdReservedRowsRepaint: the frames of the reserved rows, then the selection.
void CommandHandler::reservedRowsRepaint() {
    for (const auto& row : state_.subsetPanel.possibleSubsetArrayRect)
        invalidate(row[SubsetPanelState::kSelectionCapacity], true);
    invalidate(state_.subsetPanel.selectionAreaRect, true);
}

// The header lines sit just above the graph rectangle and the frame one pixel
// past it; all of that is repainted.
void CommandHandler::repaintGraphArea(bool erase) {
    invalidate(graphExtent(layout_), erase);
}

// The grid's frames and the results view's etalon strip show the working set.
void CommandHandler::repaintIfWorkingSetChanged(
    const std::array<int16_t, kEtalonsNumber + 1>& before) {
    if (before != state_.selectedFlags) repaintGraphArea(true);
}

// The column's rectangle holds its right and bottom edges; invalidation does not.
void CommandHandler::repaintButtonColumn() {
    Rect r = layout_.rcButtonColumn;
    r.right += 1;
    r.bottom += 1;
    invalidate(r, true);
}

}  // namespace etalon
