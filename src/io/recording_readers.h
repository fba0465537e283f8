#pragma once

#include <string>

#include "io/recording.h"

namespace etalon::io {

// The readers behind readRecording, one per format.
std::string readCsvRecording(const RecordingRequest& request, Recording& out);
std::string readWavRecording(const RecordingRequest& request, Recording& out);
std::string readJsonRecording(const RecordingRequest& request, Recording& out);

}  // namespace etalon::io
