#pragma once

#include <cstdint>

namespace etalon {

// Texts the simulation's error record stores for a task and a series type;
// null for codes without one. They differ from the results record's for
// tasks 8, 16 and 32.
const char* restErrorTaskName(uint16_t effectiveTask);
const char* restErrorSeriesTypeName(uint16_t seriesType);

}  // namespace etalon
