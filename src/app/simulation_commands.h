#pragma once

#include "app/command_context.h"

namespace etalon::commands {

// The statistical simulation: its ranges, the run, its plots and its table.
CommandFn statisticalSimulation, showStatisticalSimulation, exportSimulationTable;
// Its two dialogs; false when either was cancelled.
bool locationParameters(CommandContext& ctx);

}  // namespace etalon::commands
