#pragma once

#include "app/command_context.h"

namespace etalon::commands {

// The parameter panel and the two settings dialogs.
CommandFn viewSeriesParameters, subsetSettings, drawingSettings;

}  // namespace etalon::commands
