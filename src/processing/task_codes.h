#pragma once

#include <cstdint>

namespace etalon {

// Task types of the " Select Task Type" menu, the effective tasks derived from
// them, and the codes the records name though no menu produces them.
enum TaskCode : uint16_t {
    kTaskDetection = 1,
    kTaskRecognition = 2,
    kTaskJoint = 4,
    kTaskJointEstimation = 8,
    kTaskJointEstimationAlt = 16,
    kTaskBlindDetection = 32,
    kTaskTuplesDetection = 36,
    kTaskTuplesRecognition = 40,
    kTaskSeriesProcessing = 64,
};

// Detection and Recognition on a tuples series become tuples detection and recognition.
uint16_t effectiveTask(uint16_t taskType, uint16_t seriesType);

bool isTuplesTask(uint16_t effectiveTask);

// Text the reports use for a task type; null where there is none.
const char* taskReportText(uint16_t task);

}  // namespace etalon
