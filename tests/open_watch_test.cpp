// Opening a remote file end to end: the download action in its watching mode, the file's
// application on the fake desktop, the monitor, and the upload that follows a change.
#include <gtest/gtest.h>
#include <atomic>
#include <thread>

#include "base/session_log.h"
#include "comn/action_download.h"
#include "comn/actions.h"
#include "comn/comn_manager.h"
#include "monitor/file_monitor_manager.h"
#include "remotefs/fs_service.h"
#include "support/fake_desktop.h"
#include "support/webdav_server.h"

using nbx::test::FakeDesktop;
using nbx::test::ReadFile;
using nbx::test::WaitUntil;
using nbx::test::WriteFile;
namespace editors = nbx::test::editors;

namespace {

class Outcomes : public IComnManagerComnActionCallback, public IComnManagerAsyncOperationCallback {
public:
    void OnComnActionSuccess() override { ++success; }
    void OnComnActionAborted() override {}
    void OnComnActionError() override { ++error; }
    void OnAsyncOperationStart() override {}
    void OnAsyncOperationFinish(int, int) override { ++batches; }
    std::atomic<int> success{0}, error{0}, batches{0};
};

class Closes : public IMonitorManagerFileStatusCallback {
public:
    void OnMonitorInvalid(const std::shared_ptr<CNbxFileMonitor>&) override {}
    void OnMonitorOpened(const std::shared_ptr<CNbxFileMonitor>&) override {}
    void OnMonitorModified(const std::shared_ptr<CNbxFileMonitor>&) override {}
    void OnMonitorClosed(const std::shared_ptr<CNbxFileMonitor>& monitor) override {
        ++closed;
        monitor->MarkHandled();
    }
    void OnMonitorClosedModified(const std::shared_ptr<CNbxFileMonitor>& monitor) override {
        ++closedModified;
        monitor->MarkHandled();
    }
    std::atomic<int> closed{0}, closedModified{0};
};

class OpenAndWatchTest : public ::testing::Test {
protected:
    void SetUp() override {
        OpenSessionLog(FakeDesktop::Root() + "/open-watch.log");
        server_ = std::make_unique<nbx::test::WebDavServer>(
            nbx::test::WebDavServer::Kind::kApache, std::vector<std::string>{"share"},
            std::vector<nbx::test::WebDavServer::User>{{"demo", "s3cret"}});
        ASSERT_TRUE(server_->Started());
        node_ = std::make_unique<CNbxNode>(NodeSettings{.node_type = NodeType::SharedFolder,
                                                        .nbx_proxy = server_->BaseUrl(),
                                                        .node_name = "share",
                                                        .login = "demo",
                                                        .password = "s3cret",
                                                        .title_name = "Share"});
        monitors_.SetStatusCallback(closes_);
        ASSERT_TRUE(monitors_.Start());
        manager_.SetFileSystemService(&fileSystem_);
        manager_.SetMonitorManager(&monitors_);
        manager_.SetComnActionCallback(outcomesOwner_);
        manager_.SetAsyncOperationCallback(outcomesOwner_);
        ASSERT_TRUE(manager_.Start());
    }
    void TearDown() override {
        manager_.Stop();
        monitors_.Stop();
        CloseSessionLog();
    }
    // What the view does on a double-click: download in the watching mode, then refresh.
    void Open(const std::string& name) {
        auto download = std::make_unique<CNbxComnActionDownload>(
            node_.get(), "/" + name, FakeDesktop::Files() + "/" + name, "\"" + name + "\"");
        download->SetOpenMode(OpenMode::ViewMonitor);
        const int before = outcomes_.batches;
        manager_.RegisterAction(std::move(download));
        manager_.RegisterAction(std::make_unique<CNbxComnActionRefresh>([] {}));
        ASSERT_TRUE(WaitUntil([&] { return outcomes_.batches > before; }));
    }
    std::string OnServer(const std::string& name) const {
        return server_->DataDir() + "/share/" + name;
    }

    std::unique_ptr<nbx::test::WebDavServer> server_;
    std::unique_ptr<CNbxNode> node_;
    CNbxFileSystemService fileSystem_;
    CNbxFileMonitorManager monitors_;
    std::shared_ptr<Closes> closes_ = std::make_shared<Closes>();
    const std::shared_ptr<Outcomes> outcomesOwner_ = std::make_shared<Outcomes>();
    Outcomes& outcomes_ = *outcomesOwner_;
    CNbxComnManager manager_;
};

TEST_F(OpenAndWatchTest, AChangedFileIsOfferedAndUploadedAgain) {
    const std::string name = "report.nbx" + std::string(editors::kChange);
    WriteFile(OnServer(name), "original\n");
    Open(name);
    EXPECT_EQ(outcomes_.success, 2);
    ASSERT_TRUE(WaitUntil([&] { return closes_->closedModified == 1; }))
        << "the editor changed the file and ended";
    const std::string local = FakeDesktop::Files() + "/" + name;
    ASSERT_NE(ReadFile(local), "original\n");

    // The user said yes to the question: the view uploads the copy.
    const int before = outcomes_.batches;
    manager_.RegisterAction(
        std::make_unique<CNbxComnActionUpload>(node_.get(), "/" + name, local, name));
    ASSERT_TRUE(WaitUntil([&] { return outcomes_.batches > before; }));
    EXPECT_EQ(ReadFile(OnServer(name)), ReadFile(local));
}

TEST_F(OpenAndWatchTest, AFileStillBeingEditedIsNotDownloadedAgain) {
    const std::string name = "notes.nbx" + std::string(editors::kKeep);
    WriteFile(OnServer(name), "original\n");
    Open(name);
    const std::string local = FakeDesktop::Files() + "/" + name;
    ASSERT_TRUE(WaitUntil([&] { return nbx::test::Exists(local + ".started"); }));

    WriteFile(OnServer(name), "changed by somebody else\n");
    Open(name);
    EXPECT_EQ(outcomes_.error, 0);
    EXPECT_EQ(ReadFile(local), "original\n") << "the copy being edited stays as it is";
    EXPECT_NE(ReadFile(FakeDesktop::Root() + "/open-watch.log")
                  .find("INFO: CNbxComnActionDownload::RunMainAction(): "
                        "CNbxFileMonitorManager::IsFileOpened returned TRUE!\r\n"),
              std::string::npos);

    // An editor that ends at once looks like one that handed the file on; this one edits a
    // while before it is closed.
    std::this_thread::sleep_for(CNbxFileMonitor::kHandOffWindow + std::chrono::seconds(1));
    nbx::test::Touch(local + ".quit");
    ASSERT_TRUE(WaitUntil([&] { return closes_->closed == 1; }));
    EXPECT_EQ(closes_->closedModified, 0);
    Open(name);  // no longer live: downloaded again
    EXPECT_EQ(ReadFile(local), "changed by somebody else\n");
    nbx::test::Touch(local + ".quit");
}

}  // namespace
