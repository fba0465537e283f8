#include "arrays.h"

#include <cmath>

#include "io/alphabet_file.h"
#include "io/recording_span.h"

namespace etalon::python {

namespace {

py::array numericArray(py::handle object, const char* name) {
    py::array array;
    try {
        array = py::array::ensure(object);
    } catch (const py::error_already_set&) {
    }
    if (!array) throw py::type_error(std::string(name) + ": expected a NumPy array of numbers");
    const char kind = array.dtype().kind();
    if (kind != 'i' && kind != 'u' && kind != 'f')
        throw py::type_error(std::string(name) + ": dtype " +
                             py::str(array.dtype()).cast<std::string>() +
                             " is not an integer or float type");
    return array;
}

}  // namespace

SamplesInput samplesFrom(py::handle object, const char* name) {
    SamplesInput input;
    if (py::isinstance<Int16Array>(object)) {
        Int16Array direct = py::reinterpret_borrow<Int16Array>(object);
        if (direct.ndim() == 1 && direct.size() > 0) {
            input.borrowed_ = std::move(direct);
            return input;
        }
    }
    const py::array array = numericArray(object, name);
    if (array.ndim() != 1)
        throw py::value_error(std::string(name) + ": expected a 1-D array, got " +
                              std::to_string(array.ndim()) + "-D");
    if (array.size() == 0) throw py::value_error(std::string(name) + ": holds no samples");
    const auto values =
        py::array_t<double, py::array::c_style | py::array::forcecast>::ensure(array);
    io::RecordingRequest request;
    request.path = name;
    request.anyLength = true;
    const double* data = values.data();
    io::Recording recording;
    const std::string problem = io::readSpan(request, recording, [&](io::RecordingSpan& span) {
        for (py::ssize_t i = 0; i < values.size(); ++i) {
            if (!std::isfinite(data[i]))
                throw py::value_error(std::string(name) + ": sample " + std::to_string(i) + " is " +
                                      (std::isnan(data[i]) ? "NaN" : "infinite") +
                                      ", not a number a series can hold");
            if (!span.take(data[i])) break;
        }
        return span.problem();
    });
    if (!problem.empty()) throw py::value_error(problem);
    input.converted_ = std::move(recording.samples);
    return input;
}

std::vector<PulseHeader> etalonsFrom(py::handle object, const char* name, io::EtalonDepth depth) {
    const py::array array = numericArray(object, name);
    if (array.dtype().kind() == 'f')
        throw py::type_error(std::string(name) + ": etalons are whole numbers; got dtype " +
                             py::str(array.dtype()).cast<std::string>());
    if (array.ndim() != 2)
        throw py::value_error(std::string(name) + ": expected an (n, L) array, got " +
                              std::to_string(array.ndim()) + "-D");
    const auto values =
        py::array_t<int64_t, py::array::c_style | py::array::forcecast>::ensure(array);
    const auto rows = static_cast<std::size_t>(values.shape(0));
    const auto length = static_cast<std::size_t>(values.shape(1));
    std::vector<std::vector<int16_t>> table(rows);
    for (std::size_t r = 0; r < rows; ++r) {
        for (std::size_t i = 0; i < length; ++i) {
            const int64_t v = values.data()[r * length + i];
            if (v < -INT16_MAX || v > INT16_MAX)
                throw py::value_error(std::string(name) + ": row " + std::to_string(r) + "[" +
                                      std::to_string(i) + "] is " + std::to_string(v) +
                                      ", not a whole number within +-32,767");
            table[r].push_back(static_cast<int16_t>(v));
        }
    }
    std::vector<PulseHeader> alphabet;
    if (std::string problem = io::alphabetFromRows(std::move(table), name, alphabet, depth);
        !problem.empty())
        throw py::value_error(problem);
    return alphabet;
}

std::vector<int32_t> numbersFrom(py::handle object, const char* name, uint16_t etalons) {
    std::vector<int32_t> numbers;
    if (py::isinstance<py::str>(object) || !py::isinstance<py::sequence>(object))
        throw py::type_error(std::string(name) + ": expected a list of etalon numbers");
    for (py::handle item : py::reinterpret_borrow<py::sequence>(object)) {
        if (!PyIndex_Check(item.ptr()) || PyBool_Check(item.ptr()) ||
            py::isinstance<py::array>(item))
            throw py::type_error(std::string(name) + ": '" + py::str(item).cast<std::string>() +
                                 "' is not a whole number");
        const auto value = item.cast<int64_t>();
        if (value < 1 || value > etalons)
            throw py::value_error(std::string(name) + ": etalon " + std::to_string(value) +
                                  " is outside 1.." + std::to_string(etalons));
        numbers.push_back(static_cast<int32_t>(value));
    }
    if (numbers.empty()) throw py::value_error(std::string(name) + ": the list is empty");
    return numbers;
}

py::array_t<int16_t> int16Array(std::span<const int16_t> values) {
    py::array_t<int16_t> array(static_cast<py::ssize_t>(values.size()));
    std::copy(values.begin(), values.end(), array.mutable_data());
    return array;
}

py::array_t<int64_t> int64Array(std::span<const int64_t> values) {
    py::array_t<int64_t> array(static_cast<py::ssize_t>(values.size()));
    std::copy(values.begin(), values.end(), array.mutable_data());
    return array;
}

py::array_t<int16_t> alphabetArray(std::span<const PulseHeader> alphabet) {
    const py::ssize_t length = alphabet.empty() ? 0 : alphabet[0].wSize;
    py::array_t<int16_t> array({static_cast<py::ssize_t>(alphabet.size()), length});
    int16_t* out = array.mutable_data();
    for (const PulseHeader& pulse : alphabet) {
        const auto samples = pulse.samples();
        out = std::copy(samples.begin(), samples.end(), out);
    }
    return array;
}

}  // namespace etalon::python
