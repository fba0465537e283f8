#pragma once

#include "app/command_context.h"

namespace etalon::commands {

// The repaint commands; the repaints the areas share are the context's.
CommandFn resultsRepaint, etalonHighlight, gridRepaint, reservedRowsRepaint;

}  // namespace etalon::commands
