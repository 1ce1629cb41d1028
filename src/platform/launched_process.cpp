#include <poll.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>
#include <atomic>
#include <utility>

#include "platform/app_window.h"
#include "platform/launch.h"

namespace Utils {

namespace {

std::atomic<const DesktopLauncher*> g_launcher{nullptr};

const DesktopLauncher* InstalledLauncher(std::string* error) {
    const DesktopLauncher* launcher = g_launcher.load();
    if (launcher == nullptr && error != nullptr) {
        *error = "this program cannot start applications (no desktop launcher)";
    }
    return launcher;
}

}  // namespace

void SetDesktopLauncher(const DesktopLauncher* launcher) {
    g_launcher.store(launcher);
}

LaunchedProcess::LaunchedProcess(LaunchedProcess&& other) noexcept {
    *this = std::move(other);
}

LaunchedProcess& LaunchedProcess::operator=(LaunchedProcess&& other) noexcept {
    if (this != &other) {
        Release();
        std::swap(pid, other.pid);
        std::swap(pidfd, other.pidfd);
        std::swap(started, other.started);
        std::swap(hasFileBefore, other.hasFileBefore);
        std::swap(fileBefore, other.fileBefore);
        std::swap(writes, other.writes);
        std::swap(reaped_, other.reaped_);
    }
    return *this;
}

LaunchedProcess::~LaunchedProcess() {
    Release();
}

void LaunchedProcess::Release() {
    // A process that has ended meanwhile is reaped rather than left as a zombie.
    Ended();
    if (pidfd >= 0) {
        ::close(pidfd);
    }
    pid = -1;
    pidfd = -1;
    started = false;
    hasFileBefore = false;
    fileBefore = {};
    writes.reset();
    reaped_ = false;
}

LaunchedProcess LaunchedProcess::ForChild(pid_t child) {
    LaunchedProcess process;
    if (child <= 0) {
        return process;
    }
    process.pid = child;
    process.started = true;
    process.pidfd = static_cast<int>(::syscall(SYS_pidfd_open, child, 0));
    return process;
}

bool LaunchedProcess::Ended() {
    if (!HasProcess()) {
        return true;
    }
    if (pidfd >= 0) {
        pollfd readable{pidfd, POLLIN, 0};
        if (::poll(&readable, 1, 0) == 0) {
            return false;
        }
    }
    siginfo_t info{};
    if (::waitid(P_PID, static_cast<id_t>(pid), &info, WEXITED | WNOHANG) == 0 &&
        info.si_pid == 0) {
        return false;  // running; only asked this way without a pidfd
    }
    // Reaped now, or not ours to reap (the pidfd said it ended).
    reaped_ = true;
    return true;
}

bool ShellExecuteCommand(const std::string& path, const std::string& parameters,
                         std::string* error) {
    const DesktopLauncher* launcher = InstalledLauncher(error);
    if (launcher == nullptr) {
        return false;
    }
    if (!parameters.empty()) {
        return launcher->runProgram(path, parameters, error);
    }
    return launcher->launch(path, nullptr, error);
}

bool CreateProcessCommand(const std::string& path, LaunchedProcess* process, std::string* error) {
    const DesktopLauncher* launcher = InstalledLauncher(error);
    if (launcher == nullptr) {
        return false;
    }
    if (process == nullptr) {
        return launcher->launch(path, nullptr, error);
    }
    LaunchedProcess started;
    started.hasFileBefore = nbx::ReadFileStatus(path, &started.fileBefore);
    started.writes = std::make_unique<nbx::FileWriteWatch>(path);
    pid_t pid = -1;
    if (!launcher->launch(path, &pid, error)) {
        return false;
    }
    if (pid > 0) {
        LaunchedProcess child = LaunchedProcess::ForChild(pid);
        std::swap(started.pid, child.pid);
        std::swap(started.pidfd, child.pidfd);
    }
    started.started = true;
    *process = std::move(started);
    return true;
}

}  // namespace Utils

namespace nbx {

RaiseResult RaiseWindowOfProcess(pid_t pid, std::uint32_t* window) {
    const Utils::DesktopLauncher* launcher = Utils::g_launcher.load();
    return launcher != nullptr ? launcher->raiseWindow(pid, window) : RaiseResult::NoDisplay;
}

}  // namespace nbx
