#include "processing/task_codes.h"

#include <ostream>

#include "series/series_codes.h"

namespace etalon {

std::ostream& operator<<(std::ostream& out, TaskCode task) {
    return out << codeNumber(task);
}

TaskCode effectiveTask(TaskCode taskType, SeriesCode seriesType) {
    if (isTuplesSeries(seriesType)) {
        if (taskType == TaskCode::Detection) return TaskCode::TuplesDetection;
        if (taskType == TaskCode::Recognition) return TaskCode::TuplesRecognition;
    }
    return taskType;
}

bool isTuplesTask(TaskCode effectiveTask) {
    return effectiveTask == TaskCode::TuplesDetection ||
           effectiveTask == TaskCode::TuplesRecognition;
}

const char* taskReportText(TaskCode task) {
    switch (task) {
        case TaskCode::Detection:
            return "detection";
        case TaskCode::Recognition:
            return "recognition";
        case TaskCode::Joint:
            return "joint detection and identification";
        default:
            return nullptr;
    }
}

}  // namespace etalon
