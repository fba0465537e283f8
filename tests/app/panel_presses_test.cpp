// Presses on the two panels, in the order they are tested, and the drags of
// the parameter panel.
#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "app/main_menu.h"
#include "support/command_rig.h"

namespace etalon {
namespace {

using platform::CursorShape;
using platform::Rect;
using test::CommandRig;

std::vector<int32_t> selectionOf(const SubsetPanelState& p) {
    return {p.selectedSubset.begin(), p.selectedSubset.begin() + p.selectionCount};
}

bool sent(const CommandRig& b, uint16_t id) {
    return std::find(b.host.sent.begin(), b.host.sent.end(), id) != b.host.sent.end();
}

// A tuples series in the subset panel, laid out as the panel's drawing would.
struct PanelRig : CommandRig {
    explicit PanelRig(uint16_t task) {
        command(kCmdFixedTuples);
        command(task);
        command(kCmdSelectPulses);
        layOutPanel();
        host.clear();
    }
    void layOutPanel() {
        allocSubsetPanel(panel());
        layoutSubsetPanel(panel(), layout.rcGraph, {13, 6, 60}, 20, state.wRequiredCount,
                          state.wMaxPulses, subsetPanelTask(state) == TaskCode::TuplesRecognition);
    }
    SubsetPanelState& panel() { return state.subsetPanel; }
    void pressButton(int button) { pressIn(panel().buttonsWhileSelectedSubsetRect[button]); }
    void pressOffered(int k) { pressIn(panel().offeredCellRects[k]); }
};

TEST(PanelPresses, SubsetPanelCellsAndButtons) {
    PanelRig b(kCmdDetection);
    ASSERT_EQ(b.state.nDisplayMode, DisplayMode::SubsetPanel);
    ASSERT_EQ(b.panel().buttonCount, 4);
    b.pressOffered(2);
    b.pressOffered(4);
    EXPECT_EQ(selectionOf(b.panel()), (std::vector<int32_t>{3, 5}));
    EXPECT_EQ(b.host.sent, (std::vector<uint16_t>{kCmdSelectionRepaint, kCmdSelectionRepaint}));
    EXPECT_TRUE(b.host.invalidated(b.panel().selectionAreaRect, true));

    // A marked cell gives way to the next offered etalon.
    b.pressIn(b.panel().possibleSubsetRect[0]);
    EXPECT_EQ(b.panel().selectedMarks[0], 1);
    b.pressOffered(6);
    EXPECT_EQ(selectionOf(b.panel()), (std::vector<int32_t>{5, 7}));
    b.pressIn(b.panel().possibleSubsetRect[1]);
    b.pressButton(kButtonDelete);
    EXPECT_EQ(selectionOf(b.panel()), (std::vector<int32_t>{5}));
    b.pressButton(kButtonDeleteAll);
    EXPECT_EQ(b.panel().selectionCount, 0);

    // " OK " with nothing selected hands nothing over: the panel stays.
    b.host.clear();
    b.pressButton(kButtonOk);
    EXPECT_EQ(b.host.sent, (std::vector<uint16_t>{kCmdReservedRowsRepaint}));
    EXPECT_EQ(b.state.nDisplayMode, DisplayMode::SubsetPanel);
    ASSERT_EQ(b.sink.messages.size(), 1u);
    EXPECT_EQ(b.sink.last().caption, " Select set of pulses");

    b.pressOffered(9);
    b.pressOffered(0);
    b.host.clear();
    b.pressButton(kButtonOk);
    EXPECT_EQ(b.state.nDisplayMode, DisplayMode::Results);
    ASSERT_FALSE(b.host.sent.empty());
    EXPECT_EQ(b.host.sent[0], kCmdNextSeries);
    ASSERT_EQ(b.calls.size(), 1u);
    EXPECT_EQ(b.calls[0].procedure, "detectKnownNumberTuples");
    EXPECT_EQ(b.calls[0].etalons, (std::vector<int32_t>{10, 1}));
    EXPECT_EQ(b.state.lpSeriesHeader->wSubsetLength, 2);

    // " Cancel " empties the selection; the run it starts has no pattern and
    // comes back to the panel.
    b.state.nDisplayMode = DisplayMode::SubsetPanel;
    b.host.clear();
    b.pressButton(kButtonCancel);
    EXPECT_EQ(b.panel().selectionCount, 0);
    EXPECT_TRUE(sent(b, kCmdNextSeries));
    EXPECT_TRUE(sent(b, kCmdSelectPulses));
    EXPECT_EQ(b.state.nDisplayMode, DisplayMode::SubsetPanel);
    EXPECT_EQ(b.calls.size(), 1u);
}

TEST(PanelPresses, TuplesPanelAcceptPickAndClear) {
    PanelRig b(kCmdRecognition);
    ASSERT_EQ(b.panel().buttonCount, 6);
    b.pressButton(kButtonAccept);  // an empty selection is no pattern
    EXPECT_EQ(b.panel().reservedCount, 0);

    b.pressOffered(0);
    b.pressOffered(1);
    b.host.clear();
    b.pressButton(kButtonAccept);
    EXPECT_EQ(b.panel().reservedCount, 1);
    EXPECT_EQ(b.panel().pickedReserved, 1);
    EXPECT_EQ(b.panel().markAll, 1);
    EXPECT_EQ(b.host.sent, (std::vector<uint16_t>{kCmdReservedRowsRepaint}));
    b.pressButton(kButtonAccept);
    EXPECT_EQ(b.panel().reservedCount, 2);

    b.pressIn(b.panel().possibleSubsetArrayRect[0][10]);
    EXPECT_EQ(b.panel().pickedReserved, 1);
    b.pressIn(b.panel().possibleSubsetArrayRect[5][10]);  // no subset there
    EXPECT_EQ(b.panel().pickedReserved, 1);

    b.pressButton(kButtonClearAll);
    EXPECT_EQ(b.panel().reservedCount, 0);
    b.host.clear();
    b.pressButton(kButtonOk);  // nothing reserved: nothing handed over
    EXPECT_EQ(b.state.nDisplayMode, DisplayMode::SubsetPanel);
    EXPECT_NE(b.sink.last().text.find("Accept"), std::string::npos);
    EXPECT_EQ(b.host.sent, (std::vector<uint16_t>{kCmdReservedRowsRepaint}));
}

// " Cancel " in a tuples panel leads back to it while nothing is chosen;
// Escape is the way out, to the alphabet grid.
TEST(PanelPresses, EscapeLeavesTheTuplesPanelForTheGrid) {
    PanelRig b(kCmdDetection);
    b.pressButton(kButtonCancel);
    EXPECT_EQ(b.state.nDisplayMode, DisplayMode::SubsetPanel);
    b.host.clear();
    PressHandler(b.state, b.layout, b.host, b.sink).onEscape();
    EXPECT_EQ(b.state.nDisplayMode, DisplayMode::AlphabetGrid);
    EXPECT_EQ(b.host.sent, (std::vector<uint16_t>{kCmdGridRepaint}));
    b.host.clear();
    PressHandler(b.state, b.layout, b.host, b.sink).onEscape();  // elsewhere it does nothing
    EXPECT_TRUE(b.host.sent.empty());
}

// The parameter panel of the start-up series on a 400 x 400 plot.
struct ParamsRig : CommandRig {
    ParamsRig() {
        command(kCmdViewSeriesParameters);
        layoutParamsGrips(params(), {100, 50, 499, 449}, 5, 5, 13);
        state.paramsPanel = {{600, 600, 680, 625}, {700, 600, 780, 625}, {0, 0, 40, 15}, true};
        host.clear();
    }
    ParamsHeader& params() { return *state.lpParamsHeader; }
    void move(int32_t x, int32_t y) { PressHandler(state, layout, host, sink).onMove(x, y); }
    void release(int32_t x, int32_t y) { PressHandler(state, layout, host, sink).onRelease(x, y); }
};

TEST(PanelPresses, ParameterPanelButtonsAndAreas) {
    ParamsRig b;
    EXPECT_EQ(b.state.nDisplayMode, DisplayMode::ParameterPanel);
    EXPECT_EQ(b.host.edits[kParamEditId], "40");

    for (const char* typed : {"abc", "0", "182"}) {
        SCOPED_TRACE(typed);
        b.host.edits[kParamEditId] = typed;
        b.pressIn(b.state.paramsPanel.ok);
        EXPECT_EQ(b.state.nDisplayMode, DisplayMode::ParameterPanel);
        EXPECT_EQ(b.state.wTmin, 40);
        ASSERT_FALSE(b.sink.messages.empty());
        EXPECT_NE(b.sink.messages.back().text.find("Tmin"), std::string::npos);
    }
    b.host.edits[kParamEditId] = "60 ";
    b.pressIn(b.state.paramsPanel.ok);
    EXPECT_EQ(b.state.wTmin, 60);
    EXPECT_EQ(b.state.nDisplayMode, DisplayMode::Results);
    EXPECT_EQ(b.host.editPlaces[kParamEditId], (Rect{0, 1000, 0, 1000}));
    EXPECT_TRUE(sent(b, kCmdNextSeries));

    ParamsRig c;
    const ParamsHeader& h = c.params();
    c.pressIn(h.pulsesSelectedAreas[2]);
    EXPECT_EQ(h.pulses, h.Mmin + 2);
    EXPECT_EQ(h.redrawMode, 1);
    EXPECT_EQ(c.host.sent, (std::vector<uint16_t>{kCmdGraphOverlay}));
    c.pressIn(h.aPlusMarkerRect);
    EXPECT_EQ(h.aPlusDrag, 1);
    c.press(h.tminLine.x2, h.tminLine.y2);
    EXPECT_EQ(h.tminLine.drag, 1);
    c.pressIn(c.state.paramsPanel.cancel);
    EXPECT_EQ(c.state.nDisplayMode, DisplayMode::Results);
    EXPECT_EQ(c.host.editPlaces[kParamEditId], (Rect{0, 0, 0, 0}));

    // Without a series record only the buttons answer.
    ParamsRig none;
    const Rect area = none.params().pulsesSelectedAreas[0];
    none.state.lpParamsHeader.reset();
    none.pressIn(area);
    EXPECT_TRUE(none.host.sent.empty());
    none.move(area.left, area.top);
    none.pressIn(none.state.paramsPanel.cancel);
    EXPECT_EQ(none.state.nDisplayMode, DisplayMode::Results);
}

TEST(PanelPresses, ParameterPanelDragsAndHover) {
    ParamsRig b;
    ParamsHeader& h = b.params();
    b.press(h.tminLine.x2, h.tminLine.y2);
    ASSERT_EQ(h.tminLine.drag, 1);
    b.move(pulseX(h, 14), valueY(h, h.b - 4 * 60));
    EXPECT_NEAR(h.Tmin, 60, 2);
    EXPECT_EQ(b.host.edits[kParamEditId], std::to_string(h.Tmin));  // what " OK " will read
    EXPECT_EQ(h.redrawMode, 1);
    EXPECT_EQ(b.host.sent.back(), kCmdGraphOverlay);
    const int32_t dragged = h.Tmin;
    b.move(pulseX(h, 18), valueY(h, h.b - 60));  // a Tmax-sized step: refused, the drag ends
    EXPECT_EQ(h.Tmin, dragged);
    EXPECT_EQ(h.tminLine.drag, 0);

    b.pressIn(h.aPlusMarkerRect);
    b.move(300, 250);
    EXPECT_EQ(h.aPlus, (449 - 250) * h.b / 400);
    b.release(300, 200);
    EXPECT_EQ(h.aPlus, (449 - 200) * h.b / 400);
    EXPECT_EQ(h.aPlusDrag, 0);

    // Hovering over a grip captures the mouse with a sizing cursor; leaving it gives both back.
    layoutParamsGrips(h, h.plotRect, 5, 5, 13);
    const Rect grip = h.bMinusMarkerRect;
    b.move(grip.left + 1, (grip.top + grip.bottom) / 2);
    EXPECT_TRUE(b.host.captured);
    EXPECT_EQ(b.host.cursor, CursorShape::SizeNS);
    b.move(grip.left + 1, grip.bottom + 30);
    EXPECT_FALSE(b.host.captured);
    EXPECT_EQ(b.host.cursor, CursorShape::Arrow);
    ParamsRig fresh;
    const GripLine& line = fresh.params().tmaxLine;
    fresh.move(line.x2, line.y2);
    EXPECT_EQ(fresh.host.cursor, CursorShape::SizeNWSE);
    EXPECT_EQ(fresh.params().tmaxLine.hover, 1);
}

}  // namespace
}  // namespace etalon
