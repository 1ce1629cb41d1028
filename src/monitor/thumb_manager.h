#pragma once

#include <chrono>
#include <memory>

#include "monitor/thumb.h"
#include "platform/worker_thread.h"

// What the view hears from its thumbnail manager, always on the engine thread. Each batch is
// bracketed by OnFileThumbDownloadStart and OnFileThumbDownloadFinish; in between, every
// request that produced a bitmap arrives in OnFileThumbDownloaded, whose thumb is deleted once
// the call returns, so the view takes the bitmap (TakeBitmap) during the call. The callbacks
// may call the manager's RegisterThumb, AbortThumbs and ClearThumbs.
class IFileThumbManagerCallback {
public:
    virtual ~IFileThumbManagerCallback() = default;
    virtual void OnFileThumbDownloadStart() = 0;
    virtual void OnFileThumbDownloadFinish() = 0;
    virtual void OnFileThumbDownloaded(CNbxFileThumb& thumb) = 0;
};

// A frame's thumbnail queue and the engine thread that downloads it, one request after another,
// in registration order. A batch runs while the queue holds requests, including those
// registered during it.
//
// AbortThumbs (the frame navigates away) ends the running batch at once: the active request's
// transfer is aborted, the queued ones are deleted without download, no bitmap of that batch
// is delivered afterwards, and OnFileThumbDownloadFinish still follows. Requests registered
// after the call belong to the next batch. A delivery already under way when AbortThumbs is
// called may still complete; the thumb's path tells which folder it is of.
//
// The engine is never killed: Stop waits for it up to its time-out and otherwise leaves it to
// finish on its own. It shares the queue, its lock and the requests, so all of them outlive a
// manager that is gone; once Stop is called no further callback begins. Its stop flag and wake
// event are one nbx::WorkerControl.
//
// The callback is held weakly: its owner keeps the shared pointer, and once it has dropped it
// no call begins. A call that began before holds the callback until it returns, so it must not
// refer to what its owner destroys without a guard of its own (the view's posts to itself
// through a guarded pointer).
//
// Start, Stop and the destructor belong to the owning thread; the others may be called from
// any thread. The lock guards the queue and is never held during a download or a callback.
class CNbxFileThumbManager {
public:
    CNbxFileThumbManager();
    ~CNbxFileThumbManager();  // Stop()
    CNbxFileThumbManager(const CNbxFileThumbManager&) = delete;
    CNbxFileThumbManager& operator=(const CNbxFileThumbManager&) = delete;

    // Empty: no calls.
    void SetCallback(std::weak_ptr<IFileThumbManagerCallback> callback);

    // False when the engine runs already, or the manager was stopped: it does not start again.
    bool Start();
    // Aborts the active request, deletes the queued ones, drops the callback and waits for the
    // engine. False when the engine did not end within the time-out and is left running.
    bool Stop(std::chrono::milliseconds timeout = std::chrono::milliseconds(5000));

    // The manager takes the request over; after Stop it is deleted at once.
    void RegisterThumb(std::unique_ptr<CNbxFileThumb> thumb);
    void AbortThumbs();
    // Deletes the queued requests; the active one runs on.
    void ClearThumbs();

private:
    struct Shared;  // what the engine shares with the manager
    static void RunEngine(const std::shared_ptr<Shared>& shared);
    static void RunBatch(Shared& shared);

    std::shared_ptr<Shared> shared_;
    nbx::WorkerThread thread_;
    bool ended_ = true;  // the last Stop found the engine ended
};
