// Entry point of the workbench window. The window takes no arguments: --version
// and --help answer without one (and without a display); anything else is ignored.
#include <QApplication>
#include <cstdio>
#include <cstring>
#include <exception>
#include <new>

#include "app/workbench.h"
#include "platform/fonts.h"

int main(int argc, char* argv[]) {
    if (argc == 2 && std::strcmp(argv[1], "--version") == 0) {
        std::puts("etalon-workbench " ETALON_VERSION);
        return 0;
    }
    if (argc == 2 && std::strcmp(argv[1], "--help") == 0) {
        std::puts(
            "Etalon Workbench: finds known reference pulses in noisy series, in a window\n"
            "Usage: etalon-workbench\n\n"
            "Options:\n"
            "  --help      Print this help and exit\n"
            "  --version   Print the version and exit");
        return 0;
    }
    // Whatever escapes the window is told, never left to end the process uncaught.
    try {
        QApplication application(argc, argv);
        etalon::platform::loadApplicationFonts();
        etalon::MessageBoxSink sink;
        return etalon::runWorkbench(sink, etalon::platform::loadBitmapResource);
    } catch (const std::bad_alloc&) {
        std::fputs("etalon-workbench: out of memory\n", stderr);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "etalon-workbench: %s\n", e.what());
    } catch (...) {
        std::fputs("etalon-workbench: an unknown error\n", stderr);
    }
    return 1;
}
