#pragma once

#include <CLI/CLI.hpp>
#include <cstdint>
#include <memory>
#include <span>
#include <string>

#include "cli/stderr_sink.h"
#include "io/recording.h"
#include "pulses/pulse_header.h"
#include "series/series_header.h"

namespace etalon::cli {

// How `process --samples` reads a recording.
struct RecordingArguments {
    std::string path;
    std::string formatIn;  // csv, wav or json; default: the file's ending
    std::string column;    // CSV column: number or header name
    uint32_t channel = 1;  // WAV channel
    double scale = 0;      // 0: not given
    uint64_t from = 0;     // first sample of the span
};

void addRecordingOptions(CLI::App& command, RecordingArguments& args);

// What the recording's processing needs from the other options.
struct RecordingSettings {
    std::optional<uint32_t> count;  // the span's samples (--count)
    uint16_t tmin = 40, tmax = 181;
    std::optional<uint16_t> pulses;
    uint16_t processingLevel = 100;
    std::span<const PulseHeader> alphabet;
    std::span<const uint16_t> list;  // the working set
};

// Reads the span and makes the series record to process; throws BadInput
// naming the file and what is wrong. Null (with `recording` filled) after a
// reported allocation failure. A scaled recording is noted on `err`.
std::unique_ptr<SeriesHeader> loadRecording(StderrSink& sink, const RecordingArguments& args,
                                            const RecordingSettings& settings,
                                            io::Recording& recording, std::ostream& err);

}  // namespace etalon::cli
