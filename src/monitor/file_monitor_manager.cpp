#include "monitor/file_monitor_manager.h"

#include <cinttypes>
#include <mutex>
#include <utility>

#include "base/session_log.h"
#include "platform/event.h"
#include "platform/format.h"

struct CNbxFileMonitorManager::Shared {
    mutable std::recursive_mutex lock;
    Monitors monitors;                                            // guarded by lock
    std::shared_ptr<IMonitorManagerFileStatusCallback> callback;  // guarded by lock
    bool terminate = false;                                       // guarded by lock
    nbx::Event wake{nbx::Event::Reset::Auto};
};

CNbxFileMonitorManager::CNbxFileMonitorManager() : shared_(std::make_shared<Shared>()) {}

CNbxFileMonitorManager::~CNbxFileMonitorManager() {
    Stop();
}

void CNbxFileMonitorManager::SetStatusCallback(
    std::shared_ptr<IMonitorManagerFileStatusCallback> callback) {
    {
        std::lock_guard guard(shared_->lock);
        if (!shared_->terminate) {
            shared_->callback.swap(callback);
        }
    }
    // The callback replaced (or refused) is released here, outside the lock.
}

bool CNbxFileMonitorManager::Start() {
    {
        std::lock_guard guard(shared_->lock);
        if (shared_->terminate) {
            return false;
        }
    }
    return thread_.Start([shared = shared_](nbx::WorkerControl&) { RunEngine(shared); });
}

bool CNbxFileMonitorManager::Stop(std::chrono::milliseconds timeout) {
    std::shared_ptr<IMonitorManagerFileStatusCallback> callback;
    {
        std::lock_guard guard(shared_->lock);
        shared_->terminate = true;
        callback.swap(shared_->callback);
    }
    shared_->wake.Set();
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
        if (shared_->terminate) {
            refused = std::move(monitor);
        } else {
            shared_->monitors.push_back(std::move(monitor));
        }
    }
    if (refused == nullptr) {
        shared_->wake.Set();
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
        if (shared.terminate) {
            return;
        }
        callback = shared.callback;
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
    shared->wake.Wait(kPollInterval);
    for (;;) {
        // Indexes stay valid between the lock's turns: only this thread removes, and a
        // clear leaves the index past the end.
        for (std::size_t i = 0;; ++i) {
            std::shared_ptr<CNbxFileMonitor> monitor;
            {
                std::lock_guard guard(shared->lock);
                if (shared->terminate || i >= shared->monitors.size()) {
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
            if (shared->terminate) {
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
        shared->wake.Wait(kPollInterval);
    }
}
