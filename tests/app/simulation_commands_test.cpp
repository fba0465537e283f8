// The statistical simulation from the menu: its dialogs, the run behind the
// progress dialog, Cancel, the statistics view and the table export.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "app/command_handler.h"
#include "app/main_menu.h"
#include "dialogs/series_dialogs.h"
#include "dialogs/simulation_dialogs.h"
#include "simulation/simulation_table.h"
#include "support/command_rig.h"

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
    EXPECT_EQ(b.state.wMainView, 1);

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
    EXPECT_EQ(b.state.nDisplayMode, 6);
    EXPECT_EQ(b.state.wMainView, 2);
    EXPECT_EQ(b.state.nStatPlotMode, 0);  // restoring error, componentwise

    // Another task shows the other statistics dialog.
    b.host.clear();
    b.state.wTaskType = kTaskDetection;
    b.command(kCmdShowStatSimulation);
    EXPECT_EQ(b.host.dialogs, (std::vector<int>{kDialogStatisticsView}));
}

TEST(SimulationCommands, CancelKeepsEverythingAsItWas) {
    SimulationRig b;
    b.command(kCmdStatSimulation);
    ASSERT_TRUE(b.state.lpRestErrorHeader);
    const std::string table = simulationTableCsv(*b.state.lpRestErrorHeader);
    const RandomStreams streams = b.state.streams;
    const SeriesHeader series = *b.state.lpSeriesHeader;

    // Cancelled in a dialog: nothing runs, no summary.
    for (int dialog : {kDialogSeriesGeometry, kDialogLocationParameters}) {
        b.clearAll();
        b.host.scripts[dialog] = typeAndPress({}, kIdCancel);
        b.command(kCmdStatSimulation);
        EXPECT_TRUE(b.sink.empty());
        EXPECT_TRUE(b.host.progressTotals.empty());
        b.host.scripts.erase(dialog);
    }
    b.host.scripts[kDialogLocationParameters] =
        typeAndPress({{kEditPulsesFrom, "6"}, {kEditPulsesTo, "7"}, {kEditRepeats, "3"}}, kIdOk);

    // Cancel on the progress dialog after three series.
    b.clearAll();
    b.host.cancelAt = 3;
    b.command(kCmdStatSimulation);
    // Series already in flight may still report; none of them is kept.
    ASSERT_EQ(b.host.progressDone.size(), 1u);
    EXPECT_GE(b.host.progressDone[0], 3u);
    EXPECT_EQ(simulationTableCsv(*b.state.lpRestErrorHeader), table);
    EXPECT_EQ(b.state.lpRestErrorHeader->wNoiseLevels, 2);
    EXPECT_EQ(b.state.streams.wNoiseSeed, streams.wNoiseSeed);
    EXPECT_EQ(b.state.streams.wPulseCountSeed, streams.wPulseCountSeed);
    EXPECT_EQ(b.state.lpSeriesHeader->lpNoisyData, series.lpNoisyData);
    EXPECT_EQ(b.state.lpSeriesHeader->wRestoredQuantity, series.wRestoredQuantity);
    EXPECT_TRUE(b.host.dialogs.empty() ||
                b.host.dialogs.back() != kDialogRecognitionStatisticsView);
    EXPECT_EQ(b.state.wRepeats, 3);  // what the dialog applied stays
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
