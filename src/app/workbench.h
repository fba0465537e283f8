#pragma once

#include <array>
#include <functional>
#include <optional>
#include <string_view>

#include "app/app_state.h"
#include "app/shown_views.h"
#include "app/window_layout.h"
#include "base/message_sink.h"
#include "platform/bitmap.h"
#include "platform/virtual_key_codes.h"
#include "platform/window.h"
#include "processing/restoring.h"

namespace etalon {

class PressHandler;

inline constexpr const char* kWindowTitle = "ZedoviredivOdedeZozar";

// Where the button images come from: the resources, or a test's stand-in.
using BitmapLoader = std::function<std::optional<platform::Bitmap>(std::string_view name)>;

// The five button images, in the order they are loaded.
enum ButtonBitmap {
    kBmpStart,
    kBmpExit,
    kBmpStart1,
    kBmpSelectAll,
    kBmpDeselectAll,
    kButtonBitmaps
};
inline constexpr std::array<const char*, kButtonBitmaps> kButtonBitmapNames = {
    "ButtonStart", "ButtonExit", "IDB_BITMAP1", "IDB_BITMAP5", "IDB_BITMAP4"};

// Passes reports on to the sink it wraps until the window starts closing;
// from then on nobody is left to read them.
class UntilClosingSink final : public MessageSink {
  public:
    explicit UntilClosingSink(MessageSink& inner) : inner_(inner) {}
    void attach(const platform::Window* window) { window_ = window; }
    int show(std::string_view text, std::string_view caption, MessageIcon icon) override {
        if (window_ && window_->isClosing()) return kMessageOk;
        return inner_.show(text, caption, icon);
    }

  private:
    MessageSink& inner_;
    const platform::Window* window_ = nullptr;
};

// The main window's procedure: creation and destruction of the state, the
// paint, and the messages the window delivers.
class Workbench final : public platform::WindowProcedure {
  public:
    Workbench(MessageSink& sink, BitmapLoader loader,
              RestoringProcedures procedures = workbenchRestoringProcedures());

    bool onCreate(platform::Window& window) override;
    void onDestroy(platform::Window& window) override;
    void onPaint(platform::Window& window, platform::DeviceContext& dc) override;
    void onKeyDown(platform::Window& window, int virtualKey) override;
    void onCommand(platform::Window& window, uint16_t id) override;
    void onMouseMove(platform::Window& window, int16_t x, int16_t y, unsigned keys) override;
    void onMouseDown(platform::Window& window, int16_t x, int16_t y, unsigned keys) override;
    void onMouseUp(platform::Window& window, int16_t x, int16_t y, unsigned keys) override;
    void onMouseWheel(platform::Window& window, int16_t x, int16_t y, int delta,
                      unsigned keys) override;

    AppState& state() { return state_; }
    const WindowLayout& layout() const { return layout_; }
    const std::optional<platform::Bitmap>& bitmap(ButtonBitmap which) const {
        return bitmaps_[which];
    }
    int destroyCount() const { return destroyCount_; }

  private:
    bool loadBitmaps();
    void setStartupCheckMarks(platform::Window& window);
    // Once the outermost command or press is done: regions left stale are repainted.
    void afterInput(platform::Window& window);
    // Runs one input through the press handler, then repaints what it left stale.
    void press(platform::Window& window, const std::function<void(PressHandler&)>& input);
    // Runs an input; the outermost one is undone whole when a restoration in
    // it was cancelled or refused.
    void outermostUndoable(const std::function<void()>& input);
    void placeEditControl(platform::Window& window);
    // A full repaint into another context (the SVG snapshot).
    void paintCopy(platform::Window& window, platform::DeviceContext& dc);

    UntilClosingSink sink_;
    BitmapLoader loader_;
    RestoringProcedures procedures_;
    AppState state_;
    WindowLayout layout_;
    std::array<std::optional<platform::Bitmap>, kButtonBitmaps> bitmaps_;
    int destroyCount_ = 0;
    ShownViews painted_;
    int inputDepth_ = 0;
};

// Shows the message boxes of the core as the window system's boxes.
class MessageBoxSink final : public MessageSink {
  public:
    int show(std::string_view text, std::string_view caption, MessageIcon icon) override;
};

// Creates the main window, shows it maximized and runs the message loop.
// Returns the loop's exit code, or 0 when the window could not be created.
int runWorkbench(MessageSink& sink, const BitmapLoader& loader);

}  // namespace etalon
