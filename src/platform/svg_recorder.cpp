#include "platform/svg_recorder.h"

#include <QByteArray>
#include <QFont>
#include <algorithm>
#include <cstdio>
#include <cstdlib>

#include "platform/png_image.h"
#include "platform/qt_fonts.h"

namespace etalon::platform {
namespace {

// A coordinate with at most two decimals and no trailing zeros.
std::string num(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%.2f", value);
    std::string s(text);
    while (s.back() == '0')
        s.pop_back();
    if (s.back() == '.') s.pop_back();
    if (s == "-0") s = "0";
    return s;
}

std::string num(int32_t value) {
    return std::to_string(value);
}

// The centre of a pixel.
std::string centre(int32_t value) {
    return num(value + 0.5);
}

std::string colour(Color c) {
    char text[8];
    std::snprintf(text, sizeof text, "#%02x%02x%02x", c.r, c.g, c.b);
    return text;
}

void appendEscaped(std::string& out, std::string_view text) {
    for (char c : text) {
        switch (c) {
            case '&':
                out += "&amp;";
                break;
            case '<':
                out += "&lt;";
                break;
            case '>':
                out += "&gt;";
                break;
            default:
                // Control characters are not allowed in XML 1.0.
                if (static_cast<unsigned char>(c) >= 0x20 || c == '\t') out += c;
        }
    }
}

std::string rectElement(const Rect& r, Color fill) {
    return "<rect x=\"" + num(r.left) + "\" y=\"" + num(r.top) + "\" width=\"" + num(r.width()) +
           "\" height=\"" + num(r.height()) + "\" fill=\"" + colour(fill) + "\"/>\n";
}

}  // namespace

SvgRecorder::SvgRecorder(int32_t width, int32_t height)
    : width_(std::max(width, 0)), height_(std::max(height, 0)) {
    const std::string w = num(width_), h = num(height_);
    out_ =
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
        "<svg xmlns=\"http://www.w3.org/2000/svg\" "
        "xmlns:xlink=\"http://www.w3.org/1999/xlink\" version=\"1.1\" width=\"" +
        w + "\" height=\"" + h + "\" viewBox=\"0 0 " + w + " " + h +
        "\">\n"
        // One-pixel pens whose square ends cover the end pixels; text in the
        // window's font, spaces kept as they are.
        "<g shape-rendering=\"crispEdges\" "
        "stroke-width=\"1\" stroke-linecap=\"square\" stroke-linejoin=\"round\" "
        "font-family=\"'DejaVu Sans Condensed', 'DejaVu Sans', sans-serif\" "
        "font-stretch=\"semi-condensed\" xml:space=\"preserve\">\n" +
        rectElement({0, 0, width_, height_}, kWhite);
}

bool SvgRecorder::enterClip(const std::vector<Rect>& clip) {
    std::vector<Rect> inside;
    for (const Rect& r : clip) {
        const Rect both{std::max(r.left, 0), std::max(r.top, 0), std::min(r.right, width_),
                        std::min(r.bottom, height_)};
        if (both.left < both.right && both.top < both.bottom) inside.push_back(both);
    }
    if (inside.empty()) return false;
    int id = 0;
    const bool whole = std::any_of(inside.begin(), inside.end(), [&](const Rect& r) {
        return r == Rect{0, 0, width_, height_};
    });
    if (!whole) {
        std::string key;
        for (const Rect& r : inside)
            key += num(r.left) + ',' + num(r.top) + ',' + num(r.right) + ',' + num(r.bottom) + ';';
        const auto [found, added] =
            clipIds_.try_emplace(key, static_cast<int>(clipIds_.size()) + 1);
        id = found->second;
        if (added) {
            flush();
            out_ += "<defs><clipPath id=\"c" + num(id) + "\">";
            for (const Rect& r : inside) {
                out_ += "<rect x=\"" + num(r.left) + "\" y=\"" + num(r.top) + "\" width=\"" +
                        num(r.width()) + "\" height=\"" + num(r.height()) + "\"/>";
            }
            out_ += "</clipPath></defs>\n";
        }
    }
    if (id != groupClip_) {
        flush();
        if (groupClip_ != 0) out_ += "</g>\n";
        if (id != 0) out_ += "<g clip-path=\"url(#c" + num(id) + ")\">\n";
        groupClip_ = id;
    }
    return true;
}

// The window leaves out a line's end point, so the last point of a polyline
// is drawn one step short: the centre of the last pixel it sets.
void SvgRecorder::endPolyline() {
    if (polyline_.size() >= 2) {
        pendingData_ += 'M';
        for (std::size_t i = 0; i + 1 < polyline_.size(); ++i) {
            if (i > 0) pendingData_ += 'L';
            pendingData_ += centre(polyline_[i].x) + ' ' + centre(polyline_[i].y);
        }
        const Point a = polyline_[polyline_.size() - 2], b = polyline_.back();
        const int32_t steps = std::max(std::abs(b.x - a.x), std::abs(b.y - a.y));
        const double share = static_cast<double>(steps - 1) / steps;
        pendingData_ +=
            'L' + num(a.x + 0.5 + (b.x - a.x) * share) + ' ' + num(a.y + 0.5 + (b.y - a.y) * share);
    }
    polyline_.clear();
}

void SvgRecorder::flush() {
    endPolyline();
    if (!pendingData_.empty()) {
        if (pending_ == Pending::Lines) {
            out_ += "<path fill=\"none\" stroke=\"" + colour(pendingColor_) + "\" d=\"" +
                    pendingData_ + "\"/>\n";
        } else if (pending_ == Pending::Pixels) {
            out_ += "<path fill=\"" + colour(pendingColor_) + "\" d=\"" + pendingData_ + "\"/>\n";
        }
    }
    pendingData_.clear();
    pending_ = Pending::None;
}

void SvgRecorder::line(Point from, Point to, Color pen, const std::vector<Rect>& clip) {
    if (finished_ || !enterClip(clip)) return;
    if (pending_ != Pending::Lines || pendingColor_ != pen) {
        flush();
        pending_ = Pending::Lines;
        pendingColor_ = pen;
    }
    if (polyline_.empty() || polyline_.back() != from) {
        endPolyline();
        polyline_.push_back(from);
    }
    polyline_.push_back(to);
}

void SvgRecorder::pixel(Point at, Color color, const std::vector<Rect>& clip) {
    if (finished_ || !enterClip(clip)) return;
    if (pending_ != Pending::Pixels || pendingColor_ != color) {
        flush();
        pending_ = Pending::Pixels;
        pendingColor_ = color;
    }
    pendingData_ += 'M' + num(at.x) + ' ' + num(at.y) + "h1v1h-1z";
}

void SvgRecorder::rectangle(const Rect& box, Color pen, Color brush,
                            const std::vector<Rect>& clip) {
    if (finished_ || !enterClip(clip)) return;
    flush();
    // One pixel thick, it is all outline.
    if (box.width() == 1 || box.height() == 1) {
        out_ += rectElement(box, pen);
        return;
    }
    out_ += "<rect x=\"" + centre(box.left) + "\" y=\"" + centre(box.top) + "\" width=\"" +
            num(box.width() - 1) + "\" height=\"" + num(box.height() - 1) + "\" fill=\"" +
            colour(brush) + "\" stroke=\"" + colour(pen) + "\" stroke-linejoin=\"miter\"/>\n";
}

void SvgRecorder::ellipse(const Rect& box, Color pen, Color brush, const std::vector<Rect>& clip) {
    if (finished_ || !enterClip(clip)) return;
    flush();
    if (box.width() == 1 || box.height() == 1) {
        out_ += rectElement(box, pen);
        return;
    }
    out_ += "<ellipse cx=\"" + num((box.left + box.right) / 2.0) + "\" cy=\"" +
            num((box.top + box.bottom) / 2.0) + "\" rx=\"" + num((box.width() - 1) / 2.0) +
            "\" ry=\"" + num((box.height() - 1) / 2.0) + "\" fill=\"" + colour(brush) +
            "\" stroke=\"" + colour(pen) + "\"/>\n";
}

void SvgRecorder::text(const Rect& cell, int32_t baseline, std::string_view shown, const Font& font,
                       const std::vector<Rect>& clip) {
    if (finished_ || shown.empty() || !enterClip(clip)) return;
    flush();
    // Text is written on an opaque white cell, as on screen.
    if (cell.width() > 0 && cell.height() > 0) out_ += rectElement(cell, kWhite);
    out_ += "<text x=\"" + num(cell.left) + "\" y=\"" + num(baseline) + "\" font-size=\"" +
            num(qtFont(font.kind, font.height).pixelSize()) + "px\" fill=\"#000000\">";
    appendEscaped(out_, shown);
    out_ += "</text>\n";
}

void SvgRecorder::bitmap(const Bitmap& bitmap, Point at, const std::vector<Rect>& clip) {
    if (finished_ || bitmap.width <= 0 || bitmap.height <= 0 || !enterClip(clip)) return;
    flush();
    const auto png = encodePng(bitmap.pixels.data(), bitmap.width, bitmap.height,
                               static_cast<std::ptrdiff_t>(bitmap.width) * 4);
    if (!png) return;
    const QByteArray base64 =
        QByteArray(reinterpret_cast<const char*>(png->data()), static_cast<qsizetype>(png->size()))
            .toBase64();
    out_ += "<image x=\"" + num(at.x) + "\" y=\"" + num(at.y) + "\" width=\"" + num(bitmap.width) +
            "\" height=\"" + num(bitmap.height) +
            "\" preserveAspectRatio=\"none\" image-rendering=\"optimizeSpeed\" "
            "xlink:href=\"data:image/png;base64," +
            base64.toStdString() + "\"/>\n";
}

std::string SvgRecorder::finish() {
    if (!finished_) {
        flush();
        if (groupClip_ != 0) out_ += "</g>\n";
        out_ += "</g>\n</svg>\n";
        finished_ = true;
    }
    return out_;
}

}  // namespace etalon::platform
