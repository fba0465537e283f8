#pragma once

#include <filesystem>
#include <optional>
#include <span>

#include "base/message_sink.h"
#include "export/atomic_file.h"
#include "export/bmp_encoder.h"
#include "export/image_rows.h"

namespace etalon {

// The picture files the workbench saves. The BMP and PCX routines show their
// own failure through `sink` with the workbench's texts and return nothing or
// a failed result (with the system's error number when a file step failed);
// the caller then adds its "... file is not created". A failed save leaves no
// file behind and an existing file as it was.

inline constexpr const char* kBitmapCaption = "About Bitmap";
inline constexpr const char* kPcxCaption = "About PCX";
inline constexpr const char* kPngCaption = "About PNG";
inline constexpr const char* kSvgCaption = "About SVG";

// The information header for a bitmap, or nothing after a reported failure.
std::optional<BmpInfo> makeBitmapInfo(const BitmapDescription& bitmap, MessageSink& sink);

// Saves `rows` (in the depth of `info`) as a BMP file.
FileWriteResult writeBitmapFile(const std::filesystem::path& path, const BmpInfo& info,
                                const ImageRows& rows, MessageSink& sink);

// Saves 32-bit `rows` as a two-colour PCX file: background and the rest.
FileWriteResult writePcxFile(const std::filesystem::path& path, const ImageRows& rows,
                             RgbColour background, MessageSink& sink);

}  // namespace etalon
