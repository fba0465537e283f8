#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/device_context.h"
#include "platform/geometry.h"
#include "platform/menu.h"
#include "platform/surface.h"

class QWidget;

namespace etalon::platform {

class Window;

// Key-state flags delivered with mouse events.
enum MouseKeys : unsigned { kMouseLeft = 1, kMouseRight = 2, kMouseShift = 4, kMouseControl = 8 };

// What the application does with the window's messages; one handler per
// message, all called on the GUI thread.
class WindowProcedure {
  public:
    virtual ~WindowProcedure() = default;
    // Returns false to refuse the window; it is then never shown.
    virtual bool onCreate(Window& window) = 0;
    virtual void onDestroy(Window& window) = 0;
    // The context is clipped to the region being painted.
    virtual void onPaint(Window& window, DeviceContext& dc) = 0;
    virtual void onKeyDown(Window& window, int virtualKey) = 0;
    virtual void onCommand(Window& window, uint16_t id) = 0;
    virtual void onMouseMove(Window& window, int16_t x, int16_t y, unsigned keys) = 0;
    virtual void onMouseDown(Window& window, int16_t x, int16_t y, unsigned keys) = 0;
    virtual void onMouseUp(Window& window, int16_t x, int16_t y, unsigned keys) = 0;
    // The wheel: `delta` in eighths of a degree, positive away from the user;
    // only kMouseControl is told in `keys`.
    virtual void onMouseWheel(Window&, int16_t, int16_t, int, unsigned) {}
};

// The main window: a menu, a client area kept as a surface, one child edit
// control. Painting happens when invalidated parts are due; paint() forces it.
class Window {
  public:
    // Creates the window and runs the procedure's onCreate. Returns null when
    // onCreate refused; the window is not shown either way.
    static std::unique_ptr<Window> create(WindowProcedure& procedure, std::string_view title,
                                          const std::vector<MenuEntry>& menu);
    ~Window();
    Window(const Window&) = delete;
    Window& operator=(const Window&) = delete;

    void showMaximized();
    // Sets the client size directly (tests, and platforms without a window manager).
    void resizeClient(int32_t width, int32_t height);
    std::string title() const;
    bool isMaximized() const;

    // Client rectangle: (0, 0, width, height).
    Rect clientRect() const;
    Surface& surface();

    // Runs the command handler now, nested in the caller.
    void sendCommand(uint16_t id);
    // Closes the window: onDestroy runs once, then the message loop ends. While
    // a handler runs (a command, a key, a press), the close cancels the work
    // the handler waits for, closes the modal windows open over it and happens
    // once the outermost handler has returned.
    void close();
    bool isDestroyed() const;
    // True from a close request on: dialogs and boxes are then not shown.
    bool isClosing() const;
    // How to stop the long work running now (empty when none runs); a close
    // request calls it.
    void setRunningWorkCancel(std::function<void()> cancel);
    // While long work runs behind its dialog the window takes no input (the
    // menu greys), yet it still hears the window system's close request,
    // which a modal dialog would swallow.
    void blockInput(bool blocked);
    // The widget a dialog of the window belongs to (stays above it).
    QWidget* dialogParent() const;

    // Marks a rectangle (right and bottom excluded) or, given none, the whole
    // client area for repainting; erase asks for white under the next paint.
    void invalidate(const Rect* rect, bool erase);
    void invalidateAll(bool erase) { invalidate(nullptr, erase); }
    // Paints what is invalid now rather than when the loop gets to it.
    void paint();

    void checkMenuItem(uint16_t id, bool checked);
    bool isMenuItemChecked(uint16_t id) const;
    // A greyed item cannot be chosen.
    void enableMenuItem(uint16_t id, bool enabled);
    bool isMenuItemEnabled(uint16_t id) const;
    // The menu as the window shows it (texts, ids, separators, check marks).
    std::vector<MenuEntry> menu() const;
    // Whether the menu holds an item with that id and, if so, its text.
    bool menuItemText(uint16_t id, std::string& text) const;

    void setCapture();
    void releaseCapture();
    bool hasCapture() const;
    // Returns the cursor shown before.
    CursorShape setCursor(CursorShape shape);

    // The single-line edit control kept as a child of the client area.
    void createEditControl(uint16_t id, std::string_view text, int32_t x, int32_t y, int32_t width,
                           int32_t height);
    bool hasEditControl(uint16_t id) const;
    void moveEditControl(uint16_t id, int32_t x, int32_t y, int32_t width, int32_t height,
                         bool repaint);
    // Position and size of the edit control, as (x, y, x + width, y + height).
    Rect editControlRect(uint16_t id) const;
    std::string editText(uint16_t id) const;
    void setEditText(uint16_t id, std::string_view text);

    // The client area as the window system shows it: the surface with the
    // child controls over it.
    Surface grabClientArea();
    // Draws the child controls that show (a framed box with its text) into
    // another context, over a full paint of the client area.
    void drawChildControls(DeviceContext& dc) const;

    // Chooses a menu item as the user would: its command reaches the handler.
    void chooseMenuItem(uint16_t id);

    struct Impl;

  private:
    explicit Window(WindowProcedure& procedure);
    std::unique_ptr<Impl> impl_;
};

// Runs the message loop until the main window is closed; returns its exit code.
int runMessageLoop();
// Ends the message loop with an exit code once control returns to it.
void postQuitMessage(int code);

}  // namespace etalon::platform
