#pragma once

#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

namespace etalon::platform {

// A picture loaded from the program's resources, ready to blit.
struct Bitmap {
    int32_t width = 0;
    int32_t height = 0;
    std::vector<uint32_t> pixels;  // 0xffRRGGBB, row by row
};

// Loads the bitmap resource of that name (the button images). Returns nothing
// when it is not among the resources or cannot be read.
std::optional<Bitmap> loadBitmapResource(std::string_view name);

}  // namespace etalon::platform
