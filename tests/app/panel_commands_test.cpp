// The panel commands through the stand-in host: the parameter panel and the
// subset and drawing settings dialogs.
#include <gtest/gtest.h>

#include <vector>

#include "app/command_checks.h"
#include "app/command_handler.h"
#include "app/main_menu.h"
#include "dialogs/settings_dialogs.h"
#include "series/subsets.h"
#include "support/command_rig.h"

namespace etalon {
namespace {

using platform::kIdOk;
using test::CommandRig;
using test::raisedGraph;

TEST(Commands, ViewSeriesParametersOpensTheParameterPanel) {
    CommandRig b;
    b.command(kCmdViewSeriesParameters);
    EXPECT_EQ(b.state.nDisplayMode, DisplayMode::ParameterPanel);
    ASSERT_NE(b.state.lpParamsHeader, nullptr);
    EXPECT_EQ(b.state.lpParamsHeader->pulses, 18);
    EXPECT_EQ(b.host.edits[kParamEditId], "40");
    EXPECT_TRUE(b.host.invalidated(raisedGraph(b.layout), true));

    // No series: no record, and the panel still opens.
    CommandRig none;
    none.state.lpSeriesHeader.reset();
    none.command(kCmdViewSeriesParameters);
    EXPECT_EQ(none.state.nDisplayMode, DisplayMode::ParameterPanel);
    EXPECT_EQ(none.state.lpParamsHeader, nullptr);
    EXPECT_TRUE(none.sink.empty());
}

TEST(Commands, SubsetSettingsHandTheSubsetsOverWithTheNewSettings) {
    for (uint16_t task : {uint16_t{kCmdDetection}, uint16_t{kCmdRecognition}}) {
        SCOPED_TRACE(task);
        CommandRig b;
        b.command(kCmdFixedTuples);
        b.command(task);
        SubsetPanelState& panel = b.state.subsetPanel;
        allocSubsetPanel(panel);
        appendSelected(panel, 3);
        appendSelected(panel, 5);
        const std::vector<int32_t> stored{7, 8, 9};
        panel.reservedCount =
            storeSubsetRow(stored, panel.selectedSubsetArraySize, panel.reservedSubsets, 0, 10);
        b.host.scripts[kDialogSubsetSettings] = [](test::FakeDialogContext& context,
                                                   const platform::DialogProcedure& procedure) {
            context.press(procedure, kRadioFirstEmployment + 1);
            context.press(procedure, kRadioShiftedComplete);
            context.press(procedure, kIdOk);
        };
        b.host.clear();
        b.command(kCmdSubsetSettings);
        EXPECT_EQ(b.host.dialogs, (std::vector<int>{kDialogSubsetSettings}));
        EXPECT_EQ(b.state.wSubsetEmployment, 2);
        EXPECT_EQ(b.state.wSubsetProceeding, 2);
        const SeriesHeader& series = *b.state.lpSeriesHeader;
        EXPECT_EQ(series.wSubsetEmployment, 2);
        if (task == kCmdRecognition) {
            EXPECT_EQ(series.wSubsets, 1);
            ASSERT_EQ(series.wSubsetLength, 3);
            EXPECT_EQ(series.lpSelectedSubset[0], 7);
        } else {
            ASSERT_EQ(series.wSubsetLength, 2);
            EXPECT_EQ(series.lpSelectedSubset[1], 5);
        }
        EXPECT_TRUE(b.host.invalidations.empty());
    }
}

TEST(Commands, DrawingSettingsChangeTheDisplaySettingsOnly) {
    CommandRig b;
    b.host.scripts[kDialogDrawingSettings] = [](test::FakeDialogContext& context,
                                                const platform::DialogProcedure& procedure) {
        context.setChecked(kCheckFrameGraphFields, false);
        context.press(procedure, kCheckFrameGraphFields);
        context.press(procedure, kRadioNoHighlight);
        context.press(procedure, kIdOk);
    };
    b.command(kCmdDrawingSettings);
    EXPECT_EQ(b.state.bFrameGraphFields, 0);
    EXPECT_EQ(b.state.wTuplesHighlight, TuplesHighlight::None);
    EXPECT_EQ(b.state.bShadedOriginalPulses, 1);
    EXPECT_TRUE(b.host.invalidations.empty());  // shown at the next repaint
}

}  // namespace
}  // namespace etalon
