#include "app/workbench.h"

#include <string>

#include "app/command_handler.h"
#include "app/main_menu.h"
#include "app/painting.h"
#include "app/presses.h"
#include "app/recording_navigation.h"
#include "app/restoring_commands.h"
#include "platform/message_box.h"
#include "platform/png_image.h"
#include "platform/svg_recorder.h"

namespace etalon {

namespace {

// Paints the whole client area into a context other than the window's.
using PaintPass = std::function<void(platform::DeviceContext&)>;

// The commands' view of the main window.
class WindowHost final : public CommandHost {
  public:
    WindowHost(platform::Window& window, PaintPass paintPass)
        : window_(window), paintPass_(std::move(paintPass)) {}
    void checkMenuItem(uint16_t id, bool checked) override { window_.checkMenuItem(id, checked); }
    void enableMenuItem(uint16_t id, bool enabled) override { window_.enableMenuItem(id, enabled); }
    void invalidate(const platform::Rect* rect, bool erase) override {
        window_.invalidate(rect, erase);
    }
    void sendCommand(uint16_t id) override { window_.sendCommand(id); }
    void close() override { window_.close(); }
    int runDialog(int, const platform::DialogTemplate& dialog,
                  const platform::DialogProcedure& procedure) override {
        return platform::runModalDialog(&window_, dialog, procedure);
    }
    bool runWithProgress(const std::string& caption, uint32_t total,
                         const std::function<void(platform::ProgressChannel&)>& work) override {
        return platform::runWithProgress(&window_, caption, total, work);
    }
    std::string editText(uint16_t id) const override { return window_.editText(id); }
    void setEditText(uint16_t id, const std::string& text) override {
        window_.setEditText(id, text);
    }
    void moveEditControl(uint16_t id, int32_t x, int32_t y, int32_t width, int32_t height,
                         bool repaint) override {
        window_.moveEditControl(id, x, y, width, height, repaint);
    }
    void setCapture() override { window_.setCapture(); }
    void releaseCapture() override { window_.releaseCapture(); }
    platform::CursorShape setCursor(platform::CursorShape shape) override {
        return window_.setCursor(shape);
    }
    std::optional<std::string> askOpenFile(const std::string& title,
                                           const std::vector<std::string>& filters) override {
        if (window_.isClosing()) return std::nullopt;
        return platform::openFileDialog(&window_, title, filters);
    }
    bool askYesNo(const std::string& text, const std::string& caption) override {
        return platform::askYesNo(&window_, text, caption);
    }

    // What the window shows, its edit control included; dialogs never draw into it.
    CapturedImage captureClientArea() override {
        const platform::Surface surface = window_.grabClientArea();
        CapturedImage image{surface.width(), surface.height(), {}};
        image.pixels.assign(surface.data(),
                            surface.data() + static_cast<std::size_t>(surface.width()) *
                                                 static_cast<std::size_t>(surface.height()));
        return image;
    }
    std::optional<SaveChoice> askSaveFile(const std::string& title,
                                          const std::vector<std::string>& filters) override {
        if (window_.isClosing()) return std::nullopt;
        auto chosen = platform::saveAsDialog(&window_, title, filters);
        if (!chosen) return std::nullopt;
        return SaveChoice{std::move(chosen->path), chosen->filter};
    }
    std::optional<std::vector<uint8_t>> encodePng(const CapturedImage& image) override {
        return platform::encodePng(image.pixels.data(), image.width, image.height,
                                   static_cast<std::ptrdiff_t>(image.width) * 4);
    }
    std::string drawAsSvg() override {
        const platform::Rect client = window_.clientRect();
        platform::SvgRecorder recorder(client.width(), client.height());
        // The recording context only needs the bounds of a surface.
        platform::Surface bounds(client.width(), client.height());
        platform::DeviceContext dc(bounds, recorder);
        paintPass_(dc);
        window_.drawChildControls(dc);
        return recorder.finish();
    }

  private:
    platform::Window& window_;
    PaintPass paintPass_;
};

}  // namespace

Workbench::Workbench(MessageSink& sink, BitmapLoader loader, RestoringProcedures procedures)
    : sink_(sink), loader_(std::move(loader)), procedures_(std::move(procedures)) {}

bool Workbench::loadBitmaps() {
    for (int i = 0; i < kButtonBitmaps; ++i) {
        bitmaps_[i] = loader_(kButtonBitmapNames[i]);
        if (!bitmaps_[i]) {
            sink_.show(std::string("No Bitmap <") + kButtonBitmapNames[i] + ">", "Fatal Error",
                       MessageIcon::None);
            return false;
        }
    }
    return true;
}

void Workbench::setStartupCheckMarks(platform::Window& window) {
    for (uint16_t id : {kCmdUnfixedCutoff, kCmdUnfixedWhole, kCmdFixedWhole, kCmdFixedCutoff,
                        kCmdFixedTuples, kCmdUnfixedTuples}) {
        window.checkMenuItem(id, false);
    }
    window.checkMenuItem(kCmdFixedWhole, true);
    for (uint16_t id : {kCmdJointDetection, kCmdDetection, kCmdRecognition, kCmdSeriesProcessing}) {
        window.checkMenuItem(id, false);
    }
    window.checkMenuItem(kCmdRecognition, true);
    window.checkMenuItem(kCmdCompareMatchedFilter, false);
    window.checkMenuItem(kCmdShowMatchedFilterPulses, false);
    // Nothing to show until a simulation has finished.
    window.enableMenuItem(kCmdShowStatSimulation, false);
}

bool Workbench::onCreate(platform::Window& window) {
    sink_.attach(&window);
    if (!loadBitmaps()) return false;
    // The text font is the context's own; nothing to take here.
    setStartupCheckMarks(window);
    createStartupState(state_, sink_);
    window.createEditControl(kParamEditId, "Tmin Text", 0, 0, 0, 0);
    return true;
}

void Workbench::onDestroy(platform::Window&) {
    ++destroyCount_;
    for (auto& bitmap : bitmaps_)
        bitmap.reset();
    destroyState(state_);
    platform::postQuitMessage(0);
}

void Workbench::onPaint(platform::Window& window, platform::DeviceContext& dc) {
    paintWindow(state_, layout_, bitmaps_, window.clientRect(), dc, sink_);
    notePaintedViews(painted_, state_, layout_, dc.clip());
    placeEditControl(window);
}

// The Tmin edit control belongs to the parameter panel: it shows where the
// panel put it and nowhere else, however the panel was left.
void Workbench::placeEditControl(platform::Window& window) {
    const platform::Rect& r = state_.paramsPanel.edit;
    const bool shown =
        state_.nDisplayMode == DisplayMode::ParameterPanel && state_.paramsPanel.laidOut;
    // A grip's capture and cursor end with the panel, however it was left.
    if (state_.nDisplayMode != DisplayMode::ParameterPanel && window.hasCapture()) {
        window.setCursor(platform::CursorShape::Arrow);
        window.releaseCapture();
    }
    const platform::Rect want = shown ? r : platform::Rect{0, 1000, 0, 1000};
    const platform::Rect now = window.editControlRect(kParamEditId);
    const bool nowHidden = now.right == now.left || now.bottom == now.top;
    if (!shown && nowHidden) return;
    if (now == want) return;
    window.moveEditControl(kParamEditId, want.left, want.top, want.right - want.left,
                           want.bottom - want.top, false);
}

void Workbench::paintCopy(platform::Window& window, platform::DeviceContext& dc) {
    // Same drawing as a full repaint, leaving what input and the repaint
    // bookkeeping rely on as it was.
    WindowLayout layout = layout_;
    const auto noErase = state_.bNoErase;
    paintWindow(state_, layout, bitmaps_, window.clientRect(), dc, sink_);
    state_.bNoErase = noErase;
}

void Workbench::afterInput(platform::Window& window) {
    if (inputDepth_ > 0 || window.isDestroyed()) return;
    WindowHost host(window, [&](platform::DeviceContext& dc) { paintCopy(window, dc); });
    repaintStaleViews(painted_, state_, layout_, host);
}

void Workbench::onKeyDown(platform::Window& window, int virtualKey) {
    if (virtualKey == 0 || virtualKey == 1) window.invalidateAll(true);
    // F5 runs " Processing Next Data ", as a desktop program's refresh key would.
    if (virtualKey == kVkF5) window.sendCommand(kCmdNextData);
    if (virtualKey == kVkEscape) press(window, [](PressHandler& p) { p.onEscape(); });
    // A long recording's view moves; the view state alone changes, so no undo is kept.
    if (navigateByKey(state_, virtualKey)) afterInput(window);
}

void Workbench::onMouseWheel(platform::Window& window, int16_t, int16_t, int delta, unsigned keys) {
    if (navigateByWheel(state_, delta, (keys & platform::kMouseControl) != 0)) afterInput(window);
}

void Workbench::onCommand(platform::Window& window, uint16_t id) {
    WindowHost host(window, [&](platform::DeviceContext& dc) { paintCopy(window, dc); });
    outermostUndoable(
        [&] { CommandHandler(state_, layout_, host, sink_, procedures_).onCommand(id); });
    afterInput(window);
}

void Workbench::press(platform::Window& window, const std::function<void(PressHandler&)>& input) {
    WindowHost host(window, [&](platform::DeviceContext& dc) { paintCopy(window, dc); });
    outermostUndoable([&] {
        PressHandler handler(state_, layout_, host, sink_);
        input(handler);
    });
    afterInput(window);
}

void Workbench::outermostUndoable(const std::function<void()>& input) {
    ++inputDepth_;
    if (inputDepth_ == 1) {
        runUndoableInput(state_, input);
    } else {
        input();
    }
    --inputDepth_;
}

// Dragging a grip starts no run: the moves skip keeping the state aside.
void Workbench::onMouseMove(platform::Window& window, int16_t x, int16_t y, unsigned keys) {
    // A release outside the window never arrives: the button being up ends the drag.
    if (!(keys & platform::kMouseLeft)) releaseRecordingStrips(state_);
    if (dragRecordingStrips(state_, layout_, x, y)) return afterInput(window);
    if (state_.nDisplayMode != DisplayMode::ParameterPanel) return;
    WindowHost host(window, [&](platform::DeviceContext& dc) { paintCopy(window, dc); });
    ++inputDepth_;
    PressHandler(state_, layout_, host, sink_).onMove(x, y);
    --inputDepth_;
    afterInput(window);
}
void Workbench::onMouseDown(platform::Window& window, int16_t x, int16_t y, unsigned) {
    if (pressRecordingStrips(state_, layout_, x, y)) return afterInput(window);
    press(window, [&](PressHandler& p) { p.onPress(x, y); });
}
void Workbench::onMouseUp(platform::Window& window, int16_t x, int16_t y, unsigned) {
    if (releaseRecordingStrips(state_)) return;
    if (state_.nDisplayMode != DisplayMode::ParameterPanel) return;
    press(window, [&](PressHandler& p) { p.onRelease(x, y); });
}

int MessageBoxSink::show(std::string_view text, std::string_view caption, MessageIcon icon) {
    platform::BoxIcon boxIcon = platform::BoxIcon::None;
    if (icon == MessageIcon::Warning) boxIcon = platform::BoxIcon::Warning;
    if (icon == MessageIcon::Information) boxIcon = platform::BoxIcon::Information;
    return platform::messageBox(nullptr, text, caption, boxIcon);
}

int runWorkbench(MessageSink& sink, const BitmapLoader& loader) {
    Workbench workbench(sink, loader);
    std::unique_ptr<platform::Window> window =
        platform::Window::create(workbench, kWindowTitle, mainMenu());
    if (!window) return 0;
    window->showMaximized();
    return platform::runMessageLoop();
}

}  // namespace etalon
