#include "platform/png_image.h"

#include <QBuffer>
#include <QImage>
#include <QImageWriter>

namespace etalon::platform {

std::optional<std::vector<uint8_t>> encodePng(const uint32_t* pixels, int32_t width, int32_t height,
                                              std::ptrdiff_t bytesPerLine) {
    if (pixels == nullptr || width <= 0 || height <= 0) return std::nullopt;
    // RGB32 ignores the top byte, so the file is opaque whatever it holds.
    const QImage image(reinterpret_cast<const uchar*>(pixels), width, height,
                       static_cast<qsizetype>(bytesPerLine), QImage::Format_RGB32);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    if (!buffer.open(QIODevice::WriteOnly)) return std::nullopt;
    QImageWriter writer(&buffer, "png");
    if (!writer.write(image)) return std::nullopt;
    return std::vector<uint8_t>(bytes.begin(), bytes.end());
}

}  // namespace etalon::platform
