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

    // The terminate flag and the wake event.
    const std::shared_ptr<nbx::WorkerControl> control = std::make_shared<nbx::WorkerControl>();
    std::atomic<bool> abortRequested{false};

    // Everything below is guarded by `mutex`.
    std::mutex mutex;
    std::deque<std::unique_ptr<CNbxComnAction>> queue;  // the actions not yet taken
    CNbxComnAction* active = nullptr;
    std::unique_ptr<CNbxComnAction> running;  // taken out of the queue by the engine
    bool batchOpen = false;                   // from the first look at a batch to its end
    std::function<void()> batchDrainedHook;
    std::weak_ptr<IComnManagerAsyncOperationCallback> asyncCallback;
    std::weak_ptr<IComnManagerComnActionCallback> actionCallback;
    bool progressHidden = false;
    bool progressKeptOpen = false;
    bool fixedTotal = false;
    int progressIndex = 0;
    int progressTotal = 0;

    bool Terminating() const { return control->StopRequested(); }
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

void CNbxComnManager::SetAsyncOperationCallback(
    std::weak_ptr<IComnManagerAsyncOperationCallback> callback) {
    std::lock_guard lock(state_->mutex);
    if (state_->Idle()) {
        state_->asyncCallback = std::move(callback);
    }
}

void CNbxComnManager::SetComnActionCallback(
    std::weak_ptr<IComnManagerComnActionCallback> callback) {
    std::lock_guard lock(state_->mutex);
    if (state_->Idle()) {
        state_->actionCallback = std::move(callback);
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

void CNbxComnManager::RegisterAction(std::unique_ptr<CNbxComnAction> action) {
    if (action == nullptr) {
        return;
    }
    {
        std::lock_guard lock(state_->mutex);
        if (action->AsProgressAction() != nullptr && !state_->fixedTotal) {
            ++state_->progressTotal;
        }
        state_->queue.push_back(std::move(action));
    }
    state_->control->Wake();
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
    std::lock_guard lock(state_->mutex);
    if (state_->active != nullptr) {
        state_->active->Abort();
    }
    state_->abortRequested = true;
    state_->control->RequestStop();
}

bool CNbxComnManager::IsBusy() const {
    std::lock_guard lock(state_->mutex);
    return !state_->Idle();
}

void CNbxComnManager::SetBatchDrainedHook(std::function<void()> hook) {
    std::lock_guard lock(state_->mutex);
    state_->batchDrainedHook = std::move(hook);
}

// ---- the engine ---------------------------------------------------------------------------

// One run of the engine thread. A batch keeps the settings and receivers it started with.
class CNbxComnManager::EngineRun {
public:
    explicit EngineRun(std::shared_ptr<State> state) : s_(std::move(state)) {}

    void Run() {
        Idle();
        while (!s_->Terminating()) {
            if (!OpenBatch()) {
                Idle();
                continue;
            }
            BeginBatch();
            while (CNbxComnAction* action = TakeNextAction()) {
                PrepareAction(*action);
                Report(RunAction(*action));
                FinishAction();
                if (s_->Terminating()) {
                    break;
                }
            }
            EndBatch();
            if (s_->Terminating()) {
                break;
            }
            Idle();
        }
        WriteLog(LogLevel::Info,
                 "CNbxComnManager::NbxComnManagerEngine(): Nbx Communication Manager will "
                 "terminate!");
    }

private:
    // Registrations and the stop wake it; the time-out only bounds a missed wake.
    void Idle() { s_->control->WaitForWake(5000ms); }

    // False when the queue is empty; otherwise the batch is open, with its settings taken.
    bool OpenBatch() {
        std::lock_guard lock(s_->mutex);
        s_->batchOpen = !s_->queue.empty();
        if (!s_->batchOpen) {
            return false;
        }
        hidden_ = s_->progressHidden;
        keptOpen_ = s_->progressKeptOpen;
        async_ = s_->asyncCallback;
        actions_ = s_->actionCallback;
        drained_ = s_->batchDrainedHook;
        return true;
    }

    void BeginBatch() {
        Call(async_, [](IComnManagerAsyncOperationCallback& c) { c.OnAsyncOperationStart(); });
        if (!hidden_ && !s_->progress.IsProgressShown()) {
            s_->progress.ShowProgress();
        }
        s_->abortRequested = false;
    }

    // The next action, made the active one, or null when the batch has run out: the last look
    // ends the batch in the same step, so an action registered after it is left for the next
    // batch rather than cleared with this one.
    CNbxComnAction* TakeNextAction() {
        std::lock_guard lock(s_->mutex);
        if (s_->queue.empty()) {
            s_->batchOpen = false;
            if (!s_->fixedTotal) {
                s_->progressIndex = 0;
                s_->progressTotal = 0;
            }
            return nullptr;
        }
        s_->running = std::move(s_->queue.front());
        s_->queue.pop_front();
        CNbxComnAction* action = s_->running.get();
        s_->active = action;
        // A hidden batch shows no count, so it takes no place in a preset total.
        if (action->AsProgressAction() != nullptr && !hidden_) {
            ++s_->progressIndex;
        }
        total_ = s_->progressTotal;
        index_ = s_->progressIndex;
        return action;
    }

    void PrepareAction(CNbxComnAction& action) {
        WriteLog(LogLevel::Info,
                 nbx::StrPrintf("CNbxComnManager::NbxComnManagerEngine(): Active action "
                                "pointer = 0x%" PRIXPTR,
                                reinterpret_cast<std::uintptr_t>(&action)));
        if (!hidden_) {
            s_->progress.SetTotalRange(total_);
            if (CNbxComnProgressAction* progressAction = action.AsProgressAction()) {
                s_->progress.SetTotalPos(index_);
                s_->progress.SetFileName(progressAction->displayName);
                s_->progress.SetCountText(nbx::StrPrintf("%d/%d", index_, total_));
                progressAction->progressDlg = &s_->progress;
            }
        }
        action.fileSystemService = s_->fileSystem;
        action.monitorManager = s_->monitors;
    }

    // The main action, then the follow-up its open mode chooses.
    static int RunAction(CNbxComnAction& action) {
        const int r = action.RunMainAction();
        if (r != ActionResult::Success) {
            return r;
        }
        switch (action.openMode) {
            case OpenMode::None:
                return r;
            case OpenMode::View:
                return action.RunViewAction();
            case OpenMode::ViewReadonly:
                return action.RunViewReadonlyAction();
            case OpenMode::ViewMonitor:
                return action.RunViewMonitorAction();
            default:
                return ActionResult::Error;
        }
    }

    // An error drops the rest of the batch before the receiver hears of it.
    void Report(int result) {
        using Receiver = IComnManagerComnActionCallback;
        switch (result) {
            case ActionResult::Success:
                Call(actions_, [](Receiver& c) { c.OnComnActionSuccess(); });
                break;
            case ActionResult::Error:
                s_->Clear();
                Call(actions_, [](Receiver& c) { c.OnComnActionError(); });
                break;
            case ActionResult::Aborted:
                Call(actions_, [](Receiver& c) { c.OnComnActionAborted(); });
                break;
            default:
                break;
        }
    }

    // The action is deleted here, no longer reachable by an abort; a user abort drops the rest.
    void FinishAction() {
        std::unique_ptr<CNbxComnAction> done;
        {
            std::lock_guard lock(s_->mutex);
            s_->active = nullptr;
            done = std::move(s_->running);
        }
        done.reset();
        if (s_->abortRequested) {
            s_->Clear();
        }
    }

    void EndBatch() {
        if (s_->Terminating()) {
            s_->Clear();
        } else if (drained_) {
            drained_();
        }
        if (!hidden_ && !keptOpen_) {
            s_->progress.HideProgress();
        }
        Call(async_, [](IComnManagerAsyncOperationCallback& c) { c.OnAsyncOperationFinish(0, 0); });
    }

    // The receiver is held for the call; one that is gone, or a manager told to terminate,
    // gets none.
    template <class Receiver, class F>
    void Call(const std::weak_ptr<Receiver>& weak, F call) {
        const std::shared_ptr<Receiver> receiver = weak.lock();
        if (receiver != nullptr && !s_->Terminating()) {
            call(*receiver);
        }
    }

    const std::shared_ptr<State> s_;
    bool hidden_ = false;
    bool keptOpen_ = false;
    std::weak_ptr<IComnManagerAsyncOperationCallback> async_;
    std::weak_ptr<IComnManagerComnActionCallback> actions_;
    std::function<void()> drained_;
    int index_ = 0;
    int total_ = 0;
};

bool CNbxComnManager::Start() {
    return engine_.Start(state_->control,
                         [state = state_](nbx::WorkerControl&) { EngineRun(state).Run(); });
}

bool CNbxComnManager::Stop(std::chrono::milliseconds timeout) {
    RequestTerminate();
    return engine_.Stop(timeout);
}
