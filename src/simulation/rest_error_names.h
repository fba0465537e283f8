#pragma once

#include <cstdint>

#include "processing/task_codes.h"

namespace etalon {

// Texts the simulation's error record stores for a task and a series type;
// null for codes without one. They differ from the results record's for
// tasks 8, 16 and 32.
const char* restErrorTaskName(TaskCode effectiveTask);
const char* restErrorSeriesTypeName(SeriesCode seriesType);

}  // namespace etalon
