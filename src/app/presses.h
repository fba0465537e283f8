#pragma once

#include <cstdint>

#include "app/app_state.h"
#include "app/command_host.h"
#include "app/window_layout.h"
#include "base/message_sink.h"

namespace etalon {

// Left-button presses on what the client area draws: the alphabet grid, the
// panels, the buttons and the selectors, tested against the rectangles of the
// last paint; and the pointer's moves and releases over the parameter panel.
// Most presses end by sending a command; the work happens there.
class PressHandler {
  public:
    PressHandler(AppState& state, const WindowLayout& layout, CommandHost& host, MessageSink& sink);

    void onPress(int32_t x, int32_t y);
    void onMove(int32_t x, int32_t y);
    void onRelease(int32_t x, int32_t y);
    // Escape: the subset panel gives way to the alphabet grid, the one way
    // back from a tuples series' panel, whose " Cancel " leads to it again.
    void onEscape();

  private:
    void backToGrid();
    bool pressSubsetPanel(int32_t x, int32_t y);
    bool pressSubsetButton(int button);
    bool pressParamsPanel(int32_t x, int32_t y);
    bool pressParamsOk();
    void startRun();
    // A drag step: the dragged values follow the pointer; false when nothing is dragged.
    bool dragTo(int32_t x, int32_t y);
    void hover(int32_t x, int32_t y);
    bool pressGrid(int32_t x, int32_t y);
    bool pressResults(int32_t x, int32_t y);
    bool pressListedReserved(int32_t x, int32_t y);
    bool pressCell(int32_t x, int32_t y);
    void pressStart1InGrid();
    void pressStart1InResults();
    bool pressToggle(int32_t x, int32_t y);
    bool pressSelectors(int32_t x, int32_t y);
    void pickLengthOrNoise(bool length, int32_t entry);
    void pickLostLevel(int32_t entry);
    bool handOverSubset();
    void openSubsetPanel(uint16_t command);
    void clearSelectorFlags();

    AppState& state_;
    const WindowLayout& layout_;
    CommandHost& host_;
    MessageSink& sink_;
};

}  // namespace etalon
