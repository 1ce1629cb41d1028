#pragma once

#include <sys/types.h>
#include <memory>
#include <string>

#include "platform/app_window.h"
#include "platform/file_use.h"

// Opening local files in the desktop's applications, by the freedesktop association rules that
// every desktop follows (through GIO: the file's content type, its default application, the
// Exec field codes, terminal and D-Bus applications). Any thread; a call blocks only while the
// application is being started. Failures come back with their reason in `error`; the callers
// write the log records.
namespace Utils {

// The application started on a file, as CreateProcessCommand hands it over. The process is a
// child of this program and held as a pidfd, which becomes readable when it ends. Move-only:
// the record owns the pidfd and reaps the process once Ended() has seen it end. A record
// dropped while its process runs leaves the process running; it is reaped when this program
// ends.
struct LaunchedProcess {
    pid_t pid = -1;        // -1: started without a process of ours (over D-Bus, or a chooser)
    int pidfd = -1;        // -1 without a process, or where the kernel has no pidfds
    bool started = false;  // false for an empty record: nothing was started
    // The file as it was handed over, read and watched from right before the launch, so that
    // an application that writes it at once is still seen to have changed it.
    bool hasFileBefore = false;
    nbx::FileStatus fileBefore;
    std::unique_ptr<nbx::FileWriteWatch> writes;

    LaunchedProcess() = default;
    LaunchedProcess(LaunchedProcess&& other) noexcept;
    LaunchedProcess& operator=(LaunchedProcess&& other) noexcept;
    LaunchedProcess(const LaunchedProcess&) = delete;
    LaunchedProcess& operator=(const LaunchedProcess&) = delete;
    ~LaunchedProcess();

    // The record of `child`, a child process of this program that nobody else waits for.
    static LaunchedProcess ForChild(pid_t child);

    // True while there is a process that has not been seen to end.
    bool HasProcess() const { return pid > 0 && !reaped_; }
    // True once the process has ended (it is reaped then), and when there is none; never waits.
    bool Ended();

private:
    void Release();
    bool reaped_ = false;
};

// How this program starts applications and raises their windows. The window program installs
// the desktop's (nbx::InstallDesktopLauncher, GIO and the X connection); a program without one,
// such as the command-line tool, links neither, and the calls below fail with a reason.
struct DesktopLauncher {
    // Starts the default application of the file's type; `pid` (may be null) receives its
    // process where it is a child of ours, else -1.
    bool (*launch)(const std::string& path, pid_t* pid, std::string* error);
    // Runs the program with the parameters, split as a shell splits words, without a shell.
    bool (*runProgram)(const std::string& path, const std::string& parameters, std::string* error);
    nbx::RaiseResult (*raiseWindow)(pid_t pid, std::uint32_t* window);
};
// Before any thread starts applications; the launcher must outlive them.
void SetDesktopLauncher(const DesktopLauncher* launcher);

// The "open" verb: hands `path` to the desktop's default application for its content type and
// does not watch it. With `parameters`, `path` is a program instead and is run with them (split
// as a shell splits words, without a shell), as the updater starts its installer; without,
// the file is opened and never run, whatever its mode bits. A type without an application goes
// to the desktop's "open with" chooser (the desktop portal's), where the session has one. True
// when the application or the chooser was started.
bool ShellExecuteCommand(const std::string& path, const std::string& parameters = {},
                         std::string* error = nullptr);

// Starts the default application of `path`'s content type on it and hands its process over in
// `process`, when given (otherwise nothing is left to reap). An application activated over
// D-Bus, and the chooser that a type without an application goes to, have no process of ours:
// `process` is then started without one. False when nothing could be started.
bool CreateProcessCommand(const std::string& path, LaunchedProcess* process = nullptr,
                          std::string* error = nullptr);

}  // namespace Utils
