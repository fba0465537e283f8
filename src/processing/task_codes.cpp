#include "processing/task_codes.h"

#include "series/series_codes.h"

namespace etalon {

uint16_t effectiveTask(uint16_t taskType, uint16_t seriesType) {
    if (isTuplesSeries(seriesType)) {
        if (taskType == kTaskDetection) return kTaskTuplesDetection;
        if (taskType == kTaskRecognition) return kTaskTuplesRecognition;
    }
    return taskType;
}

bool isTuplesTask(uint16_t effectiveTask) {
    return effectiveTask == kTaskTuplesDetection || effectiveTask == kTaskTuplesRecognition;
}

const char* taskReportText(uint16_t task) {
    switch (task) {
        case kTaskDetection:
            return "detection";
        case kTaskRecognition:
            return "recognition";
        case kTaskJoint:
            return "joint detection and identification";
        default:
            return nullptr;
    }
}

}  // namespace etalon
