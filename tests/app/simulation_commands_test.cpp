// The statistical simulation from the menu: its dialogs, the run behind the
// progress dialog, Cancel, the statistics view and the table export.
#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

#include "app/command_handler.h"
#include "app/main_menu.h"
#include "dialogs/series_dialogs.h"
#include "dialogs/simulation_dialogs.h"
#include "simulation/simulation_table.h"
#include "support/command_rig.h"
#include "support/state_difference.h"

namespace etalon {
namespace {

using platform::kIdCancel;
using platform::kIdOk;
using test::CommandRig;
using test::typeAndPress;

// A rig with the real procedures and a small grid typed into dialog 110:
// pulse counts 6 and 7, two noise levels, two repeats.
struct SimulationRig : CommandRig {
    void clearAll() {
        host.clear();
        host.progressTotals.clear();
        host.progressDone.clear();
        sink.messages.clear();
    }
    SimulationRig() {
        procedures = workbenchRestoringProcedures();
        host.scripts[kDialogLocationParameters] = typeAndPress({{kEditPulsesFrom, "6"},
                                                                {kEditPulsesTo, "7"},
                                                                {kEditNoiseSteps, "2"},
                                                                {kEditNoiseIncrement, "30"},
                                                                {kEditRepeats, "2"}},
                                                               kIdOk);
    }
};

TEST(SimulationCommands, RunsTheGridAndShowsItsPlots) {
    SimulationRig b;
    b.command(kCmdShowStatSimulation);  // nothing to show yet
    EXPECT_TRUE(b.host.dialogs.empty());
    EXPECT_EQ(b.state.wMainView, MainView::SeriesGraph);

    const RandomStreams before = b.state.streams;
    b.command(kCmdStatSimulation);
    EXPECT_EQ(b.host.dialogs, (std::vector<int>{kDialogSeriesGeometry, kDialogLocationParameters,
                                                kDialogRecognitionStatisticsView}));
    ASSERT_FALSE(b.sink.empty());
    EXPECT_EQ(b.sink.messages[0].caption, "getPulseEstAsRepeats");
    EXPECT_NE(b.sink.messages[0].text.find("pulses: 2, from 6 to 7 incr 1 \n"), std::string::npos)
        << b.sink.messages[0].text;
    EXPECT_EQ(b.sink.messages.size(), 1u);
    EXPECT_EQ(b.host.progressTotals, (std::vector<uint32_t>{8}));
    EXPECT_EQ(b.host.progressDone, (std::vector<uint32_t>{8}));

    const RestErrorHeader* errors = b.state.lpRestErrorHeader.get();
    ASSERT_NE(errors, nullptr);
    EXPECT_EQ(errors->ifComplete, 1);
    EXPECT_EQ(errors->wVariousPulses, 2);
    EXPECT_EQ(errors->lpNoiseLevels()[1], 30);
    EXPECT_EQ(b.state.lpSeriesHeader->wNoiseLevel, 30);  // the last series simulated
    EXPECT_NE(b.state.streams.wNoiseSeed, before.wNoiseSeed);
    EXPECT_LE(b.state.simulationStartTime, b.state.simulationEndTime);
    EXPECT_EQ(b.state.nDisplayMode, DisplayMode::Results);
    EXPECT_EQ(b.state.wMainView, MainView::Statistics);
    EXPECT_EQ(b.state.nStatPlotMode, StatPlotMode::RestoredComponents);
    EXPECT_TRUE(b.host.enabledItems.at(kCmdShowStatSimulation));

    // Another task shows the other statistics dialog.
    b.host.clear();
    b.state.wTaskType = TaskCode::Detection;
    b.command(kCmdShowStatSimulation);
    EXPECT_EQ(b.host.dialogs, (std::vector<int>{kDialogStatisticsView}));
}

// A fixed bound the plot cannot use is kept, and a notice says what the plot
// does instead.
TEST(SimulationCommands, UnusableFixedBoundsAreKeptWithANotice) {
    SimulationRig b;
    b.command(kCmdStatSimulation);
    const std::pair<const char*, const char*> cases[] = {
        {"0", "ignores it"}, {"-2", "ignores it"}, {"5000", "drawn up to 1000"}, {"0.5", nullptr}};
    for (const auto& [typed, notice] : cases) {
        SCOPED_TRACE(typed);
        b.clearAll();
        b.host.scripts[kDialogRecognitionStatisticsView] =
            [typed = std::string(typed)](test::FakeDialogContext& context,
                                         const platform::DialogProcedure& procedure) {
                context.setChecked(kCheckFixedUpperBound, true);
                context.press(procedure, kCheckFixedUpperBound);
                context.setText(kEditUpperBound, typed);
                context.press(procedure, kIdOk);
            };
        b.command(kCmdShowStatSimulation);
        EXPECT_EQ(b.state.bFixedUpperBound, 1);
        EXPECT_DOUBLE_EQ(b.state.dUpperBound, std::stod(typed));
        if (!notice) {
            EXPECT_TRUE(b.sink.empty());
            continue;
        }
        ASSERT_EQ(b.sink.messages.size(), 1u);
        EXPECT_NE(b.sink.last().text.find(std::string("bound ") + typed + " "), std::string::npos)
            << b.sink.last().text;
        EXPECT_NE(b.sink.last().text.find(notice), std::string::npos) << b.sink.last().text;
    }
}

TEST(SimulationCommands, CancelledInADialogRunsNothing) {
    SimulationRig b;
    b.command(kCmdStatSimulation);
    ASSERT_TRUE(b.state.lpRestErrorHeader);
    // What 214 sets before dialog 110: the pulse-count range of the geometry
    // (the run before had typed 6 to 7), and the dialogs' answer.
    AppState expected = b.state;
    expected.bDialogAccepted = 0;
    expected.wDlgMaxPulses = 30;
    for (int dialog : {kDialogSeriesGeometry, kDialogLocationParameters}) {
        b.clearAll();
        b.host.scripts[dialog] = typeAndPress({}, kIdCancel);
        b.command(kCmdStatSimulation);
        EXPECT_TRUE(b.sink.empty());
        EXPECT_TRUE(b.host.progressTotals.empty());
        b.host.scripts.erase(dialog);
    }
    EXPECT_EQ(test::stateDifference(expected, b.state), "");
}

// Cancel at the first series, in the middle and at the last: the state is
// the one before the command. The dialogs get the values of the run before,
// so what they apply changes nothing either.
TEST(SimulationCommands, CancelAtAnySeriesKeepsTheWholeState) {
    SimulationRig b;
    b.procedures = workbenchRestoringProcedures();
    b.command(kCmdNextData);  // a processed series on screen
    b.command(kCmdCompareMatchedFilter);
    b.command(kCmdStatSimulation);
    ASSERT_TRUE(b.state.lpRestErrorHeader && b.state.lpRestErrorHeader->ifComplete);
    ASSERT_TRUE(b.state.lpBaselineErrorHeader && b.state.lpBaselineErrorHeader->ifComplete);
    const uint32_t total = b.host.progressTotals.back();
    const AppState before = b.state;
    for (uint32_t at : {0u, total / 2, total}) {
        SCOPED_TRACE("cancelled at series " + std::to_string(at) + " of " + std::to_string(total));
        b.clearAll();
        b.host.cancelAt = at;
        b.command(kCmdStatSimulation);
        EXPECT_EQ(b.host.progressTotals, std::vector<uint32_t>{total});
        EXPECT_EQ(test::stateDifference(before, b.state), "");
    }

    // What the dialogs applied before the run stays.
    b.host.scripts[kDialogLocationParameters] =
        typeAndPress({{kEditPulsesFrom, "6"}, {kEditPulsesTo, "7"}, {kEditRepeats, "3"}}, kIdOk);
    b.host.cancelAt = 1;
    b.command(kCmdStatSimulation);
    EXPECT_EQ(b.state.wRepeats, 3);
    EXPECT_EQ(b.state.lpRestErrorHeader, before.lpRestErrorHeader);
}

// " Compare with matched filter": the next simulations score the matched
// filter into a grid of its own, of the exact one's shape; a run without the
// item, or of a tuples task, which has none, leaves no such grid.
TEST(SimulationCommands, TheMatchedFilterGridComesWithTheItem) {
    SimulationRig b;
    b.command(kCmdCompareMatchedFilter);
    b.command(kCmdStatSimulation);
    const RestErrorHeader* mf = b.state.lpBaselineErrorHeader.get();
    ASSERT_TRUE(mf && mf->ifComplete);
    EXPECT_EQ(mf->rowStarts, b.state.lpRestErrorHeader->rowStarts);
    EXPECT_NE(mf->errorCells, b.state.lpRestErrorHeader->errorCells);  // scored on its own

    b.command(kCmdFixedTuples);
    b.command(kCmdDetection);
    b.state.subsetPanel.selectedSubset = {3, 4};
    b.state.subsetPanel.selectionCount = 2;
    handSelectionToSeries(b.state);
    b.command(kCmdStatSimulation);
    EXPECT_EQ(b.state.lpRestErrorHeader->wEffectiveTask, TaskCode::TuplesDetection);
    EXPECT_EQ(b.state.lpBaselineErrorHeader, nullptr);
    b.command(kCmdFixedWhole);
    b.command(kCmdCompareMatchedFilter);
    b.command(kCmdStatSimulation);
    EXPECT_EQ(b.state.lpRestErrorHeader->wSeriesType, SeriesCode::FixedWhole);
    EXPECT_EQ(b.state.lpBaselineErrorHeader, nullptr);
}

// A procedure that throws in the middle of the run: the window says why and,
// as after Cancel, keeps the state of before the command.
TEST(SimulationCommands, AnExceptionInTheRunIsReportedAndKeepsTheWholeState) {
    SimulationRig b;
    b.command(kCmdNextData);
    b.command(kCmdStatSimulation);
    ASSERT_TRUE(b.state.lpRestErrorHeader && b.state.lpRestErrorHeader->ifComplete);
    const AppState before = b.state;
    std::atomic<int> calls = 0;
    const auto throwing = [&](auto&&...) -> int {
        if (++calls == 3) throw std::runtime_error("no lane left");
        return 0;
    };
    b.procedures.detectKnownNumberChain = b.procedures.recognizeKnownNumberChain = throwing;
    b.clearAll();
    b.command(kCmdStatSimulation);
    ASSERT_FALSE(b.sink.empty());
    EXPECT_EQ(b.sink.last().text, "The simulation stopped: no lane left");
    EXPECT_EQ(test::stateDifference(before, b.state), "");
}

TEST(SimulationCommands, ExportsTheTableWholeOrNotAtAll) {
    SimulationRig b;
    b.command(kCmdExportSimulationTable);
    ASSERT_FALSE(b.sink.empty());
    EXPECT_NE(b.sink.last().text.find("no complete statistical simulation"), std::string::npos);
    EXPECT_TRUE(b.host.saveCaptions.empty());

    b.command(kCmdStatSimulation);
    const auto folder = std::filesystem::temp_directory_path() / "etalon_export_table";
    std::filesystem::remove_all(folder);
    std::filesystem::create_directories(folder);
    b.host.saveChoice = SaveChoice{(folder / "grid").string(), 0};  // the ending is added
    b.sink.messages.clear();
    b.command(kCmdExportSimulationTable);
    EXPECT_TRUE(b.sink.empty());
    EXPECT_EQ(b.host.saveCaptions.back(), "Simulation Table File Name | CSV Files (*.csv)");
    std::ifstream file(folder / "grid.csv");
    std::stringstream text;
    text << file.rdbuf();
    EXPECT_EQ(text.str(), simulationTableCsv(*b.state.lpRestErrorHeader));

    // A folder that does not exist: a message, and no file anywhere.
    b.host.saveChoice = SaveChoice{(folder / "missing" / "grid.csv").string(), 0};
    b.command(kCmdExportSimulationTable);
    ASSERT_FALSE(b.sink.empty());
    EXPECT_NE(b.sink.last().text.find("could not be written"), std::string::npos);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder),
                            std::filesystem::directory_iterator()),
              1);
    std::filesystem::remove_all(folder);
}

}  // namespace
}  // namespace etalon
