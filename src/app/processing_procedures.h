#pragma once

#include <cstdint>
#include <functional>
#include <span>

#include "processing/chains_header.h"
#include "base/message_sink.h"
#include "pulses/pulse_header.h"
#include "series/series_header.h"

namespace etalon {

// The restoring procedures command 210 chooses from. Kept as a table so the
// command chain can be exercised with stand-ins; an empty entry is skipped.
struct ProcessingProcedures {
    // Plain tasks: alphabet, working set, Tmin, Tmax, processing level.
    using Chain =
        std::function<int(MessageSink&, std::span<const PulseHeader>, std::span<const uint16_t>,
                          uint16_t, uint16_t, uint16_t, ChainsHeader*, SeriesHeader&)>;
    // Tuples detection: the one tuple being composed and the proceeding mode.
    using Tuple = std::function<int(MessageSink&, std::span<const PulseHeader>,
                                    std::span<const int32_t>, uint16_t, uint16_t, uint16_t,
                                    uint16_t, ChainsHeader*, SeriesHeader&, int32_t&)>;
    // Tuples recognition: the reserved tuples.
    using Tuples = std::function<int(MessageSink&, std::span<const PulseHeader>,
                                     std::span<const std::span<const int32_t>>, uint16_t, uint16_t,
                                     uint16_t, uint16_t, ChainsHeader*, SeriesHeader&, int32_t&)>;

    Chain detectKnownNumberChain;
    Chain recognizeKnownNumberChain;
    Chain detectUnknownNumberChain;
    Chain recognizeUnknownNumberChain;
    Tuple detectKnownNumberTuples;
    Tuple tuplesDetection;
    Tuples recognizeKnownNumberTuples;
    Tuples tuplesRecognition;
};

// The workbench's own restoring procedures.
ProcessingProcedures restoringProcedures();

}  // namespace etalon
