#include "monitor/file_monitor_manager.h"

#include <cinttypes>
#include <mutex>
#include <utility>

#include "base/session_log.h"
#include "platform/event.h"
#include "platform/format.h"

struct CNbxFileMonitorManager::Shared {
    mutable std::recursive_mutex lock;
    Monitors monitors;                                          // guarded by lock
    std::weak_ptr<IMonitorManagerFileStatusCallback> callback;  // guarded by lock
    // Terminate and the wake event. Terminate is set under the lock, so that a registration
    // either sees it or is cleared with the list.
    const std::shared_ptr<nbx::WorkerControl> control = std::make_shared<nbx::WorkerControl>();

    bool Terminating() const { return control->StopRequested(); }
};

CNbxFileMonitorManager::CNbxFileMonitorManager() : shared_(std::make_shared<Shared>()) {}

CNbxFileMonitorManager::~CNbxFileMonitorManager() {
    Stop();
}

void CNbxFileMonitorManager::SetStatusCallback(
    std::weak_ptr<IMonitorManagerFileStatusCallback> callback) {
    std::lock_guard guard(shared_->lock);
    if (!shared_->Terminating()) {
        shared_->callback = std::move(callback);
    }
}

bool CNbxFileMonitorManager::Start() {
    if (shared_->Terminating()) {
        return false;
    }
    return thread_.Start(shared_->control,
                         [shared = shared_](nbx::WorkerControl&) { RunEngine(shared); });
}

bool CNbxFileMonitorManager::Stop(std::chrono::milliseconds timeout) {
    {
        std::lock_guard guard(shared_->lock);
        shared_->control->RequestStop();
        shared_->callback.reset();
    }
    if (thread_.Running()) {
        ended_ = thread_.Stop(timeout);
        if (!ended_) {
            WriteLog(LogLevel::Warning,
                     "CNbxFileMonitorManager::Stop(): the engine thread did not end in time; it "
                     "is left to finish on its own.");
        }
    }
    if (ended_) {
        ClearMonitors();
    }
    return ended_;
}

void CNbxFileMonitorManager::RegisterMonitor(std::unique_ptr<CNbxFileMonitor> monitor) {
    if (monitor == nullptr) {
        return;
    }
    std::unique_ptr<CNbxFileMonitor> refused;
    {
        std::lock_guard guard(shared_->lock);
        if (shared_->Terminating()) {
            refused = std::move(monitor);
        } else {
            shared_->monitors.push_back(std::move(monitor));
        }
    }
    if (refused == nullptr) {
        shared_->control->Wake();
    }
}

bool CNbxFileMonitorManager::IsSameNode(const CNbxNode& a, const CNbxNode& b) {
    const bool aDisk = a.device_type == DeviceKind::Disk;
    const bool bDisk = b.device_type == DeviceKind::Disk;
    if (aDisk != bDisk) {
        return false;
    }
    return aDisk ? a.login == b.login : a.node_name == b.node_name;
}

std::shared_ptr<CNbxFileMonitor> CNbxFileMonitorManager::IsFileOpened(const std::string& localPath,
                                                                      const std::string& remotePath,
                                                                      const CNbxNode& node) const {
    std::lock_guard guard(shared_->lock);
    for (const auto& monitor : shared_->monitors) {
        if (monitor->GetLocalPath() == localPath && monitor->GetRemotePath() == remotePath &&
            IsSameNode(monitor->GetNode(), node)) {
            return monitor->GetState() < FMS_CLOSED ? monitor : nullptr;
        }
    }
    return nullptr;
}

bool CNbxFileMonitorManager::HasUnsettledChanges(const std::string& localPath) const {
    std::lock_guard guard(shared_->lock);
    for (const auto& monitor : shared_->monitors) {
        const MonitorState state = monitor->GetState();
        if (monitor->GetLocalPath() == localPath &&
            (state == FMS_MODIFIED || state == FMS_CLOSED_MODIFIED)) {
            return true;
        }
    }
    return false;
}

std::shared_ptr<CNbxFileMonitor> CNbxFileMonitorManager::FindLiveMonitor(std::uint32_t id) const {
    std::lock_guard guard(shared_->lock);
    for (const auto& monitor : shared_->monitors) {
        if (monitor->GetId() == id && monitor->GetState() < FMS_CLOSED) {
            return monitor;
        }
    }
    return nullptr;
}

const CNbxFileMonitorManager::Monitors& CNbxFileMonitorManager::LockMonitors() const {
    shared_->lock.lock();
    return shared_->monitors;
}

void CNbxFileMonitorManager::UnlockMonitors() const {
    shared_->lock.unlock();
}

void CNbxFileMonitorManager::ClearMonitors() {
    Monitors dropped;
    {
        std::lock_guard guard(shared_->lock);
        dropped.swap(shared_->monitors);
    }
    // Deleted outside the lock; monitors that a receiver still keeps go with its last copy.
}

void CNbxFileMonitorManager::Report(Shared& shared, const std::shared_ptr<CNbxFileMonitor>& monitor,
                                    MonitorState state) {
    std::shared_ptr<IMonitorManagerFileStatusCallback> callback;
    {
        std::lock_guard guard(shared.lock);
        if (shared.Terminating()) {
            return;
        }
        // Held for the call.
        callback = shared.callback.lock();
    }
    if (callback == nullptr) {
        if (state == FMS_CLOSED || state == FMS_CLOSED_MODIFIED) {
            monitor->MarkHandled();
        }
        return;
    }
    switch (state) {
        case FMS_INVALID:
            callback->OnMonitorInvalid(monitor);
            break;
        case FMS_OPENED:
            callback->OnMonitorOpened(monitor);
            break;
        case FMS_MODIFIED:
            callback->OnMonitorModified(monitor);
            break;
        case FMS_CLOSED:
            callback->OnMonitorClosed(monitor);
            break;
        case FMS_CLOSED_MODIFIED:
            callback->OnMonitorClosedModified(monitor);
            break;
        default:
            break;  // marked handled while it was polled
    }
}

void CNbxFileMonitorManager::RunEngine(const std::shared_ptr<Shared>& shared) {
    shared->control->WaitForWake(kPollInterval);
    for (;;) {
        // Indexes stay valid between the lock's turns: only this thread removes, and a
        // clear leaves the index past the end.
        for (std::size_t i = 0;; ++i) {
            std::shared_ptr<CNbxFileMonitor> monitor;
            {
                std::lock_guard guard(shared->lock);
                if (shared->Terminating() || i >= shared->monitors.size()) {
                    break;
                }
                monitor = shared->monitors[i];
            }
            WriteLog(LogLevel::Info,
                     nbx::StrPrintf("CNbxFileMonitorManager::NbxMonitorManagerEngine(): Active "
                                    "monitor pointer = 0x%" PRIXPTR,
                                    reinterpret_cast<std::uintptr_t>(monitor.get())));
            if (monitor->GetState() < FMS_CLOSED) {
                Report(*shared, monitor, monitor->UpdateStatus());
            }
        }
        Monitors purged;
        {
            std::lock_guard guard(shared->lock);
            if (shared->Terminating()) {
                purged.swap(shared->monitors);
                return;
            }
            Monitors& list = shared->monitors;
            for (std::size_t i = list.size(); i-- > 0;) {
                if (list[i]->GetState() == FMS_HANDLED) {
                    purged.push_back(std::move(list[i]));
                    list.erase(list.begin() + static_cast<std::ptrdiff_t>(i));
                }
            }
        }
        purged.clear();
        shared->control->WaitForWake(kPollInterval);
    }
}
