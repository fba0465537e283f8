#pragma once

#include <pybind11/pybind11.h>

#include <atomic>
#include <mutex>
#include <thread>
#include <vector>

#include "pulses/pulse_header.h"
#include "pulses/random_streams.h"

namespace etalon::python {

namespace py = pybind11;

// The built-in 20 etalons, made once at the first call.
const std::vector<PulseHeader>& builtInAlphabet();

// etalon.Streams. `state` is read and written only with the GIL held, so
// Python sees it before or after a call, never halfway; `busy` is held by the
// call carrying it on, so calls on one Streams run one after another.
struct Streams {
    RandomStreams state;
    std::timed_mutex busy;
    std::atomic<std::thread::id> holder{};

    Streams();
    Streams(const Streams& other) : state(other.state) {}
};

// One call's hold on a Streams (or on fresh streams when given none): waits,
// without the GIL, for the calls before it, takes a copy to work on with the
// GIL released and writes it back on keep(). A call that ends otherwise
// leaves the Streams as it was.
class StreamsLease {
  public:
    explicit StreamsLease(Streams* shared);
    ~StreamsLease();
    StreamsLease(const StreamsLease&) = delete;
    StreamsLease& operator=(const StreamsLease&) = delete;

    RandomStreams& work() { return work_; }
    void keep();  // with the GIL held

  private:
    Streams* shared_;
    RandomStreams work_;
};

void bindStreams(py::module_& m);

}  // namespace etalon::python
