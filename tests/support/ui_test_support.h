#pragma once

// Widget tests run on Qt's offscreen platform with the program's own main (ui_test_main.cpp):
// one QApplication for the whole test program, message boxes answered by a recorder. Here are
// the helpers every widget test shares: waiting, keys, rows, an Apache share, a callback
// recorder, the deployment profile; ExplorerTest (explorer_fixture.h) adds the application.

#include <gtest/gtest.h>

#include <QObject>
#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "comn/comn_manager.h"
#include "monitor/file_monitor_manager.h"
#include "nodes/nbx_node.h"
#include "support/webdav_server.h"
#include "widgets/message_box.h"

class SListView;

namespace nbx::test {

// Handles events, checking the condition between them, until it holds or the time is up; the
// condition's last value. The one way a widget test waits for something to happen.
bool WaitFor(const std::function<bool()>& condition,
             std::chrono::milliseconds timeout = std::chrono::milliseconds(10000));
// Handles events for the given time: only for showing that something does NOT happen, where
// there is no event to wait for.
void ProcessEventsFor(std::chrono::milliseconds time);

// Installed for its lifetime instead of real message boxes: records each box and answers with
// the next queued answer (kIdYes for questions and kIdOk otherwise when none is queued).
class MessageBoxRecorder {
public:
    struct Box {
        int stringId;
        std::string text;
        nbx::ui::MsgIcon icon;
        nbx::ui::MsgButtons buttons;
    };
    MessageBoxRecorder();
    ~MessageBoxRecorder();
    void QueueAnswer(int answer) { answers_.push_back(answer); }
    const std::vector<Box>& Boxes() const { return boxes_; }
    std::vector<int> Ids() const;
    void Clear() { boxes_.clear(); }

private:
    std::vector<Box> boxes_;
    std::vector<int> answers_;
};

// ---- Input and rows --------------------------------------------------------------------------

// A key press sent straight to the target, as the focused widget would get it.
void Press(QObject* target, int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier);
// The texts of a column, row by row (no group headers).
std::vector<std::string> RowTexts(const SListView& list, int column = 0);
// The first row whose column 0 is exactly `text`, else -1.
int RowOf(const SListView& list, const std::string& text);
// Selects exactly these rows; fails the test for a name not listed.
void Select(SListView& list, const std::vector<std::string>& texts);

// ---- Servers and nodes -----------------------------------------------------------------------

// Apache serving one WebDAV folder per node name to one user; the settings of nodes on it.
class ApacheShare {
public:
    explicit ApacheShare(const std::vector<std::string>& folders, std::string login = "demo",
                         std::string password = "s3cret");
    bool Started() const { return server_.Started(); }
    WebDavServer& Server() { return server_; }
    std::string BaseUrl() const { return server_.BaseUrl(); }
    // Where a node folder's path lies on the server's disk.
    std::string OnServer(const std::string& folder, const std::string& path) const;
    // A shared folder node on the folder.
    NodeSettings SharedFolder(const std::string& title, const std::string& folder) const;
    // A device node of the kind on the folder, its storage below rootDir.
    NodeSettings Device(const std::string& title, const std::string& folder, int deviceType,
                        const std::string& rootDir = "") const;

private:
    WebDavServer server_;
    std::string login_;
    std::string password_;
};

// Counts what a batch queue and the monitor manager tell the application; safe from their
// engine threads. Hand the monitor manager a shared_ptr of it.
class CallbackRecorder : public IComnManagerComnActionCallback,
                         public IComnManagerAsyncOperationCallback,
                         public IMonitorManagerFileStatusCallback {
public:
    void OnComnActionSuccess() override { ++success; }
    void OnComnActionAborted() override { ++aborted; }
    void OnComnActionError() override { ++error; }
    void OnAsyncOperationStart() override { ++started; }
    void OnAsyncOperationFinish(int result, int) override {
        lastResult = result;
        ++finished;
    }
    void OnMonitorInvalid(const std::shared_ptr<CNbxFileMonitor>&) override { ++polls; }
    void OnMonitorOpened(const std::shared_ptr<CNbxFileMonitor>&) override { ++polls; }
    void OnMonitorModified(const std::shared_ptr<CNbxFileMonitor>&) override { ++polls; }
    void OnMonitorClosed(const std::shared_ptr<CNbxFileMonitor>&) override { ++polls; }
    void OnMonitorClosedModified(const std::shared_ptr<CNbxFileMonitor>&) override { ++polls; }

    std::atomic<int> success{0}, aborted{0}, error{0}, started{0}, finished{0};
    std::atomic<int> lastResult{0};
    std::atomic<int> polls{0};  // monitor reports of any kind
};

// ---- The deployment profile ------------------------------------------------------------------

// The profile's text with every service host at host (a "127.0.0.1:port").
std::string LoopbackProfile(const std::string& host);
// Writes the profile to `path`, points NIMBEXSHELL_DEPLOYMENT at it and applies it, TLS
// settings included.
void UseDeploymentProfile(const std::string& path, const std::string& text);
// Back to no profile and default TLS.
void DropDeploymentProfile();

}  // namespace nbx::test
