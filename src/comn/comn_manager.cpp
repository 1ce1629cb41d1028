#include "comn/comn_manager.h"

#include <cinttypes>
#include <deque>
#include <functional>

#include "base/session_log.h"
#include "platform/event.h"
#include "platform/format.h"

using namespace std::chrono_literals;

namespace {

// Hands progress to the frame's dialog for as long as it may be used: once the manager is told
// to terminate, the dialog may be gone, and every call is dropped. Actions and transfers get
// this instead of the dialog itself, so a transfer still running then cannot reach it.
class GuardedProgress : public CNbxComnProgressDlg {
public:
    void Attach(CNbxComnProgressDlg* dialog) {
        std::lock_guard lock(mutex_);
        dialog_ = dialog;
    }
    bool Attached() {
        std::lock_guard lock(mutex_);
        return dialog_ != nullptr;
    }

    void SetFileName(const std::string& t) override {
        Call([&](auto* d) { d->SetFileName(t); });
    }
    void SetSpeedText(const std::string& t) override {
        Call([&](auto* d) { d->SetSpeedText(t); });
    }
    void SetCountText(const std::string& t) override {
        Call([&](auto* d) { d->SetCountText(t); });
    }
    void SetTotalRange(int n) override {
        Call([&](auto* d) { d->SetTotalRange(n); });
    }
    void SetFileRange(std::uint64_t n) override {
        Call([&](auto* d) { d->SetFileRange(n); });
    }
    void SetFilePos(std::uint64_t n) override {
        Call([&](auto* d) { d->SetFilePos(n); });
    }
    void SetTotalPos(int n) override {
        Call([&](auto* d) { d->SetTotalPos(n); });
    }
    void ShowProgress() override {
        Call([](auto* d) { d->ShowProgress(); });
    }
    void HideProgress() override {
        Call([](auto* d) { d->HideProgress(); });
    }
    bool IsProgressShown() override {
        bool shown = false;
        Call([&](auto* d) { shown = d->IsProgressShown(); });
        return shown;
    }
    bool IsProgressWindow() override {
        bool exists = false;
        Call([&](auto* d) { exists = d->IsProgressWindow(); });
        return exists;
    }

private:
    template <class F>
    void Call(F f) {
        std::lock_guard lock(mutex_);
        if (dialog_ != nullptr) {
            f(dialog_);
        }
    }
    std::mutex mutex_;
    CNbxComnProgressDlg* dialog_ = nullptr;
};

}  // namespace

struct CNbxComnManager::State {
    std::atomic<CNbxFileSystemService*> fileSystem{nullptr};
    std::atomic<CNbxFileMonitorManager*> monitors{nullptr};
    // When given with shared ownership: kept as long as the engine keeps the state.
    std::shared_ptr<CNbxFileSystemService> fileSystemOwner;  // guarded by `mutex`
    std::shared_ptr<CNbxFileMonitorManager> monitorsOwner;   // guarded by `mutex`
    GuardedProgress progress;

    std::atomic<bool> terminate{false};
    std::atomic<bool> abortRequested{false};
    nbx::Event wake{nbx::Event::Reset::Auto};

    // Everything below is guarded by `mutex`.
    std::mutex mutex;
    std::deque<std::unique_ptr<CNbxComnAction>> queue;  // the actions not yet taken
    CNbxComnAction* active = nullptr;
    std::unique_ptr<CNbxComnAction> running;  // taken out of the queue by the engine
    bool batchOpen = false;                   // from the first look at a batch to its end
    std::function<void()> batchDrainedHook;
    IComnManagerAsyncOperationCallback* asyncCallback = nullptr;
    IComnManagerComnActionCallback* actionCallback = nullptr;
    bool progressHidden = false;
    bool progressKeptOpen = false;
    bool fixedTotal = false;
    int progressIndex = 0;
    int progressTotal = 0;

    void Clear() {
        std::deque<std::unique_ptr<CNbxComnAction>> doomed;
        {
            std::lock_guard lock(mutex);
            doomed.swap(queue);
            if (!fixedTotal) {
                progressIndex = 0;
                progressTotal = 0;
            }
        }
    }
    // Under `mutex`: the settings belong to the batch until its end.
    bool Idle() const { return queue.empty() && !batchOpen; }
};

CNbxComnManager::CNbxComnManager() : state_(std::make_shared<State>()) {}

CNbxComnManager::~CNbxComnManager() {
    Stop();
    state_->Clear();
}

void CNbxComnManager::SetFileSystemService(CNbxFileSystemService* service) {
    state_->fileSystem = service;
}

void CNbxComnManager::SetMonitorManager(CNbxFileMonitorManager* manager) {
    state_->monitors = manager;
}

void CNbxComnManager::SetFileSystemService(std::shared_ptr<CNbxFileSystemService> service) {
    std::lock_guard lock(state_->mutex);
    state_->fileSystem = service.get();
    state_->fileSystemOwner = std::move(service);
}

void CNbxComnManager::SetMonitorManager(std::shared_ptr<CNbxFileMonitorManager> manager) {
    std::lock_guard lock(state_->mutex);
    state_->monitors = manager.get();
    state_->monitorsOwner = std::move(manager);
}

void CNbxComnManager::SetProgressDlg(CNbxComnProgressDlg* dialog) {
    state_->progress.Attach(dialog);
}

bool CNbxComnManager::Start() {
    return engine_.Start([state = state_](nbx::WorkerControl& control) { Engine(state, control); });
}

bool CNbxComnManager::Stop(std::chrono::milliseconds timeout) {
    RequestTerminate();
    return engine_.Stop(timeout);
}

void CNbxComnManager::SetAsyncOperationCallback(IComnManagerAsyncOperationCallback* callback) {
    std::lock_guard lock(state_->mutex);
    if (state_->Idle()) {
        state_->asyncCallback = callback;
    }
}

void CNbxComnManager::SetComnActionCallback(IComnManagerComnActionCallback* callback) {
    std::lock_guard lock(state_->mutex);
    if (state_->Idle()) {
        state_->actionCallback = callback;
    }
}

void CNbxComnManager::SetProgressHidden(bool hidden) {
    std::lock_guard lock(state_->mutex);
    if (state_->Idle()) {
        state_->progressHidden = hidden;
    }
}

void CNbxComnManager::SetProgressKeptOpen(bool keptOpen) {
    std::lock_guard lock(state_->mutex);
    if (state_->Idle()) {
        state_->progressKeptOpen = keptOpen;
    }
}

void CNbxComnManager::SetFixedProgressTotal(bool fixed, int total) {
    std::lock_guard lock(state_->mutex);
    if (state_->Idle()) {
        state_->progressIndex = 0;
        state_->progressTotal = fixed ? total : 0;
        state_->fixedTotal = fixed;
    }
}

void CNbxComnManager::RegisterAction(CNbxComnAction* action) {
    if (action == nullptr) {
        return;
    }
    {
        std::lock_guard lock(state_->mutex);
        if (action->AsProgressAction() != nullptr && !state_->fixedTotal) {
            ++state_->progressTotal;
        }
        state_->queue.emplace_back(action);
    }
    state_->wake.Set();
}

void CNbxComnManager::ClearActions() {
    state_->Clear();
}

void CNbxComnManager::RequestAbort() {
    // Under the lock, so the action cannot be deleted between the look and the call.
    std::lock_guard lock(state_->mutex);
    if (state_->active != nullptr) {
        state_->active->Abort();
    }
    state_->abortRequested = true;
}

void CNbxComnManager::RequestTerminate() {
    state_->progress.Attach(nullptr);
    {
        std::lock_guard lock(state_->mutex);
        if (state_->active != nullptr) {
            state_->active->Abort();
        }
        state_->abortRequested = true;
        state_->terminate = true;
    }
    state_->wake.Set();
}

bool CNbxComnManager::IsBusy() const {
    std::lock_guard lock(state_->mutex);
    return !state_->Idle();
}

void CNbxComnManager::SetBatchDrainedHook(std::function<void()> hook) {
    std::lock_guard lock(state_->mutex);
    state_->batchDrainedHook = std::move(hook);
}

void CNbxComnManager::Engine(const std::shared_ptr<State>& s, nbx::WorkerControl&) {
    s->wake.Wait(5000ms);
    while (!s->terminate) {
        bool empty = false;
        bool hidden = false;
        bool keptOpen = false;
        IComnManagerAsyncOperationCallback* async = nullptr;
        IComnManagerComnActionCallback* actionCallback = nullptr;
        std::function<void()> drained;
        {
            std::lock_guard lock(s->mutex);
            empty = s->queue.empty();
            s->batchOpen = !empty;
            drained = s->batchDrainedHook;
            // The batch keeps the settings it started with.
            hidden = s->progressHidden;
            keptOpen = s->progressKeptOpen;
            async = s->asyncCallback;
            actionCallback = s->actionCallback;
        }
        if (empty) {
            s->wake.Wait(5000ms);
            continue;
        }
        if (async != nullptr && !s->terminate) {
            async->OnAsyncOperationStart();
        }
        if (!hidden && !s->progress.IsProgressShown()) {
            s->progress.ShowProgress();
        }
        s->abortRequested = false;

        for (;;) {
            CNbxComnAction* action = nullptr;
            int total = 0;
            int index = 0;
            {
                std::lock_guard lock(s->mutex);
                if (s->queue.empty()) {
                    // The last look ends the batch in the same step, so an action registered
                    // after it is left for the next batch rather than cleared with this one.
                    s->batchOpen = false;
                    if (!s->fixedTotal) {
                        s->progressIndex = 0;
                        s->progressTotal = 0;
                    }
                    break;
                }
                s->running = std::move(s->queue.front());
                s->queue.pop_front();
                action = s->running.get();
                s->active = action;
                // A hidden batch shows no count, so it takes no place in a preset total.
                if (action->AsProgressAction() != nullptr && !hidden) {
                    ++s->progressIndex;
                }
                total = s->progressTotal;
                index = s->progressIndex;
            }
            WriteLog(LogLevel::Info,
                     nbx::StrPrintf("CNbxComnManager::NbxComnManagerEngine(): Active action "
                                    "pointer = 0x%" PRIXPTR,
                                    reinterpret_cast<std::uintptr_t>(action)));
            CNbxComnProgressAction* progressAction = action->AsProgressAction();
            if (!hidden) {
                s->progress.SetTotalRange(total);
                if (progressAction != nullptr) {
                    s->progress.SetTotalPos(index);
                    s->progress.SetFileName(progressAction->displayName);
                    s->progress.SetCountText(nbx::StrPrintf("%d/%d", index, total));
                    progressAction->progressDlg = &s->progress;
                }
            }
            action->fileSystemService = s->fileSystem;
            action->monitorManager = s->monitors;

            int r = action->RunMainAction();
            if (r == ActionResult::Success) {
                switch (action->openMode) {
                    case OpenMode::None:
                        break;
                    case OpenMode::View:
                        r = action->RunViewAction();
                        break;
                    case OpenMode::ViewReadonly:
                        r = action->RunViewReadonlyAction();
                        break;
                    case OpenMode::ViewMonitor:
                        r = action->RunViewMonitorAction();
                        break;
                    default:
                        r = ActionResult::Error;
                        break;
                }
            }
            const bool report = actionCallback != nullptr && !s->terminate;
            if (r == ActionResult::Success && report) {
                actionCallback->OnComnActionSuccess();
            } else if (r == ActionResult::Error) {
                s->Clear();
                if (report) {
                    actionCallback->OnComnActionError();
                }
            } else if (r == ActionResult::Aborted && report) {
                actionCallback->OnComnActionAborted();
            }
            std::unique_ptr<CNbxComnAction> done;
            {
                std::lock_guard lock(s->mutex);
                s->active = nullptr;
                done = std::move(s->running);
            }
            done.reset();
            if (s->abortRequested) {
                s->Clear();
            }
            if (s->terminate) {
                break;
            }
        }
        if (s->terminate) {
            s->Clear();
        } else if (drained) {
            drained();
        }
        if (!hidden && !keptOpen) {
            s->progress.HideProgress();
        }
        if (async != nullptr && !s->terminate) {
            async->OnAsyncOperationFinish(0, 0);
        }
        if (s->terminate) {
            break;
        }
        s->wake.Wait(5000ms);
    }
    WriteLog(LogLevel::Info,
             "CNbxComnManager::NbxComnManagerEngine(): Nbx Communication Manager will terminate!");
}
