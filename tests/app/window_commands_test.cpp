// The commands about the window itself through the stand-in host: the
// repaints, closing, and the saved image of the client area.
#include <gtest/gtest.h>

#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "app/command_checks.h"
#include "app/command_handler.h"
#include "app/main_menu.h"
#include "support/command_rig.h"

namespace etalon {
namespace {

using platform::Rect;
using test::CommandRig;
using test::Ids;
using test::raisedGraph;
using test::widenedCell;

TEST(Commands, RepaintsCoverWhatChanged) {
    CommandRig b;
    b.state.wEffectiveTask = TaskCode::Detection;
    b.state.nSelectedEtalon = 7;
    b.state.nPrevSelectedEtalon = 1;
    b.command(kCmdEtalonHighlight);
    EXPECT_EQ(b.host.invalidations.size(), 2u);
    EXPECT_TRUE(b.host.invalidated(widenedCell(b.layout, 7), true));
    EXPECT_TRUE(b.host.invalidated(widenedCell(b.layout, 1), true));
    EXPECT_EQ(widenedCell(b.layout, 1), (Rect{19, 19, 180, 179}));

    b.host.clear();
    b.state.wEffectiveTask = TaskCode::Recognition;
    b.command(kCmdEtalonHighlight);
    EXPECT_EQ(b.host.invalidations.size(), 2u);
    EXPECT_TRUE(b.host.invalidated(b.layout.rcToggleButton, true));

    b.host.clear();
    b.state.bRepaintButtons = 1;
    b.command(kCmdGridRepaint);
    const Rect& column = b.layout.rcButtonColumn;
    EXPECT_TRUE(b.host.invalidated(raisedGraph(b.layout), true));
    EXPECT_TRUE(b.host.invalidated(b.layout.rcToggleButton, true));
    EXPECT_TRUE(
        b.host.invalidated({column.left, column.top, column.right + 1, column.bottom + 1}, true));
    EXPECT_EQ(b.state.bRepaintButtons, 0);

    b.host.clear();
    b.command(kCmdTypeMoreDetails);
    EXPECT_EQ(b.host.sent, (Ids{kCmdTypeMoreDetails, kCmdResultsRepaint}));
    EXPECT_EQ(b.state.bNoErase, 1);
    EXPECT_TRUE(b.host.invalidated(raisedGraph(b.layout), false));

    b.host.clear();
    b.command(kCmdGraphOverlay);
    b.command(kCmdGraphRepaint);
    b.command(kCmdRepaintAll);
    EXPECT_EQ(b.host.invalidations.size(), 3u);
    EXPECT_TRUE(b.host.invalidated(raisedGraph(b.layout), false));
    EXPECT_TRUE(b.host.invalidated(raisedGraph(b.layout), true));
    EXPECT_TRUE(b.host.erasedWhole());

    b.host.clear();
    b.state.subsetPanel.selectionAreaRect = {5, 6, 7, 8};
    b.state.subsetPanel.possibleSubsetArrayRect[3][10] = {1, 2, 3, 4};
    b.command(kCmdReservedRowsRepaint);
    EXPECT_EQ(b.host.invalidations.size(), 11u);
    EXPECT_TRUE(b.host.invalidated({1, 2, 3, 4}, true));
    EXPECT_TRUE(b.host.invalidated({5, 6, 7, 8}, true));

    b.host.clear();
    b.command(kCmdSelectPulses);
    EXPECT_EQ(b.state.nDisplayMode, DisplayMode::SubsetPanel);
    EXPECT_TRUE(b.host.invalidated(raisedGraph(b.layout), true));
}

TEST(Commands, ExitClosesAndInertCommandsDoNothing) {
    CommandRig b;
    b.command(kCmdExit);
    b.command(kCmdClose);
    EXPECT_EQ(b.host.closed, 2);
    b.host.clear();
    // Ids the menu and the chain keep without an effect.
    for (uint16_t id : {uint16_t{kCmdNothing}, uint16_t{217}, uint16_t{219}, uint16_t{220},
                        uint16_t{kCmdElseCreateSeries}})
        b.command(id);
    EXPECT_TRUE(b.host.invalidations.empty());
    EXPECT_TRUE(b.host.dialogs.empty());
    EXPECT_EQ(b.host.sent.size(), 5u);
    EXPECT_EQ(b.state.nDisplayMode, DisplayMode::AlphabetGrid);
}

// " Save image as..." saves the client area as it was when chosen, in the
// file the user names, and changes nothing in the window.
TEST(Commands, SaveImageWritesTheClientAreaToTheNamedFile) {
    CommandRig b;
    std::string folder = (std::filesystem::temp_directory_path() / "etalon-save-XXXXXX").string();
    ASSERT_NE(::mkdtemp(folder.data()), nullptr);
    b.host.clientArea = {
        3, 2, {0xffffffff, 0xff102030, 0xffffffff, 0xff000000, 0xffffffff, 0xffa0b0c0}};
    b.host.saveChoice = SaveChoice{folder + "/shot", 0};
    b.command(kCmdSaveImage);
    EXPECT_EQ(b.host.captures, 1);
    EXPECT_EQ(b.host.saveCaptions,
              (std::vector<std::string>{"Snapshot File Name | Bitmap Files (*.bmp) | PCX Files "
                                        "(*.pcx) | PNG Files (*.png) | SVG Files (*.svg)"}));
    std::ifstream in(folder + "/shot.bmp", std::ios::binary);
    const std::vector<uint8_t> bmp{std::istreambuf_iterator<char>(in), {}};
    ASSERT_EQ(bmp.size(), 54u + 64);
    // Bottom-up rows of blue, green, red, zero.
    EXPECT_EQ(std::vector<uint8_t>(bmp.begin() + 54, bmp.begin() + 54 + 12),
              (std::vector<uint8_t>{0, 0, 0, 0, 0xff, 0xff, 0xff, 0, 0xc0, 0xb0, 0xa0, 0}));
    EXPECT_EQ(std::vector<uint8_t>(bmp.begin() + 66 + 4, bmp.begin() + 66 + 8),
              (std::vector<uint8_t>{0x30, 0x20, 0x10, 0}));
    EXPECT_TRUE(b.sink.empty());
    EXPECT_TRUE(b.host.invalidations.empty());
    EXPECT_TRUE(b.host.sent == Ids{kCmdSaveImage});

    // An ending no format has: a message, and no file.
    b.host.saveChoice = SaveChoice{folder + "/shot.gif", 0};
    b.command(kCmdSaveImage);
    ASSERT_EQ(b.sink.messages.size(), 1u);
    EXPECT_NE(b.sink.last().text.find(".png"), std::string::npos);
    EXPECT_FALSE(std::filesystem::exists(folder + "/shot.gif"));
    std::filesystem::remove_all(folder);
}

}  // namespace
}  // namespace etalon
