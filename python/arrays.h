#pragma once

#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "io/alphabet_file.h"

#include "pulses/pulse_header.h"

namespace etalon::python {

namespace py = pybind11;

using Int16Array = py::array_t<int16_t, py::array::c_style>;

// A 1-D series handed in from Python. C-contiguous int16 is borrowed as it
// is; any other integer or float array is converted as the recording reader
// converts a file's values (integers within +-32,767 kept, others scaled),
// with its refusals.
class SamplesInput {
  public:
    std::span<const int16_t> span() const {
        return borrowed_ ? std::span<const int16_t>(borrowed_->data(),
                                                    static_cast<std::size_t>(borrowed_->size()))
                         : std::span<const int16_t>(converted_);
    }
    bool borrowed() const { return borrowed_.has_value(); }

    friend SamplesInput samplesFrom(py::handle object, const char* name);

  private:
    std::optional<Int16Array> borrowed_;
    std::vector<int16_t> converted_;
};

// Raises TypeError (not an array of numbers) or ValueError (not 1-D, empty,
// NaN, beyond what 16-bit samples hold), naming the argument.
SamplesInput samplesFrom(py::handle object, const char* name);

// An (n, L) integer array of etalons, checked as an alphabet file is.
std::vector<PulseHeader> etalonsFrom(py::handle object, const char* name,
                                     io::EtalonDepth depth = io::EtalonDepth::Series);

// A list of etalon numbers within 1..`etalons`.
std::vector<int32_t> numbersFrom(py::handle object, const char* name, uint16_t etalons);

py::array_t<int16_t> int16Array(std::span<const int16_t> values);
py::array_t<int64_t> int64Array(std::span<const int64_t> values);
// The etalons as an (n, L) array.
py::array_t<int16_t> alphabetArray(std::span<const PulseHeader> alphabet);

}  // namespace etalon::python
