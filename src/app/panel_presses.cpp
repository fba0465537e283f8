// Presses on the two panels, and the drags and hovering over the parameter
// panel's grips.
#include <algorithm>
#include <string>

#include "app/main_menu.h"
#include "app/presses.h"
#include "app/series_commands.h"
#include "dialogs/dialog_text.h"
#include "series/series_generator.h"

namespace etalon {
namespace {

using platform::containsInclusive;
using platform::CursorShape;

constexpr const char* kParamsCaption = " View series parameters...";

bool inside(const Rect& r, int32_t x, int32_t y) {
    return containsInclusive(r, x, y);
}

bool startsWithNumber(const std::string& text) {
    size_t i = text.find_first_not_of(" \t");
    if (i == std::string::npos) return false;
    if (text[i] == '+' || text[i] == '-') ++i;
    return i < text.size() && text[i] >= '0' && text[i] <= '9';
}

}  // namespace

bool PressHandler::pressSubsetPanel(int32_t x, int32_t y) {
    AppState& s = state_;
    SubsetPanelState& panel = s.subsetPanel;
    const int32_t offered =
        std::min<int32_t>(panel.offeredCount, static_cast<int32_t>(s.lpRequiredList.size()));
    for (int32_t k = 0; k < offered; ++k) {
        if (!inside(panel.offeredCellRects[k], x, y)) continue;
        removeMarkedSelected(panel);
        appendSelected(panel, s.lpRequiredList[k]);
        host_.sendCommand(kCmdSelectionRepaint);
        return true;
    }
    if (inside(panel.selectionAreaRect, x, y)) {
        int32_t cell = -1;
        for (int32_t i = 0; i < panel.selectionCells; ++i) {
            if (inside(panel.possibleSubsetRect[i], x, y)) cell = i;
        }
        markSelectedOnly(panel, cell);
        host_.sendCommand(kCmdSelectionRepaint);
        return true;
    }
    for (int button = 0; button < panel.buttonCount; ++button) {
        if (inside(panel.buttonsWhileSelectedSubsetRect[button], x, y))
            return pressSubsetButton(button);
    }
    if (panel.buttonCount < 6) return false;
    for (int32_t k = 0; k < std::min(panel.reservedCount, SubsetPanelState::kReservedCapacity);
         ++k) {
        if (!inside(panel.possibleSubsetArrayRect[k][SubsetPanelState::kSelectionCapacity], x, y))
            continue;
        panel.pickedReserved = k + 1;
        host_.sendCommand(kCmdReservedRowsRepaint);
        return true;
    }
    return false;
}

bool PressHandler::pressSubsetButton(int button) {
    AppState& s = state_;
    SubsetPanelState& panel = s.subsetPanel;
    switch (button) {
        case kButtonDeleteAll:
            clearSelection(panel);
            host_.sendCommand(kCmdSelectionRepaint);
            return true;
        case kButtonDelete:
            removeMarkedSelected(panel);
            host_.sendCommand(kCmdSelectionRepaint);
            return true;
        case kButtonCancel:
            if (keepsLoadedRecording(s, host_)) return true;
            clearSelection(panel);
            s.nDisplayMode = DisplayMode::Results;
            clearSelectorFlags();
            host_.sendCommand(kCmdNextSeries);
            return true;
        case kButtonOk:
            if (keepsLoadedRecording(s, host_)) return true;
            if (!handOverSubset()) {
                // Say what is missing rather than ignore the press.
                sink_.show(subsetPanelTask(s) == TaskCode::TuplesRecognition
                               ? "No pattern is stored: click etalons, press \" Accept \", "
                                 "then \" OK \"."
                               : "No pattern: click the etalons of the pattern, then \" OK \".",
                           " Select set of pulses", MessageIcon::Information);
                return true;
            }
            s.bRepaintButtons = 1;
            s.nDisplayMode = DisplayMode::Results;
            s.bRepaintLost = 0;
            host_.sendCommand(kCmdNextSeries);
            return true;
        case kButtonAccept:
            panel.markAll = 1;
            // An empty selection is no pattern to look for.
            if (panel.selectionCount > 0) {
                panel.reservedCount = storeSubsetRow(
                    std::span<const int32_t>(panel.selectedSubset.data(),
                                             static_cast<size_t>(panel.selectionCount)),
                    panel.selectedSubsetArraySize, panel.reservedSubsets, panel.reservedCount,
                    panel.reservedCapacity);
                panel.pickedReserved = panel.reservedCount;
            }
            host_.sendCommand(kCmdReservedRowsRepaint);
            return true;
        default:  // kButtonClearAll
            panel.markAll = 1;
            panel.reservedCount = 0;
            host_.sendCommand(kCmdReservedRowsRepaint);
            return true;
    }
}

// A tuples series needs a pattern first: without one the subset panel opens.
void PressHandler::startRun() {
    AppState& s = state_;
    if (isTuplesSeries(s.wSeriesType) && s.subsetPanel.selectionCount == 0) {
        openSubsetPanel(kCmdSelectPulses);
        return;
    }
    host_.sendCommand(kCmdNextSeries);
}

bool PressHandler::pressParamsPanel(int32_t x, int32_t y) {
    AppState& s = state_;
    const ParamsPanelPlaces& places = s.paramsPanel;
    if (places.laidOut && inside(places.cancel, x, y)) {
        if (keepsLoadedRecording(s, host_)) return true;
        host_.moveEditControl(kParamEditId, 0, 0, 0, 0, true);
        s.nDisplayMode = DisplayMode::Results;
        clearSelectorFlags();
        startRun();
        return true;
    }
    if (places.laidOut && inside(places.ok, x, y)) return pressParamsOk();
    if (!s.lpParamsHeader) return false;
    ParamsHeader& h = *s.lpParamsHeader;
    for (int32_t k = 0; k < h.wAreas && static_cast<size_t>(k) < h.pulsesSelectedAreas.size();
         ++k) {
        if (!inside(h.pulsesSelectedAreas[k], x, y)) continue;
        h.pulses = h.Mmin + k;
        h.redrawMode = 1;
        host_.sendCommand(kCmdGraphOverlay);
        return true;
    }
    bool gripped = false;
    if (inside(h.aPlusMarkerRect, x, y)) h.aPlusDrag = gripped = true;
    if (!gripped && inside(h.bMinusMarkerRect, x, y)) h.bMinusDrag = gripped = true;
    if (gripped) return true;
    if (hitTmaxLine(x, y, h)) h.tmaxLine.drag = gripped = true;
    if (!gripped && hitTminLine(x, y, h)) h.tminLine.drag = gripped = true;
    return gripped;
}

// " OK " takes Tmin from the edit control; a value no series can use is
// refused with a message and the panel stays as it is.
bool PressHandler::pressParamsOk() {
    AppState& s = state_;
    std::string text = host_.editText(kParamEditId);
    if (text.size() > kEditTextLimit) text.resize(kEditTextLimit);
    const int32_t tmin = leadingInteger(text);
    if (!startsWithNumber(text) || tmin < 1 || tmin > s.wTmax) {
        sink_.show("Tmin must be a whole number from 1 to " + std::to_string(s.wTmax) +
                       " (Tmax); it stays " + std::to_string(s.wTmin) + ".",
                   kParamsCaption, MessageIcon::Warning);
        return true;
    }
    const PulseCountBounds bounds = pulseCountBounds(s.dwNewSeriesLength, s.wEtalonLength,
                                                     static_cast<uint16_t>(tmin), s.wTmax);
    if (std::max<int32_t>(bounds.minPulses, 1) > bounds.maxPulses) {
        sink_.show("Tmin " + std::to_string(tmin) + " leaves no valid number of pulses for a " +
                       "series of length " + std::to_string(s.dwNewSeriesLength) + "; it stays " +
                       std::to_string(s.wTmin) + ".",
                   kParamsCaption, MessageIcon::Warning);
        return true;
    }
    if (keepsLoadedRecording(s, host_)) return true;
    s.wTmin = static_cast<uint16_t>(tmin);
    host_.moveEditControl(kParamEditId, 0, 1000, 0, 0, true);
    s.bRepaintButtons = 1;
    s.nDisplayMode = DisplayMode::Results;
    s.bRepaintLost = 0;
    startRun();
    return true;
}

void PressHandler::onMove(int32_t x, int32_t y) {
    if (state_.nDisplayMode != DisplayMode::ParameterPanel || !state_.lpParamsHeader) return;
    if (dragTo(x, y)) {
        state_.lpParamsHeader->redrawMode = 1;
        host_.sendCommand(kCmdGraphOverlay);
        return;
    }
    hover(x, y);
}

bool PressHandler::dragTo(int32_t x, int32_t y) {
    ParamsHeader& h = *state_.lpParamsHeader;
    bool dragged = false;
    if (h.aPlusDrag || h.bMinusDrag) {
        if (const auto v = markerValue(y, h)) (h.aPlusDrag ? h.aPlus : h.bMinus) = *v;
        dragged = true;
    }
    if (h.tminLine.drag) {
        const int32_t v = tminFromPoint(x, y, h);
        if (isValidTmin(v, h)) {
            h.Tmin = v;
            // " OK " reads the edit control: it must hold what the diagram shows.
            host_.setEditText(kParamEditId, std::to_string(v));
        } else {
            h.tminLine.drag = 0;
        }
        dragged = true;
    }
    if (h.tmaxLine.drag) {
        const int32_t v = tmaxFromPoint(x, y, h);
        if (isValidTmax(v, h))
            h.Tmax = v;
        else
            h.tmaxLine.drag = 0;
        dragged = true;
    }
    return dragged;
}

void PressHandler::hover(int32_t x, int32_t y) {
    ParamsHeader& h = *state_.lpParamsHeader;
    struct Grip {
        int32_t& flag;
        bool near;
        CursorShape shape;
    };
    Grip grips[] = {{h.aPlusHover, inside(h.aPlusMarkerRect, x, y), CursorShape::SizeNS},
                    {h.bMinusHover, inside(h.bMinusMarkerRect, x, y), CursorShape::SizeNS},
                    {h.tmaxLine.hover, hitTmaxLine(x, y, h) != 0, CursorShape::SizeNWSE},
                    {h.tminLine.hover, hitTminLine(x, y, h) != 0, CursorShape::SizeNWSE}};
    for (Grip& g : grips) {
        if (g.near && !g.flag) {
            g.flag = 1;
            host_.setCapture();
            const CursorShape before = host_.setCursor(g.shape);
            if (before == CursorShape::Arrow) state_.previousCursor = before;
        } else if (!g.near && g.flag) {
            g.flag = 0;
            host_.setCursor(state_.previousCursor);
            host_.releaseCapture();
        }
    }
}

void PressHandler::onRelease(int32_t x, int32_t y) {
    if (state_.nDisplayMode != DisplayMode::ParameterPanel || !state_.lpParamsHeader) return;
    ParamsHeader& h = *state_.lpParamsHeader;
    // The final value is taken while the flag still says what is dragged.
    if (h.aPlusDrag) {
        if (const auto v = markerValue(y, h)) h.aPlus = *v;
        h.aPlusDrag = 0;
    } else if (h.bMinusDrag) {
        if (const auto v = markerValue(y, h)) h.bMinus = *v;
        h.bMinusDrag = 0;
    } else if (h.tminLine.drag) {
        const int32_t v = tminFromPoint(x, y, h);
        if (isValidTmin(v, h)) {
            h.Tmin = v;
            host_.setEditText(kParamEditId, std::to_string(v));
        }
        h.tminLine.drag = 0;
    } else if (h.tmaxLine.drag) {
        const int32_t v = tmaxFromPoint(x, y, h);
        if (isValidTmax(v, h)) h.Tmax = v;
        h.tmaxLine.drag = 0;
    }
    h.redrawMode = 1;
    host_.sendCommand(kCmdGraphOverlay);
}

}  // namespace etalon
