#include "support/ui_test_support.h"

#include <QApplication>
#include <QKeyEvent>
#include <QThread>
#include <cstdlib>
#include <filesystem>
#include <mutex>

#include "base/deployment_profile.h"
#include "platform/http_client.h"
#include "support/test_support.h"
#include "widgets/list_view.h"

namespace nbx::test {

bool WaitFor(const std::function<bool()>& condition, std::chrono::milliseconds timeout) {
    const auto until = std::chrono::steady_clock::now() + timeout;
    while (!condition()) {
        if (std::chrono::steady_clock::now() >= until) {
            return condition();
        }
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        QThread::msleep(5);
    }
    return true;
}

void ProcessEventsFor(std::chrono::milliseconds time) {
    const auto until = std::chrono::steady_clock::now() + time;
    while (std::chrono::steady_clock::now() < until) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        QThread::msleep(5);
    }
}

MessageBoxRecorder::MessageBoxRecorder() {
    // Boxes may be asked for from an engine thread that waits for the ui thread; the hook runs
    // on the ui thread (message_box.cpp shows boxes only there).
    nbx::ui::SetMessageBoxHook([this](int id, const std::string& text, nbx::ui::MsgIcon icon,
                                      nbx::ui::MsgButtons buttons) {
        boxes_.push_back({id, text, icon, buttons});
        if (!answers_.empty()) {
            int answer = answers_.front();
            answers_.erase(answers_.begin());
            return answer;
        }
        return buttons == nbx::ui::MsgButtons::kOk ? int(nbx::ui::kIdOk) : int(nbx::ui::kIdYes);
    });
}

MessageBoxRecorder::~MessageBoxRecorder() {
    nbx::ui::SetMessageBoxHook(nullptr);
}

std::vector<int> MessageBoxRecorder::Ids() const {
    std::vector<int> ids;
    for (const Box& box : boxes_) {
        ids.push_back(box.stringId);
    }
    return ids;
}

// ---- Input and rows --------------------------------------------------------------------------

void Press(QObject* target, int key, Qt::KeyboardModifiers modifiers) {
    QKeyEvent press(QEvent::KeyPress, key, modifiers);
    QCoreApplication::sendEvent(target, &press);
}

std::vector<std::string> RowTexts(const SListView& list, int column) {
    std::vector<std::string> texts;
    for (int row = 0; row < list.RowCount(); ++row) {
        texts.push_back(list.Text(row, column).toStdString());
    }
    return texts;
}

int RowOf(const SListView& list, const std::string& text) {
    for (int row = 0; row < list.RowCount(); ++row) {
        if (list.Text(row).toStdString() == text) {
            return row;
        }
    }
    return -1;
}

void Select(SListView& list, const std::vector<std::string>& texts) {
    list.ClearSelection();
    for (const std::string& text : texts) {
        const int row = RowOf(list, text);
        ASSERT_GE(row, 0) << text;
        list.SetSelected(row, true);
    }
}

// ---- Servers and nodes -----------------------------------------------------------------------

ApacheShare::ApacheShare(const std::vector<std::string>& folders, std::string login,
                         std::string password)
    : server_(WebDavServer::Kind::kApache, folders,
              std::vector<WebDavServer::User>{{login, password}}),
      login_(std::move(login)),
      password_(std::move(password)) {}

std::string ApacheShare::OnServer(const std::string& folder, const std::string& path) const {
    return server_.DataDir() + "/" + folder + path;
}

NodeSettings ApacheShare::SharedFolder(const std::string& title, const std::string& folder) const {
    return {.node_type = NodeType::SharedFolder,
            .nbx_proxy = server_.BaseUrl(),
            .node_name = folder,
            .login = login_,
            .password = password_,
            .title_name = title};
}

NodeSettings ApacheShare::Device(const std::string& title, const std::string& folder,
                                 int deviceType, const std::string& rootDir) const {
    return {.node_type = NodeType::ServiceNode,
            .device_type = deviceType,
            .nbx_proxy = server_.BaseUrl(),
            .node_name = folder,
            .login = login_,
            .password = password_,
            .root_dir = rootDir,
            .title_name = title};
}

// ---- The deployment profile ------------------------------------------------------------------

std::string LoopbackProfile(const std::string& host) {
    return "[Service]\nAccountApiHost=" + host + "\nPushApiHost=127.0.0.1\nDiskApiHost=" + host +
           "\nServiceProbeHost=127.0.0.1\nDefaultNodeBaseUrl=http://" + host +
           "\nDefaultDiskBaseUrl=https://" + host + "\nDefaultFolderBaseUrl=http://" + host + "\n";
}

void UseDeploymentProfile(const std::string& path, const std::string& text) {
    std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    WriteFile(path, text);
    ::setenv("NIMBEXSHELL_DEPLOYMENT", path.c_str(), 1);
    ApplyDeploymentTls(ReloadDeploymentProfile());
}

void DropDeploymentProfile() {
    ::unsetenv("NIMBEXSHELL_DEPLOYMENT");
    ReloadDeploymentProfile();
    nbx::http::SetDefaultTls({});
}

}  // namespace nbx::test
