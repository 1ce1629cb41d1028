#pragma once

#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <thread>

#include "platform/event.h"

namespace nbx {

// What a worker's body sees: the stop request and the event that wakes it early from a wait.
class WorkerControl {
public:
    bool StopRequested() const { return stop_.load(); }
    // Sleeps up to `timeout` or until woken (by Wake() or a stop); true when woken.
    bool WaitForWake(std::chrono::milliseconds timeout) { return wake_.Wait(timeout); }
    void Wake() { wake_.Set(); }

private:
    friend class WorkerThread;
    std::atomic<bool> stop_{false};
    Event wake_{Event::Reset::Auto};
    Event finished_{Event::Reset::Manual};
};

// One thread running one body. Threads are never killed: Stop() asks the body to end, waits up
// to its time-out, and when the body has not ended by then the thread is detached and finishes
// on its own. The control block is shared with the thread, so it outlives a detached body; the
// body must own (or share) everything else it touches for the same reason.
//
// Start, Stop and the destructor belong to the owning thread; Wake may be called from any thread.
class WorkerThread {
public:
    using Body = std::function<void(WorkerControl&)>;

    WorkerThread() = default;
    WorkerThread(const WorkerThread&) = delete;
    WorkerThread& operator=(const WorkerThread&) = delete;
    ~WorkerThread();  // Stop() with the default time-out

    // False when a thread is already running.
    bool Start(Body body);

    // True when the body ended within the time-out (the thread is joined); false when it was
    // left running detached, or when no thread was started.
    bool Stop(std::chrono::milliseconds timeout = std::chrono::milliseconds(5000));

    void Wake();
    bool Running() const { return thread_.joinable(); }

private:
    std::shared_ptr<WorkerControl> control_;
    std::thread thread_;
};

}  // namespace nbx
