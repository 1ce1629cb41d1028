#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "monitor/file_monitor.h"
#include "nodes/nbx_node.h"
#include "platform/worker_thread.h"

// What the application hears of the watched files, on the monitor manager's engine thread:
// one call per poll of a monitor that is not final, for the state the poll found. A close
// (FMS_CLOSED, FMS_CLOSED_MODIFIED) is reported once; the monitor stays in the list until its
// MarkHandled, so the receiver keeps the monitor (the shared pointer) while it answers, e.g.
// in a posted message. The calls must not wait for the thread that owns the manager.
class IMonitorManagerFileStatusCallback {
public:
    virtual ~IMonitorManagerFileStatusCallback() = default;
    virtual void OnMonitorInvalid(const std::shared_ptr<CNbxFileMonitor>& monitor) = 0;
    virtual void OnMonitorOpened(const std::shared_ptr<CNbxFileMonitor>& monitor) = 0;
    virtual void OnMonitorModified(const std::shared_ptr<CNbxFileMonitor>& monitor) = 0;
    virtual void OnMonitorClosed(const std::shared_ptr<CNbxFileMonitor>& monitor) = 0;
    virtual void OnMonitorClosedModified(const std::shared_ptr<CNbxFileMonitor>& monitor) = 0;
};

// The application's list of watched files and the engine thread that polls them, each about
// every kPollInterval and at once when one is registered, in registration order. Without a
// callback, a close is marked handled at once. Monitors marked handled are removed at the end
// of the next pass.
//
// The engine is never killed: Stop waits for it up to its time-out and otherwise leaves it to
// finish on its own. It shares the list, its lock and the monitors, so all of them outlive a
// manager that is gone; once Stop is called no callback begins any more, and the monitors are
// deleted (the applications they watch run on). Its stop flag and wake event are one
// nbx::WorkerControl.
//
// The callback is held weakly: its owner keeps the shared pointer, and once it has dropped it
// no call begins (closes are then marked handled at once, as without a callback). A call that
// began before holds the callback until it returns, so it must not refer to what its owner
// destroys without a guard of its own.
//
// Start, Stop and the destructor belong to the owning thread; the others may be called from
// any thread. The lock guards the list and is never held while a monitor is polled or the
// callback is called; it may be taken again by the thread that holds it.
class CNbxFileMonitorManager {
public:
    using Monitors = std::vector<std::shared_ptr<CNbxFileMonitor>>;
    static constexpr std::chrono::milliseconds kPollInterval{2500};

    CNbxFileMonitorManager();
    ~CNbxFileMonitorManager();  // Stop()
    CNbxFileMonitorManager(const CNbxFileMonitorManager&) = delete;
    CNbxFileMonitorManager& operator=(const CNbxFileMonitorManager&) = delete;

    void SetStatusCallback(std::weak_ptr<IMonitorManagerFileStatusCallback> callback);

    // False when the engine runs already, or the manager was stopped: it does not start again.
    bool Start();
    // Drops the callback, lets the engine end after the monitor it polls and waits for it;
    // then deletes the monitors. False when the engine did not end within the time-out and is
    // left running (it deletes them itself).
    bool Stop(std::chrono::milliseconds timeout = std::chrono::milliseconds(5000));

    // The manager takes the monitor over; after Stop it is deleted at once.
    void RegisterMonitor(std::unique_ptr<CNbxFileMonitor> monitor);

    // The first monitor, in registration order, of this local path, remote path (both exact)
    // and node (IsSameNode) decides: it is returned while its state is not final, else none.
    std::shared_ptr<CNbxFileMonitor> IsFileOpened(const std::string& localPath,
                                                  const std::string& remotePath,
                                                  const CNbxNode& node) const;
    // Whether a monitor of this local copy holds changes that were neither uploaded nor
    // declined: changed while its application has it (FMS_MODIFIED), or closed changed and
    // not yet answered (FMS_CLOSED_MODIFIED). Such a copy must not be downloaded over.
    bool HasUnsettledChanges(const std::string& localPath) const;
    // The first monitor with the id whose state is not final.
    std::shared_ptr<CNbxFileMonitor> FindLiveMonitor(std::uint32_t id) const;

    // The list, to be read only until UnlockMonitors; the engine neither adds nor removes
    // meanwhile.
    const Monitors& LockMonitors() const;
    void UnlockMonitors() const;
    void ClearMonitors();

    // Cloud-disk nodes are the same by login, other nodes by node name; the two kinds never.
    static bool IsSameNode(const CNbxNode& a, const CNbxNode& b);

private:
    struct Shared;  // what the engine shares with the manager
    static void RunEngine(const std::shared_ptr<Shared>& shared);
    static void Report(Shared& shared, const std::shared_ptr<CNbxFileMonitor>& monitor,
                       MonitorState state);

    std::shared_ptr<Shared> shared_;
    nbx::WorkerThread thread_;
    bool ended_ = true;  // the last Stop found the engine ended
};
