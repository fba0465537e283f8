#include "simulation/rest_error_names.h"

#include "processing/chains_header.h"
#include "processing/task_codes.h"

namespace etalon {

const char* restErrorTaskName(uint16_t effectiveTask) {
    switch (effectiveTask) {
        case kTaskJointEstimation:
        case kTaskJointEstimationAlt:
            return "joint detection and estimation";
        case kTaskBlindDetection:
            return "blind detection";
        default:
            return chainsTaskName(effectiveTask);
    }
}

// Both records name the series types alike.
const char* restErrorSeriesTypeName(uint16_t seriesType) {
    return chainsSeriesTypeName(seriesType);
}

}  // namespace etalon
