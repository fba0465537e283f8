// The parameter panel's command and the subset and drawing settings dialogs.
#include <string>

#include "app/command_handler.h"
#include "app/main_menu.h"
#include "dialogs/settings_dialogs.h"
#include "series/subsets.h"

namespace etalon {

// 40031: the parameter panel for the current series; the edit control
// starts with its Tmin.
void CommandHandler::viewSeriesParameters() {
    AppState& s = state_;
    s.nDisplayMode = DisplayMode::ParameterPanel;
    s.lpParamsHeader = getParamsHeader(sink_, s.lpSeriesHeader.get(), std::move(s.lpParamsHeader));
    if (s.lpParamsHeader) host_.setEditText(kParamEditId, std::to_string(s.lpParamsHeader->Tmin));
    repaintGraphArea(true);
}

// 40029: dialog 111, then the subsets handed to the series with the new settings.
void CommandHandler::subsetSettings() {
    AppState& s = state_;
    SubsetSettingsValues values{s.wSubsetEmployment, s.wSubsetInitPosition, s.wSubsetProceeding};
    host_.runDialog(kDialogSubsetSettings, subsetSettingsTemplate(),
                    subsetSettingsProcedure(values));
    s.wSubsetEmployment = values.employment;
    s.wSubsetInitPosition = values.initPosition;
    s.wSubsetProceeding = values.proceeding;

    if (s.wEffectiveTask == TaskCode::TuplesRecognition)
        storeReservedSubsets(sink_, s);
    else
        handSelectionToSeries(s);
}

// 40030: dialog 112; the next repaint shows the settings.
void CommandHandler::drawingSettings() {
    AppState& s = state_;
    // The dialog knows the choices by their codes.
    DrawingSettingsValues values{static_cast<uint16_t>(s.wTuplesHighlight), s.bFrameGraphFields,
                                 s.bShadedOriginalPulses, s.bHighlightDetectedPulses,
                                 s.bSpecialGraphSize};
    host_.runDialog(kDialogDrawingSettings, drawingSettingsTemplate(),
                    drawingSettingsProcedure(values));
    s.wTuplesHighlight = static_cast<TuplesHighlight>(values.tuplesHighlight);
    s.bFrameGraphFields = values.frameGraphFields;
    s.bShadedOriginalPulses = values.shadedOriginalPulses;
    s.bHighlightDetectedPulses = values.highlightDetectedPulses;
    s.bSpecialGraphSize = values.specialGraphSize;
}

}  // namespace etalon
