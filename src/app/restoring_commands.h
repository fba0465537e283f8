#pragma once

#include <functional>

#include "app/command_context.h"
#include "processing/restoring.h"

namespace etalon {

// Runs one input of the user with every command it sends. When a
// restoration in it is cancelled or refused, the whole state goes back to
// what it was before the input: the steps before the restoration changed it
// on their way (a new series, the streams, the settings taken over).
void runUndoableInput(AppState& state, const std::function<void()>& input);

namespace commands {

// The procedure the task and series type call for, on copies of the state.
bool runProcedure(CommandContext& ctx);
void refreshMatchedFilterPulses(CommandContext& ctx, RestoringProcedure procedure);
// The matched filter's two toggles.
CommandFn compareMatchedFilter, showMatchedFilterPulses;

}  // namespace commands
}  // namespace etalon
