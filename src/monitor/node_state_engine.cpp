#include "monitor/node_state_engine.h"

#include <algorithm>
#include <mutex>
#include <string>

#include "nodes/nbx_node.h"
#include "nodes/node_list.h"
#include "remotefs/ft_service.h"

struct CNbxNodeStateEngine::Pass {
    NodeLoader loader;
    std::shared_ptr<nbx::WorkerControl> control = std::make_shared<nbx::WorkerControl>();
    std::mutex mutex;
    std::weak_ptr<INodeStateReceiver> receiver;  // guarded by mutex
    CNbxFileTransferService* probe = nullptr;    // guarded by mutex; the one running now

    // Under the mutex, so that a stop either finds the probe to abort or keeps it from
    // starting.
    bool BeginProbe(CNbxFileTransferService& service) {
        std::lock_guard lock(mutex);
        if (control->StopRequested()) {
            return false;
        }
        probe = &service;
        return true;
    }
    void EndProbe() {
        std::lock_guard lock(mutex);
        probe = nullptr;
    }
    void RequestStop() {
        std::lock_guard lock(mutex);
        control->RequestStop();
        if (probe != nullptr) {
            probe->Abort();
        }
    }
    // The receiver for one call, held until it returns; none once the stop was asked for.
    std::shared_ptr<INodeStateReceiver> ReceiverForCall() {
        std::lock_guard lock(mutex);
        return control->StopRequested() ? nullptr : receiver.lock();
    }
};

CNbxNodeStateEngine::CNbxNodeStateEngine(NodeLoader loader) : loader_(std::move(loader)) {
    if (!loader_) {
        loader_ = [](CNbxNodeList& nodes) { return nodes.LoadListFromDB(); };
    }
}

CNbxNodeStateEngine::~CNbxNodeStateEngine() {
    Stop();
}

void CNbxNodeStateEngine::SetReceiver(std::weak_ptr<INodeStateReceiver> receiver) {
    receiver_ = receiver;
    if (pass_ != nullptr) {
        std::lock_guard lock(pass_->mutex);
        pass_->receiver = std::move(receiver);
    }
}

bool CNbxNodeStateEngine::IsPassRunning() const {
    return thread_.Running() && !thread_.Ended();
}

bool CNbxNodeStateEngine::Start() {
    if (IsPassRunning()) {
        return true;
    }
    Stop();
    auto pass = std::make_shared<Pass>();
    pass->loader = loader_;
    pass->receiver = receiver_;
    pass_ = pass;
    return thread_.Start(pass->control, [pass](nbx::WorkerControl&) { RunPass(pass); });
}

bool CNbxNodeStateEngine::Stop(std::chrono::milliseconds timeout,
                               const std::function<void()>& serve) {
    if (pass_ == nullptr) {
        return true;
    }
    pass_->RequestStop();
    pass_.reset();
    if (!thread_.Running()) {
        return true;
    }
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    constexpr std::chrono::milliseconds kServeStep(10);
    bool ended = thread_.WaitForEnd(serve ? std::chrono::milliseconds(0) : timeout);
    while (!ended && serve) {
        serve();
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left <= std::chrono::milliseconds(0)) {
            break;
        }
        ended = thread_.WaitForEnd(std::min(left, kServeStep));
    }
    // Joins an ended thread; one that is still running is left to end on its own.
    return thread_.Stop(std::chrono::milliseconds(0)) && ended;
}

int CNbxNodeStateEngine::StateOfStatus(int status) {
    if (status == 200) {
        return NodeState::Online;
    }
    if (status == 502 || status == 504) {
        return NodeState::Offline;
    }
    return NodeState::Unknown;
}

void CNbxNodeStateEngine::RunPass(const std::shared_ptr<Pass>& pass) {
    pass->control->WaitForWake(kStartDelay);
    if (pass->control->StopRequested()) {
        return;
    }
    CNbxNodeList nodes;
    pass->loader(nodes);
    NodePosition pos = nodes.GetStartPosition();
    std::string title;
    CNbxNode* node = nullptr;
    while (nodes.GetNextNode(pos, title, node)) {
        // A fresh service per node: an aborted one is not reused.
        CNbxFileTransferService probe;
        if (!pass->BeginProbe(probe)) {
            return;
        }
        const int status = probe._CHECK_ONLINE(*node);
        pass->EndProbe();
        // After a stop there is no receiver, and the next probe does not begin.
        if (std::shared_ptr<INodeStateReceiver> receiver = pass->ReceiverForCall()) {
            receiver->OnNodeState(title, StateOfStatus(status));
        }
    }
}
