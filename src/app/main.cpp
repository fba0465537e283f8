// Entry point of the workbench window. The command line is accepted and ignored.
#include <QApplication>

#include "app/workbench.h"
#include "platform/fonts.h"

int main(int argc, char* argv[]) {
    QApplication application(argc, argv);
    etalon::platform::loadApplicationFonts();
    etalon::MessageBoxSink sink;
    return etalon::runWorkbench(sink, etalon::platform::loadBitmapResource);
}
