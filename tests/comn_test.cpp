// The communication manager's engine and the actions, against a real WebDAV server.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>
#include <atomic>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <set>
#include <thread>

#include "base/session_log.h"
#include "comn/action_download.h"
#include "comn/actions.h"
#include "comn/comn_manager.h"
#include "remotefs/fs_service.h"
#include "support/raw_http_server.h"
#include "support/test_support.h"
#include "support/webdav_server.h"

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using nbx::test::ReadFile;
using nbx::test::WriteFile;

using nbx::test::Eventually;

namespace {

class RecordingDialog : public CNbxComnProgressDlg {
public:
    void SetFileName(const std::string& t) override { Note("name " + t); }
    void SetSpeedText(const std::string&) override {}
    void SetCountText(const std::string& t) override { Note("count " + t); }
    void SetTotalRange(int n) override { Note("range " + std::to_string(n)); }
    void SetFileRange(std::uint64_t) override {}
    void SetFilePos(std::uint64_t bytes) override {
        filePos = bytes;
        if (onFilePos) {
            onFilePos(bytes);
        }
    }
    void SetTotalPos(int n) override { Note("pos " + std::to_string(n)); }
    void ShowProgress() override {
        shown = true;
        Note("show");
    }
    void HideProgress() override {
        shown = false;
        Note("hide");
    }
    bool IsProgressShown() override { return shown; }
    bool IsProgressWindow() override { return true; }

    std::vector<std::string> Calls() {
        std::lock_guard lock(mutex);
        return calls;
    }
    std::atomic<bool> shown{false};
    std::atomic<std::uint64_t> filePos{0};
    std::function<void(std::uint64_t)> onFilePos;

private:
    void Note(std::string call) {
        std::lock_guard lock(mutex);
        calls.push_back(std::move(call));
    }
    std::mutex mutex;
    std::vector<std::string> calls;
};

class Callbacks : public IComnManagerComnActionCallback, public IComnManagerAsyncOperationCallback {
public:
    void OnComnActionSuccess() override { ++success; }
    void OnComnActionAborted() override { ++aborted; }
    void OnComnActionError() override { ++error; }
    void OnAsyncOperationStart() override { ++started; }
    void OnAsyncOperationFinish(int, int) override { ++finished; }
    std::atomic<int> success{0}, aborted{0}, error{0}, started{0}, finished{0};
};

// An action whose run the test decides; it counts its runs and its deletion.
struct Counted {
    std::atomic<int> runs{0};
    std::atomic<int> deleted{0};
};

class TestAction : public CNbxComnProgressAction {
public:
    TestAction(Counted& counted, std::function<int()> run, bool progress = true)
        : CNbxComnProgressAction(nullptr, nullptr, {}, {}, "\"test\""),
          counted_(counted),
          run_(std::move(run)),
          progress_(progress) {}
    ~TestAction() override { ++counted_.deleted; }
    int RunMainAction() override {
        ++counted_.runs;
        return run_ ? run_() : ActionResult::Success;
    }
    CNbxComnProgressAction* AsProgressAction() override { return progress_ ? this : nullptr; }

private:
    Counted& counted_;
    std::function<int()> run_;
    bool progress_;
};

class ComnTest : public nbx::test::TempHome {
protected:
    void SetUp() override {
        TempHome::SetUp();
        OpenSessionLog(Root() + "/session.log");
        manager_ = std::make_unique<CNbxComnManager>();
        manager_->SetFileSystemService(&fileSystem_);
        manager_->SetProgressDlg(&dialog_);
        manager_->SetComnActionCallback(callbacksOwner_);
        manager_->SetAsyncOperationCallback(callbacksOwner_);
    }
    // Tests that register a whole batch do so before the engine runs, so that it cannot take
    // the first actions for a batch of their own.
    void StartEngine() { ASSERT_TRUE(manager_->Start()); }
    void TearDown() override {
        manager_.reset();
        CloseSessionLog();
        TempHome::TearDown();
    }
    void StartServer() {
        server_ = std::make_unique<nbx::test::WebDavServer>(
            nbx::test::WebDavServer::Kind::kApache, std::vector<std::string>{"one", "two"},
            std::vector<nbx::test::WebDavServer::User>{{"demo", "s3cret"}});
        ASSERT_TRUE(server_->Started());
        for (const char* name : {"one", "two"}) {
            nodes_.push_back(std::make_unique<CNbxNode>(NodeSettings{
                .node_type = NodeType::SharedFolder,
                .nbx_proxy = server_->BaseUrl(),
                .node_name = name,
                .login = "demo",
                .password = "s3cret",
                .title_name = name,
            }));
        }
    }
    std::string OnServer(const std::string& node, const std::string& path) const {
        return server_->DataDir() + "/" + node + path;
    }
    bool BatchDone(int batches = 1) {
        return Eventually([&] { return callbacks_.finished >= batches; });
    }

    CNbxFileSystemService fileSystem_;
    RecordingDialog dialog_;
    const std::shared_ptr<Callbacks> callbacksOwner_ = std::make_shared<Callbacks>();
    Callbacks& callbacks_ = *callbacksOwner_;
    std::unique_ptr<CNbxComnManager> manager_;
    std::unique_ptr<nbx::test::WebDavServer> server_;
    std::vector<std::unique_ptr<CNbxNode>> nodes_;
};

TEST_F(ComnTest, DownloadAndRefreshCountOneOfOne) {
    StartServer();
    WriteFile(OnServer("one", "/report.txt"), "figures");
    std::atomic<int> refreshed{0};
    const std::string local = Root() + "/report.txt";
    manager_->RegisterAction(std::make_unique<CNbxComnActionDownload>(
        nodes_[0].get(), "/report.txt", local, "\"report.txt\""));
    manager_->RegisterAction(std::make_unique<CNbxComnActionRefresh>([&] { ++refreshed; }));
    StartEngine();
    ASSERT_TRUE(BatchDone());
    EXPECT_EQ(ReadFile(local), "figures");
    EXPECT_EQ(refreshed, 1);
    EXPECT_EQ(callbacks_.success, 2);
    EXPECT_EQ(callbacks_.started, 1);
    const auto calls = dialog_.Calls();
    EXPECT_EQ(calls.front(), "show");
    EXPECT_EQ(calls.back(), "hide");
    EXPECT_NE(std::find(calls.begin(), calls.end(), "count 1/1"), calls.end());
    EXPECT_NE(std::find(calls.begin(), calls.end(), "name \"report.txt\""), calls.end());
    EXPECT_EQ(std::count(calls.begin(), calls.end(), "pos 1"), 1)
        << "the refresh does not move the overall bar";
}

TEST_F(ComnTest, ErrorDropsTheRestOfTheBatch) {
    Counted first, second, third;
    manager_->RegisterAction(
        std::make_unique<TestAction>(first, [] { return ActionResult::Error; }));
    manager_->RegisterAction(std::make_unique<TestAction>(second, nullptr));
    manager_->RegisterAction(std::make_unique<TestAction>(third, nullptr));
    StartEngine();
    ASSERT_TRUE(BatchDone());
    EXPECT_EQ(callbacks_.error, 1);
    EXPECT_EQ(callbacks_.success, 0);
    EXPECT_EQ(first.runs, 1);
    EXPECT_EQ(second.runs + third.runs, 0);
    EXPECT_EQ(first.deleted + second.deleted + third.deleted, 3);
    EXPECT_FALSE(manager_->IsBusy());
}

TEST_F(ComnTest, UnknownOpenModeIsAnError) {
    Counted counted;
    auto action = std::make_unique<TestAction>(counted, nullptr);
    action->openMode = 7;
    manager_->RegisterAction(std::move(action));
    StartEngine();
    ASSERT_TRUE(BatchDone());
    EXPECT_EQ(callbacks_.error, 1);
}

TEST_F(ComnTest, UserAbortDuringALargeDownloadDropsTheRest) {
    StartServer();
    std::ofstream{OnServer("one", "/big.bin")}.close();
    fs::resize_file(OnServer("one", "/big.bin"), 1ull << 30);
    std::atomic<bool> asked{false};
    dialog_.onFilePos = [&](std::uint64_t bytes) {
        if (bytes > 1000000 && !asked.exchange(true)) {
            std::thread([this] { manager_->RequestAbort(); }).detach();
        }
    };
    Counted after;
    manager_->RegisterAction(std::make_unique<CNbxComnActionDownload>(
        nodes_[0].get(), "/big.bin", Root() + "/big.bin", "\"big.bin\""));
    manager_->RegisterAction(std::make_unique<TestAction>(after, nullptr));
    StartEngine();
    ASSERT_TRUE(BatchDone());
    EXPECT_EQ(callbacks_.aborted, 1);
    EXPECT_EQ(after.runs, 0);
    EXPECT_EQ(after.deleted, 1);
    EXPECT_FALSE(dialog_.shown) << "the dialog is hidden when the batch ends";
}

TEST_F(ComnTest, FixedTotalCountsAcrossBatches) {
    StartEngine();
    manager_->SetFixedProgressTotal(true, 3);
    Counted counted;
    for (int batch = 1; batch <= 3; ++batch) {
        manager_->RegisterAction(std::make_unique<TestAction>(counted, nullptr));
        ASSERT_TRUE(BatchDone(batch));
    }
    manager_->SetFixedProgressTotal(false, 0);
    const auto calls = dialog_.Calls();
    for (const char* count : {"count 1/3", "count 2/3", "count 3/3"}) {
        EXPECT_NE(std::find(calls.begin(), calls.end(), count), calls.end()) << count;
    }
}

TEST_F(ComnTest, SettingsAreFrozenWhileABatchRunsAndLateActionsJoinIt) {
    nbx::Event release(nbx::Event::Reset::Manual);
    Counted blocker, late;
    manager_->RegisterAction(std::make_unique<TestAction>(blocker, [&] {
        release.Wait();
        return ActionResult::Success;
    }));
    StartEngine();
    ASSERT_TRUE(Eventually([&] { return blocker.runs == 1; }));
    manager_->SetProgressHidden(true);  // too late for this batch
    manager_->RegisterAction(std::make_unique<TestAction>(late, nullptr));
    release.Set();
    ASSERT_TRUE(BatchDone());
    EXPECT_EQ(late.runs, 1) << "registered while the batch ran, run in it";
    EXPECT_EQ(callbacks_.started, 1);
    EXPECT_EQ(dialog_.Calls().back(), "hide") << "the batch kept its visible progress";

    manager_->SetProgressHidden(true);
    const std::size_t before = dialog_.Calls().size();
    manager_->RegisterAction(std::make_unique<TestAction>(late, nullptr));
    ASSERT_TRUE(BatchDone(2));
    EXPECT_EQ(dialog_.Calls().size(), before) << "a hidden batch never touches the dialog";
}

TEST_F(ComnTest, ShutDownWhileIdleAndWhileATransferRuns) {
    StartEngine();
    EXPECT_TRUE(manager_->Stop());
    EXPECT_NE(ReadFile(Root() + "/session.log")
                  .find("INFO: CNbxComnManager::NbxComnManagerEngine(): Nbx Communication "
                        "Manager will terminate!\r\n"),
              std::string::npos);

    StartServer();
    std::ofstream{OnServer("one", "/big.bin")}.close();
    fs::resize_file(OnServer("one", "/big.bin"), 1ull << 30);
    CNbxComnManager busy;
    RecordingDialog dialog;
    busy.SetProgressDlg(&dialog);
    ASSERT_TRUE(busy.Start());
    busy.RegisterAction(std::make_unique<CNbxComnActionDownload>(
        nodes_[0].get(), "/big.bin", Root() + "/big.bin", "\"big.bin\""));
    ASSERT_TRUE(Eventually([&] { return dialog.filePos > 0; }));
    EXPECT_TRUE(busy.Stop()) << "the running download is aborted and the engine ends";
}

TEST_F(ComnTest, AnEngineLeftRunningTouchesNothingFreed) {
    auto release = std::make_shared<nbx::Event>(nbx::Event::Reset::Manual);
    auto counted = std::make_shared<Counted>();
    {
        CNbxComnManager stuck;
        RecordingDialog dialog;
        auto callbacks = std::make_shared<Callbacks>();
        stuck.SetProgressDlg(&dialog);
        stuck.SetComnActionCallback(callbacks);
        ASSERT_TRUE(stuck.Start());
        stuck.RegisterAction(std::make_unique<TestAction>(*counted, [release] {
            release->Wait();  // ignores the abort
            return ActionResult::Success;
        }));
        ASSERT_TRUE(Eventually([&] { return counted->runs == 1; }));
        EXPECT_FALSE(stuck.Stop(100ms));
    }  // manager, dialog and callbacks are gone; the engine still runs the action
    release->Set();
    ASSERT_TRUE(Eventually([&] { return counted->deleted == 1; }));
}

TEST_F(ComnTest, NodeToNodeCopyAndMove) {
    StartServer();
    const struct {
        const char* name;
        std::size_t size;
    } files[] = {{"empty.bin", 0}, {"exact.bin", 20000}, {"one more.bin", 20001}};
    for (const auto& f : files) {
        WriteFile(OnServer("one", std::string("/") + f.name), std::string(f.size, 'c'));
        manager_->RegisterAction(std::make_unique<CNbxComnActionCopyNodeToNode>(
            nodes_[1].get(), std::string("/") + f.name, nodes_[0].get(), std::string("/") + f.name,
            f.name));
    }
    manager_->RegisterAction(std::make_unique<CNbxComnActionMoveNodeToNode>(
        nodes_[1].get(), "/moved.bin", nodes_[0].get(), "/exact.bin", "exact.bin"));
    StartEngine();
    ASSERT_TRUE(BatchDone());
    EXPECT_EQ(callbacks_.success, 4);
    for (const auto& f : files) {
        EXPECT_EQ(ReadFile(OnServer("two", std::string("/") + f.name)), std::string(f.size, 'c'))
            << f.name;
    }
    EXPECT_EQ(ReadFile(OnServer("two", "/moved.bin")), std::string(20000, 'c'));
    EXPECT_FALSE(fs::exists(OnServer("one", "/exact.bin"))) << "a move deletes its source";
}

TEST_F(ComnTest, RefusedUploadKeepsTheSource) {
    StartServer();
    WriteFile(OnServer("one", "/keep.txt"), "precious");
    fs::create_directories(OnServer("two", "/no-upload"));
    manager_->RegisterAction(std::make_unique<CNbxComnActionMoveNodeToNode>(
        nodes_[1].get(), "/no-upload/keep.txt", nodes_[0].get(), "/keep.txt", "keep.txt"));
    StartEngine();
    ASSERT_TRUE(BatchDone());
    EXPECT_EQ(callbacks_.error, 1);
    EXPECT_EQ(ReadFile(OnServer("one", "/keep.txt")), "precious");

    const std::string local = Root() + "/local.txt";
    WriteFile(local, "mine");
    manager_->RegisterAction(std::make_unique<CNbxComnActionUpldLocalDel>(
        nodes_[1].get(), "/no-upload/local.txt", local, "local"));
    ASSERT_TRUE(BatchDone(2));
    EXPECT_EQ(ReadFile(local), "mine") << "a failed upload keeps the local file";

    manager_->RegisterAction(std::make_unique<CNbxComnActionUpldLocalDel>(
        nodes_[1].get(), "/local.txt", local, "local"));
    ASSERT_TRUE(BatchDone(3));
    EXPECT_EQ(ReadFile(OnServer("two", "/local.txt")), "mine");
    EXPECT_FALSE(fs::exists(local)) << "uploaded, then deleted";
}

TEST_F(ComnTest, SessionDownloadServesAReaderAndSurvivesOneThatGivesUp) {
    StartServer();
    std::string data(45000, '\0');
    for (std::size_t i = 0; i < data.size(); ++i) {
        data[i] = static_cast<char>(i * 7);
    }
    WriteFile(OnServer("one", "/stream.bin"), data);

    auto channel = std::make_shared<SessionDownloadChannel>();
    manager_->RegisterAction(std::make_unique<CNbxComnActionSessionDownload>(
        nodes_[0].get(), "/stream.bin", "stream", channel));
    StartEngine();
    std::string got;
    std::thread reader([&] {
        std::uint64_t size = 0;
        if (channel->WaitOpened(30s, &size) != SessionDownloadChannel::kMore) {
            return;
        }
        char block[16384];
        for (;;) {
            std::size_t n = 0;
            const int status = channel->Read(block, sizeof block, &n, 30s);
            got.append(block, n);
            if (status != SessionDownloadChannel::kMore) {
                break;
            }
        }
    });
    reader.join();
    ASSERT_TRUE(BatchDone());
    EXPECT_EQ(got, data);
    EXPECT_EQ(callbacks_.success, 1);

    // A reader that takes one block and leaves: the action ends its session by itself.
    auto abandoned = std::make_shared<SessionDownloadChannel>();
    manager_->RegisterAction(std::make_unique<CNbxComnActionSessionDownload>(
        nodes_[0].get(), "/stream.bin", "stream", abandoned));
    std::thread quitter([abandoned] {
        std::uint64_t size = 0;
        if (abandoned->WaitOpened(30s, &size) == SessionDownloadChannel::kMore) {
            char block[1000];
            std::size_t n = 0;
            abandoned->Read(block, sizeof block, &n, 30s);
        }
        abandoned->Abandon();
    });
    quitter.join();
    abandoned.reset();  // only the action holds the channel now
    ASSERT_TRUE(BatchDone(2));
    EXPECT_EQ(callbacks_.aborted, 1);
}

TEST_F(ComnTest, ActionRegisteredAsTheBatchEndsRunsInTheNext) {
    Counted first, late;
    std::atomic<bool> registered{false};
    manager_->SetBatchDrainedHook([&] {
        // The engine has looked at the queue for the last time in this batch.
        if (!registered.exchange(true)) {
            manager_->RegisterAction(std::make_unique<TestAction>(late, nullptr));
        }
    });
    manager_->RegisterAction(std::make_unique<TestAction>(first, nullptr));
    StartEngine();
    ASSERT_TRUE(BatchDone(2));
    EXPECT_EQ(late.runs, 1);
    EXPECT_EQ(callbacks_.success, 2);
    EXPECT_EQ(first.deleted + late.deleted, 2);
}

TEST_F(ComnTest, HiddenBatchesTakeNoPlaceInAFixedTotal) {
    StartEngine();
    manager_->SetFixedProgressTotal(true, 2);
    Counted counted;
    manager_->RegisterAction(std::make_unique<TestAction>(counted, nullptr));
    ASSERT_TRUE(BatchDone(1));
    manager_->SetProgressHidden(true);
    manager_->RegisterAction(std::make_unique<TestAction>(counted, nullptr));
    ASSERT_TRUE(BatchDone(2));
    manager_->SetProgressHidden(false);
    manager_->RegisterAction(std::make_unique<TestAction>(counted, nullptr));
    ASSERT_TRUE(BatchDone(3));
    manager_->SetFixedProgressTotal(false, 0);
    const auto calls = dialog_.Calls();
    std::vector<std::string> counts;
    std::copy_if(calls.begin(), calls.end(), std::back_inserter(counts), [](const std::string& c) {
        return c.starts_with("count ") || c.starts_with("pos ");
    });
    EXPECT_EQ(counts, (std::vector<std::string>{"pos 1", "count 1/2", "pos 2", "count 2/2"}));
}

// A session download whose answer carries no length (chunked) is read to its end.
TEST_F(ComnTest, SessionDownloadOfAnAnswerWithoutLengthReadsItAll) {
    std::string data(45000, '\0');
    for (std::size_t i = 0; i < data.size(); ++i) {
        data[i] = static_cast<char>(i * 13);
    }
    std::string answer =
        "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\nConnection: close\r\n\r\n";
    for (std::size_t at = 0; at < data.size(); at += 7000) {
        const std::string chunk = data.substr(at, 7000);
        char size[16];
        std::snprintf(size, sizeof size, "%zx\r\n", chunk.size());
        answer += size + chunk + "\r\n";
    }
    answer += "0\r\n\r\n";
    nbx::test::RawHttpServer server(std::vector<nbx::test::RawReply>{{.bytes = answer}});
    const CNbxNode node(NodeSettings{.node_type = NodeType::SharedFolder,
                                     .nbx_proxy = server.BaseUrl(),
                                     .node_name = "box",
                                     .login = "demo",
                                     .password = "s3cret"});

    auto channel = std::make_shared<SessionDownloadChannel>();
    manager_->RegisterAction(
        std::make_unique<CNbxComnActionSessionDownload>(&node, "/stream.bin", "stream", channel));
    StartEngine();
    std::uint64_t size = 1;
    ASSERT_EQ(channel->WaitOpened(30s, &size), SessionDownloadChannel::kMore);
    EXPECT_EQ(size, 0u) << "no length was announced";
    std::string got;
    int status = SessionDownloadChannel::kMore;
    while (status == SessionDownloadChannel::kMore) {
        char block[16384];
        std::size_t n = 0;
        status = channel->Read(block, sizeof block, &n, 30s);
        got.append(block, n);
    }
    EXPECT_EQ(status, SessionDownloadChannel::kComplete);
    EXPECT_EQ(got.size(), data.size());
    EXPECT_TRUE(got == data);
    ASSERT_TRUE(BatchDone());
    EXPECT_EQ(callbacks_.success, 1);
}

class LocalCopyTest : public nbx::test::TempHome {};

TEST_F(LocalCopyTest, CopiesStayInThePrivateFolderOneFolderPerNodeAndRemoteFolder) {
    const std::string folder = Root() + "/run/nimbexshell";
    const std::string report = LocalCopyPath("Home", "/share/Docs/", "report 2026.txt");
    ASSERT_FALSE(report.empty());
    const fs::path sub = fs::path(report).parent_path();
    EXPECT_EQ(sub.parent_path(), folder);
    EXPECT_EQ(fs::path(report).filename(), "report 2026.txt") << "the file keeps its name";
    EXPECT_TRUE(fs::is_directory(sub));
    EXPECT_EQ(fs::status(sub).permissions() & fs::perms::all, fs::perms::owner_all);
    EXPECT_EQ(LocalCopyPath("Home", "/share/Docs/", "report 2026.txt"), report) << "stable";
    EXPECT_EQ(LocalCopyPath("Home", "/share/Docs/", "\xE6\x97\xA5\xE6\x9C\xAC.doc"),
              (sub / "\xE6\x97\xA5\xE6\x9C\xAC.doc").string());
    EXPECT_EQ(LocalCopyPath("Home", "/share/Docs/", "..hidden"), (sub / "..hidden").string());

    // The same name in another folder or on another node has a copy of its own.
    const std::string others[] = {
        LocalCopyPath("Home", "/share/Old/", "report 2026.txt"),
        LocalCopyPath("Office", "/share/Docs/", "report 2026.txt"),
        LocalCopyPath("Home", "/share/Docs/sub/", "report 2026.txt"),
        LocalCopyPath("Home/share", "/Docs/", "report 2026.txt"),
    };
    std::set<std::string> all = {report};
    for (const std::string& other : others) {
        ASSERT_FALSE(other.empty());
        EXPECT_EQ(fs::path(other).filename(), "report 2026.txt");
        EXPECT_EQ(fs::path(other).parent_path().parent_path(), folder);
        all.insert(other);
    }
    EXPECT_EQ(all.size(), 5u) << "every node and folder has its own copy";

    const std::vector<std::string> bad = {
        "", ".", "..", "../escape.txt", "a/b.txt", "/etc/passwd", std::string("nul\0.txt", 8)};
    for (const std::string& name : bad) {
        EXPECT_EQ(LocalCopyPath("Home", "/share/", name), "") << name;
    }
    fs::remove_all(folder);
    ASSERT_EQ(::symlink((Root() + "/tmp").c_str(), folder.c_str()), 0);
    EXPECT_EQ(LocalCopyPath("Home", "/share/", "x.txt"), "")
        << "a folder that is not ours is never used";
}

TEST(ComnActionTest, OpenModesAndResultMappings) {
    Counted counted;
    TestAction plain(counted, nullptr);
    plain.SetOpenMode(3);
    EXPECT_EQ(plain.openMode, OpenMode::None) << "only downloads have follow-ups";
    EXPECT_EQ(MapTransferResult(200), ActionResult::Success);
    EXPECT_EQ(MapTransferResult(0), ActionResult::Aborted);
    EXPECT_EQ(MapTransferResult(-2), ActionResult::Error);
    EXPECT_EQ(MapFileSystemResult(200), ActionResult::Success);
    EXPECT_EQ(MapFileSystemResult(0), ActionResult::Error) << "an aborted listing is an error";
    EXPECT_EQ(MapFileSystemResult(404), ActionResult::Error);
}

// What became of one receiver: its calls, and whether any came after it was gone.
struct Tally {
    std::atomic<int> calls{0};
    std::atomic<int> lateCalls{0};
    std::atomic<bool> destroyed{false};
};

class TallyReceiver : public IComnManagerComnActionCallback,
                      public IComnManagerAsyncOperationCallback {
public:
    explicit TallyReceiver(std::shared_ptr<Tally> tally) : tally_(std::move(tally)) {}
    ~TallyReceiver() { tally_->destroyed = true; }
    void OnComnActionSuccess() override { Note(); }
    void OnComnActionAborted() override { Note(); }
    void OnComnActionError() override { Note(); }
    void OnAsyncOperationStart() override { Note(); }
    void OnAsyncOperationFinish(int, int) override { Note(); }

private:
    void Note() {
        if (tally_->destroyed) {
            ++tally_->lateCalls;
        }
        ++tally_->calls;
    }
    std::shared_ptr<Tally> tally_;
};

// The window's receiver goes (its frame closes) while the engine is about to report to it: it
// is not called, and a receiver dropped while a call runs is kept until the call returns. The
// sanitizer presets run this too.
TEST_F(ComnTest, AReceiverDroppedWhileTheEngineIsAboutToCallItIsNotCalled) {
    auto tally = std::make_shared<Tally>();
    auto receiver = std::make_shared<TallyReceiver>(tally);
    manager_->SetComnActionCallback(receiver);
    manager_->SetAsyncOperationCallback(receiver);
    nbx::Event running(nbx::Event::Reset::Manual);
    nbx::Event go(nbx::Event::Reset::Manual);
    Counted counted;
    manager_->RegisterAction(std::make_unique<TestAction>(counted, [&] {
        running.Set();
        go.Wait();
        return ActionResult::Success;
    }));
    StartEngine();
    ASSERT_TRUE(running.Wait(60s));
    EXPECT_EQ(tally->calls, 1) << "the batch's start";
    receiver.reset();
    ASSERT_TRUE(tally->destroyed);
    go.Set();
    ASSERT_TRUE(Eventually([&] { return counted.deleted == 1 && !manager_->IsBusy(); }));

    // Receivers dropped at any moment of their batch, racing the engine's calls.
    std::vector<std::shared_ptr<Tally>> tallies;
    for (int i = 0; i < 50; ++i) {
        tallies.push_back(std::make_shared<Tally>());
        auto racing = std::make_shared<TallyReceiver>(tallies.back());
        manager_->SetComnActionCallback(racing);
        manager_->SetAsyncOperationCallback(racing);
        manager_->RegisterAction(std::make_unique<TestAction>(counted, nullptr));
        racing.reset();
        ASSERT_TRUE(Eventually([&] { return !manager_->IsBusy(); }));
    }
    // A batch whose end is seen: the engine is past every batch before it.
    auto lastTally = std::make_shared<Tally>();
    auto last = std::make_shared<TallyReceiver>(lastTally);
    manager_->SetAsyncOperationCallback(last);
    manager_->SetComnActionCallback(last);
    manager_->RegisterAction(std::make_unique<TestAction>(counted, nullptr));
    ASSERT_TRUE(Eventually([&] { return lastTally->calls == 3; })) << "start, success, finish";

    EXPECT_EQ(tally->calls, 1) << "nothing after the receiver was dropped";
    for (const auto& t : tallies) {
        EXPECT_EQ(t->lateCalls, 0);
        EXPECT_TRUE(t->destroyed);
    }
}

}  // namespace
