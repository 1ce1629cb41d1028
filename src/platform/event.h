#pragma once

#include <chrono>
#include <condition_variable>
#include <mutex>

namespace nbx {

// A signalled/non-signalled flag that threads wait on, as the engines and sessions use it.
// An auto-reset event lets exactly one waiter through per Set() and falls back to unsignalled;
// a manual-reset event stays signalled, releasing every waiter, until Reset().
// All members may be called from any thread.
class Event {
public:
    enum class Reset { Auto, Manual };

    explicit Event(Reset mode = Reset::Auto, bool initiallySet = false);
    Event(const Event&) = delete;
    Event& operator=(const Event&) = delete;

    void Set();
    void ResetEvent();
    bool IsSet() const;

    // Waits until the event is signalled; false when the time-out ran out first.
    bool Wait(std::chrono::milliseconds timeout);
    void Wait();

private:
    const Reset mode_;
    mutable std::mutex mutex_;
    std::condition_variable cv_;
    bool set_;
};

}  // namespace nbx
