#include "simulation/rest_error_names.h"

#include "processing/chains_header.h"

namespace etalon {

const char* restErrorTaskName(uint16_t effectiveTask) {
    switch (effectiveTask) {
        case 8:
        case 16: return "joint detection and estimation";
        case 32: return "blind detection";
        default: return chainsTaskName(effectiveTask);
    }
}

// Both records name the series types alike.
const char* restErrorSeriesTypeName(uint16_t seriesType) { return chainsSeriesTypeName(seriesType); }

}  // namespace etalon
