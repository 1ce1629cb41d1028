#pragma once

// The desktop launcher of the window program: applications started through GIO and windows
// raised over the X connection. Only programs that link nbx_launch have it.

#include <sys/types.h>
#include <cstdint>

#include "platform/app_window.h"

namespace nbx {

// Makes Utils::CreateProcessCommand, Utils::ShellExecuteCommand and RaiseWindowOfProcess work;
// call once at start, before other threads.
void InstallDesktopLauncher();

// RaiseWindowOfProcess on the X display.
RaiseResult XcbRaiseWindowOfProcess(pid_t pid, std::uint32_t* window);

}  // namespace nbx
