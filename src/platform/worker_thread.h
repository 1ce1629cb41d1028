#pragma once

#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <thread>

#include "platform/event.h"

namespace nbx {

// A worker's stop flag and the event that wakes it early from a wait, shared by the worker's
// body and whoever may ask it to stop. An engine that must be told to stop before it is joined
// (or without ever being joined) keeps one of its own and hands it to WorkerThread::Start;
// otherwise the thread makes one per start. The flag, once set, stays set.
//
// Every operation may be called from any thread.
class WorkerControl {
public:
    bool StopRequested() const { return stop_.load(); }
    // Sets the flag and wakes the body.
    void RequestStop() {
        stop_.store(true);
        wake_.Set();
    }
    // Sleeps up to `timeout` or until woken (by Wake() or a stop); true when woken. A wake
    // that came while the body was not waiting is kept for its next wait.
    bool WaitForWake(std::chrono::milliseconds timeout) { return wake_.Wait(timeout); }
    void Wake() { wake_.Set(); }

private:
    std::atomic<bool> stop_{false};
    Event wake_{Event::Reset::Auto};
};

// One thread running one body. Threads are never killed: Stop() asks the body to end, waits up
// to its time-out, and when the body has not ended by then the thread is detached and finishes
// on its own. The control block is shared with the thread, so it outlives a detached body; the
// body must own (or share) everything else it touches for the same reason.
//
// Start, Stop, WaitForEnd and the destructor belong to the owning thread; Wake may be called
// from any thread.
class WorkerThread {
public:
    using Body = std::function<void(WorkerControl&)>;

    WorkerThread() = default;
    WorkerThread(const WorkerThread&) = delete;
    WorkerThread& operator=(const WorkerThread&) = delete;
    ~WorkerThread();  // Stop() with the default time-out

    // False when a thread is already running (also one whose body has ended but that was not
    // stopped yet). The first form makes a fresh control block; the second runs the body on
    // the caller's, whose stop flag may already be set.
    bool Start(Body body);
    bool Start(std::shared_ptr<WorkerControl> control, Body body);

    // Requests the stop on the control block and waits. True when the body ended within the
    // time-out (the thread is joined); false when it was left running detached, or when no
    // thread was started.
    bool Stop(std::chrono::milliseconds timeout = std::chrono::milliseconds(5000));

    // Waits up to `timeout` for the body to return, without asking it to; true when it has.
    // False when no thread was started.
    bool WaitForEnd(std::chrono::milliseconds timeout) const;

    void Wake();
    // A thread was started and not stopped yet; its body may have ended.
    bool Running() const { return thread_.joinable(); }
    // A thread was started and its body has returned.
    bool Ended() const { return Running() && finished_->IsSet(); }

private:
    std::shared_ptr<WorkerControl> control_;
    std::shared_ptr<Event> finished_;
    std::thread thread_;
};

}  // namespace nbx
