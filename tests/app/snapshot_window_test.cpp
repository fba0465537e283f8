// Saving pictures of the window as a user does, and reading them back with
// independent decoders: ImageMagick for BMP, PNG and PCX, librsvg for SVG.
#include <gtest/gtest.h>

#include <QApplication>
#include <QFileDialog>
#include <QImage>
#include <QLineEdit>
#include <QPainter>
#include <QTimer>
#include <QXmlStreamReader>
#include <cstdio>
#include <cstdlib>
#include <memory>

#include "app/main_menu.h"
#include "app/painting.h"
#include "app/workbench.h"
#include "export/export_support.h"
#include "platform/svg_recorder.h"
#include "support/open_window.h"
#include "support/recording_sink.h"

namespace etalon {
namespace {

using platform::Color;
using platform::Surface;

// How alike a picture is to the window's. Both are reduced to ink (a pixel
// with a channel below 160: lines, text, curves; antialiased text edges
// count when they are at least about half covered) and background; a pixel
// differs when the other picture has no pixel of the same kind within one
// pixel of it, counted both ways. The shares are over all pixels and over
// the window's ink.
struct Likeness {
    double differing = 0;
    double differingInk = 0;
};

bool isInk(Color c) {
    return std::min({c.r, c.g, c.b}) < 160;
}

bool foundNear(const Surface& in, int32_t x, int32_t y, bool ink) {
    for (int32_t dy = -1; dy <= 1; ++dy) {
        for (int32_t dx = -1; dx <= 1; ++dx) {
            if (in.contains(x + dx, y + dy) && isInk(in.pixel(x + dx, y + dy)) == ink) return true;
        }
    }
    return false;
}

Likeness likeness(const Surface& window, const Surface& picture) {
    long differing = 0, differingInk = 0, ink = 0;
    for (int32_t y = 0; y < window.height(); ++y) {
        for (int32_t x = 0; x < window.width(); ++x) {
            const bool windowInk = isInk(window.pixel(x, y));
            const bool differs = !foundNear(picture, x, y, windowInk) ||
                                 !foundNear(window, x, y, isInk(picture.pixel(x, y)));
            ink += windowInk;
            differing += differs;
            differingInk += differs && windowInk;
        }
    }
    return {static_cast<double>(differing) / (window.width() * window.height()),
            ink ? static_cast<double>(differingInk) / ink : 0.0};
}

Surface fromImage(const QImage& loaded) {
    const QImage image = loaded.convertToFormat(QImage::Format_RGB32);
    Surface surface(image.width(), image.height());
    for (int32_t y = 0; y < image.height(); ++y) {
        for (int32_t x = 0; x < image.width(); ++x) {
            const QRgb p = image.pixel(x, y);
            surface.setPixel(x, y,
                             {static_cast<uint8_t>(qRed(p)), static_cast<uint8_t>(qGreen(p)),
                              static_cast<uint8_t>(qBlue(p))});
        }
    }
    return surface;
}

// The SVG drawn by librsvg at its own size, or nothing without rsvg-convert.
std::optional<Surface> rasterise(const std::filesystem::path& svg) {
    if (std::system("rsvg-convert --version >/dev/null 2>&1") != 0) return std::nullopt;
    const std::filesystem::path png = svg.string() + ".png";
    const std::string command =
        "rsvg-convert -b white -o '" + png.string() + "' '" + svg.string() + "'";
    if (std::system(command.c_str()) != 0) return std::nullopt;
    return fromImage(QImage(QString::fromStdString(png.string())));
}

std::string readText(const std::filesystem::path& path) {
    const auto bytes = test::readBytes(path);
    return {bytes.begin(), bytes.end()};
}

bool wellFormedXml(const std::string& text) {
    QXmlStreamReader reader(QByteArray::fromStdString(text));
    while (!reader.atEnd())
        reader.readNext();
    return !reader.hasError();
}

// Every primitive, a clip, both fonts.
void drawScene(platform::DeviceContext& dc) {
    {
        platform::PenGuard pen(dc, {0, 0, 255});
        platform::BrushGuard brush(dc, {255, 255, 0});
        dc.rectangle(10, 10, 60, 40);
        dc.rectangle(62, 10, 63, 40);
    }
    dc.moveTo(5, 50);
    dc.lineTo(150, 50);
    dc.lineTo(150, 95);
    dc.moveTo(70, 10);
    dc.lineTo(100, 40);
    dc.lineTo(130, 12);
    for (int32_t x = 10; x < 60; x += 2)
        dc.setPixel(x, 60, platform::kBlack);
    {
        platform::BrushGuard brush(dc, {0, 128, 0});
        dc.ellipse(100, 60, 140, 90);
    }
    dc.textOut(12, 66, " pulse 3");
    {
        platform::FontGuard symbol(dc, platform::FontKind::Symbol);
        dc.textOut(12, 82, "s e S");
    }
    platform::ClipGuard clip(dc, {64, 56, 96, 96});
    platform::PenGuard pen(dc, {255, 0, 0});
    dc.moveTo(40, 70);
    dc.lineTo(120, 70);
}

TEST(SvgRecorder, DrawsThePixelsOfTheWindowAsShapesAndText) {
    Surface window(160, 100);
    platform::DeviceContext raster(window);
    drawScene(raster);

    platform::SvgRecorder recorder(160, 100);
    Surface bounds(160, 100);
    platform::DeviceContext recording(bounds, recorder);
    drawScene(recording);
    const std::string svg = recorder.finish();
    EXPECT_TRUE(wellFormedXml(svg));
    EXPECT_NE(svg.find(">σ ε Σ</text>"), std::string::npos);
    EXPECT_NE(svg.find("> pulse 3</text>"), std::string::npos);
    EXPECT_TRUE(bounds.data()[0] == Surface::pack(platform::kWhite)) << "nothing rasterised";

    test::ScratchFolder folder;
    test::writeBytes(folder / "scene.svg", {svg.begin(), svg.end()});
    const auto shown = rasterise(folder / "scene.svg");
    if (!shown) GTEST_SKIP() << "rsvg-convert is not installed";
    // Rectangles, straight lines, dots and the clip cover exactly the pixels
    // the window sets.
    for (int32_t y = 0; y < 100; ++y) {
        for (int32_t x = 0; x < 160; ++x) {
            const bool exact = (y >= 8 && y <= 42 && x >= 8 && x <= 65) ||
                               (y >= 48 && y <= 62 && x < 98) || (x >= 148 && y >= 48) ||
                               (y == 70 && x >= 60 && x < 100);
            if (exact) {
                EXPECT_EQ(window.pixel(x, y), shown->pixel(x, y)) << x << "," << y;
            }
        }
    }
    const Likeness alike = likeness(window, *shown);
    std::printf("scene: %.4f of all pixels, %.4f of ink differ\n", alike.differing,
                alike.differingInk);
    EXPECT_LT(alike.differingInk, 0.01);
}

// The workbench window, showing the results of one series.
struct OpenWindow : test::OpenWindow {
    OpenWindow() {
        window->chooseMenuItem(kCmdNextData);
        window->paint();
    }

    // " Save image as..." with the name typed and the filter picked in the dialog.
    void saveAs(const std::filesystem::path& typed, int filter) {
        QTimer* user = new QTimer(qApp);
        auto tries = std::make_shared<int>(0);
        QObject::connect(user, &QTimer::timeout, user, [=] {
            auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
            if (!dialog) return;  // not open yet, or closed; pressing Save again is harmless
            if (++*tries > 500) {
                ADD_FAILURE() << "the dialog did not take " << typed;
                QMetaObject::invokeMethod(dialog, "reject");
                return;
            }
            EXPECT_EQ(dialog->windowTitle(), "Snapshot File Name");
            dialog->selectNameFilter(dialog->nameFilters().value(filter));
            // Typed into the name field, as a user does; selectFile() may be
            // undone by the folder view loading in the background.
            auto* name = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
            ASSERT_NE(name, nullptr);
            name->setText(QString::fromStdString(typed.string()));
            QMetaObject::invokeMethod(dialog, "accept");  // Save pressed
        });
        user->start(10);
        window->chooseMenuItem(kCmdSaveImage);
        delete user;
    }
};

// The BMP, PNG and PCX pictures saved in `folder` against what the window
// shows: BMP and PNG pixel for pixel, PCX split into background and the rest.
void expectPicturesShow(const test::ScratchFolder& folder, const Surface& shown) {
    const auto rgbOf = [&](const char* name) { return test::decodeToRgb(folder / name); };
    const std::size_t pixels = static_cast<std::size_t>(shown.width()) * shown.height();
    const auto bmp = rgbOf("typed.bmp");
    if (!bmp || bmp->empty()) {
        ADD_FAILURE() << "ImageMagick is needed to read the pictures back";
        return;
    }
    const auto png = rgbOf("VIEW.PNG");
    const auto pcx = rgbOf("view.Pcx");
    ASSERT_EQ(bmp->size(), pixels * 3);
    ASSERT_TRUE(png && pcx);
    ASSERT_EQ(png->size(), pixels * 3);
    ASSERT_EQ(pcx->size(), pixels * 3);
    int bmpWrong = 0, pngWrong = 0, pcxWrong = 0;
    std::optional<Color> pcxColour[2];
    for (int32_t y = 0; y < shown.height(); ++y) {
        for (int32_t x = 0; x < shown.width(); ++x) {
            const Color c = shown.pixel(x, y);
            const std::size_t at = (static_cast<std::size_t>(y) * shown.width() + x) * 3;
            const auto is = [&](const std::vector<uint8_t>& rgb, Color want) {
                return rgb[at] == want.r && rgb[at + 1] == want.g && rgb[at + 2] == want.b;
            };
            bmpWrong += !is(*bmp, c);
            pngWrong += !is(*png, c);
            // ImageMagick ignores the palette: what must hold is the split.
            const bool background = c == platform::kWhite;
            if (!pcxColour[background]) {
                pcxColour[background] = Color{(*pcx)[at], (*pcx)[at + 1], (*pcx)[at + 2]};
            }
            pcxWrong += !is(*pcx, *pcxColour[background]);
        }
    }
    EXPECT_EQ(bmpWrong, 0);
    EXPECT_EQ(pngWrong, 0);
    EXPECT_EQ(pcxWrong, 0);
    EXPECT_NE(pcxColour[0], pcxColour[1]);
}

// Saves the four pictures the comparisons read.
void saveEveryFormat(OpenWindow& open, const test::ScratchFolder& folder) {
    open.saveAs(folder / "typed", 0);     // no ending: the default filter's
    open.saveAs(folder / "VIEW.PNG", 0);  // the ending decides, in any case
    open.saveAs(folder / "view.Pcx", 2);
    open.saveAs(folder / "drawn", 3);
    EXPECT_EQ(folder.names(),
              (std::vector<std::string>{"VIEW.PNG", "drawn.svg", "typed.bmp", "view.Pcx"}));
}

TEST(SnapshotWindow, SavedPicturesReadBackAsTheWindowShowsIt) {
    OpenWindow open;
    ASSERT_EQ(open.workbench.state().nDisplayMode, DisplayMode::Results);
    const Surface& shown = open.window->surface();
    test::ScratchFolder folder;
    saveEveryFormat(open, folder);
    EXPECT_TRUE(open.sink.empty());
    expectPicturesShow(folder, shown);

    const std::string svg = readText(folder / "drawn.svg");
    EXPECT_TRUE(wellFormedXml(svg));
    const auto drawn = rasterise(folder / "drawn.svg");

    if (!drawn) GTEST_SKIP() << "rsvg-convert is not installed";
    const Likeness alike = likeness(shown, *drawn);
    std::printf("results view: %.4f of all pixels, %.4f of ink differ\n", alike.differing,
                alike.differingInk);
    // Text differs most: librsvg smooths the glyphs the window draws hard.
    EXPECT_LT(alike.differing, 0.02);
    EXPECT_LT(alike.differingInk, 0.08);
}

// Over the parameter panel the picture holds the Tmin edit box too, as the
// window system draws it over the client area.
TEST(SnapshotWindow, PicturesOverTheParameterPanelHoldTheEditBox) {
    OpenWindow open;
    open.window->chooseMenuItem(kCmdViewSeriesParameters);
    open.window->paint();
    QLineEdit* edit = nullptr;
    for (QWidget* top : QApplication::topLevelWidgets()) {
        if (auto* found = top->findChild<QLineEdit*>(); found && found->width() > 0) edit = found;
    }
    ASSERT_NE(edit, nullptr);
    ASSERT_GT(edit->width(), 0);
    const QRect box = edit->geometry();
    // The window as shown: the client area with the edit box drawn over it.
    Surface shown = open.window->surface();
    {
        QImage over(reinterpret_cast<uchar*>(shown.data()), shown.width(), shown.height(),
                    shown.bytesPerLine(), QImage::Format_RGB32);
        QPainter painter(&over);
        painter.drawPixmap(box.topLeft(), edit->grab());
    }
    int inkInBox = 0;
    for (int32_t y = box.top(); y <= box.bottom(); ++y) {
        for (int32_t x = box.left() + 2; x < box.right() - 1; ++x)
            inkInBox += isInk(shown.pixel(x, y)) && !isInk(open.window->surface().pixel(x, y));
    }
    EXPECT_GT(inkInBox, 10) << "the text " << edit->text().toStdString() << " shows";

    test::ScratchFolder folder;
    saveEveryFormat(open, folder);
    EXPECT_TRUE(open.sink.empty());
    expectPicturesShow(folder, shown);

    const std::string svg = readText(folder / "drawn.svg");
    EXPECT_NE(svg.find(">" + edit->text().toStdString() + "</text>"), std::string::npos);
    const auto drawn = rasterise(folder / "drawn.svg");
    if (!drawn) GTEST_SKIP() << "rsvg-convert is not installed";
    int drawnInk = 0;
    for (int32_t y = box.top() + 2; y < box.bottom() - 1; ++y) {
        for (int32_t x = box.left() + 2; x < box.right() - 1; ++x)
            drawnInk += isInk(drawn->pixel(x, y));
    }
    EXPECT_GT(drawnInk, 10);
}

}  // namespace
}  // namespace etalon
