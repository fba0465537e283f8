#include <gtest/gtest.h>

#include "app/painting.h"
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
    platform::Surface surface{1024, 700};

    PaintedState() { createStartupState(state, sink); }
    ~PaintedState() { destroyState(state); }
    void paint() {
        surface.fill(kWhite);
        platform::DeviceContext dc(surface);
        paintWindow(state, layout, bitmaps, {0, 0, 1024, 700}, dc);
    }
};

TEST(ResultsPainting, ResultsModeDrawsTheSeriesGraphAndClearsNoErase) {
    PaintedState p;
    p.paint();  // the alphabet grid
    const int32_t left = p.layout.rcGraph.left, mid = p.layout.rcGraph.top + 300;
    const size_t gridInk = test::inkOf(p.surface, p.layout.rcGraph).size();

    p.state.nDisplayMode = 6;
    p.state.bNoErase = 1;
    p.paint();
    EXPECT_EQ(p.surface.pixel(left, mid), kBlack);  // the graph frame
    EXPECT_EQ(p.surface.pixel(p.layout.rcGraph.right + 1, mid), kBlack);
    EXPECT_NE(test::inkOf(p.surface, p.layout.rcGraph).size(), gridInk);
    EXPECT_EQ(p.state.bNoErase, 0);

    // Series processing shows nothing for a tuples series.
    p.state.wTaskType = p.state.wEffectiveTask = kTaskSeriesProcessing;
    p.state.wSeriesType = kSeriesFixedTuples;
    p.state.bNoErase = 1;
    p.paint();
    EXPECT_TRUE(test::inkOf(p.surface, p.layout.rcGraph).empty());
    EXPECT_EQ(p.state.bNoErase, 0);
    p.state.wSeriesType = kSeriesUnfixedCutoff;
    p.paint();
    EXPECT_EQ(p.surface.pixel(left, mid), kBlack);
}

}  // namespace
}  // namespace etalon
