#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace etalon::io {

enum class RecordingFormat { Json, Csv, Wav };

// The format a file's ending names (.json, .csv/.txt/.tsv, .wav), if any.
std::optional<RecordingFormat> recordingFormatOfPath(std::string_view path);
// "json", "csv" or "wav".
std::optional<RecordingFormat> recordingFormatNamed(std::string_view word);

// Positions are 16-bit: the most samples one series holds.
inline constexpr uint32_t kMostRecordingSamples = 32767;
// Where the default factor puts the largest magnitude of a recording that
// needs scaling: the built-in etalons' amplitude, so the fits compare like
// with like.
inline constexpr double kRecordingAmplitude = 128.0;

struct RecordingRequest {
    std::string path;
    RecordingFormat format = RecordingFormat::Csv;
    // CSV: the column, 1-based number or header name; empty: the first.
    std::string column;
    // WAV: the channel, 1-based.
    uint32_t channel = 1;
    // Factor for samples that are not integers within +-32,767; default: the
    // one that puts the largest magnitude of the span at `amplitude`.
    std::optional<double> scale;
    double amplitude = kRecordingAmplitude;
    // The span kept: samples [first, first + count) of the file's own index;
    // no count: to the end, which must then hold at most 32,767 samples
    // unless any length is asked for (the unknown count works at any).
    uint64_t first = 0;
    std::optional<uint64_t> count;
    bool anyLength = false;
};

struct Recording {
    std::vector<int16_t> samples;
    uint64_t first = 0;                // index of samples[0] in the file
    uint64_t fileSamples = 0;          // samples seen in the file (reading may stop early)
    bool scaled = false;               // false: the values were integers kept as they are
    double scale = 1.0;                // the factor used
    std::optional<double> sampleRate;  // Hz, where the file carries one (WAV)
};

// Reads the span of a recording, streaming: a file far longer than the span
// is not read past it. Returns an empty string, or what is wrong in one line
// naming the file and the line (or field). `out` is written only on success.
std::string readRecording(const RecordingRequest& request, Recording& out);

}  // namespace etalon::io
