#include "platform/device_context.h"
#include "platform/symbol_font.h"

#include <QFontMetrics>
#include <QImage>
#include <QPainter>
#include <QRegion>
#include <QString>
#include <algorithm>
#include <cstdlib>
#include <utility>

#include "platform/qt_fonts.h"

namespace etalon::platform {
namespace {

QColor toQt(Color c) {
    return QColor(c.r, c.g, c.b);
}

QString toQString(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

}  // namespace

DeviceContext::DeviceContext(Surface& surface)
    : DeviceContext(surface, {Rect{0, 0, surface.width(), surface.height()}}) {}

DeviceContext::DeviceContext(Surface& surface, std::vector<Rect> clip)
    : surface_(surface), clip_(std::move(clip)) {}

DeviceContext::DeviceContext(Surface& surface, DrawingRecorder& recorder) : DeviceContext(surface) {
    recorder_ = &recorder;
}

std::vector<Rect> DeviceContext::intersectClip(const Rect& r) {
    std::vector<Rect> narrowed;
    for (const Rect& c : clip_) {
        const Rect both{std::max(c.left, r.left), std::max(c.top, r.top),
                        std::min(c.right, r.right), std::min(c.bottom, r.bottom)};
        if (both.left < both.right && both.top < both.bottom) narrowed.push_back(both);
    }
    return std::exchange(clip_, std::move(narrowed));
}

bool DeviceContext::visible(int32_t x, int32_t y) const {
    if (!surface_.contains(x, y)) return false;
    return std::any_of(clip_.begin(), clip_.end(), [&](const Rect& r) {
        return r.left <= x && x < r.right && r.top <= y && y < r.bottom;
    });
}

void DeviceContext::plot(int32_t x, int32_t y, Color color) {
    if (visible(x, y)) surface_.setPixel(x, y, color);
}

// Bresenham along the major axis; the end point is left out so that joined
// segments set every pixel once.
void DeviceContext::lineTo(int32_t x1, int32_t y1) {
    if (recorder_) {
        if (position_ != Point{x1, y1}) recorder_->line(position_, {x1, y1}, pen_, clip_);
        position_ = {x1, y1};
        return;
    }
    int32_t x = position_.x, y = position_.y;
    const int32_t dx = std::abs(x1 - x), dy = std::abs(y1 - y);
    const int32_t sx = x1 > x ? 1 : -1, sy = y1 > y ? 1 : -1;
    if (dx >= dy) {
        int32_t d = 2 * dy - dx;
        for (int32_t i = 0; i < dx; ++i) {
            plot(x, y, pen_);
            if (d > 0) {
                y += sy;
                d -= 2 * dx;
            }
            d += 2 * dy;
            x += sx;
        }
    } else {
        int32_t d = 2 * dx - dy;
        for (int32_t i = 0; i < dy; ++i) {
            plot(x, y, pen_);
            if (d > 0) {
                x += sx;
                d -= 2 * dy;
            }
            d += 2 * dx;
            y += sy;
        }
    }
    position_ = {x1, y1};
}

void DeviceContext::setPixel(int32_t x, int32_t y, Color color) {
    if (recorder_) return recorder_->pixel({x, y}, color, clip_);
    plot(x, y, color);
}

Color DeviceContext::getPixel(int32_t x, int32_t y) const {
    return surface_.pixel(x, y);
}

void DeviceContext::rectangle(int32_t left, int32_t top, int32_t right, int32_t bottom) {
    if (left > right) std::swap(left, right);
    if (top > bottom) std::swap(top, bottom);
    if (right - left < 1 || bottom - top < 1) return;
    if (recorder_) return recorder_->rectangle({left, top, right, bottom}, pen_, brush_, clip_);
    for (int32_t y = top + 1; y < bottom - 1; ++y) {
        for (int32_t x = left + 1; x < right - 1; ++x)
            plot(x, y, brush_);
    }
    for (int32_t x = left; x < right; ++x) {
        plot(x, top, pen_);
        plot(x, bottom - 1, pen_);
    }
    for (int32_t y = top; y < bottom; ++y) {
        plot(left, y, pen_);
        plot(right - 1, y, pen_);
    }
}

namespace {

// A painter on the surface's pixels, clipped like the context.
class ClippedPainter {
  public:
    ClippedPainter(Surface& surface, const std::vector<Rect>& clip)
        : image_(reinterpret_cast<uchar*>(surface.data()), surface.width(), surface.height(),
                 surface.bytesPerLine(), QImage::Format_RGB32),
          painter_(&image_) {
        QRegion region;
        for (const Rect& r : clip)
            region += QRect(r.left, r.top, r.width(), r.height());
        painter_.setClipRegion(region);
        painter_.setRenderHint(QPainter::Antialiasing, false);
        painter_.setRenderHint(QPainter::TextAntialiasing, false);
    }
    QPainter& operator*() { return painter_; }
    QPainter* operator->() { return &painter_; }

  private:
    QImage image_;
    QPainter painter_;
};

}  // namespace

void DeviceContext::ellipse(int32_t left, int32_t top, int32_t right, int32_t bottom) {
    if (left > right) std::swap(left, right);
    if (top > bottom) std::swap(top, bottom);
    if (right - left < 1 || bottom - top < 1 || surface_.width() == 0) return;
    if (recorder_) return recorder_->ellipse({left, top, right, bottom}, pen_, brush_, clip_);
    ClippedPainter painter(surface_, clip_);
    QPen pen(toQt(pen_));
    pen.setWidth(0);  // cosmetic, one pixel
    painter->setPen(pen);
    painter->setBrush(toQt(brush_));
    painter->drawEllipse(QRect(left, top, right - left - 1, bottom - top - 1));
}

void DeviceContext::textOut(int32_t x, int32_t y, std::string_view text) {
    if (text.empty() || surface_.width() == 0) return;
    const std::string greek = font_.kind == FontKind::Symbol ? symbolToGreek(text) : std::string();
    const QString shown = toQString(font_.kind == FontKind::Symbol ? greek : text);
    const QFont& font = qtFont(font_.kind, font_.height);
    if (recorder_) {
        const QFontMetrics metrics(font);
        const Rect cell{x, y, x + metrics.horizontalAdvance(shown), y + metrics.height()};
        recorder_->text(cell, y + metrics.ascent(), font_.kind == FontKind::Symbol ? greek : text,
                        font_, clip_);
        return;
    }
    ClippedPainter painter(surface_, clip_);
    painter->setFont(font);
    painter->setPen(toQt(kBlack));
    painter->setBackgroundMode(Qt::OpaqueMode);
    painter->setBackground(toQt(kWhite));
    painter->drawText(QPoint(x, y + QFontMetrics(font).ascent()), shown);
}

Size DeviceContext::textExtent(std::string_view text) const {
    const QString shown = toQString(font_.kind == FontKind::Symbol ? symbolToGreek(text) : text);
    const QFontMetrics metrics(qtFont(font_.kind, font_.height));
    return {metrics.horizontalAdvance(shown), metrics.height()};
}

TextMetrics DeviceContext::textMetrics() const {
    const QFontMetrics metrics(qtFont(font_.kind, font_.height));
    return {metrics.height(), std::max(metrics.leading(), 0), metrics.averageCharWidth(),
            metrics.maxWidth()};
}

void DeviceContext::blit(const Bitmap& bitmap, int32_t x, int32_t y) {
    if (recorder_) return recorder_->bitmap(bitmap, {x, y}, clip_);
    for (int32_t row = 0; row < bitmap.height; ++row) {
        for (int32_t col = 0; col < bitmap.width; ++col) {
            const uint32_t v = bitmap.pixels[static_cast<size_t>(row) * bitmap.width + col];
            plot(x + col, y + row, Surface::unpack(v));
        }
    }
}

Color DeviceContext::selectPen(Color pen) {
    return std::exchange(pen_, pen);
}
Color DeviceContext::selectBrush(Color brush) {
    return std::exchange(brush_, brush);
}
Font DeviceContext::selectFont(Font font) {
    return std::exchange(font_, font);
}

}  // namespace etalon::platform
