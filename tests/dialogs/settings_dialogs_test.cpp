#include "dialogs/settings_dialogs.h"

#include <gtest/gtest.h>

#include "support/fake_dialog_context.h"

namespace etalon {
namespace {

using platform::kIdCancel;
using platform::kIdOk;
using test::FakeDialogContext;

TEST(SettingsDialogs, SubsetSettingsClicksTakeEffectAndCancelRestores) {
    const auto dialog = subsetSettingsTemplate();
    EXPECT_EQ(dialog.caption, "Subset settings");
    EXPECT_EQ(dialog.units, (platform::Rect{0, 0, 223, 113}));
    // The init position is shown, not edited.
    for (const auto& c : dialog.controls) {
        if (c.id == kEditInitPosition) {
            EXPECT_TRUE(c.disabled);
        }
    }

    SubsetSettingsValues values{7, 3, 2};  // an employment out of range shows as "Complete "
    FakeDialogContext context;
    const auto procedure = subsetSettingsProcedure(values);
    context.start(procedure);
    EXPECT_TRUE(context.isChecked(1018));
    EXPECT_TRUE(context.isChecked(kRadioShiftedComplete));
    EXPECT_EQ(context.text(kEditInitPosition), "3");
    context.press(procedure, 1016);
    context.press(procedure, kRadioComplete);
    EXPECT_EQ(values.employment, 2);
    EXPECT_TRUE(context.isChecked(1016));
    EXPECT_FALSE(context.isChecked(1018));
    context.press(procedure, kIdCancel);
    EXPECT_EQ(values.employment, 7);
    EXPECT_EQ(values.proceeding, 2);

    SubsetSettingsValues accepted{4, 3, 1};
    FakeDialogContext okContext;
    const auto okProcedure = subsetSettingsProcedure(accepted);
    okContext.start(okProcedure);
    okContext.press(okProcedure, 1019);
    okContext.press(okProcedure, kIdOk);
    EXPECT_TRUE(okContext.ended);
    EXPECT_EQ(accepted.employment, 5);
    EXPECT_EQ(accepted.initPosition, 3);  // stored again as shown
}

TEST(SettingsDialogs, DrawingSettingsOnlyOkHandsTheWorkingCopyOver) {
    EXPECT_EQ(drawingSettingsTemplate().caption, "Drawing settings");
    for (int button : {kIdCancel, kIdOk}) {
        SCOPED_TRACE(button);
        DrawingSettingsValues values{0, 1, 1, 0, 0};
        FakeDialogContext context;
        const auto procedure = drawingSettingsProcedure(values);
        context.start(procedure);
        EXPECT_TRUE(context.isChecked(kRadioNoHighlight));
        EXPECT_TRUE(context.isChecked(kCheckFrameGraphFields));
        EXPECT_FALSE(context.isChecked(kCheckHighlightDetected));
        for (int check : {kCheckFrameGraphFields, kCheckShadedOriginal, kCheckHighlightDetected,
                          kCheckSpecialGraphSize}) {
            context.setChecked(check, !context.isChecked(check));
            context.press(procedure, check);
        }
        context.press(procedure, kRadioDottedFrame);
        EXPECT_FALSE(context.isChecked(kRadioNoHighlight));
        EXPECT_EQ(values.tuplesHighlight, 0);  // nothing before OK
        context.press(procedure, button);
        const bool ok = button == kIdOk;
        EXPECT_EQ(values.tuplesHighlight, ok ? 1 : 0);
        EXPECT_EQ(values.frameGraphFields, ok ? 0 : 1);
        EXPECT_EQ(values.shadedOriginalPulses, ok ? 0 : 1);
        EXPECT_EQ(values.highlightDetectedPulses, ok ? 1 : 0);
        EXPECT_EQ(values.specialGraphSize, ok ? 1 : 0);
    }
}

}  // namespace
}  // namespace etalon
