#pragma once

#include <cstdint>

#include "app/command_context.h"
// What the handler's users call besides it: the check before a series is
// replaced, the undoable input and the subset hand-over.
#include "app/restoring_commands.h"
#include "app/series_commands.h"
#include "app/subset_handover.h"

namespace etalon {

// Every command of the menu and the internal commands the window sends
// itself, each handed to the handler of its area. A chain of internal
// commands runs nested through the host and stops at the first step that
// reports a failure.
class CommandHandler {
  public:
    CommandHandler(AppState& state, const WindowLayout& layout, CommandHost& host,
                   MessageSink& sink, const RestoringProcedures& procedures);

    void onCommand(uint16_t id);

  private:
    CommandContext ctx_;
};

}  // namespace etalon
