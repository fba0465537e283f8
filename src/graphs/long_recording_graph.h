// The results view of a recording longer than a series: two lines on what is
// in view, an overview of the whole recording with a tick per restored pulse
// and the span in view boxed, the samples and the restored pulses of that
// span with their labels, and a scroll bar.
#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "graphs/envelope_pyramid.h"
#include "graphs/long_view_layout.h"
#include "platform/device_context.h"
#include "processing/recording_chain.h"
#include "pulses/pulse_header.h"

namespace etalon {

struct LongRecordingPicture {
    std::span<const int16_t> samples;
    const EnvelopePyramid* envelope = nullptr;
    std::span<const RecordingPulse> pulses;  // in position order
    std::span<const PulseHeader> alphabet;
    uint64_t viewFirst = 0;  // the span in view, in indices of `samples`
    uint64_t viewCount = 0;
    uint64_t fileFirst = 0;  // the file's index of samples[0]: the labels' origin
    double rate = 0;         // Hz; 0: unknown
    std::string name;        // of the file
    std::string task;        // what restored the pulses
};

// The colour a restored pulse of etalon `number` (1-based) is drawn in.
platform::Color etalonColour(uint16_t number);

void DrawLongRecording(platform::DeviceContext& dc, const platform::Rect& graph, int32_t lineHeight,
                       const LongRecordingPicture& picture);

// Parts, drawn by DrawLongRecording.
struct LongPanelScale {
    int32_t halfRange = 1;  // values +-halfRange span the panel's height
};
void drawLongSeriesPanel(platform::DeviceContext& dc, const platform::Rect& panel,
                         const LongRecordingPicture& picture, LongPanelScale scale);
void drawLongPulsePanel(platform::DeviceContext& dc, const platform::Rect& panel,
                        const LongRecordingPicture& picture, LongPanelScale scale);
// Text for a sample index, with the time when the rate is known.
std::string sampleTimeText(uint64_t sample, double rate);

}  // namespace etalon
