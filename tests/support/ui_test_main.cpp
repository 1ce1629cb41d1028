#include <gtest/gtest.h>

#include <QApplication>
#include <cstdlib>

#include "platform/desktop_launcher.h"

// One application object for the whole program, on the offscreen platform unless a test run
// asks for a real display (QT_QPA_PLATFORM=xcb with DISPLAY set).
int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    nbx::InstallDesktopLauncher();
    if (std::getenv("QT_QPA_PLATFORM") == nullptr) {
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
    }
    QApplication app(argc, argv);
    return RUN_ALL_TESTS();
}
