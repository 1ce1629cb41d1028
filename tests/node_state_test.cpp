// The node-state pass against real servers: a WebDAV server that answers, raw servers that
// answer with gateway errors or hold the connection without a word.
#include <gtest/gtest.h>
#include <atomic>
#include <chrono>
#include <mutex>
#include <thread>
#include <utility>
#include <vector>

#include "base/session_log.h"
#include "monitor/node_state_engine.h"
#include "nodes/nbx_node.h"
#include "nodes/node_list.h"
#include "platform/event.h"
#include "support/raw_http_server.h"
#include "support/test_support.h"
#include "support/webdav_server.h"

using namespace std::chrono_literals;
using nbx::test::HttpResponse;
using nbx::test::RawHttpServer;
using nbx::test::RawReply;

using nbx::test::Eventually;

namespace {

using Report = std::pair<std::string, int>;

class Reports : public INodeStateReceiver {
public:
    void OnNodeState(const std::string& title, int state) override {
        std::lock_guard lock(mutex_);
        reports_.emplace_back(title, state);
    }
    std::vector<Report> Get() const {
        std::lock_guard lock(mutex_);
        return reports_;
    }

private:
    mutable std::mutex mutex_;
    std::vector<Report> reports_;
};

NodeSettings At(const std::string& title, const std::string& url) {
    return NodeSettings{.node_type = NodeType::SharedFolder,
                        .nbx_proxy = url,
                        .node_name = "share",
                        .login = "demo",
                        .password = "s3cret",
                        .title_name = title};
}

// A loader of the nodes given, counting its calls; it waits for the gate when one is given.
struct Nodes {
    std::vector<NodeSettings> nodes;
    std::shared_ptr<nbx::Event> gate;
    std::shared_ptr<std::atomic<int>> loads = std::make_shared<std::atomic<int>>(0);

    CNbxNodeStateEngine::NodeLoader Loader() const {
        return [nodes = nodes, gate = gate, loads = loads](CNbxNodeList& list) {
            ++*loads;
            if (gate != nullptr) {
                gate->Wait();
            }
            for (const NodeSettings& settings : nodes) {
                auto node = std::make_unique<CNbxNode>(settings);
                list.AddNode(node);
            }
            return true;
        };
    }
};

class NodeStateTest : public nbx::test::TempHome {
protected:
    void SetUp() override {
        TempHome::SetUp();
        OpenSessionLog(Root() + "/session.log");
    }
    void TearDown() override {
        CloseSessionLog();
        TempHome::TearDown();
    }
    std::shared_ptr<Reports> reports_ = std::make_shared<Reports>();
};

TEST_F(NodeStateTest, APassReportsEachNodesStateInTheListsOrder) {
    nbx::test::WebDavServer webdav(nbx::test::WebDavServer::Kind::kApache, {"share"},
                                   {{"demo", "s3cret"}});
    ASSERT_TRUE(webdav.Started());
    RawHttpServer bad(std::vector<RawReply>{{.bytes = HttpResponse(502)}});
    RawHttpServer timeout(std::vector<RawReply>{{.bytes = HttpResponse(504)}});
    RawHttpServer missing(std::vector<RawReply>{{.bytes = HttpResponse(404)}});
    const Nodes nodes{{At("e-online", webdav.BaseUrl()), At("d-bad-gateway", bad.BaseUrl()),
                       At("c-gateway-timeout", timeout.BaseUrl()),
                       At("b-missing", missing.BaseUrl()), At("a-closed", "http://127.0.0.1:1")}};
    CNbxNodeStateEngine engine(nodes.Loader());
    engine.SetReceiver(reports_);
    ASSERT_TRUE(engine.Start());
    ASSERT_TRUE(Eventually([&] { return !engine.IsPassRunning(); }));
    EXPECT_EQ(reports_->Get(), (std::vector<Report>{{"a-closed", NodeState::Unknown},
                                                    {"b-missing", NodeState::Unknown},
                                                    {"c-gateway-timeout", NodeState::Offline},
                                                    {"d-bad-gateway", NodeState::Offline},
                                                    {"e-online", NodeState::Online}}));
    EXPECT_EQ(*nodes.loads, 1);
    EXPECT_TRUE(engine.Stop());
}

TEST_F(NodeStateTest, AStopDuringAStalledProbeReturnsPromptly) {
    RawHttpServer stalled(std::vector<RawReply>{{.stall = true}});
    RawHttpServer later(std::vector<RawReply>{{.bytes = HttpResponse(200)}});
    const Nodes nodes{{At("a-stalled", stalled.BaseUrl()), At("b-later", later.BaseUrl())}};
    CNbxNodeStateEngine engine(nodes.Loader());
    engine.SetReceiver(reports_);
    ASSERT_TRUE(engine.Start());
    // The probe has sent its request and waits for an answer that never comes.
    ASSERT_TRUE(Eventually([&] { return !stalled.Requests().empty(); }));
    // Ended within the stop's time-out, which is far shorter than the probe's own.
    EXPECT_TRUE(engine.Stop()) << "the probe is aborted, not waited for";
    EXPECT_FALSE(engine.IsPassRunning());
    EXPECT_TRUE(reports_->Get().empty()) << "an aborted probe reports nothing";
    EXPECT_TRUE(later.Requests().empty()) << "no node is probed after the stop";
}

TEST_F(NodeStateTest, ASecondStartWhileAPassRunsIsIgnoredAndOneAfterItStartsAnother) {
    RawHttpServer online(std::vector<RawReply>{{.bytes = HttpResponse(200)}});
    Nodes nodes{{At("share", online.BaseUrl())}};
    nodes.gate = std::make_shared<nbx::Event>(nbx::Event::Reset::Manual);
    CNbxNodeStateEngine engine(nodes.Loader());
    engine.SetReceiver(reports_);
    ASSERT_TRUE(engine.Start());
    ASSERT_TRUE(Eventually([&] { return *nodes.loads == 1; }));
    EXPECT_TRUE(engine.IsPassRunning());
    EXPECT_TRUE(engine.Start()) << "a running pass counts as started";
    nodes.gate->Set();
    ASSERT_TRUE(Eventually([&] { return !engine.IsPassRunning(); }));
    EXPECT_EQ(*nodes.loads, 1) << "the running pass went on; no second one began";
    EXPECT_EQ(reports_->Get(), (std::vector<Report>{{"share", NodeState::Online}}));

    ASSERT_TRUE(engine.Start()) << "an ended pass is replaced";
    ASSERT_TRUE(Eventually([&] { return !engine.IsPassRunning() && reports_->Get().size() == 2; }));
    EXPECT_EQ(*nodes.loads, 2);
}

// The receiver goes while the pass is about to call it: it is not called, and nothing of it
// is touched afterwards (the sanitizers watch).
TEST_F(NodeStateTest, AReceiverDroppedBeforeItsCallIsNotCalled) {
    struct Tally {
        std::atomic<int> calls{0};
        std::atomic<bool> destroyed{false};
    };
    struct Counting : INodeStateReceiver {
        explicit Counting(std::shared_ptr<Tally> tally) : tally(std::move(tally)) {}
        ~Counting() { tally->destroyed = true; }
        void OnNodeState(const std::string&, int) override { ++tally->calls; }
        std::shared_ptr<Tally> tally;
    };
    RawHttpServer online(std::vector<RawReply>{{.bytes = HttpResponse(200)}});
    Nodes nodes{{At("share", online.BaseUrl())}};
    nodes.gate = std::make_shared<nbx::Event>(nbx::Event::Reset::Manual);
    CNbxNodeStateEngine engine(nodes.Loader());
    auto tally = std::make_shared<Tally>();
    auto receiver = std::make_shared<Counting>(tally);
    engine.SetReceiver(receiver);
    ASSERT_TRUE(engine.Start());
    ASSERT_TRUE(Eventually([&] { return *nodes.loads == 1; }));
    receiver.reset();
    ASSERT_TRUE(tally->destroyed);
    nodes.gate->Set();
    ASSERT_TRUE(Eventually([&] { return !engine.IsPassRunning(); }));
    EXPECT_EQ(online.Requests().size(), 1u) << "the node was probed all the same";
    EXPECT_EQ(tally->calls, 0);
}

// A receiver that waits for the stopping thread gets its answer while the stop waits.
TEST_F(NodeStateTest, AStopServesAReceiverThatWaitsForIt) {
    RawHttpServer online(std::vector<RawReply>{{.bytes = HttpResponse(200)}});
    const Nodes nodes{{At("share", online.BaseUrl())}};
    struct Waiting : INodeStateReceiver {
        nbx::Event called{nbx::Event::Reset::Manual};
        nbx::Event served{nbx::Event::Reset::Manual};
        void OnNodeState(const std::string&, int) override {
            called.Set();
            served.Wait();
        }
    };
    auto waiting = std::make_shared<Waiting>();
    CNbxNodeStateEngine engine(nodes.Loader());
    engine.SetReceiver(waiting);
    ASSERT_TRUE(engine.Start());
    ASSERT_TRUE(waiting->called.Wait(60s));
    int serves = 0;
    EXPECT_TRUE(engine.Stop(5000ms, [&] {
        ++serves;
        waiting->served.Set();
    }));
    EXPECT_GE(serves, 1);
}

}  // namespace
