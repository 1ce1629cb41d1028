#pragma once

#include <chrono>
#include <functional>
#include <memory>
#include <string>

#include "platform/worker_thread.h"

class CNbxNodeList;

// Told each node's reachability, on the pass's thread, in the node list's order. The pass
// waits for each call; a receiver may hand the state on synchronously to another thread as
// long as that thread serves it also while it stops the engine (see Stop).
class INodeStateReceiver {
public:
    virtual void OnNodeState(const std::string& title, int state) = 0;  // state: NodeState

protected:
    ~INodeStateReceiver() = default;
};

// The node-state pass: on a thread of its own, after kStartDelay, loads a private node list
// (the one the windows show is not touched), asks each node _CHECK_ONLINE in turn and reports
// the state to the receiver: 200 online, 502 or 504 offline, anything else (no answer, an
// abort) unknown. One pass per Start; the thread ends after it.
//
// Threads: every operation belongs to the owning thread; the receiver is called only on the
// pass's thread.
//
// Starting: Start while a pass runs does nothing and returns true; otherwise the ended pass is
// stopped and forgotten and a new one begins (false when its thread cannot be started).
//
// Stopping: Stop asks the pass to end, aborts the probe in progress (a node whose server
// holds the connection without answering no longer holds the stop up: the probe's HTTP
// transfer is woken at once and ends aborted) and waits up to its time-out. While it waits it
// calls `serve` repeatedly, so that a receiver call waiting for the stopping thread completes.
// Once the stop is asked for, no receiver call begins and no probe result is reported. A pass
// is never killed: one that has not ended within the time-out is left to end on its own; it
// shares everything it touches, so it outlives the engine safely.
//
// The receiver: held weakly. Its owner keeps the shared pointer; once the owner has dropped
// it, the receiver is no longer called. A call that began before holds it until it returns,
// so a receiver must not refer to what its owner destroys without a guard of its own.
class CNbxNodeStateEngine {
public:
    // Fills the pass's private list; the default loads it from the node database.
    using NodeLoader = std::function<bool(CNbxNodeList&)>;

    static constexpr std::chrono::milliseconds kStartDelay{100};
    static constexpr std::chrono::milliseconds kStopTimeout{5000};

    explicit CNbxNodeStateEngine(NodeLoader loader = {});
    ~CNbxNodeStateEngine();  // Stop()
    CNbxNodeStateEngine(const CNbxNodeStateEngine&) = delete;
    CNbxNodeStateEngine& operator=(const CNbxNodeStateEngine&) = delete;

    // The receiver of the passes started from now on, and of the running one.
    void SetReceiver(std::weak_ptr<INodeStateReceiver> receiver);

    bool Start();
    // True when the pass ended within the time-out (or none was started).
    bool Stop(std::chrono::milliseconds timeout = kStopTimeout,
              const std::function<void()>& serve = {});
    bool IsPassRunning() const;

    // The node state of a _CHECK_ONLINE status.
    static int StateOfStatus(int status);

private:
    struct Pass;  // what one pass shares with its thread
    static void RunPass(const std::shared_ptr<Pass>& pass);

    NodeLoader loader_;
    std::shared_ptr<Pass> pass_;
    std::weak_ptr<INodeStateReceiver> receiver_;
    nbx::WorkerThread thread_;
};
