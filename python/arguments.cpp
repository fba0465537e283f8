#include "arguments.h"

#include <pybind11/numpy.h>

#include <algorithm>

#include "arrays.h"
#include "base/memory_budget.h"
#include "io/geometry_text.h"
#include "streams.h"

namespace etalon::python {

std::vector<PulseHeader> alphabetOf(const py::object& etalons, const char* name,
                                    io::EtalonDepth depth) {
    return etalons.is_none() ? builtInAlphabet() : etalonsFrom(etalons, name, depth);
}

int64_t whole(const py::object& value, const char* name, int64_t low, int64_t high) {
    if (!PyIndex_Check(value.ptr()) || PyBool_Check(value.ptr()) ||
        py::isinstance<py::array>(value))
        throw py::type_error(std::string(name) + ": expected a whole number, got " +
                             py::str(py::type::of(value).attr("__name__")).cast<std::string>());
    const auto v = value.cast<int64_t>();
    if (v < low || v > high)
        throw py::value_error(std::string(name) + ": " + std::to_string(v) + " is outside " +
                              std::to_string(low) + ".." + std::to_string(high));
    return v;
}

std::optional<uint16_t> optionalCount(const py::object& value, const char* name) {
    if (value.is_none()) return std::nullopt;
    return static_cast<uint16_t>(whole(value, name, 1, kLargestPosition));
}

std::optional<std::size_t> memoryLimitOf(const py::object& value) {
    if (value.is_none()) return std::nullopt;
    if (py::isinstance<py::str>(value)) {
        const auto parsed = parseMemorySize(value.cast<std::string>());
        if (!parsed)
            throw py::value_error("memory_limit: '" + value.cast<std::string>() +
                                  "' is no size like 512M, 2G or 1000000");
        return parsed;
    }
    return static_cast<std::size_t>(whole(value, "memory_limit", 1, INT64_MAX));
}

void checkBounds(const py::object& tmin, const py::object& tmax, RestoringCall& call) {
    call.tmin = static_cast<uint16_t>(whole(tmin, "tmin", 1, kLargestPosition));
    call.tmax = static_cast<uint16_t>(whole(tmax, "tmax", 1, kLargestPosition));
    if (call.tmin > call.tmax)
        throw py::value_error("tmin: " + std::to_string(call.tmin) + " is above tmax " +
                              std::to_string(call.tmax));
}

void checkRecordingBounds(const py::object& tmin, const py::object& tmax, RestoringCall& call) {
    if (!tmax.is_none() && whole(tmax, "tmax", 1, INT64_MAX) <= kLargestPosition) {
        checkBounds(tmin, tmax, call);
        call.recordingTmax = call.tmax;
        return;
    }
    call.tmin = static_cast<uint16_t>(whole(tmin, "tmin", 1, kLargestPosition));
    call.tmax = static_cast<uint16_t>(kLargestPosition);
    call.recordingTmax.reset();
    if (!tmax.is_none()) call.recordingTmax = tmax.cast<int64_t>();
}

std::vector<uint16_t> everyEtalon(const std::vector<PulseHeader>& alphabet) {
    std::vector<uint16_t> list;
    for (uint16_t e = 1; e <= alphabet.size(); ++e)
        list.push_back(e);
    return list;
}

std::vector<uint16_t> workingListOf(TaskCode task, const py::object& etalon,
                                    const py::object& etalons,
                                    const std::vector<PulseHeader>& alphabet) {
    const auto count = static_cast<uint16_t>(alphabet.size());
    if (task == TaskCode::Detection)
        return {static_cast<uint16_t>(whole(etalon, "etalon", 1, count))};
    if (etalons.is_none()) return everyEtalon(alphabet);
    std::vector<uint16_t> list;
    for (int32_t e : numbersFrom(etalons, "etalons", count))
        list.push_back(static_cast<uint16_t>(e));
    return list;
}

void checkSeriesGeometry(uint32_t length, uint16_t pulseLength, uint16_t tmin, uint16_t tmax) {
    const std::string fault =
        io::geometryFaultText(length, pulseLength, tmin, tmax,
                              {"length " + std::to_string(length), "tmin " + std::to_string(tmin),
                               "tmax " + std::to_string(tmax)});
    if (!fault.empty()) throw py::value_error(fault + ": no series can be made");
}

uint16_t proceedingOf(const py::object& proceeding) {
    return static_cast<uint16_t>(whole(proceeding, "proceeding", 1, 2));
}

TaskCode taskNamed(const std::string& task) {
    if (task == "detection") return TaskCode::Detection;
    if (task == "recognition") return TaskCode::Recognition;
    if (task == "joint") return TaskCode::Joint;
    if (task == "processing") return TaskCode::SeriesProcessing;
    throw py::value_error("task: '" + task +
                          "' is not one of detection, recognition, joint, processing");
}

void checkSeriesType(int type) {
    static const std::vector<int> kTypes{1, 2, 4, 8, 16, 32, 36, 40};
    if (std::find(kTypes.begin(), kTypes.end(), type) == kTypes.end())
        throw py::value_error("type: " + std::to_string(type) +
                              " is not one of 1, 2, 4, 8, 16, 32, 36, 40");
}

}  // namespace etalon::python
