#include "support/explorer_fixture.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QCoreApplication>
#include <chrono>
#include <cstdlib>
#include <filesystem>

#include "base/deployment_profile.h"
#include "base/session_log.h"
#include "nodes/node_list.h"
#include "nodes/sqlite_com.h"
#include "shell/terrapane_app.h"
#include "ui/main_frame.h"
#include "widgets/dlg_modal.h"

namespace nbx::test {

// ---- The fixture -----------------------------------------------------------------------------

void ExplorerTest::SetUp() {
    if (sharedHome_.empty()) {
        TempHome::SetUp();
    } else {
        AdoptHome(sharedHome_);
        std::filesystem::remove_all(DataDir());
        std::filesystem::remove_all(StateDir());
    }
    // The database of an earlier test lives in another home, or was just removed.
    CSQLiteCom::ReleaseInstance();
    UseProfile(LoopbackProfile("127.0.0.1:" + std::to_string(ClosedPort())));
}

void ExplorerTest::TearDown() {
    if (app_) {
        // ExitInstance takes the frames still open along; closing them here could stop at a
        // question or a dialog with nobody left to answer it.
        frame_ = nullptr;
        app_->ExitInstance();
        app_.reset();
    }
    CSQLiteCom::ReleaseInstance();
    DropDeploymentProfile();
    TempHome::TearDown();
}

void ExplorerTest::SeedNodes(const std::vector<NodeSettings>& nodes) {
    CNbxNodeList list;
    for (const NodeSettings& settings : nodes) {
        auto node = std::make_unique<CNbxNode>(settings);
        ASSERT_NE(list.AddNode(node), nullptr) << settings.title_name;
    }
}

void ExplorerTest::UseProfile(const std::string& text) {
    UseDeploymentProfile(Root() + "/deployment.ini", text);
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

CNbxNode* ExplorerTest::AddNode(NodeSettings settings) {
    auto node = std::make_unique<CNbxNode>(std::move(settings));
    return app_->NodeList().AddNode(node);
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
