#pragma once

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

#include "comn/comn_action.h"
#include "platform/worker_thread.h"
#include "remotefs/progress.h"

// Told the outcome of each action, on the engine thread; the engine waits for each call.
class IComnManagerComnActionCallback {
public:
    virtual void OnComnActionSuccess() = 0;
    virtual void OnComnActionAborted() = 0;
    virtual void OnComnActionError() = 0;

protected:
    ~IComnManagerComnActionCallback() = default;
};

// Told when a batch starts and ends, on the engine thread.
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
// touches is shared with it, and after RequestTerminate it calls no callback and no progress
// dialog.
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

    // These five change nothing while a batch is queued or running.
    void SetAsyncOperationCallback(IComnManagerAsyncOperationCallback* callback);
    void SetComnActionCallback(IComnManagerComnActionCallback* callback);
    void SetProgressHidden(bool hidden);
    void SetProgressKeptOpen(bool keptOpen);
    void SetFixedProgressTotal(bool fixed, int total);

    // Takes the action.
    void RegisterAction(CNbxComnAction* action);
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
    static void Engine(const std::shared_ptr<State>& state, nbx::WorkerControl& control);

    std::shared_ptr<State> state_;
    nbx::WorkerThread engine_;
};
