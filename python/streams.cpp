#include "streams.h"

#include <chrono>

#include "base/message_sink.h"
#include "pulses/alphabet.h"

namespace etalon::python {

namespace {

// The streams as the workbench holds them at start-up: the alphabet made.
struct StartUp {
    RandomStreams streams;
    std::vector<PulseHeader> builtIn;
    StartUp() : builtIn(kEtalonsNumber) {
        SilentSink sink;
        makeAlphabet(sink, kPulseAmplitude, kEtalonsNumber, kEtalonLength, builtIn,
                     streams.wAlphabetNoiseSeed);
    }
};

const StartUp& startUp() {
    static const StartUp start;  // made once, read only afterwards
    return start;
}

}  // namespace

const std::vector<PulseHeader>& builtInAlphabet() {
    return startUp().builtIn;
}

Streams::Streams() : state(startUp().streams) {}

StreamsLease::StreamsLease(Streams* shared) : shared_(shared) {
    if (!shared_) {
        work_ = startUp().streams;
        return;
    }
    // A progress callback passing the Streams of the run that called it
    // would wait for itself.
    if (shared_->holder.load() == std::this_thread::get_id())
        throw py::value_error(
            "streams: this Streams is being carried on by the call that is running this one");
    // Free, as it mostly is, it is taken without letting go of the GIL.
    bool locked = shared_->busy.try_lock();
    while (!locked) {
        {
            py::gil_scoped_release released;
            locked = shared_->busy.try_lock_for(std::chrono::milliseconds(100));
        }
        if (!locked && PyErr_CheckSignals() != 0) throw py::error_already_set();  // Ctrl-C
    }
    shared_->holder = std::this_thread::get_id();
    work_ = shared_->state;
}

StreamsLease::~StreamsLease() {
    if (!shared_) return;
    shared_->holder = std::thread::id{};
    shared_->busy.unlock();
}

void StreamsLease::keep() {
    if (shared_) shared_->state = work_;
}

void bindStreams(py::module_& m) {
    py::class_<Streams>(
        m, "Streams",
        "The random streams series are made from, at their start-up values.\n\n"
        "Pass one to make_series() or simulate() and keep it: each call carries\n"
        "it on, so a sequence of calls is reproducible and independent of other\n"
        "calls. Without one, every call starts from fresh streams. Calls given one\n"
        "Streams from several threads run one after another, in the order they get\n"
        "to it; one that raises (or is interrupted) leaves it as it was.")
        .def(py::init<>())
        .def(
            "copy", [](const Streams& s) { return Streams(s); }, "An independent copy.")
        .def_property_readonly(
            "state",
            [](const Streams& s) {
                const RandomStreams& r = s.state;
                return py::make_tuple(r.wCutStartSeed, r.wCutEndSeed, r.wPositionSeed,
                                      r.wPulseCountSeed, r.wSubsetSeed, r.wSubsetRepeatSeed,
                                      r.wAlphabetNoiseSeed, r.wNoiseSeed);
            },
            "The eight stream states (cut start, cut end, position, pulse "
            "count, subset, subset repeat, alphabet noise, noise).")
        .def("__eq__", [](const Streams& a, const Streams& b) { return a.state == b.state; });
}

}  // namespace etalon::python
