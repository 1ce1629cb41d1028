// Test programs that start applications install the desktop launcher as the window program does.
#include "platform/desktop_launcher.h"

namespace {
const bool g_installed = [] {
    nbx::InstallDesktopLauncher();
    return true;
}();
}  // namespace
