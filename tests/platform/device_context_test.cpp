#include "platform/device_context.h"

#include <gtest/gtest.h>

#include "platform/fonts.h"
#include "platform/symbol_font.h"
#include "support/pixels.h"

namespace etalon::platform {
namespace {

using test::inkOf;
using test::pixelsOf;
using Points = std::vector<Point>;

TEST(DeviceContext, LinesLeaveOutTheirEndPoint) {
    Surface s(20, 20);
    DeviceContext dc(s);
    dc.moveTo(2, 3);
    dc.lineTo(6, 3);
    EXPECT_EQ(inkOf(s), (Points{{2, 3}, {3, 3}, {4, 3}, {5, 3}}));
    EXPECT_EQ(dc.currentPosition(), (Point{6, 3}));

    Surface v(20, 20);
    DeviceContext dv(v);
    dv.moveTo(4, 5);
    dv.lineTo(4, 2);  // upwards
    EXPECT_EQ(inkOf(v), (Points{{4, 3}, {4, 4}, {4, 5}}));

    Surface d(20, 20);
    DeviceContext dd(d);
    dd.moveTo(1, 1);
    dd.lineTo(4, 4);
    EXPECT_EQ(inkOf(d), (Points{{1, 1}, {2, 2}, {3, 3}}));

    Surface z(20, 20);
    DeviceContext dz(z);
    dz.moveTo(7, 7);
    dz.lineTo(7, 7);
    EXPECT_TRUE(inkOf(z).empty());
}

TEST(DeviceContext, ShallowAndSteepLinesSetOnePixelPerMajorStep) {
    Surface s(40, 40);
    DeviceContext dc(s);
    dc.moveTo(0, 0);
    dc.lineTo(10, 3);
    const Points shallow = inkOf(s);
    ASSERT_EQ(shallow.size(), 10u);
    EXPECT_EQ(shallow.front(), (Point{0, 0}));
    for (const Point& p : shallow)
        EXPECT_LE(p.y, 3);

    Surface t(40, 40);
    DeviceContext dt(t);
    dt.moveTo(5, 20);
    dt.lineTo(2, 8);
    EXPECT_EQ(inkOf(t).size(), 12u);
    EXPECT_EQ(t.pixel(5, 20), kBlack);
    EXPECT_EQ(t.pixel(2, 8), kWhite);
}

TEST(DeviceContext, ClosedOutlineSetsEveryCorner) {
    Surface s(20, 20);
    DeviceContext dc(s);
    dc.moveTo(2, 2);
    dc.lineTo(8, 2);
    dc.lineTo(8, 6);
    dc.lineTo(2, 6);
    dc.lineTo(2, 2);
    for (const Point p : {Point{2, 2}, Point{8, 2}, Point{8, 6}, Point{2, 6}}) {
        EXPECT_EQ(s.pixel(p.x, p.y), kBlack) << p.x << "," << p.y;
    }
    EXPECT_EQ(inkOf(s).size(), 2u * 6 + 2u * 4);
}

TEST(DeviceContext, RectangleExcludesRightAndBottomEdges) {
    Surface s(20, 20);
    DeviceContext dc(s);
    const Color red{255, 0, 0}, green{0, 255, 0};
    PenGuard pen(dc, red);
    BrushGuard brush(dc, green);
    dc.rectangle(2, 3, 7, 9);
    for (int x = 2; x <= 6; ++x) {
        EXPECT_EQ(s.pixel(x, 3), red);
        EXPECT_EQ(s.pixel(x, 8), red);
    }
    for (int y = 3; y <= 8; ++y) {
        EXPECT_EQ(s.pixel(2, y), red);
        EXPECT_EQ(s.pixel(6, y), red);
    }
    EXPECT_EQ(pixelsOf(s, green).size(), 3u * 4);
    EXPECT_EQ(s.pixel(7, 5), kWhite);
    EXPECT_EQ(s.pixel(4, 9), kWhite);
}

TEST(DeviceContext, GuardsRestoreWhatWasSelected) {
    Surface s(4, 4);
    DeviceContext dc(s);
    EXPECT_EQ(dc.pen(), kBlack);
    EXPECT_EQ(dc.brush(), kWhite);
    {
        PenGuard pen(dc, Color{1, 2, 3});
        BrushGuard brush(dc, Color{4, 5, 6});
        FontGuard font(dc, FontKind::Symbol);
        EXPECT_EQ(dc.pen(), (Color{1, 2, 3}));
        EXPECT_EQ(dc.brush(), (Color{4, 5, 6}));
        EXPECT_EQ(dc.font(), FontKind::Symbol);
    }
    EXPECT_EQ(dc.pen(), kBlack);
    EXPECT_EQ(dc.brush(), kWhite);
    EXPECT_EQ(dc.font(), FontKind::Text);
}

TEST(DeviceContext, DrawingStaysInsideTheClip) {
    Surface s(30, 30);
    DeviceContext dc(s, {Rect{10, 10, 20, 20}});
    dc.rectangle(0, 0, 30, 30);
    dc.textOut(0, 12, "clipped text");
    dc.moveTo(0, 15);
    dc.lineTo(30, 15);
    dc.setPixel(5, 5, kBlack);
    for (const Point& p : inkOf(s)) {
        EXPECT_TRUE(p.x >= 10 && p.x < 20 && p.y >= 10 && p.y < 20) << p.x << "," << p.y;
    }
    EXPECT_EQ(s.pixel(12, 15), kBlack);
}

TEST(DeviceContext, EllipseFillsInsideItsBox) {
    Surface s(40, 40);
    DeviceContext dc(s);
    const Color blue{0, 0, 255};
    BrushGuard brush(dc, blue);
    dc.ellipse(10, 10, 23, 23);
    EXPECT_EQ(s.pixel(16, 16), blue);
    EXPECT_EQ(s.pixel(10, 16), kBlack);  // outline touches the left edge
    for (const Point& p : inkOf(s)) {
        EXPECT_TRUE(p.x >= 10 && p.x < 23 && p.y >= 10 && p.y < 23) << p.x << "," << p.y;
    }
}

TEST(DeviceContext, TextFontMetricsAndPlacement) {
    Surface s(200, 40);
    DeviceContext dc(s);
    const TextMetrics tm = dc.textMetrics();
    EXPECT_EQ(tm.height, kTextFontHeight);
    EXPECT_GE(tm.externalLeading, 0);
    EXPECT_GT(tm.aveCharWidth, 3);
    EXPECT_GE(tm.maxCharWidth, tm.aveCharWidth);

    // The layout's label slots need letters about 6 pixels wide on average;
    // a wider face makes neighbouring position labels touch.
    const Size letters = dc.textExtent("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz");
    EXPECT_NEAR(letters.cx / 52.0, 6.0, 0.25);
    EXPECT_LE(dc.textExtent("1020f").cx, 28);

    const Size extent = dc.textExtent("pulse 1");
    EXPECT_EQ(extent.cy, tm.height);
    EXPECT_GT(extent.cx, 6 * tm.aveCharWidth / 2);

    dc.textOut(20, 10, "pulse 1");
    const Points ink = inkOf(s);
    ASSERT_FALSE(ink.empty());
    for (const Point& p : ink) {
        EXPECT_GE(p.x, 20);
        EXPECT_LT(p.x, 20 + extent.cx);
        EXPECT_GE(p.y, 10);
        EXPECT_LT(p.y, 10 + extent.cy);
    }
}

TEST(DeviceContext, TextCoversWhatIsBehindIt) {
    Surface s(100, 30, Color{0, 255, 0});
    DeviceContext dc(s);
    dc.textOut(5, 5, "ab");
    const Size extent = dc.textExtent("ab");
    EXPECT_FALSE(pixelsOf(s, kWhite, {5, 5, 5 + extent.cx, 5 + extent.cy}).empty());
    EXPECT_TRUE(pixelsOf(s, Color{0, 255, 0}, {5, 5, 5 + extent.cx, 5 + extent.cy}).empty());
}

TEST(DeviceContext, SymbolFontShowsGreekLetters) {
    EXPECT_EQ(symbolToGreek("s e S"), "σ ε Σ");
    EXPECT_EQ(symbolToGreek("a=1"), "α=1");
    Surface s(100, 20);
    DeviceContext dc(s);
    FontGuard font(dc, FontKind::Symbol);
    EXPECT_EQ(dc.textExtent("s").cx, [&] {
        FontGuard text(dc, FontKind::Text);
        return dc.textExtent("σ").cx;
    }());
}

TEST(DeviceContext, BlitCopiesTheBitmapAtItsCorner) {
    Surface s(10, 10);
    DeviceContext dc(s);
    Bitmap bitmap{2,
                  2,
                  {Surface::pack({1, 1, 1}), Surface::pack({2, 2, 2}), Surface::pack({3, 3, 3}),
                   Surface::pack({4, 4, 4})}};
    dc.blit(bitmap, 3, 4);
    EXPECT_EQ(s.pixel(3, 4), (Color{1, 1, 1}));
    EXPECT_EQ(s.pixel(4, 4), (Color{2, 2, 2}));
    EXPECT_EQ(s.pixel(3, 5), (Color{3, 3, 3}));
    EXPECT_EQ(s.pixel(4, 5), (Color{4, 4, 4}));
    EXPECT_EQ(inkOf(s).size(), 4u);
}

}  // namespace
}  // namespace etalon::platform
