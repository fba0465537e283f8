#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>

#include "app/painting.h"
#include "graphs/graph_parts.h"
#include "graphs/series_graph.h"
#include "graphs/series_mapping.h"
#include "graphs/series_measures.h"
#include "graphs/stat_plot_text.h"
#include "processing/known_number_chain.h"
#include "processing/matched_filter.h"
#include "series/series_generator.h"
#include "support/pixels.h"
#include "support/recording_sink.h"

namespace etalon {
namespace {

using platform::kBlack;
using platform::kWhite;

// The start-up state painted on a 1024 x 700 client area.
struct PaintedState {
    test::RecordingSink sink;
    AppState state;
    WindowLayout layout;
    std::array<std::optional<platform::Bitmap>, 5> bitmaps;
    platform::Surface surface;

    explicit PaintedState(int32_t width = 1024, int32_t height = 700) : surface(width, height) {
        createStartupState(state, sink);
    }
    ~PaintedState() { destroyState(state); }
    void paint() {
        surface.fill(kWhite);
        platform::DeviceContext dc(surface);
        paintWindow(state, layout, bitmaps, {0, 0, surface.width(), surface.height()}, dc, sink);
    }
};

// Binary PPM, for looking at a painted view with ordinary image tools.
void writePpm(const platform::Surface& surface, const char* path) {
    std::ofstream out(path, std::ios::binary);
    out << "P6\n" << surface.width() << ' ' << surface.height() << "\n255\n";
    for (int32_t y = 0; y < surface.height(); ++y) {
        for (int32_t x = 0; x < surface.width(); ++x) {
            const platform::Color c = surface.pixel(x, y);
            out.put(static_cast<char>(c.r)).put(static_cast<char>(c.g)).put(static_cast<char>(c.b));
        }
    }
}

TEST(ResultsPainting, ResultsModeDrawsTheSeriesGraphAndClearsNoErase) {
    PaintedState p;
    p.paint();  // the alphabet grid
    const int32_t left = p.layout.rcGraph.left, mid = p.layout.rcGraph.top + 300;
    const size_t gridInk = test::inkOf(p.surface, p.layout.rcGraph).size();

    p.state.nDisplayMode = DisplayMode::Results;
    p.state.bNoErase = 1;
    p.paint();
    EXPECT_EQ(p.surface.pixel(left, mid), kBlack);  // the graph frame
    EXPECT_EQ(p.surface.pixel(p.layout.rcGraph.right + 1, mid), kBlack);
    EXPECT_NE(test::inkOf(p.surface, p.layout.rcGraph).size(), gridInk);
    EXPECT_EQ(p.state.bNoErase, 0);

    // Series processing shows nothing for a tuples series.
    p.state.wTaskType = p.state.wEffectiveTask = TaskCode::SeriesProcessing;
    p.state.wSeriesType = SeriesCode::FixedTuples;
    p.state.bNoErase = 1;
    p.paint();
    EXPECT_TRUE(test::inkOf(p.surface, p.layout.rcGraph).empty());
    EXPECT_EQ(p.state.bNoErase, 0);
    p.state.wSeriesType = SeriesCode::UnfixedCutoff;
    p.paint();
    EXPECT_EQ(p.surface.pixel(left, mid), kBlack);
}

// Eighteen pulses of varied etalons with noise of level 20, for a joint
// detection and identification run.
void makeVariedSeries(AppState& state, MessageSink& sink) {
    for (size_t k = 0; k < state.lpEtalonSequence.size(); ++k)
        state.lpEtalonSequence[k] = static_cast<uint16_t>(1 + (k * 7) % kEtalonsNumber);
    SeriesRequest r;
    r.alphabet = state.alphabet;
    r.seriesLength = state.dwSeriesLength;
    r.pulses = 18;
    r.tmin = state.wTmin;
    r.tmax = state.wTmax;
    r.sequence = state.lpEtalonSequence;
    state.lpSeriesHeader = getCutOffSeries(sink, r, std::move(state.lpSeriesHeader), state.streams);
    addSeriesNoise(state.wNoiseLevel, static_cast<int16_t>(state.wPulseAmplitude),
                   state.lpSeriesHeader.get(), state.streams.wNoiseSeed);
    state.wTaskType = state.wEffectiveTask = TaskCode::Joint;
}

TEST(ResultsPainting, NoisySeriesWithItsRestoredPulses) {
    PaintedState p(1270, 740);
    makeVariedSeries(p.state, p.sink);
    ASSERT_NE(p.state.lpSeriesHeader, nullptr);
    AppState& st = p.state;
    ASSERT_EQ(detectKnownNumberChain(
                  p.sink, st.alphabet, st.lpRequiredList,
                  {.tmin = st.wTmin, .tmax = st.wTmax, .processingLevel = st.wProcessingLevel},
                  st.lpChainsHeader.get(), *st.lpSeriesHeader),
              1);
    addToChainsHeader(p.sink, st.wSeriesType, st.wEffectiveTask, st.wMakingLevel,
                      st.wProcessingLevel, st.lpChainsHeader.get());
    const SeriesHeader& series = *st.lpSeriesHeader;
    ASSERT_EQ(series.wRestoredQuantity, 18);
    // At this noise the truth is found, so row 0 measures what chain 1 scored.
    ASSERT_EQ(series.lpRestoredPositions, series.lpPositions);
    EXPECT_EQ(st.lpChainsHeader->distance(0), getSeriesMeasure(series));
    EXPECT_EQ(getChainRestoreError(*st.lpChainsHeader, series), 0);
    p.state.nDisplayMode = DisplayMode::Results;
    p.paint();
    EXPECT_TRUE(p.sink.empty());
    // The restored pulses are drawn in the third panel.
    SeriesGraphView view;
    view.rcGraph = p.layout.rcGraph;
    view.nLineHeight = p.layout.nLineHeight;
    const SeriesGraphGeometry g =
        seriesGraphGeometry(view.rcGraph, view.nLineHeight, false, p.state.wRequiredCount);
    const platform::Rect third = g.panel(3);
    EXPECT_GT(
        test::inkOf(p.surface, {third.left + 1, third.top + 1, third.right, third.bottom}).size(),
        size_t(third.right - third.left));
    if (const char* path = std::getenv("ETALON_RESULTS_PPM")) writePpm(p.surface, path);
}

TEST(ResultsPainting, MainView2DrawsTheStatisticsOfTheLastSimulation) {
    PaintedState p;
    p.state.nDisplayMode = DisplayMode::Results;
    p.state.wMainView = MainView::Statistics;
    p.paint();  // no simulation yet: nothing in the graph area
    EXPECT_TRUE(test::inkOf(p.surface, p.layout.rcGraph).empty());

    AppState& st = p.state;
    st.lpRestErrorHeader = getRestErrHeader(p.sink, 3, 4, 10, nullptr);
    ASSERT_EQ(initRestErrHeader(p.sink, 3, 6, 6, 4, 0, 50, 10, st.lpRestErrorHeader.get()), 1);
    for (size_t l = 0; l < 4; ++l)
        for (uint32_t& misses : st.lpRestErrorHeader->lpRecognitionErrors(l))
            misses = static_cast<uint32_t>(2 * l);  // shares 0, 0.2, 0.4, 0.6
    st.nStatPlotMode = StatPlotMode::RecognitionAggregate;
    p.paint();
    EXPECT_TRUE(p.sink.empty());
    const SeriesGraphGeometry g =
        seriesGraphGeometry(p.layout.rcGraph, p.layout.nLineHeight, false, st.wRequiredCount);
    const StatPlotGeometry pg = statPlotGeometry(g, 4);
    // Share 0.2 of an axis up to 0.5 lies 0.4 plot heights up, at the second level.
    EXPECT_EQ(p.surface.pixel(pg.px + pg.xStep + 1, pg.py + pg.PH - 2 * pg.PH / 5), kBlack);
}

// The matched filter's pulses and curves show only while their items are
// on, the pulses only beside the series they came from: otherwise the window
// is, pixel for pixel, what it is without them.
TEST(ResultsPainting, MatchedFilterShowsOnlyWhileItsItemIsOn) {
    PaintedState p;
    AppState& st = p.state;
    st.nDisplayMode = DisplayMode::Results;
    SeriesHeader mf = *st.lpSeriesHeader;
    RestoringRequest request;
    request.alphabet = st.alphabet;
    request.etalons = st.lpRequiredList;
    request.tmin = st.wTmin;
    request.series = &mf;
    ASSERT_EQ(runMatchedFilter(p.sink, RestoringProcedure::RecognizeKnownNumberChain, request), 1);
    st.lpBaselineSeriesHeader = std::make_unique<SeriesHeader>(mf);
    // Paints the state; true when that differs from it without the matched filter.
    const auto differs = [&] {
        auto series = std::move(st.lpBaselineSeriesHeader);
        auto grid = std::move(st.lpBaselineErrorHeader);
        p.paint();
        const platform::Surface without = p.surface;
        st.lpBaselineSeriesHeader = std::move(series);
        st.lpBaselineErrorHeader = std::move(grid);
        p.paint();
        return !test::samePixels(p.surface, without);
    };
    EXPECT_FALSE(differs());
    st.bShowMatchedFilterPulses = 1;
    EXPECT_TRUE(differs());
    const SeriesGraphGeometry g =
        seriesGraphGeometry(p.layout.rcGraph, p.layout.nLineHeight, false, st.wRequiredCount);
    const SeriesMapping third{g.panel(3), int32_t(mf.dwSeriesSize), 1};
    for (uint16_t k = 0; k < mf.wRestoredQuantity; ++k)  // a mark over every pulse it took
        EXPECT_EQ(p.surface.pixel(third.x(mf.lpRestoredPositions[k]) + 1, third.panel.top + 3),
                  kMatchedFilterColour);
    addSeriesNoise(20, static_cast<int16_t>(st.wPulseAmplitude), st.lpSeriesHeader.get(),
                   st.streams.wNoiseSeed);  // another series on screen
    EXPECT_FALSE(differs());

    st.wMainView = MainView::Statistics;
    st.lpRestErrorHeader = getRestErrHeader(p.sink, 3, 4, 10, nullptr);
    ASSERT_EQ(initRestErrHeader(p.sink, 3, 6, 6, 4, 0, 50, 10, st.lpRestErrorHeader.get()), 1);
    st.lpRestErrorHeader->ifComplete = 1;
    st.lpBaselineErrorHeader = std::make_unique<RestErrorHeader>(*st.lpRestErrorHeader);
    EXPECT_FALSE(differs());
    st.bCompareMatchedFilter = 1;
    EXPECT_TRUE(differs());
}

}  // namespace
}  // namespace etalon
