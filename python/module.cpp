// The NumPy face of the workbench: bindings only; every procedure is the core's.
// Each area registers itself (bindings.h); this file holds what they share.
#include <pybind11/pybind11.h>

#include <exception>

#include "bindings.h"
#include "restoring_calls.h"
#include "streams.h"

namespace py = pybind11;
using namespace etalon::python;

PYBIND11_MODULE(etalon, m) {
    m.doc() =
        "Etalon Workbench: exact restoration of known pulse shapes in a noisy series.\n\n"
        "Every function runs the workbench's own procedures and gives what etalon-cli\n"
        "gives for the same settings. The GIL is released while they work.";
    m.attr("__version__") = ETALON_VERSION;

    py::register_exception_translator([](std::exception_ptr p) {
        try {
            if (p) std::rethrow_exception(p);
        } catch (const MemoryRefused& e) {
            PyErr_SetString(PyExc_MemoryError, e.what());
        }
    });

    bindStreams(m);
    bindSeries(m);
    bindRestoring(m);
    bindFiles(m);
    bindSimulation(m);
}
