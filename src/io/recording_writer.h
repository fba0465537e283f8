#pragma once

#include <cstdint>
#include <span>
#include <string>

namespace etalon::io {

// The bytes of a 16-bit mono PCM WAV file of these samples at `rate` Hz.
std::string wavRecordingBytes(std::span<const int16_t> samples, uint32_t rate);
// One sample a line under the header "sample"; readRecording reads it back.
std::string csvRecordingText(std::span<const int16_t> samples);

}  // namespace etalon::io
