#include "platform/worker_thread.h"

namespace nbx {

WorkerThread::~WorkerThread() {
    Stop();
}

bool WorkerThread::Start(Body body) {
    if (thread_.joinable()) {
        return false;
    }
    control_ = std::make_shared<WorkerControl>();
    thread_ = std::thread([control = control_, body = std::move(body)] {
        body(*control);
        control->finished_.Set();
    });
    return true;
}

bool WorkerThread::Stop(std::chrono::milliseconds timeout) {
    if (!thread_.joinable()) {
        return false;
    }
    control_->stop_.store(true);
    control_->wake_.Set();
    const bool ended = control_->finished_.Wait(timeout);
    if (ended) {
        thread_.join();
    } else {
        thread_.detach();
    }
    control_.reset();
    return ended;
}

void WorkerThread::Wake() {
    if (control_) {
        control_->wake_.Set();
    }
}

}  // namespace nbx
