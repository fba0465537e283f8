#pragma once

// The checks of the arguments the bindings share: each refusal names the
// argument, as TypeError for a wrong type and ValueError for a wrong value.
#include <pybind11/pybind11.h>

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "io/alphabet_file.h"
#include "processing/task_codes.h"
#include "pulses/pulse_header.h"
#include "restoring_calls.h"

namespace etalon::python {

namespace py = pybind11;

constexpr int64_t kLargestPosition = 32767;

// `etalons` as an (n, L) array; None: the built-in 20.
std::vector<PulseHeader> alphabetOf(const py::object& etalons, const char* name,
                                    io::EtalonDepth depth = io::EtalonDepth::Series);

// A whole number (not a bool, not an array) within low..high.
int64_t whole(const py::object& value, const char* name, int64_t low, int64_t high);

// None, or a count within 1..kLargestPosition.
std::optional<uint16_t> optionalCount(const py::object& value, const char* name);

// None, a byte count or a size like "512M".
std::optional<std::size_t> memoryLimitOf(const py::object& value);

// tmin and tmax into `call`, tmin not above tmax.
void checkBounds(const py::object& tmin, const py::object& tmax, RestoringCall& call);
// As checkBounds for a recording, whose tmax may also pass 32767 or be None.
void checkRecordingBounds(const py::object& tmin, const py::object& tmax, RestoringCall& call);

// The numbers 1..n of the alphabet's etalons.
std::vector<uint16_t> everyEtalon(const std::vector<PulseHeader>& alphabet);

// The etalons a task works with: the one `etalon` for detection, else the
// listed `etalons`, else every one of the alphabet.
std::vector<uint16_t> workingListOf(TaskCode task, const py::object& etalon,
                                    const py::object& etalons,
                                    const std::vector<PulseHeader>& alphabet);

// Refuses a geometry in which no series of `length` samples can be made.
void checkSeriesGeometry(uint32_t length, uint16_t pulseLength, uint16_t tmin, uint16_t tmax);

uint16_t proceedingOf(const py::object& proceeding);

// detection, recognition, joint or processing.
TaskCode taskNamed(const std::string& task);

// One of the series types etalon-cli makes.
void checkSeriesType(int type);

}  // namespace etalon::python
