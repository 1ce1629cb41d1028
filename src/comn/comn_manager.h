#pragma once

#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

#include "comn/comn_action.h"
#include "platform/worker_thread.h"
#include "remotefs/progress.h"

// The two receivers below are told on the engine thread, and the engine waits for each call.
// The manager holds them weakly: their owner keeps the shared pointer, and once it has dropped
// it (its window is going) no call begins any more. A call that began before holds the receiver
// until it returns, so a receiver must not refer to what its owner destroys without a guard of
// its own (e.g. reach a window only on the ui thread, through a guarded pointer).

// Told the outcome of each action.
class IComnManagerComnActionCallback {
public:
    virtual void OnComnActionSuccess() = 0;
    virtual void OnComnActionAborted() = 0;
    virtual void OnComnActionError() = 0;

protected:
    ~IComnManagerComnActionCallback() = default;
};

// Told when a batch starts and ends.
class IComnManagerAsyncOperationCallback {
public:
    virtual void OnAsyncOperationStart() = 0;
    virtual void OnAsyncOperationFinish(int result, int effect) = 0;

protected:
    ~IComnManagerAsyncOperationCallback() = default;
};

// The queue of one explorer frame: actions registered from any thread run one after another
// on the manager's engine thread, in batches. A batch is what the queue holds from its first
// action until it has been worked through; actions registered meanwhile join it, with the
// batch's settings. An error drops the rest of the batch; a user abort drops it after the
// running action. The engine drives the progress dialog (only for progress actions) and calls
// the callbacks on its own thread.
//
// Threads: Start, Stop and the destructor belong to the owner's thread; the setters,
// RegisterAction, RequestAbort and RequestTerminate may be called from any thread. A stop
// waits 5000 ms for the engine and then leaves it to end by itself: everything the engine
// touches is shared with it, and after RequestTerminate it begins no callback and no progress
// dialog call. The engine's stop flag and wake event are one nbx::WorkerControl, which
// RequestTerminate sets without waiting.
class CNbxComnManager {
public:
    CNbxComnManager();
    ~CNbxComnManager();  // RequestTerminate and Stop; deletes what is left in the queue
    CNbxComnManager(const CNbxComnManager&) = delete;
    CNbxComnManager& operator=(const CNbxComnManager&) = delete;

    // Filled in by the owner before Start; not owned, so they must outlive the engine, also
    // one that a stop left running.
    void SetFileSystemService(CNbxFileSystemService* service);
    void SetMonitorManager(CNbxFileMonitorManager* manager);
    // Shared with the engine instead: they live until the engine has ended, whenever that is.
    void SetFileSystemService(std::shared_ptr<CNbxFileSystemService> service);
    void SetMonitorManager(std::shared_ptr<CNbxFileMonitorManager> manager);
    void SetProgressDlg(CNbxComnProgressDlg* dialog);

    bool Start();
    // True when the engine ended within the time-out.
    bool Stop(std::chrono::milliseconds timeout = std::chrono::milliseconds(5000));

    // These five change nothing while a batch is queued or running. An empty receiver: no calls.
    void SetAsyncOperationCallback(std::weak_ptr<IComnManagerAsyncOperationCallback> callback);
    void SetComnActionCallback(std::weak_ptr<IComnManagerComnActionCallback> callback);
    void SetProgressHidden(bool hidden);
    void SetProgressKeptOpen(bool keptOpen);
    void SetFixedProgressTotal(bool fixed, int total);

    void RegisterAction(std::unique_ptr<CNbxComnAction> action);
    void ClearActions();

    void RequestAbort();
    void RequestTerminate();

    // For tests and the frame: whether a batch is queued or running.
    bool IsBusy() const;
    // For tests: called on the engine thread when a batch has run its last action, before the
    // batch ends (progress hidden, finish callback).
    void SetBatchDrainedHook(std::function<void()> hook);

private:
    struct State;
    class EngineRun;  // the engine's loop, step by step

    std::shared_ptr<State> state_;
    nbx::WorkerThread engine_;
};
