// Test main for everything that draws: an offscreen application with the
// workbench's fonts, so no display is needed and glyphs are the same everywhere.
#include <gtest/gtest.h>

#include <QApplication>

#include "platform/fonts.h"

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    etalon::platform::loadApplicationFonts();
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
