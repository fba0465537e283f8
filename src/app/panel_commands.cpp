// The parameter panel's command and the subset and drawing settings dialogs.
#include "app/panel_commands.h"

#include <string>

#include "app/main_menu.h"
#include "app/subset_handover.h"
#include "dialogs/settings_dialogs.h"
#include "series/subsets.h"

namespace etalon::commands {

// 40031: the parameter panel for the current series; the edit control
// starts with its Tmin.
void viewSeriesParameters(CommandContext& ctx) {
    AppState& s = ctx.state;
    s.nDisplayMode = DisplayMode::ParameterPanel;
    s.lpParamsHeader =
        getParamsHeader(ctx.sink, s.lpSeriesHeader.get(), std::move(s.lpParamsHeader));
    if (s.lpParamsHeader)
        ctx.host.setEditText(kParamEditId, std::to_string(s.lpParamsHeader->Tmin));
    ctx.repaintGraphArea(true);
}

// 40029: dialog 111, then the subsets handed to the series with the new settings.
void subsetSettings(CommandContext& ctx) {
    AppState& s = ctx.state;
    SubsetSettingsValues values{s.wSubsetEmployment, s.wSubsetInitPosition, s.wSubsetProceeding};
    ctx.host.runDialog(kDialogSubsetSettings, subsetSettingsTemplate(),
                       subsetSettingsProcedure(values));
    s.wSubsetEmployment = values.employment;
    s.wSubsetInitPosition = values.initPosition;
    s.wSubsetProceeding = values.proceeding;

    if (s.wEffectiveTask == TaskCode::TuplesRecognition)
        storeReservedSubsets(ctx.sink, s);
    else
        handSelectionToSeries(s);
}

// 40030: dialog 112; the next repaint shows the settings.
void drawingSettings(CommandContext& ctx) {
    AppState& s = ctx.state;
    // The dialog knows the choices by their codes.
    DrawingSettingsValues values{static_cast<uint16_t>(s.wTuplesHighlight), s.bFrameGraphFields,
                                 s.bShadedOriginalPulses, s.bHighlightDetectedPulses,
                                 s.bSpecialGraphSize};
    ctx.host.runDialog(kDialogDrawingSettings, drawingSettingsTemplate(),
                       drawingSettingsProcedure(values));
    s.wTuplesHighlight = static_cast<TuplesHighlight>(values.tuplesHighlight);
    s.bFrameGraphFields = values.frameGraphFields;
    s.bShadedOriginalPulses = values.shadedOriginalPulses;
    s.bHighlightDetectedPulses = values.highlightDetectedPulses;
    s.bSpecialGraphSize = values.specialGraphSize;
}

}  // namespace etalon::commands
