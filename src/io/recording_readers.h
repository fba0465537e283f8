#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "io/recording.h"

namespace etalon::io {

// The span and scale asked for, checked before any reader runs; empty when sound.
std::string recordingRequestProblem(const RecordingRequest& request);

// The readers behind readRecording, one per format.
std::string readCsvRecording(const RecordingRequest& request, Recording& out);
std::string readWavRecording(const RecordingRequest& request, Recording& out);
std::string readJsonRecording(const RecordingRequest& request, Recording& out);

// The WAV reader over bytes already in memory (libsndfile's virtual I/O), with
// the file reader's checks and messages; request.path only names the bytes.
std::string readWavRecordingFromMemory(const RecordingRequest& request,
                                       std::span<const uint8_t> bytes, Recording& out);

}  // namespace etalon::io
