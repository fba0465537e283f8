#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "platform/bitmap.h"
#include "platform/geometry.h"
#include "platform/surface.h"

namespace etalon::platform {

enum class FontKind {
    Text,    // the variable-pitch text font of the client area
    Symbol,  // Latin letters shown as the Greek ones
};

// A font of a kind at a character height; height 0 is the text font's own.
struct Font {
    FontKind kind = FontKind::Text;
    int32_t height = 0;
};

struct TextMetrics {
    int32_t height = 0;
    int32_t externalLeading = 0;
    int32_t aveCharWidth = 0;
    int32_t maxCharWidth = 0;
};

// Takes the primitives of a device context as shapes instead of pixels (the
// SVG writer). Each call carries what the context had selected and its clip.
class DrawingRecorder {
  public:
    virtual ~DrawingRecorder() = default;
    // From `from` up to, but not including, `to`.
    virtual void line(Point from, Point to, Color pen, const std::vector<Rect>& clip) = 0;
    virtual void pixel(Point at, Color color, const std::vector<Rect>& clip) = 0;
    // Right and bottom excluded, left < right and top < bottom.
    virtual void rectangle(const Rect& box, Color pen, Color brush,
                           const std::vector<Rect>& clip) = 0;
    virtual void ellipse(const Rect& box, Color pen, Color brush,
                         const std::vector<Rect>& clip) = 0;
    // `shown` is the text as displayed (UTF-8, Symbol letters already Greek);
    // `cell` the opaque white box behind it, `baseline` its y.
    virtual void text(const Rect& cell, int32_t baseline, std::string_view shown, const Font& font,
                      const std::vector<Rect>& clip) = 0;
    virtual void bitmap(const Bitmap& bitmap, Point at, const std::vector<Rect>& clip) = 0;
};

// Drawing into a surface with the semantics of the classic 2-D drawing
// interface: a current position, a selected solid pen, brush and font, lines
// that leave out their end point, rectangles that leave out their right and
// bottom edge. Everything is clipped to the region being painted.
class DeviceContext {
  public:
    // Clipped to the whole surface.
    explicit DeviceContext(Surface& surface);
    // Clipped to the given rectangles (right and bottom excluded).
    DeviceContext(Surface& surface, std::vector<Rect> clip);
    // Sends every primitive to `recorder` instead of the surface, which only
    // gives the bounds; measuring text works as usual.
    DeviceContext(Surface& surface, DrawingRecorder& recorder);

    void moveTo(int32_t x, int32_t y) { position_ = {x, y}; }
    Point currentPosition() const { return position_; }
    // Draws from the current position up to, but not including, (x, y).
    void lineTo(int32_t x, int32_t y);

    void setPixel(int32_t x, int32_t y, Color color);
    Color getPixel(int32_t x, int32_t y) const;

    // Outline with the pen, inside with the brush; right and bottom excluded.
    void rectangle(int32_t left, int32_t top, int32_t right, int32_t bottom);
    // The ellipse inscribed in the same box as rectangle() would cover.
    void ellipse(int32_t left, int32_t top, int32_t right, int32_t bottom);

    // Top-left anchored, black on an opaque white cell, in the selected font.
    void textOut(int32_t x, int32_t y, std::string_view text);
    Size textExtent(std::string_view text) const;
    TextMetrics textMetrics() const;

    // Copies the bitmap with its top-left corner at (x, y).
    void blit(const Bitmap& bitmap, int32_t x, int32_t y);

    Color pen() const { return pen_; }
    Color brush() const { return brush_; }
    FontKind font() const { return font_.kind; }
    int32_t fontHeight() const { return font_.height; }
    Color selectPen(Color pen);      // returns the previous one
    Color selectBrush(Color brush);  // returns the previous one
    Font selectFont(Font font);      // returns the previous one

    Surface& surface() { return surface_; }
    const std::vector<Rect>& clip() const { return clip_; }
    // Narrows the clip to its part inside r; returns the clip it had.
    std::vector<Rect> intersectClip(const Rect& r);
    void restoreClip(std::vector<Rect> clip) { clip_ = std::move(clip); }

  private:
    bool visible(int32_t x, int32_t y) const;
    void plot(int32_t x, int32_t y, Color color);

    Surface& surface_;
    DrawingRecorder* recorder_ = nullptr;  // null: pixels into the surface
    std::vector<Rect> clip_;
    Point position_;
    Color pen_ = kBlack;
    Color brush_ = kWhite;
    Font font_;
};

// Selects a solid 1-pixel pen of a colour for the guard's lifetime.
class PenGuard {
  public:
    PenGuard(DeviceContext& dc, Color color) : dc_(dc), old_(dc.selectPen(color)) {}
    ~PenGuard() { dc_.selectPen(old_); }
    PenGuard(const PenGuard&) = delete;
    PenGuard& operator=(const PenGuard&) = delete;

  private:
    DeviceContext& dc_;
    Color old_;
};

// Selects a solid brush of a colour for the guard's lifetime.
class BrushGuard {
  public:
    BrushGuard(DeviceContext& dc, Color color) : dc_(dc), old_(dc.selectBrush(color)) {}
    ~BrushGuard() { dc_.selectBrush(old_); }
    BrushGuard(const BrushGuard&) = delete;
    BrushGuard& operator=(const BrushGuard&) = delete;

  private:
    DeviceContext& dc_;
    Color old_;
};

// Selects a font for the guard's lifetime.
class FontGuard {
  public:
    FontGuard(DeviceContext& dc, FontKind kind) : FontGuard(dc, Font{kind, 0}) {}
    FontGuard(DeviceContext& dc, Font font) : dc_(dc), old_(dc.selectFont(font)) {}
    ~FontGuard() { dc_.selectFont(old_); }
    FontGuard(const FontGuard&) = delete;
    FontGuard& operator=(const FontGuard&) = delete;

  private:
    DeviceContext& dc_;
    Font old_;
};

// Keeps drawing inside a rectangle for the guard's lifetime.
class ClipGuard {
  public:
    ClipGuard(DeviceContext& dc, const Rect& r) : dc_(dc), old_(dc.intersectClip(r)) {}
    ~ClipGuard() { dc_.restoreClip(std::move(old_)); }
    ClipGuard(const ClipGuard&) = delete;
    ClipGuard& operator=(const ClipGuard&) = delete;

  private:
    DeviceContext& dc_;
    std::vector<Rect> old_;
};

}  // namespace etalon::platform
