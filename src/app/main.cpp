// Entry point of the workbench window. The command line is accepted and ignored.
#include <QApplication>
#include <cstdio>
#include <exception>
#include <new>

#include "app/workbench.h"
#include "platform/fonts.h"

int main(int argc, char* argv[]) {
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
