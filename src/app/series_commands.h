#pragma once

#include <cstddef>
#include <cstdint>

#include "app/command_context.h"

namespace etalon {

// Asked before a command replaces a loaded recording: true when the user
// keeps it, and the command then does nothing.
bool keepsLoadedRecording(const AppState& state, CommandHost& host);

// Makes lpEtalonSequence hold at least `entries` entries, keeping those it has
// and filling the new ones with nDefaultEtalon.
void growEtalonSequence(AppState& state, std::size_t entries);

namespace commands {

// The working set, and a series from the two dialogs.
CommandFn newPulses, createSeries;
// Task and series types.
void chooseTask(CommandContext& ctx, uint16_t id);
void chooseSeriesType(CommandContext& ctx, uint16_t id);
// The chain: each step sends the next through the host.
CommandFn seriesParameters, nextSeries, newGeometry, makeSeries, addNoise, process, selectorPick;

}  // namespace commands
}  // namespace etalon
