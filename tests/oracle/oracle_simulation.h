#pragma once

// The statistical simulation run step by step on one thread, in place on the
// records it is given: the reference the parallel driver is compared with.

#include <cstdint>
#include <memory>
#include <span>

#include "base/message_sink.h"
#include "processing/restoring.h"
#include "pulses/pulse_header.h"
#include "pulses/random_streams.h"
#include "series/series_codes.h"
#include "series/series_header.h"
#include "simulation/rest_error_header.h"

namespace etalon::oracle {

// The settings the driver reads from the application besides its arguments.
struct SimulationExtras {
    int16_t amplitude = kPulseAmplitude;
    uint16_t proceeding = 1;
    int32_t* debuggingRepeat = nullptr;
};

// Returns 1 after a complete run, 0 after a reported failure.
int statCutoffVarnel(MessageSink& sink, RestErrorHeader* errors, uint16_t etalonsNumber,
                     std::span<const PulseHeader> alphabet, uint16_t n, const uint16_t* list,
                     uint16_t seriesType, uint16_t task, uint16_t makingLevel,
                     uint16_t processingLevel, std::unique_ptr<SeriesHeader>& series,
                     RandomStreams& streams, const SimulationExtras& extras,
                     const RestoringProcedures& procedures);

}  // namespace etalon::oracle
