#include "support/explorer_fixture.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QCoreApplication>
#include <chrono>
#include <cstdlib>

#include "base/deployment_profile.h"
#include "base/session_log.h"
#include "nodes/node_list.h"
#include "nodes/sqlite_com.h"
#include "shell/terrapane_app.h"
#include "support/ui_test_support.h"
#include "ui/main_frame.h"
#include "widgets/dlg_modal.h"

namespace nbx::test {

void ExplorerTest::SetUp() {
    TempHome::SetUp();
    // The database of an earlier test lives in another home.
    CSQLiteCom::ReleaseInstance();
    const std::string host = "127.0.0.1:" + std::to_string(ClosedPort());
    const std::string profile = Root() + "/deployment.ini";
    WriteFile(profile, "[Service]\nAccountApiHost=" + host + "\nPushApiHost=127.0.0.1\n" +
                           "DiskApiHost=" + host + "\nServiceProbeHost=127.0.0.1\n" +
                           "DefaultNodeBaseUrl=http://" + host + "\nDefaultDiskBaseUrl=https://" +
                           host + "\nDefaultFolderBaseUrl=http://" + host + "\n");
    ::setenv("NIMBEXSHELL_DEPLOYMENT", profile.c_str(), 1);
    ReloadDeploymentProfile();
}

void ExplorerTest::TearDown() {
    if (app_) {
        for (CMainFrame* frame : std::vector<CMainFrame*>(app_->TopFrames())) {
            frame->close();
        }
        PollUntil([this] { return app_->TopFrameCount() == 0; }, std::chrono::seconds(10));
        for (CMainFrame* frame : std::vector<CMainFrame*>(app_->TopFrames())) {
            delete frame;
        }
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        frame_ = nullptr;
        app_->ExitInstance();
        app_.reset();
    }
    CSQLiteCom::ReleaseInstance();
    ::unsetenv("NIMBEXSHELL_DEPLOYMENT");
    ReloadDeploymentProfile();
    TempHome::TearDown();
}

void ExplorerTest::SeedNodes(const std::vector<NodeSettings>& nodes) {
    CNbxNodeList list;
    for (const NodeSettings& settings : nodes) {
        auto node = std::make_unique<CNbxNode>(settings);
        ASSERT_NE(list.AddNode(node), nullptr) << settings.title_name;
    }
}

void ExplorerTest::StartApp() {
    app_ = std::make_unique<CTerraPaneApp>();
    ASSERT_TRUE(app_->InitInstance());
    frame_ = app_->MainWindow();
    ASSERT_NE(Frame(), nullptr);
    ASSERT_NE(View(), nullptr);
}

CTerraPaneView* ExplorerTest::View() const {
    return Frame() != nullptr ? Frame()->View() : nullptr;
}

int ExplorerTest::ClosedPort() {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof(address);
    int port = 0;
    if (fd >= 0 && ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof(address)) == 0 &&
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) == 0) {
        port = ntohs(address.sin_port);
    }
    if (fd >= 0) {
        ::close(fd);
    }
    return port;
}

std::string ExplorerTest::SessionLog() const {
    return ReadFile(SessionLogPath());
}

}  // namespace nbx::test
