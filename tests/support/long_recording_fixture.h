#pragma once

#include <cmath>
#include <memory>

#include "app/app_state.h"
#include "app/recording_view.h"

namespace etalon::test {

// The results view of a recording of `samples` samples at 360 Hz: a slow
// ripple with etalon 3 every `spacing` samples, each one restored.
inline void showLongRecording(AppState& s, std::size_t samples, std::size_t spacing) {
    auto recording = std::make_shared<LongRecording>();
    recording->samples.resize(samples);
    for (std::size_t i = 0; i < samples; ++i)
        recording->samples[i] = static_cast<int16_t>(20 * std::sin(static_cast<double>(i) * 0.01));
    RecordingChain chain;
    const auto etalon = s.alphabet[2].samples();
    for (std::size_t p = 100; p + etalon.size() < samples; p += spacing) {
        for (std::size_t j = 0; j < etalon.size(); ++j)
            recording->samples[p + j] = static_cast<int16_t>(recording->samples[p + j] + etalon[j]);
        chain.pulses.push_back({static_cast<int64_t>(p), 3, 0, 19});
    }
    recording->chains.push_back(std::move(chain));
    recording->envelope = EnvelopePyramid(recording->samples);
    recording->rate = 360;
    s.longRecording = std::move(recording);
    s.recordingName = "day.wav";
    s.bSeriesWithoutTruth = 1;
    s.recordingView = openingView(samples);
    s.nDisplayMode = DisplayMode::Results;
    s.wMainView = MainView::SeriesGraph;
}

}  // namespace etalon::test
