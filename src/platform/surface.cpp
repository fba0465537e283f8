#include "platform/surface.h"

#include <algorithm>
#include <cstddef>

namespace etalon::platform {

Surface::Surface(int32_t width, int32_t height, Color fill)
    : width_(std::max(width, 0)),
      height_(std::max(height, 0)),
      pixels_(static_cast<size_t>(width_) * height_, pack(fill)) {}

Color Surface::pixel(int32_t x, int32_t y) const {
    if (!contains(x, y)) return kWhite;
    return unpack(pixels_[static_cast<size_t>(y) * width_ + x]);
}

void Surface::setPixel(int32_t x, int32_t y, Color color) {
    if (contains(x, y)) pixels_[static_cast<size_t>(y) * width_ + x] = pack(color);
}

void Surface::fill(Color color) {
    std::fill(pixels_.begin(), pixels_.end(), pack(color));
}

void Surface::fillRect(const Rect& rect, Color color) {
    const int32_t left = std::max(rect.left, 0), right = std::min(rect.right, width_);
    const int32_t top = std::max(rect.top, 0), bottom = std::min(rect.bottom, height_);
    const uint32_t value = pack(color);
    for (int32_t y = top; y < bottom; ++y) {
        std::fill_n(pixels_.begin() + static_cast<std::ptrdiff_t>(y) * width_ + left,
                    std::max(right - left, 0), value);
    }
}

void Surface::resize(int32_t width, int32_t height) {
    Surface grown(width, height);
    const int32_t w = std::min(width_, grown.width_), h = std::min(height_, grown.height_);
    for (int32_t y = 0; y < h; ++y) {
        std::copy_n(pixels_.begin() + static_cast<std::ptrdiff_t>(y) * width_, w,
                    grown.pixels_.begin() + static_cast<std::ptrdiff_t>(y) * grown.width_);
    }
    *this = std::move(grown);
}

}  // namespace etalon::platform
