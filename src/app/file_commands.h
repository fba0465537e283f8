#pragma once

#include "app/command_context.h"

#include <memory>
#include <span>

#include "io/recording_series.h"

namespace etalon {

// The series' etalon list points at the window's alphabet.
void linkAlphabet(SeriesHeader& series, AppState& s);

// The recording's series for these etalons; pulses 0 leaves the count unknown.
std::unique_ptr<SeriesHeader> recordingSeries(MessageSink& sink, std::span<const int16_t> samples,
                                              uint16_t pulses, uint16_t tmin, uint16_t tmax,
                                              uint16_t level, std::span<const PulseHeader> etalons,
                                              io::RecordingRefusal& refusal);

}  // namespace etalon

namespace etalon::commands {

// Recordings, alphabets and results in files.
CommandFn openSeries, saveSeries, exportResults, openEtalons, saveEtalons, etalonFromSeries;

}  // namespace etalon::commands
