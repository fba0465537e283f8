#include "graphs/long_recording_graph.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstdlib>

namespace etalon {

using platform::Color;
using platform::DeviceContext;
using platform::Rect;

namespace {

constexpr Color kEnvelopeGrey{110, 110, 160};
constexpr Color kSpanRed{220, 0, 0};
constexpr Color kBarGrey{200, 200, 200};
constexpr Color kThumbGrey{130, 130, 130};

std::string grouped(uint64_t n) {
    const std::string digits = std::to_string(n);
    std::string out;
    for (std::size_t i = 0; i < digits.size(); ++i) {
        if (i > 0 && (digits.size() - i) % 3 == 0) out.push_back(',');
        out.push_back(digits[i]);
    }
    return out;
}

std::string seconds(double s) {
    char text[32];
    std::snprintf(text, sizeof text, "%.1f s", s);
    return text;
}

// Value v of +-a in a strip of height h below top, kept inside it.
int32_t valueY(const Rect& r, int32_t v, int32_t a) {
    const int32_t h = r.bottom - r.top;
    return std::clamp(r.top + h - ((v + a) * h) / (2 * a), r.top, r.bottom);
}

void frame(DeviceContext& dc, const Rect& r) {
    dc.moveTo(r.left, r.top);
    dc.lineTo(r.right, r.top);
    dc.lineTo(r.right, r.bottom);
    dc.lineTo(r.left, r.bottom);
    dc.lineTo(r.left, r.top);
}

void drawText(DeviceContext& dc, const LongViewLayout& places, int32_t lh,
              const LongRecordingPicture& p) {
    const uint64_t total = p.samples.size();
    const uint64_t a = p.fileFirst + p.viewFirst;
    const uint64_t b = a + p.viewCount - 1;
    std::string line = " recording " + p.name + ", " + p.task + ": samples " + grouped(a) + "–" +
                       grouped(b) + " of " + grouped(total);
    if (p.rate > 0) {
        line += " (" + seconds(static_cast<double>(a) / p.rate) + "–" +
                seconds(static_cast<double>(b + 1) / p.rate) + " of " +
                seconds(static_cast<double>(total) / p.rate) + ")";
    }
    dc.textOut(places.textLeft, places.textTop, line);
    const auto starts = [](const RecordingPulse& q, int64_t at) { return q.position < at; };
    const auto from = std::lower_bound(p.pulses.begin(), p.pulses.end(),
                                       static_cast<int64_t>(p.viewFirst), starts);
    const auto to = std::lower_bound(p.pulses.begin(), p.pulses.end(),
                                     static_cast<int64_t>(p.viewFirst + p.viewCount), starts);
    line = " pulses in view " + grouped(static_cast<uint64_t>(to - from)) + " of " +
           grouped(p.pulses.size()) + " restored";
    if (p.rate > 0 && total > 0) {
        char rate[48];
        std::snprintf(
            rate, sizeof rate, ", %.1f per minute",
            static_cast<double>(p.pulses.size()) * 60.0 * p.rate / static_cast<double>(total));
        line += rate;
    }
    line += "; keys: PageUp/PageDown, arrows, Home/End, + and -, N/P";
    dc.textOut(places.textLeft, places.textTop + lh, line);
}

void drawOverview(DeviceContext& dc, const Rect& r, const LongRecordingPicture& p,
                  int32_t halfRange) {
    const uint64_t total = p.samples.size();
    const int32_t width = r.right - r.left + 1;
    {
        platform::PenGuard pen(dc, kEnvelopeGrey);
        for (int32_t c = 0; c < width; ++c) {
            const uint64_t from = columnSample(c, width, total);
            const uint64_t to = std::max(columnSample(c + 1, width, total), from + 1);
            const SampleRange range =
                p.envelope->range(from > 0 ? from - 1 : from, std::min(to, total));
            const int32_t x = r.left + c;
            dc.moveTo(x, valueY(r, range.high, halfRange));
            dc.lineTo(x, valueY(r, range.low, halfRange) + 1);
        }
    }
    // A tick per column that holds a pulse, in the first such pulse's colour.
    int32_t last = -1;
    const int32_t tick = std::max((r.bottom - r.top) / 5, 3);
    for (const RecordingPulse& q : p.pulses) {
        const int32_t c = sampleColumn(static_cast<uint64_t>(q.position), width, total);
        if (c == last) continue;
        last = c;
        platform::PenGuard pen(dc, etalonColour(q.etalon));
        dc.moveTo(r.left + c, r.top);
        dc.lineTo(r.left + c, r.top + tick);
    }
    frame(dc, r);
    const Rect box = spanMark(r, p.viewFirst, p.viewCount, total);
    platform::PenGuard pen(dc, kSpanRed);
    frame(dc, box);
    frame(dc, {box.left + 1, box.top + 1, box.right - 1, box.bottom - 1});
}

void drawScrollBar(DeviceContext& dc, const Rect& r, const LongRecordingPicture& p) {
    {
        platform::PenGuard pen(dc, kBarGrey);
        platform::BrushGuard brush(dc, kBarGrey);
        dc.rectangle(r.left, r.top, r.right + 1, r.bottom + 1);
    }
    const Rect thumb = spanMark(r, p.viewFirst, p.viewCount, p.samples.size());
    platform::PenGuard pen(dc, kThumbGrey);
    platform::BrushGuard brush(dc, kThumbGrey);
    dc.rectangle(thumb.left, thumb.top + 1, thumb.right + 1, thumb.bottom);
}

}  // namespace

Color etalonColour(uint16_t number) {
    static constexpr std::array<Color, 10> kColours = {{{0, 90, 200},
                                                        {220, 50, 30},
                                                        {0, 150, 60},
                                                        {160, 60, 190},
                                                        {230, 130, 0},
                                                        {0, 160, 170},
                                                        {190, 40, 120},
                                                        {110, 110, 0},
                                                        {90, 60, 30},
                                                        {60, 60, 60}}};
    return kColours[(number + kColours.size() - 1) % kColours.size()];
}

std::string sampleTimeText(uint64_t sample, double rate) {
    if (rate <= 0) return std::to_string(sample);
    char text[48];
    std::snprintf(text, sizeof text, "%llu (%.2f s)", static_cast<unsigned long long>(sample),
                  static_cast<double>(sample) / rate);
    return text;
}

void DrawLongRecording(DeviceContext& dc, const Rect& graph, int32_t lineHeight,
                       const LongRecordingPicture& picture) {
    if (picture.samples.empty() || !picture.envelope) return;
    frame(dc, graph);
    const LongViewLayout places = longViewLayout(graph, lineHeight);
    const SampleRange all = picture.envelope->range(0, picture.samples.size());
    int32_t a = std::max({std::abs(int32_t{all.low}), std::abs(int32_t{all.high}), 1});
    a += a / 8;
    drawText(dc, places, lineHeight, picture);
    drawOverview(dc, places.overview, picture, a);
    drawLongSeriesPanel(dc, places.seriesPanel, picture, {a});
    drawLongPulsePanel(dc, places.pulsePanel, picture, {a});
    drawScrollBar(dc, places.scrollBar, picture);
}

}  // namespace etalon
