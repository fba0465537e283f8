#include "export/bmp_encoder.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <limits>

#include "base/allocation.h"
#include "export/byte_order.h"

namespace etalon {

namespace {

uint64_t paddedRowBytes(uint64_t width, uint64_t depth) {
    return (width * depth + 31) / 32 * 4;
}

uint64_t usedRowBytes(uint64_t width, uint64_t depth) {
    return (width * depth + 7) / 8;
}

void putColourTable(std::span<const RgbColour> table, uint8_t* at) {
    for (const RgbColour& colour : table) {
        at[0] = colour.blue;
        at[1] = colour.green;
        at[2] = colour.red;
        at[3] = 0;
        at += 4;
    }
}

// 32-bit rows are written pixel by pixel so the file gets blue, green, red, 0
// whatever the machine's byte order and whatever the picture kept in the
// fourth byte.
void putRow(const ImageRows& rows, int32_t y, uint16_t depth, uint8_t* at) {
    if (depth != 32) {
        std::memcpy(at, rows.row(y), usedRowBytes(static_cast<uint64_t>(rows.width), depth));
        return;
    }
    for (int32_t x = 0; x < rows.width; ++x) {
        uint32_t pixel = rows.pixel32(x, y);
        at[0] = static_cast<uint8_t>(pixel);
        at[1] = static_cast<uint8_t>(pixel >> 8);
        at[2] = static_cast<uint8_t>(pixel >> 16);
        at[3] = 0;
        at += 4;
    }
}

}  // namespace

uint32_t BmpInfo::rowBytes() const {
    return static_cast<uint32_t>(paddedRowBytes(static_cast<uint64_t>(width), depth));
}

uint16_t bmpDepth(uint32_t planes, uint32_t bitsPerPixel) {
    uint64_t bits = uint64_t{planes} * bitsPerPixel;
    for (uint16_t depth : {1, 4, 8, 16, 24}) {
        if (bits <= depth) return depth;
    }
    return 32;
}

BmpInfoStatus buildBmpInfo(const BitmapDescription& bitmap, BmpInfo& info) {
    if (bitmap.width <= 0 || bitmap.height <= 0 || bitmap.planes == 0 || bitmap.bitsPerPixel == 0) {
        return BmpInfoStatus::BadDescription;
    }
    const uint16_t depth = bmpDepth(bitmap.planes, bitmap.bitsPerPixel);
    const uint32_t entries = depth < 16 ? uint32_t{1} << depth : 0;
    const uint64_t width = static_cast<uint64_t>(bitmap.width);
    const uint64_t height = static_cast<uint64_t>(bitmap.height);
    // The customary size formula falls short of the padded rows for narrow
    // pictures of low depth; the rows must always fit.
    const uint64_t imageSize =
        std::max((width + 7) / 8 * height * depth, paddedRowBytes(width, depth) * height);
    const uint64_t headers = kBmpFileHeaderSize + kBmpInfoHeaderSize + 4 * uint64_t{entries};
    if (headers + imageSize > std::numeric_limits<uint32_t>::max()) {
        return BmpInfoStatus::BadDescription;
    }

    std::vector<uint8_t> block;
    if (!allocateBuffer(block, kBmpInfoHeaderSize + 4 * std::size_t{entries})) {
        return BmpInfoStatus::NoMemory;
    }
    uint8_t* h = block.data();
    putLe32(h + 0, kBmpInfoHeaderSize);
    putLe32(h + 4, static_cast<uint32_t>(bitmap.width));
    putLe32(h + 8, static_cast<uint32_t>(bitmap.height));  // positive: rows bottom-up
    // The rows are stored as one plane of `depth` bits, so that is what the
    // header says, whatever planes the screen bitmap had.
    putLe16(h + 12, 1);
    putLe16(h + 14, depth);
    putLe32(h + 16, 0);  // uncompressed
    putLe32(h + 20, static_cast<uint32_t>(imageSize));
    putLe32(h + 24, 0);
    putLe32(h + 28, 0);
    putLe32(h + 32, entries);
    putLe32(h + 36, 0);

    info.width = bitmap.width;
    info.height = bitmap.height;
    info.depth = depth;
    info.colourEntries = entries;
    info.imageSize = static_cast<uint32_t>(imageSize);
    info.block.swap(block);
    return BmpInfoStatus::Built;
}

std::vector<uint8_t> BmpFile::bytes() const {
    std::vector<uint8_t> all;
    all.reserve(fileHeader.size() + info.size() + bits.size());
    all.insert(all.end(), fileHeader.begin(), fileHeader.end());
    all.insert(all.end(), info.begin(), info.end());
    all.insert(all.end(), bits.begin(), bits.end());
    return all;
}

BmpEncodeStatus encodeBmp(const BmpInfo& info, const ImageRows& rows,
                          std::span<const RgbColour> colourTable, BmpFile& file) {
    const uint64_t rowBytes = info.rowBytes();
    if (rows.data == nullptr || rows.width != info.width || rows.height != info.height ||
        info.block.size() != kBmpInfoHeaderSize + 4 * std::size_t{info.colourEntries} ||
        colourTable.size() > info.colourEntries ||
        uint64_t(std::abs(rows.stride)) <
            usedRowBytes(static_cast<uint64_t>(rows.width), info.depth) ||
        rowBytes * static_cast<uint64_t>(info.height) > info.imageSize) {
        return BmpEncodeStatus::BadRows;
    }

    BmpFile encoded;
    if (!allocateBuffer(encoded.bits, info.imageSize) ||
        !allocateBuffer(encoded.info, info.block.size())) {
        return BmpEncodeStatus::NoMemory;
    }
    std::copy(info.block.begin(), info.block.end(), encoded.info.begin());
    putColourTable(colourTable, encoded.info.data() + kBmpInfoHeaderSize);
    for (int32_t y = 0; y < rows.height; ++y) {
        putRow(rows, y, info.depth, encoded.bits.data() + (rows.height - 1 - y) * rowBytes);
    }

    const uint32_t offBits = static_cast<uint32_t>(kBmpFileHeaderSize + encoded.info.size());
    uint8_t* f = encoded.fileHeader.data();
    f[0] = 'B';
    f[1] = 'M';
    putLe32(f + 2, offBits + info.imageSize);
    putLe16(f + 6, 0);
    putLe16(f + 8, 0);
    putLe32(f + 10, offBits);
    file = std::move(encoded);
    return BmpEncodeStatus::Encoded;
}

}  // namespace etalon
