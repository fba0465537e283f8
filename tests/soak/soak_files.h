#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "io/alphabet_file.h"
#include "io/recording.h"
#include "processing/task_codes.h"
#include "soak/soak_setting.h"

namespace etalon::soak {

enum class WavSamples { Pcm16, Float, Double };

// A recording and an alphabet written as files in every format the readers
// take, read back, and restored with the exact procedure and the matched filter.
struct FileSetting {
    std::vector<std::vector<int16_t>> etalons;  // 1..20 rows of 2..1000, now and then one odd
    io::AlphabetFormat alphabetFormat = io::AlphabetFormat::Csv;
    io::RecordingFormat recordingFormat = io::RecordingFormat::Csv;
    WavSamples wavSamples = WavSamples::Pcm16;
    std::vector<double> samples;  // the channel (column) read
    uint32_t channels = 1;        // WAV channels, CSV columns
    uint32_t channel = 1;         // the one read, from 1
    bool header = false;          // a CSV header line, the column asked for by name
    uint64_t first = 0;
    std::optional<uint32_t> count;
    std::optional<double> scale;
    uint16_t tmin = 40, tmax = 181;
    std::optional<uint16_t> pulses;
    uint16_t processingLevel = 100;
    TaskCode task = TaskCode::Detection;
    std::vector<uint16_t> list;
};

// Drawn from its own stream of (seed, index), so the settings drawSetting
// gives stay as they were.
FileSetting drawFileSetting(uint64_t seed, uint64_t index);

// Shrinks the recording and the list until the matched filter's steps stay within `bound`.
void capWork(FileSetting& f, uint64_t bound);

std::string describe(const FileSetting& f);

// Writes the files into `folder` (which must exist), reads them back and
// restores; the invariants broken go to outcome.findings.
void runFileSetting(const FileSetting& f, const std::string& folder, uint64_t bound,
                    SettingOutcome& outcome);

}  // namespace etalon::soak
