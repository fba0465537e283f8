#pragma once

// Each area of the module registers its classes and functions, with their
// docstrings, in one call. A class goes in before any function whose
// signature names it (etalon.Streams first), or the docstring would show the
// C++ name.
#include <pybind11/pybind11.h>

namespace etalon::python {

namespace py = pybind11;

// etalon.Chains, etalon.Chain, detect, recognize, detect_tuples,
// recognize_tuples, restore.
void bindRestoring(py::module_& m);
// etalon.Series, alphabet, make_series.
void bindSeries(py::module_& m);
// etalon.Recording, read_recording, read_alphabet, write_alphabet.
void bindFiles(py::module_& m);
// etalon.Simulation, simulate.
void bindSimulation(py::module_& m);

}  // namespace etalon::python
