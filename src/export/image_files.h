#pragma once

#include <filesystem>
#include <optional>
#include <span>

#include "base/message_sink.h"
#include "export/bmp_encoder.h"
#include "export/image_rows.h"

namespace etalon {

// The picture files the workbench saves. Each routine shows its own failure
// through `sink` with the workbench's texts and returns nothing or false; the
// caller then adds its "... file is not created". A failed save leaves no
// file behind and an existing file as it was.

inline constexpr const char* kBitmapCaption = "About Bitmap";
inline constexpr const char* kPcxCaption = "About PCX";
inline constexpr const char* kPngCaption = "About PNG";
inline constexpr const char* kSvgCaption = "About SVG";

// The information header for a bitmap, or nothing after a reported failure.
std::optional<BmpInfo> makeBitmapInfo(const BitmapDescription& bitmap, MessageSink& sink);

// Saves `rows` (in the depth of `info`) as a BMP file.
bool writeBitmapFile(const std::filesystem::path& path, const BmpInfo& info, const ImageRows& rows,
                     MessageSink& sink);

// Saves 32-bit `rows` as a two-colour PCX file: background and the rest.
bool writePcxFile(const std::filesystem::path& path, const ImageRows& rows, RgbColour background,
                  MessageSink& sink);

// Saves an already encoded picture (PNG, SVG); `writeText` names a failed write.
bool writeEncodedFile(const std::filesystem::path& path, std::span<const uint8_t> bytes,
                      const char* writeText, const char* caption, MessageSink& sink);

}  // namespace etalon
