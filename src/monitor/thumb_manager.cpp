#include "monitor/thumb_manager.h"

#include <cinttypes>
#include <cstdint>
#include <deque>
#include <mutex>

#include "base/session_log.h"
#include "platform/event.h"
#include "platform/format.h"

namespace {

using Thumbs = std::deque<std::shared_ptr<CNbxFileThumb>>;

constexpr std::chrono::milliseconds kIdleWait(5000);

}  // namespace

struct CNbxFileThumbManager::Shared {
    std::mutex lock;
    Thumbs queue;                                       // guarded by lock
    std::shared_ptr<CNbxFileThumb> active;              // guarded by lock
    std::weak_ptr<IFileThumbManagerCallback> callback;  // guarded by lock
    std::uint64_t aborts = 0;  // guarded by lock; a batch ends when this moves on
    // Terminate and the wake event. Terminate is set under the lock, so that a registration
    // either sees it or is dropped with the queue.
    const std::shared_ptr<nbx::WorkerControl> control = std::make_shared<nbx::WorkerControl>();

    bool Terminating() const { return control->StopRequested(); }
    // Under the lock: the callback for one call, held until it returns; none once terminating.
    std::shared_ptr<IFileThumbManagerCallback> CallbackForCall() const {
        return Terminating() ? nullptr : callback.lock();
    }
};

CNbxFileThumbManager::CNbxFileThumbManager() : shared_(std::make_shared<Shared>()) {}

CNbxFileThumbManager::~CNbxFileThumbManager() {
    Stop();
}

void CNbxFileThumbManager::SetCallback(std::weak_ptr<IFileThumbManagerCallback> callback) {
    std::lock_guard guard(shared_->lock);
    if (!shared_->Terminating()) {
        shared_->callback = std::move(callback);
    }
}

bool CNbxFileThumbManager::Start() {
    if (shared_->Terminating()) {
        return false;
    }
    return thread_.Start(shared_->control,
                         [shared = shared_](nbx::WorkerControl&) { RunEngine(shared); });
}

bool CNbxFileThumbManager::Stop(std::chrono::milliseconds timeout) {
    Thumbs dropped;
    std::shared_ptr<CNbxFileThumb> active;
    {
        std::lock_guard guard(shared_->lock);
        shared_->control->RequestStop();
        dropped.swap(shared_->queue);
        active = shared_->active;
        shared_->callback.reset();
    }
    if (active) {
        active->Abort();
    }
    if (thread_.Running()) {
        ended_ = thread_.Stop(timeout);
        if (!ended_) {
            WriteLog(LogLevel::Warning,
                     "CNbxFileThumbManager::Stop(): the engine thread did not end in time; it "
                     "is left to finish on its own.");
        }
    }
    return ended_;
}

void CNbxFileThumbManager::RegisterThumb(std::unique_ptr<CNbxFileThumb> thumb) {
    if (thumb == nullptr) {
        return;
    }
    std::shared_ptr<CNbxFileThumb> refused;
    {
        std::lock_guard guard(shared_->lock);
        if (shared_->Terminating()) {
            refused = std::move(thumb);
        } else {
            shared_->queue.push_back(std::move(thumb));
        }
    }
    if (refused == nullptr) {
        shared_->control->Wake();
    }
}

void CNbxFileThumbManager::AbortThumbs() {
    Thumbs dropped;
    std::shared_ptr<CNbxFileThumb> active;
    {
        std::lock_guard guard(shared_->lock);
        ++shared_->aborts;
        dropped.swap(shared_->queue);
        active = shared_->active;
    }
    // Dropping the queue here, not after the active request, keeps requests that are
    // registered while the aborted transfer winds down.
    if (active) {
        active->Abort();
    }
}

void CNbxFileThumbManager::ClearThumbs() {
    Thumbs dropped;
    std::lock_guard guard(shared_->lock);
    dropped.swap(shared_->queue);
}

void CNbxFileThumbManager::RunEngine(const std::shared_ptr<Shared>& shared) {
    for (;;) {
        RunBatch(*shared);
        {
            std::lock_guard guard(shared->lock);
            if (shared->Terminating()) {
                return;
            }
            if (!shared->queue.empty()) {
                continue;  // registered after an abort: the next batch
            }
        }
        shared->control->WaitForWake(kIdleWait);
    }
}

void CNbxFileThumbManager::RunBatch(Shared& shared) {
    std::shared_ptr<IFileThumbManagerCallback> callback;
    std::uint64_t batch = 0;
    {
        std::lock_guard guard(shared.lock);
        if (shared.Terminating() || shared.queue.empty()) {
            return;
        }
        callback = shared.CallbackForCall();
        batch = shared.aborts;
    }
    if (callback) {
        callback->OnFileThumbDownloadStart();
    }
    callback.reset();
    for (;;) {
        std::shared_ptr<CNbxFileThumb> thumb;
        {
            std::lock_guard guard(shared.lock);
            if (shared.Terminating() || shared.aborts != batch || shared.queue.empty()) {
                break;
            }
            thumb = std::move(shared.queue.front());
            shared.queue.pop_front();
            // Active in the same step as it leaves the queue, so that an abort finds it in
            // one place or the other.
            shared.active = thumb;
        }
        WriteLog(LogLevel::Info,
                 nbx::StrPrintf("CNbxFileThumbManager::NbxFileThumbManagerEngine(): Active thumb "
                                "pointer = 0x%" PRIXPTR,
                                reinterpret_cast<std::uintptr_t>(thumb.get())));
        thumb->Download();
        {
            std::lock_guard guard(shared.lock);
            shared.active.reset();
            callback = shared.aborts == batch ? shared.CallbackForCall() : nullptr;
        }
        if (callback && thumb->GetBitmap() != nullptr) {
            callback->OnFileThumbDownloaded(*thumb);
        }
        callback.reset();
    }
    {
        std::lock_guard guard(shared.lock);
        callback = shared.CallbackForCall();
    }
    if (callback) {
        callback->OnFileThumbDownloadFinish();
    }
}
