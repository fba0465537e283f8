// Files: recordings read as samples, alphabets read and written.
#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <optional>
#include <string>
#include <vector>

#include "arguments.h"
#include "arrays.h"
#include "bindings.h"
#include "io/alphabet_file.h"
#include "io/recording.h"

namespace etalon::python {

namespace {

struct Recording {
    py::array_t<int16_t> samples;
    uint64_t first;
    bool scaled;
    double scale;
    std::optional<double> sampleRate;
};

Recording readRecording(const std::string& path, const py::object& column, uint32_t channel,
                        const py::object& scale, const py::object& first, const py::object& count,
                        const py::object& format) {
    io::RecordingRequest request;
    request.path = path;
    const auto kind = format.is_none() ? io::recordingFormatOfPath(path)
                                       : io::recordingFormatNamed(format.cast<std::string>());
    if (!kind)
        throw py::value_error("format: " + path +
                              ": the ending does not say the format; give format='csv', 'wav' "
                              "or 'json'");
    request.format = *kind;
    if (!column.is_none()) request.column = py::str(column).cast<std::string>();
    request.channel = channel + 1;
    if (!scale.is_none()) {
        request.scale = scale.cast<double>();
        if (!(*request.scale > 0)) throw py::value_error("scale: the factor must be above 0");
    }
    request.first = static_cast<uint64_t>(whole(first, "first", 0, INT64_MAX));
    request.anyLength = true;
    if (!count.is_none())
        request.count = static_cast<uint64_t>(whole(count, "count", 1, INT64_MAX));
    io::Recording recording;
    std::string problem;
    {
        py::gil_scoped_release released;
        problem = io::readRecording(request, recording);
    }
    if (!problem.empty()) throw py::value_error(problem);
    return {int16Array(recording.samples), recording.first, recording.scaled, recording.scale,
            recording.sampleRate};
}

py::array_t<int16_t> readAlphabet(const std::string& path) {
    std::vector<PulseHeader> alphabet;
    std::string problem;
    {
        py::gil_scoped_release released;
        problem = io::readAlphabetFile(path, io::guessAlphabetFormat(path), alphabet);
    }
    if (!problem.empty()) throw py::value_error(problem);
    return alphabetArray(alphabet);
}

void writeAlphabet(const std::string& path, const py::object& etalons, const py::object& format) {
    const std::vector<PulseHeader> alphabet = etalonsFrom(etalons, "etalons");
    io::AlphabetFormat kind = io::alphabetFormatOfPath(path).value_or(io::AlphabetFormat::Json);
    if (!format.is_none()) {
        const auto name = format.cast<std::string>();
        if (name != "json" && name != "csv")
            throw py::value_error("format: '" + name + "' is not json or csv");
        kind = name == "csv" ? io::AlphabetFormat::Csv : io::AlphabetFormat::Json;
    }
    std::string problem;
    {
        py::gil_scoped_release released;
        problem = io::writeAlphabetFile(path, alphabet, kind);
    }
    if (!problem.empty()) throw py::value_error(problem);
}

}  // namespace

void bindFiles(py::module_& m) {
    using py::arg;

    py::class_<Recording>(m, "Recording", "The samples of a recording's span.")
        .def_readonly("samples", &Recording::samples)
        .def_readonly("first", &Recording::first, "Index of samples[0] in the file.")
        .def_readonly("scaled", &Recording::scaled, "False: the values were kept as they are.")
        .def_readonly("scale", &Recording::scale, "The factor used.")
        .def_readonly("sample_rate", &Recording::sampleRate, "Hz, where the file carries one.");

    m.def("read_recording", &readRecording,
          "Reads a span of a recording as etalon-cli process --samples does: CSV (a column\n"
          "by number from 1 or header name), WAV (channel from 0) or a series JSON.\n"
          "first: first sample (from 0); count: samples (None: to the end, at any length);\n"
          "scale: factor (None: integers kept, anything else scaled to a largest magnitude\n"
          "of 128); format: 'csv', 'wav' or 'json' (None: from the ending).",
          arg("path"), py::kw_only(), arg("column") = py::none(), arg("channel") = 0,
          arg("scale") = py::none(), arg("first") = 0, arg("count") = py::none(),
          arg("format") = py::none());
    m.def("read_alphabet", &readAlphabet,
          "Reads an alphabet file (JSON as etalon-cli alphabet prints it, or CSV with one\n"
          "etalon a row) into an (n, L) int16 array.",
          arg("path"));
    m.def("write_alphabet", &writeAlphabet,
          "Writes (n, L) etalons as an alphabet file, all or nothing; format 'json' or\n"
          "'csv' (None: from the ending, else JSON).",
          arg("path"), arg("etalons"), py::kw_only(), arg("format") = py::none());
}

}  // namespace etalon::python
