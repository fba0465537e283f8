#pragma once

#include <CLI/CLI.hpp>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "cli/stderr_sink.h"
#include "io/recording.h"
#include "pulses/pulse_header.h"
#include "series/series_header.h"

namespace etalon::cli {

// How `process --samples` reads a recording.
struct RecordingArguments {
    std::vector<std::string> files;  // --samples: one or more
    std::string path;                // the file being read
    std::string formatIn;            // csv, wav or json; default: the file's ending
    std::string column;              // CSV column: number or header name
    uint32_t channel = 1;            // WAV channel
    double scale = 0;                // 0: not given
    uint64_t from = 0;               // first sample of the span
};

void addRecordingOptions(CLI::App& command, RecordingArguments& args);

// What the recording's processing needs from the other options.
struct RecordingSettings {
    std::optional<uint64_t> count;  // the span's samples (--count)
    uint16_t tmin = 40, tmax = 181;
    std::optional<uint16_t> pulses;
    uint16_t processingLevel = 100;
    std::span<const PulseHeader> alphabet;
    std::span<const uint16_t> list;  // the working set
};

// Reads the span, at any length; throws BadInput naming the file and what
// is wrong.
void readRecordingSpan(const RecordingArguments& args, const RecordingSettings& settings,
                       io::Recording& recording);

// The series record of a span read, to process as a series; throws BadInput
// naming the file and what is wrong (a span longer than a series holds
// included). Null after a reported allocation failure.
std::unique_ptr<SeriesHeader> recordingSeries(StderrSink& sink, const RecordingArguments& args,
                                              const RecordingSettings& settings,
                                              const io::Recording& recording);

// Said once the recording is taken, so that a refusal stays one line.
void noteScaling(const RecordingArguments& args, const io::Recording& recording, std::ostream& err);

}  // namespace etalon::cli
