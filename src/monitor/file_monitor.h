#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

#include "nodes/nbx_node.h"
#include "platform/file_use.h"
#include "platform/launch.h"

// The life of a watched file, in this order. From FMS_CLOSED on a state is final: the monitor
// is no longer polled, no longer counts as opened and cannot bring its application up.
enum MonitorState : int {
    FMS_INVALID = 0,              // the file's status cannot be read, or no process was started
    FMS_OPENED = 10,              // the application has the file, unchanged
    FMS_MODIFIED = 100,           // the application has the file, changed
    FMS_CLOSED = 1000,            // the application is done with it and the file is free
    FMS_CLOSED_MODIFIED = 10000,  // the same, after a change
    FMS_HANDLED = 100000,         // the close has been dealt with; purged on the next pass
};

// What the monitor reads of the local file.
using FileStatus = nbx::FileStatus;

// One remote file opened for editing: the downloaded copy, the node (a copy) and path it came
// from, and the application started on it. A change is a creation or modification time other
// than the reference's, or another file in its place, as editors save by renaming a new file
// over the old: within one tick of the file system's clock the times alone can stay the same.
//
// The application is done with the file once its process has ended and the file is free, no
// process having it open (FileIsFree). A process that ended before any poll found it running
// at least kHandOffWindow after the launch did not edit the file itself: it handed the file to
// an instance already running and left, or there never was a process (an application
// activated over D-Bus, the chooser). Then the processes that hold the file open stand in for
// it, and once one has been seen, the file being free again is the close. Where none is ever
// seen, only a completed write of a changed file (closed after writing) closes it, as modified,
// so that the upload is still offered; unchanged, it stays opened, and ActivateApplication
// opens the file in its application again, which brings the running instance up.
//
// UpdateStatus belongs to the monitor manager's engine thread; everything else may be called
// from any thread. The state is atomic, and a state that is final stays final.
class CNbxFileMonitor {
public:
    static constexpr std::chrono::milliseconds kHandOffWindow{2000};
    // Polls in a row that must find the local copy gone, once no process of ours runs, before
    // the monitor ends (FMS_HANDLED).
    static constexpr int kMissingPolls = 2;

    // The reference is the file's status as `process` found it before the launch, else as it
    // is now; FMS_OPENED when it could be read and `process` was started, else FMS_INVALID.
    // The monitor owns the process from now on.
    CNbxFileMonitor(const CNbxNode& node, std::string localPath, std::string remotePath,
                    Utils::LaunchedProcess process);
    virtual ~CNbxFileMonitor();
    CNbxFileMonitor(const CNbxFileMonitor&) = delete;
    CNbxFileMonitor& operator=(const CNbxFileMonitor&) = delete;

    virtual void MarkHandled();
    // While the state is not final: raises the window of the application's process, or of a
    // process holding the file once that has ended; in the hand-off case without a window,
    // opens the file in its application again. True when one of them happened.
    virtual bool ActivateApplication();
    virtual const CNbxNode& GetNode() const { return node_; }
    virtual const std::string& GetLocalPath() const { return localPath_; }
    virtual const std::string& GetRemotePath() const { return remotePath_; }
    virtual std::uint32_t GetId() const { return id_; }
    virtual MonitorState GetState() const { return static_cast<MonitorState>(state_.load()); }
    // Polls the process and the file and returns the new state; a final state is returned as
    // it is. A local copy that is gone ends the monitor (kMissingPolls).
    virtual MonitorState UpdateStatus();

    // False, with the record logged, when the status cannot be read.
    static bool GetFileStatus(const std::string& path, FileStatus* status);

protected:
    // Moves from `from` to `to` unless another thread changed the state meanwhile; the state
    // in force afterwards.
    MonitorState ChangeState(MonitorState from, MonitorState to);

private:
    MonitorState FileMissing(MonitorState current);

    const std::uint32_t id_;  // milliseconds of the monotonic clock at construction
    std::atomic<int> state_;
    FileStatus reference_;
    const CNbxNode node_;
    const std::string localPath_;
    const std::string remotePath_;
    const std::chrono::steady_clock::time_point created_;

    std::mutex processLock_;
    Utils::LaunchedProcess process_;  // guarded by processLock_

    // The engine thread's own.
    std::unique_ptr<nbx::FileWriteWatch> writes_;
    bool watched_ = false;  // the process ran past the hand-off window
    bool standIn_ = false;  // after a hand-off, a process was seen holding the file
    int missingPolls_ = 0;  // polls in a row that found the local copy gone
    std::atomic<bool> handedOff_{false};
};
