#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <vector>

#include "export/image_rows.h"

namespace etalon {

// What the window system says about a bitmap: its size and pixel format.
struct BitmapDescription {
    int32_t width = 0;
    int32_t height = 0;
    uint16_t planes = 0;
    uint16_t bitsPerPixel = 0;
};

inline constexpr std::size_t kBmpFileHeaderSize = 14;
inline constexpr std::size_t kBmpInfoHeaderSize = 40;

// The information header of a bitmap file with room for its colour table.
struct BmpInfo {
    int32_t width = 0;
    int32_t height = 0;
    uint16_t depth = 0;          // bits per pixel of the rows in the file
    uint32_t colourEntries = 0;  // entries of the colour table, 0 from 16 bits up
    uint32_t imageSize = 0;      // bytes of pixel data after the colour table
    std::vector<uint8_t> block;  // the 40-byte header, then 4 bytes per colour entry

    uint32_t rowBytes() const;  // one row in the file, padded to 4 bytes
};

enum class BmpInfoStatus { Built, BadDescription, NoMemory };

// The depth the file stores: planes × bits per pixel rounded up to 1, 4, 8,
// 16, 24 or 32.
uint16_t bmpDepth(uint32_t planes, uint32_t bitsPerPixel);

// Fills `info` for a bitmap. BadDescription when the bitmap is empty or too
// large for the file's 32-bit sizes, NoMemory when the block cannot be had;
// `info` is left as it was then.
BmpInfoStatus buildBmpInfo(const BitmapDescription& bitmap, BmpInfo& info);

// A bitmap file in its three parts, in the order they are written.
struct BmpFile {
    std::array<uint8_t, kBmpFileHeaderSize> fileHeader{};
    std::vector<uint8_t> info;  // information header and colour table
    std::vector<uint8_t> bits;  // S bytes: rows bottom-up, padded, then zeros

    std::vector<uint8_t> bytes() const;  // the whole file
};

enum class BmpEncodeStatus { Encoded, BadRows, NoMemory };

// Encodes `rows` (top-down, in the file's depth; 32-bit rows hold pixels as
// 0x??RRGGBB) with `colourTable` (at most E entries, the rest stay zero).
// BadRows when the rows do not match the information header.
BmpEncodeStatus encodeBmp(const BmpInfo& info, const ImageRows& rows,
                          std::span<const RgbColour> colourTable, BmpFile& file);

}  // namespace etalon
