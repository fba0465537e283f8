#include "export/bmp_encoder.h"

#include <gtest/gtest.h>

#include "base/allocation.h"
#include "export/export_support.h"

namespace etalon::test {
namespace {

uint32_t le32(const std::vector<uint8_t>& b, std::size_t at) {
    return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | uint32_t{b[at + 3]} << 24;
}

uint16_t le16(const std::vector<uint8_t>& b, std::size_t at) {
    return static_cast<uint16_t>(b[at] | b[at + 1] << 8);
}

std::vector<uint8_t> encode(const BitmapDescription& bitmap, const ImageRows& rows,
                            std::span<const RgbColour> table = {}) {
    BmpInfo info;
    EXPECT_EQ(buildBmpInfo(bitmap, info), BmpInfoStatus::Built);
    BmpFile file;
    EXPECT_EQ(encodeBmp(info, rows, table, file), BmpEncodeStatus::Encoded);
    return file.bytes();
}

TEST(BmpEncoder, WideTrueColourAreaHasItsSizesAndRowsBottomUp) {
    Picture picture(1001, 10, 0xff000000);
    picture.at(0, 0) = 0xff123456;     // top-left
    picture.at(1000, 9) = 0xffabcdef;  // bottom-right
    std::vector<uint8_t> b = encode({1001, 10, 1, 32}, picture.rows());

    ASSERT_EQ(b.size(), 40374u);
    EXPECT_EQ(b[0], 'B');
    EXPECT_EQ(b[1], 'M');
    EXPECT_EQ(le32(b, 2), 40374u);
    EXPECT_EQ(le32(b, 10), 54u);
    EXPECT_EQ(le32(b, 14), 40u);
    EXPECT_EQ(le32(b, 18), 1001u);
    EXPECT_EQ(le32(b, 22), 10u);
    EXPECT_EQ(le16(b, 26), 1);
    EXPECT_EQ(le16(b, 28), 32);
    EXPECT_EQ(le32(b, 34), 40320u);
    EXPECT_EQ(le32(b, 46), 0u);
    // The bottom row comes first; the fourth byte of a pixel is always 0.
    const std::size_t row = 1001 * 4;
    EXPECT_EQ(std::vector<uint8_t>(b.begin() + 54 + 1000 * 4, b.begin() + 54 + row),
              (std::vector<uint8_t>{0xef, 0xcd, 0xab, 0}));
    EXPECT_EQ(std::vector<uint8_t>(b.begin() + 54 + 9 * row, b.begin() + 54 + 9 * row + 4),
              (std::vector<uint8_t>{0x56, 0x34, 0x12, 0}));
    // Past the rows, zeros up to the stated size.
    for (std::size_t i = 54 + 10 * row; i < b.size(); ++i)
        ASSERT_EQ(b[i], 0) << i;
}

TEST(BmpEncoder, DepthRoundsUpAndColourTableFollowsTheHeader) {
    struct Case {
        uint16_t planes, bits, depth;
    };
    for (Case c : {Case{1, 1, 1}, Case{1, 2, 4}, Case{4, 1, 4}, Case{1, 5, 8}, Case{1, 15, 16},
                   Case{1, 17, 24}, Case{1, 24, 24}, Case{2, 24, 32}}) {
        SCOPED_TRACE(testing::Message() << c.planes << " x " << c.bits);
        BmpInfo info;
        ASSERT_EQ(buildBmpInfo({3, 2, c.planes, c.bits}, info), BmpInfoStatus::Built);
        EXPECT_EQ(info.depth, c.depth);
        EXPECT_EQ(info.colourEntries, c.depth < 16 ? 1u << c.depth : 0u);
        EXPECT_EQ(info.block.size(), 40 + 4 * info.colourEntries);
        EXPECT_EQ(le16(info.block, 12), 1);  // one plane of `depth` bits is what is stored
        EXPECT_EQ(le16(info.block, 14), c.depth);
    }

    const uint8_t pixels[] = {0x01, 0x23, 0x45, 0x00, 0x67, 0x89, 0xab, 0x00};
    const RgbColour table[] = {{1, 2, 3}, {4, 5, 6}};
    std::vector<uint8_t> b = encode({3, 2, 1, 8}, {pixels, 3, 2, 4}, table);
    EXPECT_EQ(le32(b, 10), 54u + 1024);
    EXPECT_EQ(le32(b, 46), 256u);
    EXPECT_EQ(std::vector<uint8_t>(b.begin() + 54, b.begin() + 62),
              (std::vector<uint8_t>{3, 2, 1, 0, 6, 5, 4, 0}));
    EXPECT_EQ(std::vector<uint8_t>(b.begin() + 54 + 1024, b.begin() + 54 + 1024 + 8),
              (std::vector<uint8_t>{0x67, 0x89, 0xab, 0, 0x01, 0x23, 0x45, 0}));
}

TEST(BmpEncoder, NarrowLowDepthRowsStillFitTheStatedSize) {
    // ((1 + 7) div 8) × 3 × 1 = 3 bytes would not hold three rows padded to 4.
    const uint8_t pixels[] = {0x80, 0x00, 0x80};
    std::vector<uint8_t> b = encode({1, 3, 1, 1}, {pixels, 1, 3, 1});
    EXPECT_EQ(le32(b, 34), 12u);
    EXPECT_EQ(le32(b, 2), 54u + 8 + 12);
    EXPECT_EQ(std::vector<uint8_t>(b.end() - 12, b.end()),
              (std::vector<uint8_t>{0x80, 0, 0, 0, 0, 0, 0, 0, 0x80, 0, 0, 0}));
}

TEST(BmpEncoder, RefusesWhatItCannotEncode) {
    BmpInfo info;
    EXPECT_EQ(buildBmpInfo({0, 10, 1, 32}, info), BmpInfoStatus::BadDescription);
    EXPECT_EQ(buildBmpInfo({10, -1, 1, 32}, info), BmpInfoStatus::BadDescription);
    EXPECT_EQ(buildBmpInfo({10, 10, 1, 0}, info), BmpInfoStatus::BadDescription);
    EXPECT_EQ(buildBmpInfo({40000, 40000, 1, 32}, info), BmpInfoStatus::BadDescription);
    EXPECT_TRUE(info.block.empty());

    failAllocationAfter(1);
    EXPECT_EQ(buildBmpInfo({10, 10, 1, 32}, info), BmpInfoStatus::NoMemory);
    ASSERT_EQ(buildBmpInfo({4, 2, 1, 32}, info), BmpInfoStatus::Built);

    Picture picture(4, 2);
    BmpFile file;
    failAllocationAfter(1);
    EXPECT_EQ(encodeBmp(info, picture.rows(), {}, file), BmpEncodeStatus::NoMemory);
    EXPECT_EQ(encodeBmp(info, Picture(4, 3).rows(), {}, file), BmpEncodeStatus::BadRows);
    EXPECT_EQ(encodeBmp(info, {picture.rows().data, 4, 2, 8}, {}, file), BmpEncodeStatus::BadRows);
    const RgbColour table[] = {{1, 2, 3}};
    EXPECT_EQ(encodeBmp(info, picture.rows(), table, file), BmpEncodeStatus::BadRows);
    EXPECT_TRUE(file.bits.empty());
    failAllocationAfter(0);
}

TEST(BmpEncoder, ImageMagickReadsBackTheSamePixels) {
    ScratchFolder folder;
    // Odd widths so that every row needs padding.
    Picture picture(7, 5);
    std::vector<uint8_t> expected;
    for (int32_t y = 0; y < picture.height; ++y) {
        for (int32_t x = 0; x < picture.width; ++x) {
            uint8_t r = static_cast<uint8_t>(30 * x), g = static_cast<uint8_t>(50 * y),
                    b = static_cast<uint8_t>(7 * x * y + 1);
            picture.at(x, y) = 0xff000000u | r << 16 | g << 8 | b;
            expected.insert(expected.end(), {r, g, b});
        }
    }
    writeBytes(folder / "true.bmp", encode({7, 5, 1, 32}, picture.rows()));

    // Two colours through the table: bit 1 picks entry 1.
    const uint8_t mono[] = {0b10110000, 0b00000000, 0b11111111, 0b11100000};
    const RgbColour table[] = {{0, 0, 0}, {200, 100, 50}};
    writeBytes(folder / "mono.bmp", encode({11, 2, 1, 1}, {mono, 11, 2, 2}, table));
    std::vector<uint8_t> expectedMono;
    for (int32_t y = 0; y < 2; ++y) {
        for (int32_t x = 0; x < 11; ++x) {
            bool set = mono[y * 2 + x / 8] >> (7 - x % 8) & 1;
            RgbColour c = table[set];
            expectedMono.insert(expectedMono.end(), {c.red, c.green, c.blue});
        }
    }

    auto decoded = decodeToRgb(folder / "true.bmp");
    if (!decoded) GTEST_SKIP() << "ImageMagick is not installed";
    EXPECT_EQ(*decoded, expected);
    EXPECT_EQ(*decodeToRgb(folder / "mono.bmp"), expectedMono);
}

}  // namespace
}  // namespace etalon::test
