// Series making: make_series, etalon.Series and the built-in alphabet.
#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "arguments.h"
#include "arrays.h"
#include "bindings.h"
#include "restoring_calls.h"
#include "series/series_generator.h"
#include "series/series_making.h"
#include "streams.h"

namespace etalon::python {

namespace {

struct Series {
    py::array_t<int16_t> samples, pure, positions, etalons, cutStarts, cutEnds, minPositions,
        maxPositions;
    int type, length, tmin, tmax, pulses, minPulses, maxPulses, noise, level, etalonLength;
};

Series makeSeries(int type, const py::object& length, const py::object& tmin,
                  const py::object& tmax, const py::object& pulses, const py::object& noise,
                  const py::object& level, const py::object& sequence, const py::object& alphabet,
                  const py::object& subset, const py::object& employment,
                  const py::object& initPosition, Streams* streams) {
    checkSeriesType(type);
    SeriesMakingRequest r;
    const std::vector<PulseHeader> etalons = alphabetOf(alphabet, "alphabet");
    r.seriesType = static_cast<SeriesCode>(type);
    r.alphabet = etalons;
    r.etalons = static_cast<uint16_t>(etalons.size());
    r.pulseLength = etalons[0].wSize;
    r.seriesLength = static_cast<uint32_t>(whole(length, "length", 1, kLargestPosition));
    RestoringCall bounds;
    checkBounds(tmin, tmax, bounds);
    r.tmin = bounds.tmin;
    r.tmax = bounds.tmax;
    checkSeriesGeometry(r.seriesLength, r.pulseLength, r.tmin, r.tmax);
    const PulseCountBounds b = pulseCountBounds(r.seriesLength, r.pulseLength, r.tmin, r.tmax);
    r.pulses = middlePulseCount(r.seriesLength, r.pulseLength, r.tmin, r.tmax);
    if (const auto count = optionalCount(pulses, "pulses")) {
        const int64_t least = std::max<int64_t>(b.minPulses, 1);
        if (!isUnfixedSeries(r.seriesType) && (*count < least || *count > b.maxPulses))
            throw py::value_error("pulses: " + std::to_string(*count) + " is outside " +
                                  std::to_string(least) + ".." + std::to_string(b.maxPulses) +
                                  ", the counts a series of " + std::to_string(r.seriesLength) +
                                  " samples with Tmin " + std::to_string(r.tmin) + " and Tmax " +
                                  std::to_string(r.tmax) + " can hold");
        r.pulses = *count;
    }
    r.noise = static_cast<int16_t>(whole(noise, "noise", 0, maxNoiseLevelFor(kPulseAmplitude)));
    r.makingLevel = static_cast<uint16_t>(whole(level, "level", 0, 100));
    std::vector<uint16_t> order;
    if (!sequence.is_none()) {
        if (py::isinstance<py::str>(sequence) || !py::isinstance<py::sequence>(sequence))
            throw py::type_error("sequence: expected a list of etalon numbers");
        for (py::handle e : py::reinterpret_borrow<py::sequence>(sequence))
            order.push_back(static_cast<uint16_t>(
                whole(py::reinterpret_borrow<py::object>(e), "sequence", 0, 65535)));
    }
    r.sequence = &order;
    std::vector<int32_t> placed;
    if (!subset.is_none()) placed = numbersFrom(subset, "subset", r.etalons);
    r.subset = placed;
    r.employment = static_cast<uint16_t>(whole(employment, "employment", 1, 5));
    r.initPosition = static_cast<uint16_t>(whole(initPosition, "init_position", 1, 65535));

    StreamsLease lease(streams);
    RecordingSink sink;
    std::unique_ptr<SeriesHeader> record;
    SeriesMade made;
    {
        py::gil_scoped_release released;
        made = makeRequestedSeries(sink, r, record, lease.work());
    }
    sink.raiseReports();
    if (made != SeriesMade::Made) throw std::bad_alloc();
    lease.keep();
    const SeriesHeader& s = *record;
    const auto q = s.wImpulseQuantity;
    const auto first = [q](const std::vector<int16_t>& v) {
        return int16Array(std::span<const int16_t>(v.data(), q));
    };
    return Series{int16Array(s.noisyData()),
                  int16Array(s.pureData()),
                  first(s.lpPositions),
                  first(s.lpEtalons),
                  first(s.lpCutStarts),
                  first(s.lpCutEnds),
                  first(s.lpMinPositions),
                  first(s.lpMaxPositions),
                  type,
                  static_cast<int>(s.dwSeriesSize),
                  s.wTmin,
                  s.wTmax,
                  q,
                  s.wMinPulses,
                  s.wMaxPulses,
                  s.wNoiseLevel,
                  r.makingLevel,
                  s.wImpulseSize};
}

}  // namespace

void bindSeries(py::module_& m) {
    using py::arg;

    py::class_<Series>(m, "Series", "A made series with its truth.")
        .def_readonly("samples", &Series::samples, "The noisy samples (int16).")
        .def_readonly("pure", &Series::pure, "The samples before noise.")
        .def_readonly("positions", &Series::positions, "True pulse start positions.")
        .def_readonly("etalons", &Series::etalons, "True etalon of each pulse.")
        .def_readonly("cut_starts", &Series::cutStarts)
        .def_readonly("cut_ends", &Series::cutEnds)
        .def_readonly("min_positions", &Series::minPositions)
        .def_readonly("max_positions", &Series::maxPositions)
        .def_readonly("type", &Series::type)
        .def_readonly("length", &Series::length)
        .def_readonly("tmin", &Series::tmin)
        .def_readonly("tmax", &Series::tmax)
        .def_readonly("pulses", &Series::pulses, "The pulse count.")
        .def_readonly("min_pulses", &Series::minPulses)
        .def_readonly("max_pulses", &Series::maxPulses)
        .def_readonly("noise", &Series::noise)
        .def_readonly("level", &Series::level)
        .def_readonly("etalon_length", &Series::etalonLength);

    m.def(
        "alphabet", []() { return alphabetArray(builtInAlphabet()); },
        "The built-in 20 etalons as an int16 array of shape (20, 20).");

    m.def("make_series", &makeSeries,
          "Makes a series as the workbench does (etalon-cli series).\n\n"
          "type: 1, 2, 4, 8, 16, 32, 36 or 40; length: samples; tmin, tmax: distances\n"
          "between pulse starts; pulses: count of the fixed types (None: the middle of\n"
          "the bounds); noise: sigma; level: saved-energy level for making; sequence: the\n"
          "etalon of each pulse (padded with 1); alphabet: (n, L) etalons (None: built-in);\n"
          "subset, employment, init_position: the subset placed; streams: an\n"
          "etalon.Streams carried on (None: fresh streams; calls sharing one run one\n"
          "after another).",
          py::kw_only(), arg("type") = 1, arg("length") = 1200, arg("tmin") = 40, arg("tmax") = 181,
          arg("pulses") = py::none(), arg("noise") = 0, arg("level") = 100,
          arg("sequence") = py::none(), arg("alphabet") = py::none(), arg("subset") = py::none(),
          arg("employment") = 4, arg("init_position") = 1, arg("streams") = nullptr);
}

}  // namespace etalon::python
