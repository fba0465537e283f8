#pragma once

#include <cstdint>
#include <vector>

#include "platform/geometry.h"

namespace etalon::platform {

// A 32-bit picture (0xffRRGGBB per pixel). The window keeps its client area
// in one of these; painting draws into it and the screen only shows it, so
// what a snapshot reads is exactly what the user sees.
class Surface {
  public:
    Surface() = default;
    Surface(int32_t width, int32_t height, Color fill = kWhite);

    int32_t width() const { return width_; }
    int32_t height() const { return height_; }
    bool contains(int32_t x, int32_t y) const {
        return x >= 0 && y >= 0 && x < width_ && y < height_;
    }

    Color pixel(int32_t x, int32_t y) const;
    void setPixel(int32_t x, int32_t y, Color color);
    void fill(Color color);
    void fillRect(const Rect& rect, Color color);  // right and bottom excluded

    // Keeps the old picture in the top-left corner; new parts are white.
    void resize(int32_t width, int32_t height);

    uint32_t* data() { return pixels_.data(); }
    const uint32_t* data() const { return pixels_.data(); }
    int32_t bytesPerLine() const { return width_ * 4; }

    static uint32_t pack(Color c) {
        return 0xff000000u | (uint32_t{c.r} << 16) | (uint32_t{c.g} << 8) | c.b;
    }
    static Color unpack(uint32_t v) {
        return {static_cast<uint8_t>(v >> 16), static_cast<uint8_t>(v >> 8),
                static_cast<uint8_t>(v)};
    }

  private:
    int32_t width_ = 0;
    int32_t height_ = 0;
    std::vector<uint32_t> pixels_;
};

}  // namespace etalon::platform
