// The two panels of a long recording's view: the samples of the span in view
// (an envelope where there are more of them than pixel columns) and the
// restored pulses there, each with a line of labels in the file's own index.
#include <algorithm>

#include "graphs/long_recording_graph.h"

namespace etalon {

using platform::DeviceContext;
using platform::Rect;

namespace {

constexpr platform::Color kSeriesColour{0, 0, 255};
constexpr platform::Color kZeroGrey{190, 190, 190};

// Columns of the samples in view: one sample a point while they fit, else
// several samples a column.
struct ViewColumns {
    Rect panel;
    uint64_t first = 0;
    uint64_t count = 0;

    int32_t width() const { return panel.right - panel.left; }
    bool spread() const { return count <= static_cast<uint64_t>(width()); }
    int32_t x(uint64_t sample) const {
        const uint64_t i = sample - first;
        if (spread())
            return panel.left +
                   static_cast<int32_t>(i * width() / std::max<uint64_t>(count - 1, 1));
        return panel.left + sampleColumn(i, width(), count);
    }
    int32_t y(int32_t v, int32_t a) const {
        const int32_t h = panel.bottom - panel.top;
        return std::clamp(panel.top + h - ((v + a) * h) / (2 * a), panel.top, panel.bottom);
    }
};

void framed(DeviceContext& dc, const ViewColumns& cols) {
    const Rect& r = cols.panel;
    dc.rectangle(r.left, r.top, r.right + 1, r.bottom + 1);
    platform::PenGuard pen(dc, kZeroGrey);
    const int32_t zero = r.top + (r.bottom - r.top) / 2;
    dc.moveTo(r.left + 1, zero);
    dc.lineTo(r.right, zero);
}

std::span<const RecordingPulse> pulsesIn(const LongRecordingPicture& p) {
    const auto starts = [](const RecordingPulse& q, int64_t at) { return q.position < at; };
    // A pulse that starts before the view may still reach into it.
    const int64_t reach = p.alphabet.empty() ? 0 : p.alphabet[0].wSize;
    const auto from = std::lower_bound(p.pulses.begin(), p.pulses.end(),
                                       static_cast<int64_t>(p.viewFirst) - reach, starts);
    const auto to = std::lower_bound(p.pulses.begin(), p.pulses.end(),
                                     static_cast<int64_t>(p.viewFirst + p.viewCount), starts);
    return {from, to};
}

const PulseHeader* etalonOf(const LongRecordingPicture& p, uint16_t number) {
    if (number < 1 || number > p.alphabet.size()) return nullptr;
    return &p.alphabet[number - 1];
}

// Labels under the panel, left to right, each only where it does not run
// into the one before.
void drawLabels(DeviceContext& dc, const ViewColumns& cols, const LongRecordingPicture& p) {
    int32_t free = cols.panel.left;
    const int32_t y = cols.panel.bottom + 2;
    for (const RecordingPulse& q : pulsesIn(p)) {
        if (q.position < static_cast<int64_t>(p.viewFirst)) continue;
        const int32_t x = cols.x(static_cast<uint64_t>(q.position));
        if (x < free) continue;
        std::string label = std::to_string(p.fileFirst + static_cast<uint64_t>(q.position));
        if (q.etalon > 0) label += static_cast<char>('a' + (q.etalon - 1) % 26);
        const int32_t width = dc.textExtent(label).cx;
        if (x + width > cols.panel.right) break;
        dc.textOut(x, y, label);
        free = x + width + 4;
    }
}

void drawSamples(DeviceContext& dc, const ViewColumns& cols, const LongRecordingPicture& p,
                 int32_t a) {
    platform::PenGuard pen(dc, kSeriesColour);
    if (cols.spread()) {
        dc.moveTo(cols.x(p.viewFirst), cols.y(p.samples[p.viewFirst], a));
        for (uint64_t i = p.viewFirst + 1; i < p.viewFirst + p.viewCount; ++i)
            dc.lineTo(cols.x(i), cols.y(p.samples[i], a));
        return;
    }
    const int32_t width = cols.width();
    for (int32_t c = 0; c < width; ++c) {
        const uint64_t from = p.viewFirst + columnSample(c, width, p.viewCount);
        const uint64_t to =
            std::max(p.viewFirst + columnSample(c + 1, width, p.viewCount), from + 1);
        // From the column before's last sample on, so that steep edges join up.
        const SampleRange range = p.envelope->range(from > 0 ? from - 1 : from, to);
        dc.moveTo(cols.panel.left + c, cols.y(range.high, a));
        dc.lineTo(cols.panel.left + c, cols.y(range.low, a) + 1);
    }
}

// Where each restored pulse lies: a bar in its etalon's colour along the bottom.
void drawPulseBars(DeviceContext& dc, const ViewColumns& cols, const LongRecordingPicture& p) {
    const uint16_t length = p.alphabet.empty() ? 1 : p.alphabet[0].wSize;
    int32_t drawnTo = cols.panel.left - 1;
    for (const RecordingPulse& q : pulsesIn(p)) {
        const uint64_t start = std::max(static_cast<uint64_t>(q.position), p.viewFirst);
        const uint64_t end =
            std::min(static_cast<uint64_t>(q.position) + length - 1, p.viewFirst + p.viewCount - 1);
        if (end < start || cols.x(end) <= drawnTo) continue;
        drawnTo = cols.x(end);
        platform::PenGuard pen(dc, etalonColour(q.etalon));
        for (int32_t dy = 2; dy <= 3; ++dy) {
            dc.moveTo(cols.x(start), cols.panel.bottom - dy);
            dc.lineTo(cols.x(end) + 1, cols.panel.bottom - dy);
        }
    }
}

}  // namespace

void drawLongSeriesPanel(DeviceContext& dc, const Rect& panel, const LongRecordingPicture& p,
                         LongPanelScale scale) {
    const ViewColumns cols{panel, p.viewFirst, p.viewCount};
    framed(dc, cols);
    {
        platform::ClipGuard clip(dc, {panel.left + 1, panel.top + 1, panel.right, panel.bottom});
        drawSamples(dc, cols, p, scale.halfRange);
        drawPulseBars(dc, cols, p);
    }
    drawLabels(dc, cols, p);
}

void drawLongPulsePanel(DeviceContext& dc, const Rect& panel, const LongRecordingPicture& p,
                        LongPanelScale scale) {
    const ViewColumns cols{panel, p.viewFirst, p.viewCount};
    framed(dc, cols);
    const int32_t a = scale.halfRange;
    {
        platform::ClipGuard clip(dc, {panel.left + 1, panel.top + 1, panel.right, panel.bottom});
        int32_t lastColumn = panel.left - 1;
        for (const RecordingPulse& q : pulsesIn(p)) {
            const PulseHeader* etalon = etalonOf(p, q.etalon);
            if (!etalon) continue;
            const auto values = etalon->samples();
            const int32_t first =
                std::min<int32_t>(q.cutStart, static_cast<int32_t>(values.size()));
            const int32_t last =
                std::min<int32_t>(q.cutEnd, static_cast<int32_t>(values.size()) - 1);
            if (last < first) continue;
            platform::PenGuard pen(dc, etalonColour(q.etalon));
            const auto at = [&](int32_t j) {
                return std::max(static_cast<uint64_t>(q.position + j), p.viewFirst);
            };
            const int32_t x0 = cols.x(std::min(at(first), p.viewFirst + p.viewCount - 1));
            const int32_t x1 = cols.x(std::min(at(last), p.viewFirst + p.viewCount - 1));
            if (x1 - x0 < 2) {
                // Narrower than two columns: its range as one line, once a column.
                if (x0 == lastColumn) continue;
                lastColumn = x0;
                const auto [low, high] =
                    std::minmax_element(values.begin() + first, values.begin() + last + 1);
                dc.moveTo(x0, cols.y(*high, a));
                dc.lineTo(x0, cols.y(*low, a) + 1);
                continue;
            }
            bool started = false;
            for (int32_t j = first; j <= last; ++j) {
                const uint64_t i = static_cast<uint64_t>(q.position + j);
                if (i < p.viewFirst || i >= p.viewFirst + p.viewCount) continue;
                const int32_t x = cols.x(i), y = cols.y(values[j], a);
                if (started) {
                    dc.lineTo(x, y);
                } else {
                    dc.moveTo(x, y);
                    started = true;
                }
            }
        }
    }
    drawLabels(dc, cols, p);
}

}  // namespace etalon
