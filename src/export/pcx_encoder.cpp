#include "export/pcx_encoder.h"

#include <algorithm>
#include <cstdlib>

#include "base/allocation.h"
#include "export/byte_order.h"

namespace etalon {

namespace {

constexpr std::size_t kMaxRun = 63;
constexpr uint8_t kCountMark = 0xC0;

uint32_t packRgb(RgbColour colour) {
    return (uint32_t{colour.red} << 16) | (uint32_t{colour.green} << 8) | colour.blue;
}

}  // namespace

uint16_t pcxBytesPerLine(int32_t width) {
    return static_cast<uint16_t>((width + 31) / 32 * 4);
}

std::array<uint8_t, kPcxHeaderSize> makePcxHeader(int32_t width, int32_t height,
                                                  RgbColour background) {
    std::array<uint8_t, kPcxHeaderSize> header{};
    uint8_t* h = header.data();
    h[0] = 10;  // manufacturer
    h[1] = 5;   // version
    h[2] = 1;   // run-length encoded
    h[3] = 1;   // bits per pixel
    putLe16(h + 4, 0);
    putLe16(h + 6, 0);
    putLe16(h + 8, static_cast<uint32_t>(width - 1));
    putLe16(h + 10, static_cast<uint32_t>(height - 1));
    putLe16(h + 12, 640);
    putLe16(h + 14, 480);
    // Palette entry 0 stays black; entry 1 is the background.
    h[19] = background.red;
    h[20] = background.green;
    h[21] = background.blue;
    h[65] = 1;  // planes
    putLe16(h + 66, pcxBytesPerLine(width));
    putLe16(h + 68, 1);  // palette info
    return header;
}

void appendPcxRunLengthCodes(std::span<const uint8_t> packed, std::vector<uint8_t>& codes) {
    std::size_t i = 0;
    while (i < packed.size()) {
        const uint8_t value = packed[i];
        std::size_t run = 1;
        while (i + run < packed.size() && run < kMaxRun && packed[i + run] == value)
            ++run;
        if (run > 1 || value >= kCountMark) {
            codes.push_back(static_cast<uint8_t>(kCountMark | run));
        }
        codes.push_back(value);
        i += run;
    }
}

PcxStatus PcxRowEncoder::prepare(const ImageRows& rows, RgbColour background) {
    // The header keeps the last coordinates in 16 bits.
    if (rows.data == nullptr || rows.width <= 0 || rows.height <= 0 || rows.width > 65536 ||
        rows.height > 65536 || std::abs(rows.stride) < int64_t{rows.width} * 4) {
        return PcxStatus::BadRows;
    }
    const std::size_t bytesPerLine = pcxBytesPerLine(rows.width);
    if (!allocateBuffer(flags_, 8 * bytesPerLine)) return PcxStatus::NoFlagRow;
    if (!allocateBuffer(packed_, bytesPerLine) || !allocateBuffer(codes_, 2 * bytesPerLine)) {
        return PcxStatus::NoCodeRow;
    }
    rows_ = rows;
    background_ = packRgb(background);
    return PcxStatus::Ready;
}

std::span<const uint8_t> PcxRowEncoder::encodeRow(int32_t y) {
    std::fill(flags_.begin(), flags_.end(), uint8_t{1});
    for (int32_t x = 0; x < rows_.width; ++x) {
        flags_[x] = (rows_.pixel32(x, y) & 0xFFFFFFu) == background_ ? 1 : 0;
    }
    for (std::size_t i = 0; i < packed_.size(); ++i) {
        uint8_t byte = 0;
        for (std::size_t bit = 0; bit < 8; ++bit)
            byte = static_cast<uint8_t>(byte << 1 | flags_[8 * i + bit]);
        packed_[i] = byte;
    }
    codes_.clear();  // keeps the capacity taken in prepare
    appendPcxRunLengthCodes(packed_, codes_);
    return codes_;
}

PcxStatus encodePcx(const ImageRows& rows, RgbColour background, std::vector<uint8_t>& file) {
    PcxRowEncoder encoder;
    PcxStatus status = encoder.prepare(rows, background);
    if (status != PcxStatus::Ready) return status;
    try {
        std::vector<uint8_t> encoded;
        const auto header = makePcxHeader(rows.width, rows.height, background);
        encoded.assign(header.begin(), header.end());
        for (int32_t y = 0; y < rows.height; ++y) {
            auto codes = encoder.encodeRow(y);
            encoded.insert(encoded.end(), codes.begin(), codes.end());
        }
        file.swap(encoded);
    } catch (const std::bad_alloc&) {
        return PcxStatus::NoCodeRow;
    }
    return PcxStatus::Ready;
}

}  // namespace etalon
