#pragma once

#include <array>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "base/message_sink.h"
#include "export/image_rows.h"

namespace etalon {

// The client area as the user sees it: 32-bit pixels (0x??RRGGBB), top row first.
struct CapturedImage {
    int32_t width = 0;
    int32_t height = 0;
    std::vector<uint32_t> pixels;

    ImageRows rows() const {
        return {reinterpret_cast<const uint8_t*>(pixels.data()), width, height,
                static_cast<std::ptrdiff_t>(width) * 4};
    }
};

// A name from the Save-As dialog and the filter chosen there.
struct SaveChoice {
    std::string name;
    std::size_t filter = 0;  // index into the filters offered
};

// What a snapshot needs of the main window.
class SnapshotWindow {
  public:
    virtual ~SnapshotWindow() = default;
    virtual CapturedImage captureClientArea() = 0;
    // The Save-As dialog (asking before overwriting); nothing when cancelled.
    virtual std::optional<SaveChoice> askSaveFile(const std::string& title,
                                                  const std::vector<std::string>& filters) = 0;
    // The PNG file of a captured image; nothing when the image writer fails.
    virtual std::optional<std::vector<uint8_t>> encodePng(const CapturedImage& image) = 0;
    // The client area painted once more as an SVG document.
    virtual std::string drawAsSvg() = 0;
};

enum class SnapshotFormat { Bmp, Pcx, Png, Svg };

struct SnapshotFilter {
    const char* filter;
    const char* ending;
    SnapshotFormat format;
};

// In the order the Save-As dialog offers them; the first is the default.
inline constexpr std::array<SnapshotFilter, 4> kSnapshotFilters = {{
    {"Bitmap Files (*.bmp)", "bmp", SnapshotFormat::Bmp},
    {"PCX Files (*.pcx)", "pcx", SnapshotFormat::Pcx},
    {"PNG Files (*.png)", "png", SnapshotFormat::Png},
    {"SVG Files (*.svg)", "svg", SnapshotFormat::Svg},
}};
inline constexpr const char* kSnapshotTitle = "Snapshot File Name";

// The file a chosen name stands for: a name without an ending gets the
// chosen filter's. The format follows the ending, whatever its case; none
// for an ending no format has.
struct SnapshotTarget {
    std::filesystem::path path;
    std::optional<SnapshotFormat> format;
};
SnapshotTarget snapshotTarget(const SaveChoice& choice);

// " Save image as...": captures the client area, asks for a file and saves
// the picture in the format its name ends with. Reports its own failures;
// a failed save leaves no file and an existing one as it was. Returns 1.
int MakeSnapshot(SnapshotWindow& window, MessageSink& sink);

}  // namespace etalon
