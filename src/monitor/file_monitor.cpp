#include "monitor/file_monitor.h"

#include <sys/stat.h>
#include <unistd.h>
#include <cerrno>
#include <utility>
#include <vector>

#include "base/session_log.h"
#include "platform/app_window.h"
#include "platform/clock.h"
#include "platform/format.h"

namespace {

std::uint32_t TickCount() {
    return static_cast<std::uint32_t>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                          std::chrono::steady_clock::now().time_since_epoch())
                                          .count());
}

bool SameTime(const timespec& a, const timespec& b) {
    return a.tv_sec == b.tv_sec && a.tv_nsec == b.tv_nsec;
}

}  // namespace

CNbxFileMonitor::CNbxFileMonitor(const CNbxNode& node, std::string localPath,
                                 std::string remotePath, Utils::LaunchedProcess process)
    : id_(TickCount()),
      state_(FMS_INVALID),
      node_(node),
      localPath_(std::move(localPath)),
      remotePath_(std::move(remotePath)),
      created_(nbx::clock::Now()),
      process_(std::move(process)),
      writes_(std::move(process_.writes)) {
    bool read = process_.hasFileBefore;
    if (read) {
        reference_ = process_.fileBefore;
    } else {
        read = GetFileStatus(localPath_, &reference_);
    }
    if (writes_ == nullptr) {
        writes_ = std::make_unique<nbx::FileWriteWatch>(localPath_);
    }
    if (read && process_.started) {
        state_ = FMS_OPENED;
    }
}

CNbxFileMonitor::~CNbxFileMonitor() = default;

bool CNbxFileMonitor::GetFileStatus(const std::string& path, FileStatus* status) {
    if (!nbx::ReadFileStatus(path, status)) {
        WriteLog(LogLevel::Error,
                 nbx::StrPrintf("CNbxFileMonitor::GetFileStatus(): CFile::GetStatus() failed "
                                "with arg: \"%s\"",
                                path.c_str()));
        return false;
    }
    return true;
}

MonitorState CNbxFileMonitor::ChangeState(MonitorState from, MonitorState to) {
    int expected = from;
    if (state_.compare_exchange_strong(expected, to)) {
        return to;
    }
    return static_cast<MonitorState>(expected);
}

void CNbxFileMonitor::MarkHandled() {
    state_ = FMS_HANDLED;
}

MonitorState CNbxFileMonitor::UpdateStatus() {
    const MonitorState current = GetState();
    if (current >= FMS_CLOSED) {
        return current;
    }
    FileStatus now;
    if (!GetFileStatus(localPath_, &now)) {
        return FileMissing(current);
    }
    missingPolls_ = 0;
    const bool changed = !SameTime(now.creation, reference_.creation) ||
                         !SameTime(now.modification, reference_.modification) ||
                         now.inode != reference_.inode || now.device != reference_.device;
    // Taken in on every poll, so that the events do not pile up until a hand-off needs them.
    const bool written = writes_->WriteCompleted() || !writes_->Active();
    bool running = false;
    {
        std::lock_guard guard(processLock_);
        if (!process_.started) {
            return ChangeState(current, FMS_INVALID);
        }
        running = !process_.Ended();
    }

    bool free = false;
    if (running) {
        if (nbx::clock::Now() - created_ >= kHandOffWindow) {
            watched_ = true;
        }
    } else if (watched_) {
        free = nbx::FileIsFree(localPath_);
    } else {
        if (!handedOff_.exchange(true)) {
            WriteLog(LogLevel::Info,
                     nbx::StrPrintf("CNbxFileMonitor::UpdateStatus(): the application handed "
                                    "\"%s\" on; watching who holds and writes the file",
                                    localPath_.c_str()));
        }
        if (!nbx::FileIsFree(localPath_)) {
            standIn_ = true;
        } else if (standIn_) {
            free = true;
        } else {
            free = changed && written;
        }
    }
    const MonitorState next =
        changed ? (free ? FMS_CLOSED_MODIFIED : FMS_MODIFIED) : (free ? FMS_CLOSED : FMS_OPENED);
    return ChangeState(current, next);
}

MonitorState CNbxFileMonitor::FileMissing(MonitorState current) {
    // An editor that saves by writing a new file may leave no file for a moment, so a copy
    // counts as gone only while no process of ours runs and on consecutive polls. Gone, there
    // is nothing left to upload or bring up: the monitor ends, and a later open downloads anew.
    struct stat st {};
    const bool gone = ::lstat(localPath_.c_str(), &st) != 0 && errno == ENOENT;
    bool running = false;
    {
        std::lock_guard guard(processLock_);
        running = process_.started && !process_.Ended();
    }
    if (!gone || running || ++missingPolls_ < kMissingPolls) {
        return ChangeState(current, FMS_INVALID);
    }
    WriteLog(LogLevel::Info,
             nbx::StrPrintf("CNbxFileMonitor::UpdateStatus(): the local copy \"%s\" is gone; "
                            "the file is no longer watched",
                            localPath_.c_str()));
    return ChangeState(current, FMS_HANDLED);
}

bool CNbxFileMonitor::ActivateApplication() {
    if (GetState() >= FMS_CLOSED) {
        return false;
    }
    std::vector<pid_t> owners;
    {
        std::lock_guard guard(processLock_);
        if (!process_.Ended()) {
            owners.push_back(process_.pid);
        }
    }
    if (owners.empty()) {
        owners = nbx::ProcessesHoldingFile(localPath_);
    }
    bool display = true;
    for (pid_t owner : owners) {
        if (owner == ::getpid()) {
            continue;
        }
        const nbx::RaiseResult raised = nbx::RaiseWindowOfProcess(owner);
        if (raised == nbx::RaiseResult::Raised) {
            return true;
        }
        display = raised != nbx::RaiseResult::NoDisplay;
    }
    if (handedOff_) {
        // The instance that took the file over shows it again when it is handed the file.
        std::string error;
        if (Utils::ShellExecuteCommand(localPath_, {}, &error)) {
            return true;
        }
        WriteLog(LogLevel::Error,
                 nbx::StrPrintf("CNbxFileMonitor::ActivateApplication(): "
                                "Utils::ShellExecuteCommand() failed with arg: \"%s\" (%s)",
                                localPath_.c_str(), error.c_str()));
        return false;
    }
    WriteLog(LogLevel::Info,
             nbx::StrPrintf("CNbxFileMonitor::ActivateApplication(): no window of the "
                            "application of \"%s\" to bring to the front%s",
                            localPath_.c_str(),
                            display ? "" : " (no X display; Wayland does not allow it)"));
    return false;
}
