#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "export/snapshot.h"
#include "platform/dialog.h"
#include "platform/geometry.h"
#include "platform/progress.h"

namespace etalon {

// What the commands and presses need of the main window, " Save image as..."
// included. The workbench implements it over the real window; tests use a
// stand-in that records.
class CommandHost : public SnapshotWindow {
  public:
    virtual ~CommandHost() = default;
    virtual void checkMenuItem(uint16_t id, bool checked) = 0;
    // Greys a menu item (false) or makes it choosable again.
    virtual void enableMenuItem(uint16_t id, bool enabled) = 0;
    // Marks a rectangle, or the whole client area when given none, for
    // repainting; erase asks for white under the next paint.
    virtual void invalidate(const platform::Rect* rect, bool erase) = 0;
    // Runs a command to completion, nested in the caller.
    virtual void sendCommand(uint16_t id) = 0;
    virtual void close() = 0;
    // Shows a modal dialog; returns what its procedure ended it with.
    virtual int runDialog(int dialogId, const platform::DialogTemplate& dialog,
                          const platform::DialogProcedure& procedure) = 0;
    // Runs long work off the GUI thread behind a progress dialog with
    // Cancel; false when it was cancelled.
    virtual bool runWithProgress(const std::string& caption, uint32_t total,
                                 const std::function<void(platform::ProgressChannel&)>& work) = 0;
    // The child edit control: its text, and where it shows (x, y, width,
    // height; a zero size hides it).
    virtual std::string editText(uint16_t id) const = 0;
    virtual void setEditText(uint16_t id, const std::string& text) = 0;
    virtual void moveEditControl(uint16_t id, int32_t x, int32_t y, int32_t width, int32_t height,
                                 bool repaint) = 0;
    // The mouse capture and the pointer shape; setCursor returns the shape before.
    virtual void setCapture() = 0;
    virtual void releaseCapture() = 0;
    virtual platform::CursorShape setCursor(platform::CursorShape shape) = 0;
    // The Open dialog for an existing file; nothing when cancelled.
    virtual std::optional<std::string> askOpenFile(const std::string& title,
                                                   const std::vector<std::string>& filters) = 0;
    // A question with Yes and No; true for Yes.
    virtual bool askYesNo(const std::string& text, const std::string& caption) = 0;
};

}  // namespace etalon
