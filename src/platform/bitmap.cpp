#include "platform/bitmap.h"

#include <QImage>
#include <QString>

namespace etalon::platform {

std::optional<Bitmap> loadBitmapResource(std::string_view name) {
    const QString path = QStringLiteral(":/bitmaps/") +
                         QString::fromUtf8(name.data(), static_cast<qsizetype>(name.size())) +
                         QStringLiteral(".bmp");
    QImage image(path);
    if (image.isNull()) return std::nullopt;
    image = image.convertToFormat(QImage::Format_RGB32);
    Bitmap bitmap{image.width(), image.height(), {}};
    bitmap.pixels.reserve(static_cast<size_t>(image.width()) * image.height());
    for (int y = 0; y < image.height(); ++y) {
        const auto* row = reinterpret_cast<const uint32_t*>(image.constScanLine(y));
        bitmap.pixels.insert(bitmap.pixels.end(), row, row + image.width());
    }
    return bitmap;
}

}  // namespace etalon::platform
