#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "export/image_rows.h"

namespace etalon::test {

// A fresh folder for one test, removed with everything in it afterwards.
class ScratchFolder {
  public:
    ScratchFolder();
    ~ScratchFolder();
    const std::filesystem::path& path() const { return path_; }
    std::filesystem::path operator/(const std::string& name) const { return path_ / name; }
    std::vector<std::string> names() const;  // sorted

  private:
    std::filesystem::path path_;
};

std::vector<uint8_t> readBytes(const std::filesystem::path& path);
void writeBytes(const std::filesystem::path& path, const std::vector<uint8_t>& bytes);

// A 32-bit picture held the way the window keeps it (0xffRRGGBB per pixel).
struct Picture {
    int32_t width = 0;
    int32_t height = 0;
    std::vector<uint32_t> pixels;

    Picture(int32_t w, int32_t h, uint32_t fill = 0xffffffff)
        : width(w), height(h), pixels(static_cast<std::size_t>(w) * h, fill) {}
    uint32_t& at(int32_t x, int32_t y) { return pixels[static_cast<std::size_t>(y) * width + x]; }
    ImageRows rows() const {
        return {reinterpret_cast<const uint8_t*>(pixels.data()), width, height, width * 4};
    }
};

// The picture decoded by ImageMagick as 8-bit RGB triples, top row first, or
// nothing when ImageMagick is not installed.
std::optional<std::vector<uint8_t>> decodeToRgb(const std::filesystem::path& file);

}  // namespace etalon::test
