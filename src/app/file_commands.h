#pragma once

#include "app/command_context.h"

namespace etalon::commands {

// Recordings, alphabets and results in files.
CommandFn openSeries, saveSeries, exportResults, openEtalons, saveEtalons, etalonFromSeries;

}  // namespace etalon::commands
