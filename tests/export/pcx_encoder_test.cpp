#include "export/pcx_encoder.h"

#include <gtest/gtest.h>

#include "base/allocation.h"
#include "export/export_support.h"

namespace etalon::test {
namespace {

using Bytes = std::vector<uint8_t>;

Bytes codesOf(const Bytes& packed) {
    Bytes codes;
    appendPcxRunLengthCodes(packed, codes);
    return codes;
}

TEST(PcxEncoder, RunsAreCutAt63AndHighBytesAlwaysGetACount) {
    EXPECT_EQ(codesOf({0xC5}), (Bytes{0xC1, 0xC5}));
    EXPECT_EQ(codesOf(Bytes(70, 0x00)), (Bytes{0xFF, 0x00, 0xC7, 0x00}));
    EXPECT_EQ(codesOf(Bytes(64, 0xAA)), (Bytes{0xFF, 0xAA, 0xAA}));
    EXPECT_EQ(codesOf({0x12, 0x12, 0x34, 0xBF, 0xC0, 0x34}),
              (Bytes{0xC2, 0x12, 0x34, 0xBF, 0xC1, 0xC0, 0x34}));
    EXPECT_EQ(codesOf({}), Bytes{});
}

TEST(PcxEncoder, HundredPixelWindowPacksSixteenBytesPerLine) {
    const RgbColour background{0xC0, 0xC1, 0xC2};
    Picture picture(100, 3, 0xffC0C1C2);
    // Row 1: the first pixel drawn, the last one background with another
    // fourth byte, which does not count.
    picture.at(0, 1) = 0xff000000;
    picture.at(99, 1) = 0x00C0C1C2;
    // Row 2: pixels 8..15 drawn.
    for (int32_t x = 8; x < 16; ++x)
        picture.at(x, 2) = 0xffC0C1C3;
    Bytes file;
    ASSERT_EQ(encodePcx(picture.rows(), background, file), PcxStatus::Ready);

    ASSERT_GE(file.size(), kPcxHeaderSize);
    Bytes header(file.begin(), file.begin() + kPcxHeaderSize);
    Bytes expectedHeader(kPcxHeaderSize, 0);
    for (auto [at, value] : std::initializer_list<std::pair<int, uint8_t>>{{0, 10},
                                                                           {1, 5},
                                                                           {2, 1},
                                                                           {3, 1},
                                                                           {8, 99},
                                                                           {10, 2},
                                                                           {12, 0x80},
                                                                           {13, 2},
                                                                           {14, 0xE0},
                                                                           {15, 1},
                                                                           {19, 0xC0},
                                                                           {20, 0xC1},
                                                                           {21, 0xC2},
                                                                           {65, 1},
                                                                           {66, 16},
                                                                           {68, 1}}) {
        expectedHeader[at] = value;
    }
    EXPECT_EQ(header, expectedHeader);
    EXPECT_EQ(Bytes(file.begin() + kPcxHeaderSize, file.end()),
              (Bytes{0xD0, 0xFF,                       // all background, padding too
                     0x7F, 0xCF, 0xFF,                 // first pixel drawn
                     0xC1, 0xFF, 0x00, 0xCE, 0xFF}));  // second byte all drawn
}

TEST(PcxEncoder, RefusesBadRowsAndReportsWhichRowWasNotAllocated) {
    Picture picture(40, 2);
    PcxRowEncoder encoder;
    EXPECT_EQ(encoder.prepare({picture.rows().data, 40, 2, 100}, {}), PcxStatus::BadRows);
    EXPECT_EQ(encoder.prepare({nullptr, 40, 2, 160}, {}), PcxStatus::BadRows);
    EXPECT_EQ(encoder.prepare(Picture(70000, 1).rows(), {}), PcxStatus::BadRows);
    failAllocationAfter(1);
    EXPECT_EQ(encoder.prepare(picture.rows(), {}), PcxStatus::NoFlagRow);
    failAllocationAfter(2);
    EXPECT_EQ(encoder.prepare(picture.rows(), {}), PcxStatus::NoCodeRow);
    failAllocationAfter(0);
}

TEST(PcxEncoder, ImageMagickReadsBackBackgroundAndInk) {
    const RgbColour background{255, 255, 255};
    Picture picture(45, 6);
    for (int32_t y = 0; y < picture.height; ++y) {
        for (int32_t x = 0; x < picture.width; ++x) {
            if ((x * 7 + y * 3) % 5 == 0 || x == y) picture.at(x, y) = 0xff000000u | 40 * y << 8;
        }
    }
    ScratchFolder folder;
    Bytes file;
    ASSERT_EQ(encodePcx(picture.rows(), background, file), PcxStatus::Ready);
    writeBytes(folder / "picture.pcx", file);

    auto decoded = decodeToRgb(folder / "picture.pcx");
    if (!decoded) GTEST_SKIP() << "ImageMagick is not installed";
    // Decoders differ on the colours of a two-colour file (ImageMagick ignores
    // the palette), so what must hold is the split: one colour wherever the
    // window has background, another one everywhere else.
    ASSERT_EQ(decoded->size(), picture.pixels.size() * 3);
    std::vector<uint8_t> colourOf[2];
    for (std::size_t i = 0; i < picture.pixels.size(); ++i) {
        bool isBackground = (picture.pixels[i] & 0xffffff) == 0xffffff;
        std::vector<uint8_t> colour(decoded->begin() + 3 * i, decoded->begin() + 3 * i + 3);
        if (colourOf[isBackground].empty()) colourOf[isBackground] = colour;
        ASSERT_EQ(colour, colourOf[isBackground]) << "pixel " << i;
    }
    EXPECT_NE(colourOf[0], colourOf[1]);
}

}  // namespace
}  // namespace etalon::test
