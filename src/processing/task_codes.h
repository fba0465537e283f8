#pragma once

#include <cstdint>
#include <iosfwd>

#include "series/series_codes.h"

namespace etalon {

// Task types of the " Select Task Type" menu, the effective tasks derived from
// them, and the codes the records name though no menu produces them.
enum class TaskCode : uint16_t {
    Detection = 1,
    Recognition = 2,
    Joint = 4,
    JointEstimation = 8,
    JointEstimationAlt = 16,
    BlindDetection = 32,
    TuplesDetection = 36,
    TuplesRecognition = 40,
    SeriesProcessing = 64,
};

// Written as its number, as files and reports show it.
std::ostream& operator<<(std::ostream& out, TaskCode task);

// The number that stands for the task in files and reports.
inline uint16_t codeNumber(TaskCode task) {
    return static_cast<uint16_t>(task);
}

// Detection and Recognition on a tuples series become tuples detection and recognition.
TaskCode effectiveTask(TaskCode taskType, SeriesCode seriesType);

bool isTuplesTask(TaskCode effectiveTask);

// Text the reports use for a task type; null where there is none.
const char* taskReportText(TaskCode task);

}  // namespace etalon
