#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

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
    // The Save-As dialog; nothing when cancelled. filter as "CSV Files (*.csv)".
    virtual std::optional<std::string> askSaveFileName(const std::string& caption,
                                                       const std::string& filter) = 0;
};

}  // namespace etalon
