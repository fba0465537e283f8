#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <vector>

#include "export/image_rows.h"

namespace etalon {

inline constexpr std::size_t kPcxHeaderSize = 128;

// Bytes of one packed row: a whole number of 32-bit words.
uint16_t pcxBytesPerLine(int32_t width);

// The 128-byte header of a two-colour picture; palette entry 1 is the
// background colour.
std::array<uint8_t, kPcxHeaderSize> makePcxHeader(int32_t width, int32_t height,
                                                  RgbColour background);

// Appends the run-length codes of one packed row: runs of equal bytes up to
// 63 long, a run longer than one or a byte of 0xC0 and above as 0xC0 | length
// followed by the byte, any other single byte as itself.
void appendPcxRunLengthCodes(std::span<const uint8_t> packed, std::vector<uint8_t>& codes);

enum class PcxStatus { Ready, BadRows, NoFlagRow, NoCodeRow };

// Turns 32-bit rows (0x??RRGGBB per pixel) into codes one row at a time, so
// each row can be written as it is made. Bit 1 stands for the background
// colour, 0 for anything else; the row is filled up to whole bytes with 1.
class PcxRowEncoder {
  public:
    // Checks the rows and takes the working rows. On anything but Ready the
    // encoder must not be used.
    PcxStatus prepare(const ImageRows& rows, RgbColour background);

    // The codes of row y, valid until the next call.
    std::span<const uint8_t> encodeRow(int32_t y);

  private:
    ImageRows rows_;
    uint32_t background_ = 0;
    std::vector<uint8_t> flags_;   // one byte per pixel of the padded row
    std::vector<uint8_t> packed_;  // bytes per line
    std::vector<uint8_t> codes_;   // at most two codes per packed byte
};

// The whole file at once.
PcxStatus encodePcx(const ImageRows& rows, RgbColour background, std::vector<uint8_t>& file);

}  // namespace etalon
