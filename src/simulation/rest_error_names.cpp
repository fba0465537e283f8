#include "simulation/rest_error_names.h"

#include "processing/chains_header.h"
#include "processing/task_codes.h"

namespace etalon {

const char* restErrorTaskName(TaskCode effectiveTask) {
    switch (effectiveTask) {
        case TaskCode::JointEstimation:
        case TaskCode::JointEstimationAlt:
            return "joint detection and estimation";
        case TaskCode::BlindDetection:
            return "blind detection";
        default:
            return chainsTaskName(effectiveTask);
    }
}

// Both records name the series types alike.
const char* restErrorSeriesTypeName(SeriesCode seriesType) {
    return chainsSeriesTypeName(seriesType);
}

}  // namespace etalon
