#include "graphs/alphabet_grid.h"

#include <gtest/gtest.h>

#include <array>

#include "app/window_layout.h"
#include "graphs/selector.h"
#include "graphs/series_mapping.h"
#include "pulses/alphabet.h"
#include "support/pixels.h"

namespace etalon {
namespace {

using platform::DeviceContext;
using platform::kBlack;
using platform::kWhite;
using platform::Surface;
using test::pixelsOf;

struct GridFixture {
    std::array<PulseHeader, kEtalonsNumber> alphabet{};
    std::array<int16_t, kEtalonsNumber + 1> flags{};
    WindowLayout layout;
    Surface surface{1024, 700};

    GridFixture() {
        int16_t seed = 123;
        SilentSink sink;
        makeAlphabet(sink, 128, 20, 20, alphabet, seed);
        DeviceContext dc(surface);
        computeLayout(layout, {0, 0, 1024, 700}, dc.textMetrics(), TaskCode::Recognition, 20);
    }
    void draw() {
        surface.fill(kWhite);
        DeviceContext dc(surface);
        const AlphabetGridLayout grid{
            layout.rcGraph,         layout.rcCells,          layout.wCellWidth, layout.wCellHeight,
            layout.wCellInnerWidth, layout.wCellInnerHeight, layout.nLineHeight};
        DrawAlphabetGrid(dc, grid, alphabet, flags, 128);
        EXPECT_EQ(dc.pen(), kBlack);
    }
    platform::Rect cellArea(int i) const {
        const platform::Rect& c = layout.rcCells[i];
        return {c.left + 2, c.top + 2, c.right - 1, c.bottom - 1};
    }
};

TEST(AlphabetGrid, WorkingSetCellsHaveTripleGreyFramesAndBlueCurves) {
    GridFixture f;
    f.flags.fill(1);
    f.draw();
    const platform::Rect& c = f.layout.rcCells[0];
    ASSERT_EQ(c, (platform::Rect{20, 20, 177, 176}));
    // The outline runs to left + wCellWidth and top + wCellHeight.
    for (int d : {-1, 0, 1}) {
        EXPECT_EQ(f.surface.pixel(20 + d, 100), kWorkingFrame) << d;
        EXPECT_EQ(f.surface.pixel(178 + d, 100), kWorkingFrame) << d;
        EXPECT_EQ(f.surface.pixel(100, 177 + d), kWorkingFrame) << d;
    }
    for (int i = 0; i < 20; ++i) {
        EXPECT_FALSE(pixelsOf(f.surface, kWorkingCurve, f.cellArea(i)).empty()) << i;
        EXPECT_TRUE(pixelsOf(f.surface, kOtherCurve, f.cellArea(i)).empty()) << i;
    }
    // Frame of the graph area, from (L, T) round to (R + 1, B + 1).
    EXPECT_EQ(f.surface.pixel(10, 10), kBlack);
    EXPECT_EQ(f.surface.pixel(10, 688), kBlack);
    EXPECT_EQ(f.surface.pixel(860, 300), kBlack);
}

TEST(AlphabetGrid, OtherEtalonsHaveASingleFrameAndDarkCurves) {
    GridFixture f;
    f.flags.fill(0);
    f.flags[2] = 1;
    f.draw();
    EXPECT_EQ(f.surface.pixel(20, 100), kOtherFrame);
    EXPECT_EQ(f.surface.pixel(19, 100), kWhite);
    EXPECT_EQ(f.surface.pixel(21, 100), kWhite);
    EXPECT_FALSE(pixelsOf(f.surface, kOtherCurve, f.cellArea(0)).empty());
    EXPECT_TRUE(pixelsOf(f.surface, kWorkingCurve, f.cellArea(0)).empty());
    EXPECT_FALSE(pixelsOf(f.surface, kWorkingCurve, f.cellArea(1)).empty());
}

TEST(AlphabetGrid, CurveFollowsTheSamples) {
    GridFixture f;
    f.flags.fill(1);
    f.draw();
    // Etalon 1 is 60 everywhere: a flat stroke at y + h - (188 h) div 256.
    const int32_t lh = f.layout.nLineHeight;
    const int32_t x = 25, y = 25 + lh, h = f.layout.wCellInnerHeight - lh;
    const int32_t cy = y + h - (188 * h) / 256;
    EXPECT_EQ(f.surface.pixel(x + 60, cy), kWorkingCurve);
    EXPECT_EQ(f.surface.pixel(x + 60, cy - 1), kWorkingCurve);
    EXPECT_EQ(f.surface.pixel(x + 60, cy + 1), kWhite);
    EXPECT_EQ(f.surface.pixel(x, y + h / 2 + 20), kBlack);  // vertical axis
}

struct SelectorFixture {
    Surface surface{400, 200};
    std::array<platform::Rect, 3> items{};
    const std::array<int32_t, 3> values{200, 600, 1200};
    int32_t lh = 0;

    void draw(int32_t current, int32_t inEffect) {
        surface.fill(kWhite);
        DeviceContext dc(surface);
        lh = lineHeight(dc);
        EXPECT_EQ(DrawSelector(dc, {100, 20, 300, 20 + 6 * lh}, items, " series length: ", values,
                               current, inEffect),
                  1);
        EXPECT_EQ(dc.brush(), kWhite);
    }
    platform::Color dot(int i) const {
        return surface.pixel(items[i].left + lh / 2, items[i].top + lh / 2);
    }
};

TEST(Selector, ItemsAndTheCurrentDot) {
    SelectorFixture f;
    f.draw(3, 1200);
    const int32_t first = 20 + f.lh / 2 + f.lh;
    const int32_t step = f.lh + f.lh / 2;
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(f.items[i], (platform::Rect{110, first + i * step, 110 + 201 - 20,
                                              first + i * step + step - 1}));
    }
    EXPECT_EQ(f.dot(2), kBlack);
    EXPECT_EQ(f.dot(0), kWhite);
    EXPECT_EQ(f.dot(1), kWhite);
    EXPECT_EQ(f.surface.pixel(100, 60), kBlack);  // frame
    EXPECT_EQ(f.surface.pixel(301, 60), kBlack);

    f.draw(2, 1200);  // 600 chosen, the series still has 1200 samples
    EXPECT_EQ(f.dot(1), kPendingDot);
    EXPECT_EQ(f.dot(2), kWhite);

    f.draw(0, 200);  // out of range: the first entry
    EXPECT_EQ(f.dot(0), kBlack);
    f.draw(4, 999);
    EXPECT_EQ(f.dot(0), kPendingDot);
}

}  // namespace
}  // namespace etalon
