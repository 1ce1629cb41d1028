#include "platform/event.h"

namespace nbx {

Event::Event(Reset mode, bool initiallySet) : mode_(mode), set_(initiallySet) {}

void Event::Set() {
    {
        std::lock_guard lock(mutex_);
        set_ = true;
    }
    if (mode_ == Reset::Manual) {
        cv_.notify_all();
    } else {
        cv_.notify_one();
    }
}

void Event::ResetEvent() {
    std::lock_guard lock(mutex_);
    set_ = false;
}

bool Event::IsSet() const {
    std::lock_guard lock(mutex_);
    return set_;
}

bool Event::Wait(std::chrono::milliseconds timeout) {
    std::unique_lock lock(mutex_);
    if (!cv_.wait_for(lock, timeout, [this] { return set_; })) {
        return false;
    }
    if (mode_ == Reset::Auto) {
        set_ = false;
    }
    return true;
}

void Event::Wait() {
    std::unique_lock lock(mutex_);
    cv_.wait(lock, [this] { return set_; });
    if (mode_ == Reset::Auto) {
        set_ = false;
    }
}

}  // namespace nbx
