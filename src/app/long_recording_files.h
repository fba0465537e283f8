// The file commands on a long recording: every pulse out, the whole
// recording out, an etalon cut anywhere in it.
#pragma once

#include "app/command_context.h"
#include "app/long_recording.h"

namespace etalon {

void exportLongResults(CommandContext& ctx, const LongRecording& recording);
void saveLongSeries(CommandContext& ctx, const LongRecording& recording);
void cutEtalonFromLongRecording(CommandContext& ctx, const LongRecording& recording);

}  // namespace etalon
