#pragma once

#include <memory>

#include "app/main_menu.h"
#include "app/workbench.h"
#include "platform/bitmap.h"
#include "platform/window.h"
#include "support/recording_sink.h"

namespace etalon::test {

// The workbench's window, offscreen, with a 1024 x 700 client area, painted once.
struct OpenWindow {
    RecordingSink sink;
    Workbench workbench{sink, platform::loadBitmapResource};
    std::unique_ptr<platform::Window> window;

    OpenWindow() {
        window = platform::Window::create(workbench, kWindowTitle, mainMenu());
        window->resizeClient(1024, 700);
        window->paint();
    }
    AppState& state() { return workbench.state(); }
};

}  // namespace etalon::test
