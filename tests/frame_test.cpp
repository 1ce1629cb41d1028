// The application object and the explorer frame against real servers: start-up on a database
// of nodes, the address bar, listings that fail, node states, several windows, closing.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QSlider>
#include <QTimer>
#include <atomic>
#include <filesystem>
#include <functional>
#include <memory>
#include <thread>

#include "base/deployment_profile.h"
#include "base/session_log.h"
#include "base/strings.h"
#include "comn/actions.h"
#include "monitor/file_monitor.h"
#include "nodes/node_list.h"
#include "nodes/sqlite_com.h"
#include "platform/http_client.h"
#include "shell/terrapane_app.h"
#include "support/dev_service.h"
#include "support/explorer_fixture.h"
#include "support/raw_http_server.h"
#include "support/test_support.h"
#include "support/ui_test_support.h"
#include "support/webdav_server.h"
#include "ui/file_monitor_view.h"
#include "ui/main_frame.h"
#include "ui/terrapane_view.h"
#include "widgets/dlg_modal.h"
#include "widgets/ui_events.h"

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using nbx::test::ApacheShare;
using nbx::test::ProcessEventsFor;
using nbx::test::ReadFile;
using nbx::test::WaitFor;
using nbx::test::WriteFile;
using namespace nbx::ui;

namespace {

QString Q(const std::string& text) {
    return QString::fromStdString(text);
}
std::string S(const QString& text) {
    return text.toStdString();
}
std::string Str(int id) {
    return nbx::strings::LoadString(id);
}

std::vector<std::string> BarItems(const CMainFrame* frame) {
    std::vector<std::string> items;
    for (int i = 0; i < frame->AddressBar()->count(); ++i) {
        items.push_back(S(frame->AddressBar()->itemText(i)));
    }
    return items;
}

// A monitor whose file stays open, or closes at its first poll.
class TestMonitor : public CNbxFileMonitor {
public:
    TestMonitor(const CNbxNode& node, const std::string& local, bool closes)
        : CNbxFileMonitor(node, local, "/docs/a.txt", Utils::LaunchedProcess()), closes_(closes) {}
    MonitorState UpdateStatus() override {
        return closes_ ? ChangeState(GetState(), FMS_CLOSED) : GetState();
    }

private:
    bool closes_;
};

// Calls `act` with the first shown dialog of type T below the frame, from inside its modal
// loop.
template <class T>
void WhenShown(QWidget* owner, std::function<void(T*)> act) {
    auto* timer = new QTimer(owner);
    QObject::connect(timer, &QTimer::timeout, owner, [owner, timer, act] {
        for (T* dialog : owner->findChildren<T*>()) {
            if (dialog->isVisible()) {
                timer->stop();
                timer->deleteLater();
                act(dialog);
                return;
            }
        }
    });
    timer->start(20);
}

class FrameTest : public nbx::test::ExplorerTest {
protected:
    void SetUp() override {
        ExplorerTest::SetUp();
        dav_ = std::make_unique<ApacheShare>(std::vector<std::string>{"share", "dev"});
        ASSERT_TRUE(dav_->Started());
        fs::create_directories(dav_->OnServer("share", "/docs/sub"));
        WriteFile(dav_->OnServer("share", "/docs/a.txt"), "a");
        fs::create_directories(dav_->OnServer("dev", "/MyStorage/x/y"));
    }
    void TearDown() override {
        app_ = nullptr;
        frame_ = nullptr;
        ExplorerTest::TearDown();
    }

    NodeSettings Share(const std::string& title = "Share") const {
        return dav_->SharedFolder(title, "share");
    }
    NodeSettings Workstation() const {
        return dav_->Device("Workstation", "dev", DeviceKind::Workstation, "/MyStorage/");
    }
    static NodeSettings At(const std::string& title, const std::string& url) {
        return {.node_type = NodeType::SharedFolder,
                .nbx_proxy = url,
                .node_name = "share",
                .login = "demo",
                .password = "s3cret",
                .title_name = title};
    }
    void Start() {
        StartApp();
        app_ = &App();
        frame_ = Frame();
    }
    // Types into the address bar and presses Enter.
    void Enter(const std::string& text, CMainFrame* frame = nullptr) {
        frame = frame != nullptr ? frame : frame_;
        frame->AddressBar()->SetEditText(Q(text));
        QKeyEvent press(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
        QApplication::sendEvent(frame->AddressBar()->lineEdit(), &press);
        QCoreApplication::sendPostedEvents(frame, WM_ADDRESS_ENTERED);
    }
    void Pick(const std::string& text) {
        const int index = frame_->AddressBar()->findText(Q(text));
        ASSERT_GE(index, 0) << text;
        frame_->AddressBar()->setCurrentIndex(index);
        emit frame_->AddressBar()->activated(index);
    }
    std::string Selected() const { return S(frame_->AddressBar()->currentText()); }
    std::string Title() const { return S(frame_->windowTitle()); }
    bool HasRow(const std::string& text) const { return frame_->View()->FindRow(Q(text)) >= 0; }
    std::string StateText(const std::string& title) const {
        const int row = frame_->View()->FindRow(Q(title));
        return row < 0 ? "(no row)" : S(frame_->View()->Text(row, 1));
    }
    static void FlushDeletes() {
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }

    std::unique_ptr<ApacheShare> dav_;
    CTerraPaneApp* app_ = nullptr;
    CMainFrame* frame_ = nullptr;  // the first frame
};

TEST_F(FrameTest, StartsOnTheNodeListAndTakesInTheNodeStates) {
    nbx::test::DevService disk(
        std::vector<nbx::test::DevService::Account>{{"me@example.net", "disk pass"}});
    ASSERT_TRUE(disk.Started());
    UseProfile("[Service]\nDiskApiHost=" + disk.DiskHost() + "\n[Tls]\nCaBundle=" + disk.CaFile() +
               "\n");
    nbx::test::RawHttpServer gateway(
        std::vector<nbx::test::RawReply>{{.bytes = nbx::test::HttpResponse(502)}});
    SeedNodes({Share(),
               {.node_type = NodeType::ServiceNode,
                .device_type = DeviceKind::Disk,
                .nbx_proxy = disk.DiskUrl(),
                .login = "me@example.net",
                .password = "disk pass",
                .title_name = "Disk"},
               At("Closed", "http://127.0.0.1:1"),
               At("Gateway", gateway.BaseUrl())});
    Start();

    EXPECT_EQ(Title(), "NimbexShell");
    EXPECT_EQ(BarItems(frame_),
              (std::vector<std::string>{Str(851), "Closed", "Disk", "Gateway", "Share"}));
    EXPECT_EQ(frame_->AddressBar()->currentIndex(), 0);
    EXPECT_EQ(frame_->GetViewMode(), CMainFrame::kModeNodes);
    EXPECT_EQ(frame_->size(), QSize(740, 480));
    frame_->resize(100, 100);
    EXPECT_EQ(frame_->size(), QSize(356, 356)) << "the window cannot be made smaller";

    ASSERT_TRUE(WaitFor([&] { return !app_->IsNodeStatePassRunning(); }, 60s));
    WaitFor([&] { return StateText("Gateway") == Str(510); }, 2s);
    EXPECT_EQ(StateText("Share"), Str(509));
    EXPECT_EQ(StateText("Disk"), Str(509));
    EXPECT_EQ(StateText("Gateway"), Str(510)) << "502 reads as offline";
    EXPECT_EQ(StateText("Closed"), Str(511)) << "no answer at all is unknown";
    EXPECT_EQ(app_->NodeList().lookup("Share")->state, NodeState::Online);

    const std::string log = SessionLog();
    const std::size_t invoked = log.find("INFO: CTerraPaneApp::InitInstance() invoked....");
    const std::size_t plain = log.find(
        "INFO: CTerraPaneApp::InitInstance(): CTerraPaneCommandLineInfo::IsShortcut() returned "
        "FALSE.");
    ASSERT_NE(invoked, std::string::npos) << log;
    ASSERT_NE(plain, std::string::npos) << log;
    EXPECT_LT(invoked, plain);

    // The cloud disk's title names no node.
    Enter("Disk:/");
    EXPECT_EQ(Title(), "NimbexShell - @Disk:/");
}

TEST_F(FrameTest, TypedAddressesOpenNodesAndFolders) {
    SeedNodes({Share(), Workstation()});
    Start();

    Enter("Share:docs");
    EXPECT_EQ(frame_->GetViewMode(), CMainFrame::kModeFolder);
    EXPECT_EQ(frame_->View()->CurrentPath(), "/docs/");
    EXPECT_EQ(frame_->CurrentNode(), app_->NodeList().lookup("Share"));
    EXPECT_EQ(Title(), "NimbexShell - share:/docs/");
    EXPECT_EQ(BarItems(frame_),
              (std::vector<std::string>{Str(851), "Share", "/docs/", "Workstation"}));
    EXPECT_EQ(Selected(), "/docs/");
    EXPECT_TRUE(HasRow("a.txt"));

    // A path alone is a folder of the current node, put below its root.
    Enter("Workstation");
    EXPECT_EQ(frame_->View()->CurrentPath(), "/MyStorage/");
    Enter("/x/y");
    EXPECT_EQ(frame_->View()->CurrentPath(), "/MyStorage/x/y/");
    EXPECT_EQ(Selected(), "/MyStorage/x/y/");
    EXPECT_EQ(BarItems(frame_),
              (std::vector<std::string>{Str(851), "Workstation", "/MyStorage/", "/MyStorage/x/",
                                        "/MyStorage/x/y/", "/public_html/", "Share"}));

    // An unknown node: the message, and back where the frame was.
    Enter("Nope:/docs/");
    EXPECT_EQ(boxes_.Ids(), std::vector<int>{212});
    EXPECT_EQ(frame_->CurrentNode(), app_->NodeList().lookup("Workstation"));
    EXPECT_EQ(frame_->View()->CurrentPath(), "/MyStorage/x/y/");

    // In the node view a path opens nothing.
    frame_->ShowNodeView();
    Enter("/docs/");
    EXPECT_EQ(frame_->GetViewMode(), CMainFrame::kModeNodes);
    EXPECT_EQ(frame_->AddressBar()->currentIndex(), 0);
    EXPECT_EQ(boxes_.Ids().size(), 1u);
}

TEST_F(FrameTest, FailedListingsAreReportedAndLeaveTheNodeList) {
    nbx::test::RawHttpServer gateway(
        std::vector<nbx::test::RawReply>{{.bytes = nbx::test::HttpResponse(502)}});
    nbx::test::RawHttpServer stall(std::vector<nbx::test::RawReply>{{.stall = true}});
    NodeSettings wrong = Share("Wrong");
    wrong.password = "nope";
    SeedNodes({wrong, At("Closed", "http://127.0.0.1:1"), At("Gateway", gateway.BaseUrl()),
               At("Stall", stall.BaseUrl())});
    Start();
    frame_->FileSystem().SetListWaitRounds(300);

    const std::pair<const char*, int> cases[] = {
        {"Wrong:/", 204}, {"Closed:/", 203}, {"Gateway:/", 206}, {"Stall:/", 222}};
    for (const auto& [address, message] : cases) {
        boxes_.Clear();
        Enter(address);
        EXPECT_EQ(boxes_.Ids(), std::vector<int>{message}) << address;
        EXPECT_EQ(frame_->GetViewMode(), CMainFrame::kModeNodes) << address;
        EXPECT_EQ(frame_->CurrentNode(), nullptr) << address;
        EXPECT_EQ(Title(), "NimbexShell") << address;
    }
    EXPECT_NE(
        SessionLog().find("ERROR: CMainFrame::NavigateFromAddress(): CTerraPaneView::Navigate() "
                          "failed with arg: \"/\""),
        std::string::npos);
}

TEST_F(FrameTest, AFailedListingInAFolderReturnsToIt) {
    nbx::test::RawHttpServer stall(std::vector<nbx::test::RawReply>{{.stall = true}});
    SeedNodes({Share(), At("Stall", stall.BaseUrl())});
    Start();
    frame_->FileSystem().SetListWaitRounds(300);
    Enter("Share:/docs/");
    ASSERT_EQ(frame_->View()->CurrentPath(), "/docs/");

    // A folder that is not there: the message, and the folder shown before listed again.
    WriteFile(dav_->OnServer("share", "/docs/new.txt"), "n");
    Enter("/gone/");
    EXPECT_EQ(boxes_.Ids(), std::vector<int>{205});
    EXPECT_EQ(frame_->View()->CurrentPath(), "/docs/");
    EXPECT_EQ(Selected(), "/docs/");
    EXPECT_TRUE(HasRow("new.txt")) << "listed again";

    // Another node that does not answer: back to the node and folder of before.
    boxes_.Clear();
    Enter("Stall:/");
    EXPECT_EQ(boxes_.Ids(), std::vector<int>{222});
    EXPECT_EQ(frame_->CurrentNode(), app_->NodeList().lookup("Share"));
    EXPECT_EQ(frame_->GetViewMode(), CMainFrame::kModeFolder);
    EXPECT_EQ(frame_->View()->CurrentPath(), "/docs/");
    EXPECT_EQ(Selected(), "/docs/");
}

TEST_F(FrameTest, PickedAddressesAndRefresh) {
    SeedNodes({Share(), Workstation()});
    Start();
    Enter("Share:/docs/sub/");
    ASSERT_EQ(frame_->View()->CurrentPath(), "/docs/sub/");

    Pick("/docs/");
    EXPECT_EQ(frame_->View()->CurrentPath(), "/docs/");
    EXPECT_TRUE(HasRow("a.txt"));

    WriteFile(dav_->OnServer("share", "/docs/later.txt"), "l");
    app_->RefreshAllFrames();
    EXPECT_TRUE(HasRow("later.txt"));

    Pick("Workstation");
    EXPECT_EQ(frame_->CurrentNode(), app_->NodeList().lookup("Workstation"));
    EXPECT_EQ(frame_->View()->CurrentPath(), "/MyStorage/");

    Pick(Str(851));
    EXPECT_EQ(frame_->GetViewMode(), CMainFrame::kModeNodes);
    EXPECT_EQ(frame_->CurrentNode(), nullptr);
    EXPECT_TRUE(HasRow("Share"));
}

TEST_F(FrameTest, TheSliderResizesTheThumbnails) {
    SeedNodes({Share()});
    Start();
    Enter("Share:/docs/");
    frame_->Slider()->setValue(18);
    EXPECT_EQ(frame_->View()->ThumbnailWidth(), 72);
    EXPECT_EQ(frame_->View()->ThumbnailHeight(), 72);
    EXPECT_EQ(frame_->CurrentNode()->thumbnail_width, 72) << "kept with the node";

    // Setting the position from the program is no request to resize.
    frame_->SetSliderPosition(20);
    EXPECT_EQ(frame_->View()->ThumbnailWidth(), 72);
}

TEST_F(FrameTest, NewWindowsAndTheMainWindowRole) {
    SeedNodes({Share()});
    Start();
    CMainFrame* first = frame_;
    Enter("Share:/docs/");

    first->Action(ID_APP_NEW_FRAME)->trigger();
    ASSERT_EQ(app_->TopFrameCount(), 2);
    CMainFrame* second = app_->TopFrames()[1];
    EXPECT_EQ(app_->MainWindow(), second);
    EXPECT_EQ(second->GetViewMode(), CMainFrame::kModeFolder);
    EXPECT_EQ(second->CurrentNode(), first->CurrentNode());
    EXPECT_EQ(second->View()->CurrentPath(), "/docs/");
    EXPECT_EQ(second->size(), QSize(740, 480));

    // A window from the node list shows the node list.
    first->ShowNodeView();
    app_->SetMainWindow(first);
    first->Action(ID_APP_NEW_FRAME)->trigger();
    ASSERT_EQ(app_->TopFrameCount(), 3);
    CMainFrame* third = app_->TopFrames()[2];
    EXPECT_EQ(third->GetViewMode(), CMainFrame::kModeNodes);

    // Closing the main window hands the role to the first other frame.
    EXPECT_TRUE(third->close());
    EXPECT_EQ(app_->MainWindow(), first);
    app_->SetMainWindow(second);
    EXPECT_TRUE(second->close());
    EXPECT_EQ(app_->MainWindow(), first);
    EXPECT_EQ(app_->TopFrames(), std::vector<CMainFrame*>{first});
    FlushDeletes();

    // "Opened Files List" is one window, shown again on every use.
    first->Action(ID_OPENED_FILES)->trigger();
    CFileMonitorFrame* opened = app_->OpenedFilesFrame();
    ASSERT_NE(opened, nullptr);
    EXPECT_EQ(S(opened->windowTitle()), Str(803));
    opened->close();
    first->Action(ID_OPENED_FILES)->trigger();
    EXPECT_EQ(app_->OpenedFilesFrame(), opened);
    EXPECT_TRUE(opened->isVisible());
}

TEST_F(FrameTest, ExitClosesEveryFrame) {
    SeedNodes({Share()});
    Start();
    frame_->Action(ID_APP_NEW_FRAME)->trigger();
    ASSERT_EQ(app_->TopFrameCount(), 2);
    app_->MainWindow()->Action(ID_APP_EXIT)->trigger();
    EXPECT_TRUE(WaitFor([&] { return app_->TopFrameCount() == 0; }, 5s));
}

TEST_F(FrameTest, ShellTransfersHoldTheExit) {
    SeedNodes({Share()});
    Start();
    app_->AsyncTransferStarted(frame_);
    app_->AsyncTransferStarted(frame_);
    EXPECT_TRUE(app_->IsAsyncTransferRunning());
    frame_->UpdateCommands();
    EXPECT_FALSE(frame_->Action(ID_APP_EXIT)->isEnabled());
    app_->OnAppExit();
    EXPECT_EQ(boxes_.Ids(), std::vector<int>{211});
    EXPECT_EQ(app_->TopFrameCount(), 1);

    app_->FrameFinishedAsyncTransfer(frame_);
    EXPECT_FALSE(app_->IsAsyncTransferRunning()) << "the duplicate was not listed twice";
    app_->FrameFinishedAsyncTransfer(frame_);
    frame_->UpdateCommands();
    EXPECT_TRUE(frame_->Action(ID_APP_EXIT)->isEnabled());
    const std::string log = SessionLog();
    EXPECT_NE(log.find("WARNING: CTerraPaneApp::AsyncTransferStarted(): duplicated window handler "
                       "found!"),
              std::string::npos);
    EXPECT_NE(log.find("WARNING: CTerraPaneApp::FrameFinishedAsyncTransfer(): window handler not "
                       "found!"),
              std::string::npos);
}

TEST_F(FrameTest, CloseWaitsForARunningBatch) {
    SeedNodes({Share()});
    Start();
    std::atomic<bool> release{false};
    CNbxComnManager& manager = frame_->ComnManager();
    manager.SetAsyncOperationCallback(frame_->View()->AsyncOperationCallback());
    manager.RegisterAction(std::make_unique<CNbxComnActionRefresh>([&] { release.wait(false); }));
    ASSERT_TRUE(WaitFor([&] { return frame_->View()->IsBusy(); }));
    EXPECT_FALSE(frame_->close());
    EXPECT_EQ(app_->TopFrameCount(), 1);

    release = true;
    release.notify_all();
    ASSERT_TRUE(WaitFor([&] { return !frame_->View()->IsBusy(); }));
    EXPECT_TRUE(frame_->close());
    EXPECT_EQ(app_->TopFrameCount(), 0);
}

// An action that outlasts the frame's stop time-out leaves its engine running past the frame:
// what the engine uses stays alive until it ends, and goes then.
TEST_F(FrameTest, AnEngineLeftRunningByAClosedFrameKeepsWhatItUses) {
    struct Shared {
        std::atomic<bool> entered{false};
        std::atomic<bool> release{false};
        std::atomic<int> result{0};
    };
    // Deaf to the abort of the stop, as a transfer stuck in a system call would be.
    class SlowCreate : public CNbxComnAction {
    public:
        SlowCreate(const CNbxNode* node, std::shared_ptr<Shared> shared)
            : CNbxComnAction(node, nullptr, "/docs/made after the frame", ""),
              shared_(std::move(shared)) {}
        int RunMainAction() override {
            shared_->entered = true;
            shared_->release.wait(false);
            shared_->result = fileSystemService->_CREATE(targetNode, targetPath);
            return ActionResult::Success;
        }

    private:
        std::shared_ptr<Shared> shared_;
    };

    SeedNodes({Share()});
    Start();
    const auto shared = std::make_shared<Shared>();
    const std::weak_ptr<CNbxFileSystemService> fileSystem = frame_->SharedFileSystem();
    const CNbxNode* node = app_->NodeList().lookup("Share");
    ASSERT_NE(node, nullptr);
    frame_->ComnManager().RegisterAction(std::make_unique<SlowCreate>(node, shared));
    ASSERT_TRUE(WaitFor([&] { return shared->entered.load(); }));

    const auto saved = CMainFrame::stopTimeout;
    CMainFrame::stopTimeout = 50ms;
    delete frame_;
    frame_ = nullptr;
    CMainFrame::stopTimeout = saved;
    EXPECT_FALSE(fileSystem.expired()) << "the engine still runs and may use it";

    shared->release = true;
    shared->release.notify_all();
    ASSERT_TRUE(WaitFor([&] { return fileSystem.expired(); })) << "gone with the engine";
    EXPECT_EQ(shared->result, 200);
    EXPECT_TRUE(fs::is_directory(dav_->OnServer("share", "/docs/made after the frame")));
}

TEST_F(FrameTest, AboutBoxAndCloseDuringIt) {
    SeedNodes({Share()});
    Start();
    QString product;
    WhenShown<CDlgAbout>(frame_, [&](CDlgAbout* about) {
        product = about->ProductLine();
        about->EndModal(1);
    });
    frame_->Action(ID_APP_ABOUT)->trigger();
    EXPECT_FALSE(product.isEmpty());
    EXPECT_EQ(frame_->AboutDialog(), nullptr);
    ProcessEventsFor(50ms);
    EXPECT_EQ(app_->TopFrameCount(), 1);

    // A close while the box is open ends it with 8, and then the frame closes.
    WhenShown<CDlgAbout>(frame_, [&](CDlgAbout*) { EXPECT_FALSE(frame_->close()); });
    frame_->Action(ID_APP_ABOUT)->trigger();
    EXPECT_TRUE(WaitFor([&] { return app_->TopFrameCount() == 0; }, 5s));
}

TEST_F(FrameTest, OnlyTheLastFrameAsksWhileFilesAreWatched) {
    SeedNodes({Share()});
    Start();
    WriteFile(Root() + "/a.txt", "a");
    app_->MonitorManager().RegisterMonitor(
        std::make_unique<TestMonitor>(*app_->NodeList().lookup("Share"), Root() + "/a.txt", false));
    frame_->Action(ID_APP_NEW_FRAME)->trigger();
    CMainFrame* other = app_->MainWindow();
    ASSERT_NE(other, frame_);
    bool asked = false;
    WhenShown<CDlgConfirmExit>(frame_, [&](CDlgConfirmExit* dialog) {
        asked = true;
        dialog->EndModal(2);
    });
    EXPECT_TRUE(frame_->close()) << "another frame is still open";
    EXPECT_FALSE(asked);
    ASSERT_EQ(app_->TopFrames(), std::vector<CMainFrame*>{other});

    int rows = -1;
    WhenShown<CDlgConfirmExit>(other, [&](CDlgConfirmExit* dialog) {
        rows = dialog->List()->RowCount();
        dialog->EndModal(2);
    });
    EXPECT_FALSE(other->close()) << "No keeps the window";
    EXPECT_EQ(rows, 1);
    EXPECT_EQ(app_->TopFrameCount(), 1);

    // The exit command asks the same question.
    WhenShown<CDlgConfirmExit>(other, [](CDlgConfirmExit* dialog) { dialog->EndModal(2); });
    app_->OnAppExit();
    EXPECT_EQ(app_->TopFrameCount(), 1);
    EXPECT_FALSE(app_->IsExiting());

    WhenShown<CDlgConfirmExit>(other, [](CDlgConfirmExit* dialog) { dialog->EndModal(1); });
    EXPECT_TRUE(other->close());
    EXPECT_EQ(app_->TopFrameCount(), 0);
}

TEST_F(FrameTest, ClosedFilesReachTheMainWindowsView) {
    SeedNodes({Share()});
    Start();
    WriteFile(Root() + "/a.txt", "a");
    auto monitor =
        std::make_unique<TestMonitor>(*app_->NodeList().lookup("Share"), Root() + "/a.txt", true);
    const std::uint32_t id = monitor->GetId();
    std::shared_ptr<CNbxFileMonitor> watched;
    app_->MonitorManager().RegisterMonitor(std::move(monitor));
    {
        const auto& list = app_->MonitorManager().LockMonitors();
        for (const auto& m : list) {
            if (m->GetId() == id) {
                watched = m;
            }
        }
        app_->MonitorManager().UnlockMonitors();
    }
    ASSERT_NE(watched, nullptr);
    EXPECT_TRUE(WaitFor([&] { return watched->GetState() == FMS_HANDLED; }));
}

}  // namespace
