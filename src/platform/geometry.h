#pragma once

#include <cstdint>

namespace etalon::platform {

// A rectangle in client pixels. Whether right and bottom belong to it is up
// to the operation that receives it, as in the window system we mirror.
struct Rect {
    int32_t left = 0;
    int32_t top = 0;
    int32_t right = 0;
    int32_t bottom = 0;

    bool operator==(const Rect&) const = default;
    int32_t width() const { return right - left; }
    int32_t height() const { return bottom - top; }
};

struct Point {
    int32_t x = 0;
    int32_t y = 0;
    bool operator==(const Point&) const = default;
};

struct Size {
    int32_t cx = 0;
    int32_t cy = 0;
    bool operator==(const Size&) const = default;
};

struct Color {
    uint8_t r = 0;
    uint8_t g = 0;
    uint8_t b = 0;
    bool operator==(const Color&) const = default;
};

inline constexpr Color kBlack{0, 0, 0};
inline constexpr Color kWhite{255, 255, 255};

// The pointer shapes the window shows.
enum class CursorShape { Arrow, SizeNS, SizeNWSE };

// Inclusive containment, as hit tests use it.
inline bool containsInclusive(const Rect& r, int32_t x, int32_t y) {
    return r.left <= x && x <= r.right && r.top <= y && y <= r.bottom;
}

}  // namespace etalon::platform
