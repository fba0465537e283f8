// Where the views put their labels, over a sweep of series and simulation
// grids: labels never meet other text, no text crosses a frame except the
// titles drawn across one on purpose, and a label is left out only when it
// would collide.
#include <gtest/gtest.h>

#include <functional>
#include <sstream>

#include "graphs/label_placer.h"
#include "graphs/plot_primitives.h"
#include "graphs/stat_plots_fixture.h"
#include "series/series_header.h"

namespace etalon {
namespace {

using platform::Rect;

// The text cells and black outlines a view draws, in order.
class LayoutRecorder final : public platform::DrawingRecorder {
  public:
    struct Text {
        Rect cell;     // where it was drawn
        Rect visible;  // what later rectangles leave of it
        std::string text;
    };
    std::vector<Text> texts;
    std::vector<Rect> frames;  // right and bottom excluded

    void line(platform::Point, platform::Point, platform::Color,
              const std::vector<Rect>&) override {}
    void pixel(platform::Point, platform::Color, const std::vector<Rect>&) override {}
    void ellipse(const Rect&, platform::Color, platform::Color, const std::vector<Rect>&) override {
    }
    void bitmap(const platform::Bitmap&, platform::Point, const std::vector<Rect>&) override {}
    void text(const Rect& cell, int32_t, std::string_view shown, const platform::Font&,
              const std::vector<Rect>&) override {
        texts.push_back({cell, cell, std::string(shown)});
    }
    // Rectangles are opaque: the top rows of earlier text they cover across
    // its whole width no longer show (labels just under a panel).
    void rectangle(const Rect& box, platform::Color pen, platform::Color,
                   const std::vector<Rect>&) override {
        for (Text& t : texts) {
            Rect& v = t.visible;
            if (box.left <= v.left && v.right <= box.right && box.top <= v.top &&
                v.top < box.bottom)
                v.top = std::min(box.bottom, v.bottom);
        }
        if (pen == platform::kBlack) frames.push_back(box);
    }
};

bool meet(const Rect& a, const Rect& b) {
    return a.left < b.right && b.left < a.right && a.top < b.bottom && b.top < a.bottom;
}

// Labels on the same rows must not touch either, or they read as one word.
bool runTogether(const Rect& a, const Rect& b) {
    return meet({a.left - 2, a.top, a.right + 2, a.bottom}, b);
}

std::string show(const LayoutRecorder::Text& t) {
    std::ostringstream out;
    out << '"' << t.text << "\" at (" << t.cell.left << ", " << t.cell.top << ")-(" << t.cell.right
        << ", " << t.cell.bottom << ")";
    return out.str();
}

// The problems of one drawing: labels meeting any other text or leaving the
// inside of the graph, and text other than the exempt titles crossing a frame.
std::vector<std::string> layoutProblems(const LayoutRecorder& r, std::vector<Rect> frames,
                                        const Rect& graph,
                                        const std::function<bool(size_t)>& isLabel,
                                        const std::function<bool(size_t)>& exempt) {
    frames.insert(frames.end(), r.frames.begin(), r.frames.end());
    std::vector<std::string> problems;
    const auto& t = r.texts;
    for (size_t i = 0; i < t.size(); ++i) {
        if (t[i].visible.top >= t[i].visible.bottom) continue;
        if (isLabel(i)) {
            const Rect& c = t[i].cell;
            if (c.left < graph.left || c.right > graph.right || c.top < graph.top ||
                c.bottom > graph.bottom)
                problems.push_back(show(t[i]) + " leaves the graph");
            for (size_t j = 0; j < t.size(); ++j) {
                if (j != i && (j > i || !isLabel(j)) && runTogether(t[i].visible, t[j].visible))
                    problems.push_back(show(t[i]) + " meets " + show(t[j]));
            }
        }
        if (exempt(i)) continue;
        for (const Rect& frame : frames) {
            if (crossesFrame(t[i].visible, frame))
                problems.push_back(show(t[i]) + " crosses the frame at (" +
                                   std::to_string(frame.left) + ", " + std::to_string(frame.top) +
                                   ")");
        }
    }
    return problems;
}

std::string firstOf(const std::vector<std::string>& problems) {
    std::string text;
    for (size_t i = 0; i < problems.size() && i < 4; ++i)
        text += "\n  " + problems[i];
    return text;
}

bool isTitle(const std::string& text) {
    return text.starts_with(" Alphabet,") || text.starts_with(" Alph:") ||
           text.starts_with(" pattern tuple");
}

// Pulses spread evenly over the series, the restored ones a sample later.
void spreadPulses(test::GraphFixture& f, int count, bool cutoff) {
    const int32_t room = int32_t(f.series.dwSeriesSize) - f.series.wImpulseSize - 1;
    for (int k = 0; k < count; ++k) {
        const auto p = static_cast<int16_t>(count > 1 ? int64_t{k} * room / (count - 1) : room / 2);
        const auto e = static_cast<int16_t>(k % kEtalonsNumber + 1);
        f.addTrue(p, e, cutoff ? 2 : 0, cutoff ? 15 : 19);
        f.addRestored(static_cast<int16_t>(p + 1), e, cutoff ? 3 : 0, cutoff ? 12 : 19);
    }
}

// The rule itself: the ends first, then the rest in order; each label where
// it was asked to go, or left out when it would collide.
TEST(LabelLayout, PlacerKeepsTheEndsAndLeavesOutWhatWouldCollide) {
    platform::Surface surface(400, 100);
    LayoutRecorder r;
    platform::DeviceContext dc(surface, r);
    LabelPlacer placer(dc, {10, 0, 300, 100});
    placer.addFrame({200, 40, 260, 80});
    const int32_t w = dc.textExtent("88").cx, blank = dc.textExtent(" ").cx;
    placer.drawText(10, 60, "text");
    const std::vector<Label> row{
        {20, 10, "88"},                       // first
        {20 + w + blank - 1, 10, "88"},       // nearer than a blank to the first
        {20 + w + blank, 10, "88"},           // a blank away
        {290 - 2 * w - blank + 1, 10, "88"},  // nearer than a blank to the last
        {290 - w, 10, "88"},                  // last
    };
    placer.placeAll(row);
    EXPECT_FALSE(placer.place({5, 30, "88"}));    // leaves the area
    EXPECT_FALSE(placer.place({195, 30, "88"}));  // crosses the frame
    EXPECT_TRUE(placer.place({215, 50, "88"}));   // inside the frame
    EXPECT_FALSE(placer.place({10 + dc.textExtent("text").cx + blank - 1, 60, "88"}));
    std::vector<int32_t> drawnAt;
    for (const auto& t : r.texts)
        drawnAt.push_back(t.cell.left);
    EXPECT_EQ(drawnAt, (std::vector<int32_t>{10, 20, 290 - w, 20 + w + blank, 215}));
}

TEST(LabelLayout, SeriesGraphPositionLabelsNeitherMeetNorCrossAFrame) {
    struct Run {
        uint16_t type, task;
    };
    const Run runs[] = {{1, 4}, {2, 2}};  // letters; letters and kept parts
    int cases = 0, thinned = 0, shown = 0;
    for (uint32_t n : {200u, 1200u, 5000u, 32767u}) {
        for (uint16_t tmin : {19, 40, 181}) {
            const uint16_t largest = pulseCountBounds(n, kEtalonLength, tmin, 181).maxPulses;
            for (int count : {1, (largest + 1) / 2, int(largest)}) {
                for (const Run& run : runs) {
                    SCOPED_TRACE(testing::Message() << "N " << n << " Tmin " << tmin << " pulses "
                                                    << count << " type " << run.type);
                    test::GraphFixture f(n);
                    f.series.wTmin = tmin;
                    spreadPulses(f, count, run.type == 2);
                    f.recordRun(run.type, run.task);
                    LayoutRecorder r;
                    platform::DeviceContext dc(f.surface, r);
                    DrawSeriesGraph(dc, f.view, static_cast<uint16_t>(f.required.size()),
                                    f.required, f.chains.get(), &f.series);

                    const SeriesGraphGeometry g = f.geometry();
                    const auto underPanel = [&](size_t i) {
                        for (int k = 1; k <= 3; ++k)
                            if (r.texts[i].cell.top == g.panel(k).bottom - 1) return k;
                        return 0;
                    };
                    const Rect graph{g.L, g.T, g.L + g.W + 1, g.T + g.H + 1};
                    const auto problems = layoutProblems(
                        r, {graph}, {g.L + 1, g.T + 1, g.L + g.W, g.T + g.H},
                        [&](size_t i) { return underPanel(i) != 0; },
                        [&](size_t i) {
                            return r.texts[i].cell.top == g.T - g.lh / 2 ||
                                   isTitle(r.texts[i].text);
                        });
                    EXPECT_TRUE(problems.empty()) << problems.size() << firstOf(problems);

                    const auto drawn =
                        std::count_if(r.texts.begin(), r.texts.end(),
                                      [&](const auto& t) { return t.cell.top == g.Y1 + g.PH - 1; });
                    thinned += drawn < count;
                    shown += drawn > 0;
                    ++cases;
                }
            }
        }
    }
    // Crowded rows were thinned out, and most rows show something.
    EXPECT_GT(thinned, cases / 3);
    EXPECT_GT(shown, cases * 3 / 4);
}

TEST(LabelLayout, StatisticsLabelsNeitherMeetNorCrossAFrame) {
    const int modes[] = {0, 1, 2, 3, 4, 5, 12, 13};
    struct Bound {
        int32_t fixed;
        double value;
    };
    const Bound bounds[] = {{0, 0.25}, {1, 0.04}, {1, 0.3}, {1, 1000.0}};
    struct Counts {
        uint16_t pulses, first, step;
    };
    const Counts counts[] = {{1, 6, 1}, {5, 6, 6}, {30, 1, 1}};
    int labelled = 0, cases = 0;
    for (uint16_t levels : {1, 2, 3, 5, 9, 14, 29}) {
        for (const Counts& c : counts) {
            for (int mode : modes) {
                for (const Bound& bound : bounds) {
                    SCOPED_TRACE(testing::Message()
                                 << levels << " levels, " << c.pulses << " pulse counts, mode "
                                 << mode << ", bound " << bound.value);
                    test::StatFixture f;
                    // Levels up to three digits and beyond.
                    f.makeGrid(c.pulses, c.first, c.step, levels, 0, levels > 9 ? 40 : 5, 100);
                    f.fillPlausible();
                    f.mode = static_cast<StatPlotMode>(mode);
                    f.statView.bFixedUpperBound = bound.fixed;
                    f.statView.dUpperBound = bound.value;
                    if (mode == 2 && bound.fixed == 0) {  // and a pattern box
                        f.errors->wSeriesType = SeriesCode{36};
                        f.errors->wEffectiveTask = TaskCode{36};
                        f.series.lpSelectedSubset = {1, 3, 5};
                        f.series.wSubsetLength = 3;
                    }
                    LayoutRecorder r;
                    platform::DeviceContext dc(f.surface, r);
                    ASSERT_EQ(DrawDetectionArrayZ(f.sink, dc, f.statView, f.request()), 1);
                    const SeriesGraphGeometry g = f.geometry();
                    const StatPlotGeometry pg = f.plotGeometry();
                    // Everything after the line of the label font's size is a label.
                    size_t first = 0;
                    for (size_t i = 0; i < r.texts.size(); ++i)
                        if (r.texts[i].text.find(" -> ") != std::string::npos) first = i + 1;
                    ASSERT_GT(first, 0u);
                    const Rect graph{g.L, g.T, g.L + g.W + 1, g.T + g.H + 1};
                    const Rect plot{pg.px, pg.py, pg.px + pg.PW + 1, pg.py + pg.PH + 1};
                    const Rect outer{plot.left - 1, plot.top - 1, plot.right + 1, plot.bottom + 1};
                    const auto problems = layoutProblems(
                        r, {graph, plot, outer}, {g.L + 1, g.T + 1, g.L + g.W, g.T + g.H},
                        [&](size_t i) { return i >= first; },
                        [&](size_t i) { return i == 0 || isTitle(r.texts[i].text); });
                    EXPECT_TRUE(problems.empty()) << problems.size() << firstOf(problems);
                    labelled += r.texts.size() > first;
                    ++cases;
                }
            }
        }
    }
    EXPECT_GT(labelled, cases / 2);
}

}  // namespace
}  // namespace etalon
