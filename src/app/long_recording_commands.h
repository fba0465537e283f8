// A recording longer than a series, restored whole with the unknown count
// behind the progress dialog, and what the commands do with it.
#pragma once

#include <string>

#include "app/command_context.h"
#include "dialogs/file_dialogs.h"
#include "io/recording.h"

namespace etalon {

// Shown when a long recording is asked for what only works on a series.
extern const char* const kUnknownCountOnly;

// " Open series..." of more samples than a series holds: restores all of
// them; Cancel, a refusal or a failure changes nothing.
void openLongRecording(CommandContext& ctx, io::Recording&& recording, const std::string& path,
                       const OpenSeriesValues& values);

// The same samples with nothing restored.
std::shared_ptr<const LongRecording> unrestoredCopy(const LongRecording& recording);

// The shown long recording restored again for the current task and working
// set (" Processing Same Data" and every rerun).
void processLongRecording(CommandContext& ctx);

}  // namespace etalon
