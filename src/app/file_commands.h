#pragma once

#include "app/command_context.h"

#include <memory>
#include <span>

#include "dialogs/file_dialogs.h"
#include "io/recording.h"
#include "io/recording_series.h"

namespace etalon {

// The series' etalon list points at the window's alphabet.
void linkAlphabet(SeriesHeader& series, AppState& s);

// The recording's series for these etalons; pulses 0 leaves the count unknown.
// Without `sumsChecked` the record only stands in for a recording restored
// whole, in 64 bits: no 32-bit procedure reads it, so its depth is not refused.
std::unique_ptr<SeriesHeader> recordingSeries(MessageSink& sink, std::span<const int16_t> samples,
                                              uint16_t pulses, uint16_t tmin, uint16_t tmax,
                                              uint16_t level, std::span<const PulseHeader> etalons,
                                              io::RecordingRefusal& refusal,
                                              bool sumsChecked = true);

// The opened recording's series becomes the window's, with the geometry and
// level it was opened with; false after a reported allocation failure.
bool adoptRecordingSeries(CommandContext& ctx, std::unique_ptr<SeriesHeader> series,
                          const std::string& path, const io::Recording& recording,
                          const OpenSeriesValues& values);

}  // namespace etalon

namespace etalon::commands {

// Recordings, alphabets and results in files.
CommandFn openSeries, saveSeries, exportResults, openEtalons, saveEtalons, etalonFromSeries;

}  // namespace etalon::commands
