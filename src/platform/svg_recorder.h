#pragma once

#include <map>
#include <string>
#include <vector>

#include "platform/device_context.h"

namespace etalon::platform {

// Writes what a device context draws as an SVG picture of the client area:
// lines and polylines as paths, rectangles, ellipses, text as text in the
// workbench's font, bitmaps as embedded PNG, each clipped as on screen.
// Coordinates are those of the pixels' centres, so shown at its own size the
// picture covers the pixels the window sets; crisp edges keep it so.
class SvgRecorder final : public DrawingRecorder {
  public:
    SvgRecorder(int32_t width, int32_t height);

    void line(Point from, Point to, Color pen, const std::vector<Rect>& clip) override;
    void pixel(Point at, Color color, const std::vector<Rect>& clip) override;
    void rectangle(const Rect& box, Color pen, Color brush, const std::vector<Rect>& clip) override;
    void ellipse(const Rect& box, Color pen, Color brush, const std::vector<Rect>& clip) override;
    void text(const Rect& cell, int32_t baseline, std::string_view shown, const Font& font,
              const std::vector<Rect>& clip) override;
    void bitmap(const Bitmap& bitmap, Point at, const std::vector<Rect>& clip) override;

    // The whole document; the recorder takes nothing more afterwards.
    std::string finish();

  private:
    enum class Pending { None, Lines, Pixels };

    // False when nothing of the primitive can show; otherwise the group with
    // that clip is open.
    bool enterClip(const std::vector<Rect>& clip);
    void flush();
    void endPolyline();

    int32_t width_;
    int32_t height_;
    std::string out_;
    std::map<std::string, int> clipIds_;  // clip rectangles as text → id
    int groupClip_ = 0;                   // clip of the open group, 0: the whole area
    Pending pending_ = Pending::None;
    Color pendingColor_;
    std::string pendingData_;      // path data of the pending element
    std::vector<Point> polyline_;  // the polyline being joined
    bool finished_ = false;
};

}  // namespace etalon::platform
