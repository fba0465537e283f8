#include "app/presses.h"

#include <algorithm>

#include "app/main_menu.h"
#include "app/series_commands.h"
#include "app/subset_handover.h"
#include "series/subsets.h"

namespace etalon {
namespace {

using platform::containsInclusive;

bool inside(const Rect& r, int32_t x, int32_t y) {
    return containsInclusive(r, x, y);
}

// Which of the three entries of a selector holds the point: 1..3, or 0.
int32_t entryAt(const std::array<Rect, 3>& items, int32_t x, int32_t y) {
    for (int32_t j = 0; j < 3; ++j) {
        if (inside(items[j], x, y)) return j + 1;
    }
    return 0;
}

}  // namespace

PressHandler::PressHandler(AppState& state, const WindowLayout& layout, CommandHost& host,
                           MessageSink& sink)
    : state_(state), layout_(layout), host_(host), sink_(sink) {}

void PressHandler::onPress(int32_t x, int32_t y) {
    switch (state_.nDisplayMode) {
        case DisplayMode::AlphabetGrid:
            if (pressGrid(x, y)) return;
            break;
        case DisplayMode::SubsetPanel:
            if (pressSubsetPanel(x, y) || pressResults(x, y)) return;
            break;
        case DisplayMode::ParameterPanel:
            if (pressParamsPanel(x, y) || pressResults(x, y)) return;
            break;
        case DisplayMode::Results:
            if (pressResults(x, y)) return;
            break;
    }
    pressSelectors(x, y);
}

bool PressHandler::pressGrid(int32_t x, int32_t y) {
    if (pressCell(x, y)) return true;
    if (inside(layout_.rcStartButton1, x, y)) {
        pressStart1InGrid();
        return true;
    }
    if (inside(layout_.rcExitButton, x, y)) {
        host_.sendCommand(kCmdClose);
        return true;
    }
    return pressToggle(x, y);
}

bool PressHandler::pressCell(int32_t x, int32_t y) {
    AppState& s = state_;
    for (int32_t i = 0; i < s.wEtalonsNumber; ++i) {
        if (!inside(layout_.rcCells[i], x, y)) continue;
        const int32_t etalon = i + 1;
        if (s.wEffectiveTask == TaskCode::Detection) {
            if (s.selectedFlags[etalon] != 1) {
                std::fill(s.selectedFlags.begin(), s.selectedFlags.end(), int16_t{0});
                s.selectedFlags[etalon] = 1;
                s.bRepaintButtons = 1;
                clearSelectorFlags();
            }
        } else {
            s.selectedFlags[etalon] = s.selectedFlags[etalon] == 1 ? 0 : 1;
        }
        s.nDisplayMode = DisplayMode::AlphabetGrid;
        rebuildRequiredList(s);
        s.nPrevSelectedEtalon = s.nSelectedEtalon;
        s.nSelectedEtalon = etalon;
        host_.sendCommand(kCmdEtalonHighlight);
        return true;
    }
    return false;
}

void PressHandler::pressStart1InGrid() {
    AppState& s = state_;
    rebuildRequiredList(s);
    if (isTuplesSeries(s.wSeriesType) && s.subsetPanel.selectionCount == 0) {
        s.nDisplayMode = DisplayMode::SubsetPanel;
        host_.sendCommand(kCmdNothing);
        return;
    }
    if (s.wRequiredCount == 0) {
        s.nDisplayMode = DisplayMode::AlphabetGrid;
        host_.sendCommand(kCmdNothing);
        return;
    }
    if (keepsLoadedRecording(s, host_)) return;
    s.bRepaintButtons = s.nDisplayMode != DisplayMode::Results;
    clearSelectorFlags();
    s.nDisplayMode = DisplayMode::Results;
    host_.sendCommand(kCmdNextSeries);
}

void PressHandler::backToGrid() {
    state_.nDisplayMode = DisplayMode::AlphabetGrid;
    state_.bRepaintButtons = 1;
    host_.sendCommand(kCmdGridRepaint);
}

void PressHandler::onEscape() {
    if (state_.nDisplayMode == DisplayMode::SubsetPanel) backToGrid();
}

bool PressHandler::pressResults(int32_t x, int32_t y) {
    AppState& s = state_;
    if (pressListedReserved(x, y)) return true;
    if (inside(layout_.rcStartButton, x, y)) {
        if (isTuplesSeries(s.wSeriesType)) {
            openSubsetPanel(kCmdSelectPulses);
        } else {
            backToGrid();
        }
        return true;
    }
    if (inside(layout_.rcStartButton1, x, y)) {
        pressStart1InResults();
        return true;
    }
    if (inside(layout_.rcExitButton, x, y)) {
        host_.sendCommand(kCmdClose);
        return true;
    }
    return pressToggle(x, y);
}

// The reserved subsets the results view lists beside a tuples series.
bool PressHandler::pressListedReserved(int32_t x, int32_t y) {
    AppState& s = state_;
    SubsetPanelState& panel = s.subsetPanel;
    if (s.nDisplayMode != DisplayMode::Results || !isTuplesSeries(s.wSeriesType) ||
        s.wEffectiveTask != TaskCode::TuplesRecognition) {
        return false;
    }
    for (int32_t k = 0; k < panel.reservedCount && k < panel.kReservedCapacity; ++k) {
        if (!inside(panel.listedReservedRects[k], x, y)) continue;
        if (keepsLoadedRecording(s, host_)) return true;
        panel.pickedReserved = k + 1;
        storeReservedSubsets(sink_, s);
        host_.sendCommand(kCmdNextSeries);
        return true;
    }
    return false;
}

void PressHandler::pressStart1InResults() {
    AppState& s = state_;
    if (isTuplesSeries(s.wSeriesType) && s.subsetPanel.selectionCount == 0) {
        openSubsetPanel(kCmdSelectPulses);
        return;
    }
    if (keepsLoadedRecording(s, host_) || !handOverSubset()) return;
    s.nDisplayMode = DisplayMode::Results;
    clearSelectorFlags();
    s.bRepaintButtons = 1;
    host_.sendCommand(kCmdNextSeries);
}

// The select-all / deselect-all button, where the task shows it.
bool PressHandler::pressToggle(int32_t x, int32_t y) {
    AppState& s = state_;
    if (!taskShowsToggle(s.wEffectiveTask) || !inside(layout_.rcToggleButton, x, y)) return false;
    if (!layout_.bFewSelected) {
        std::fill(s.selectedFlags.begin(), s.selectedFlags.end(), int16_t{0});
        s.wRequiredCount = 0;
    } else {
        std::fill(s.selectedFlags.begin() + 1, s.selectedFlags.end(), int16_t{1});
        rebuildRequiredList(s);
    }
    s.nDisplayMode = DisplayMode::AlphabetGrid;
    host_.sendCommand(kCmdGridRepaint);
    return true;
}

bool PressHandler::pressSelectors(int32_t x, int32_t y) {
    if (const int32_t j = entryAt(layout_.rcLengthItems, x, y)) {
        pickLengthOrNoise(true, j);
        return true;
    }
    if (const int32_t j = entryAt(layout_.rcNoiseItems, x, y)) {
        pickLengthOrNoise(false, j);
        return true;
    }
    if (!isCutoffSeries(state_.wSeriesType)) return false;
    if (const int32_t j = entryAt(layout_.rcLostItems, x, y)) {
        pickLostLevel(j);
        return true;
    }
    return false;
}

void PressHandler::pickLengthOrNoise(bool length, int32_t entry) {
    AppState& s = state_;
    int32_t& index = length ? s.nSeriesLengthIndex : s.nNoiseIndex;
    if (s.wRequiredCount == 0) {
        // Nothing to make a series from: only the selector moves.
        index = entry;
        host_.sendCommand(kCmdSelectorPick);
        return;
    }
    if (keepsLoadedRecording(s, host_)) return;
    if (length) {
        s.dwNewSeriesLength = s.seriesLengthTable[entry - 1];
        const PulseCountBounds bounds =
            pulseCountBounds(s.dwNewSeriesLength, s.wEtalonLength, s.wTmin, s.wTmax);
        s.wMinPulses = bounds.minPulses;
        s.wMaxPulses = bounds.maxPulses;
        growEtalonSequence(s, s.wMaxPulses);
        s.wRequestedPulses = defaultPulseCount(bounds);
        s.bRepaintLength = entry != index;
    } else {
        s.wNewNoiseLevel = s.noiseLevelTable[entry - 1];
        s.bRepaintNoise = entry != index;
    }
    if (isTuplesSeries(s.wSeriesType) && s.subsetPanel.selectionCount == 0) {
        index = entry;
        openSubsetPanel(kCmdSelectPulses);
        return;
    }
    index = entry;
    if (!handOverSubset()) return;
    s.bRepaintButtons = s.nDisplayMode != DisplayMode::Results;
    s.nDisplayMode = DisplayMode::Results;
    host_.sendCommand(kCmdNextSeries);
}

void PressHandler::pickLostLevel(int32_t entry) {
    AppState& s = state_;
    if (keepsLoadedRecording(s, host_)) return;
    s.wNewLostLevel = s.lostLevelTable[entry - 1];
    s.wNewMakingLevel = s.wNewProcessingLevel = static_cast<uint16_t>(100 - s.wNewLostLevel);
    s.bRepaintButtons = s.nDisplayMode != DisplayMode::Results;
    s.nDisplayMode = DisplayMode::Results;
    s.bRepaintLost = entry != s.nLostIndex;
    s.nLostIndex = entry;
    host_.sendCommand(kCmdNextSeries);
}

// Only the subset panel hands its subset to the series; elsewhere there is
// nothing new to hand over. On failure the panel's rows are repainted instead.
bool PressHandler::handOverSubset() {
    AppState& s = state_;
    if (s.nDisplayMode != DisplayMode::SubsetPanel) return true;
    SubsetPanelState& panel = s.subsetPanel;
    bool handed = false;
    if (subsetPanelTask(s) == TaskCode::TuplesRecognition) {
        handed = panel.reservedCount > 0 && storeReservedSubsets(sink_, s) != 0;
    } else if (panel.selectionCount > 0) {
        handSelectionToSeries(s);
        handed = true;
    }
    if (!handed) host_.sendCommand(kCmdReservedRowsRepaint);
    return handed;
}

void PressHandler::openSubsetPanel(uint16_t command) {
    state_.nDisplayMode = DisplayMode::SubsetPanel;
    host_.sendCommand(command);
}

void PressHandler::clearSelectorFlags() {
    state_.bRepaintLength = state_.bRepaintNoise = state_.bRepaintLost = 0;
}

}  // namespace etalon
