#pragma once

#include <sys/types.h>
#include <cstdint>

namespace nbx {

enum class RaiseResult {
    Raised,     // asked the window manager, or raised and focused where none runs
    NoWindow,   // the process has no top-level window on the display
    NoDisplay,  // no X display: a Wayland compositor lets no program raise another's window
};

// Brings the first top-level window of process `pid` to the front on the X display (Xwayland
// included). The window is found by _NET_WM_PID among the window manager's clients
// (_NET_CLIENT_LIST, minimised ones included), else among the root's mapped children. A window
// manager is asked with _NET_ACTIVE_WINDOW as a pager asks, which also restores a minimised
// window; without one the window is mapped, raised and given the focus. `window` receives the
// window's id. Any thread: each call has a connection of its own. NoDisplay where no desktop
// launcher is installed (see Utils::SetDesktopLauncher).
RaiseResult RaiseWindowOfProcess(pid_t pid, std::uint32_t* window = nullptr);

}  // namespace nbx
