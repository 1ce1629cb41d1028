#include "platform/worker_thread.h"

namespace nbx {

WorkerThread::~WorkerThread() {
    Stop();
}

bool WorkerThread::Start(Body body) {
    return Start(std::make_shared<WorkerControl>(), std::move(body));
}

bool WorkerThread::Start(std::shared_ptr<WorkerControl> control, Body body) {
    if (thread_.joinable() || control == nullptr) {
        return false;
    }
    control_ = std::move(control);
    finished_ = std::make_shared<Event>(Event::Reset::Manual);
    thread_ = std::thread([control = control_, finished = finished_, body = std::move(body)] {
        body(*control);
        finished->Set();
    });
    return true;
}

bool WorkerThread::Stop(std::chrono::milliseconds timeout) {
    if (!thread_.joinable()) {
        return false;
    }
    control_->RequestStop();
    const bool ended = finished_->Wait(timeout);
    if (ended) {
        thread_.join();
    } else {
        thread_.detach();
    }
    control_.reset();
    return ended;
}

bool WorkerThread::WaitForEnd(std::chrono::milliseconds timeout) const {
    return thread_.joinable() && finished_->Wait(timeout);
}

void WorkerThread::Wake() {
    if (control_) {
        control_->Wake();
    }
}

}  // namespace nbx
