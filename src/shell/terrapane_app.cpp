#include "shell/terrapane_app.h"

#include <QApplication>
#include <QCoreApplication>
#include <QMetaObject>
#include <QPointer>
#include <algorithm>
#include <chrono>
#include <thread>

#include "base/deployment_profile.h"
#include "base/session_log.h"
#include "base/strings.h"
#include "nodes/sqlite_com.h"
#include "platform/format.h"
#include "platform/xdg.h"
#include "remotefs/ft_service.h"
#include "ui/file_monitor_view.h"
#include "ui/main_frame.h"
#include "ui/terrapane_view.h"
#include "ui/window_settings.h"
#include "widgets/message_box.h"
#include "widgets/ui_events.h"
#include "widgets/ui_helpers.h"

using namespace std::chrono_literals;
using nbx::ui::NbxEvent;

namespace {

CTerraPaneApp* g_app = nullptr;

// Nothing in the program reads the profile settings; the name is only logged.
constexpr const char* kProfileVendor = "NimbexShell Developers";

}  // namespace

// Runs on the monitor manager's engine thread, which must never wait for this one: it posts
// the close to the application, which hands it to the main window's view. Once detached (the
// application shuts down) a close is marked handled at once.
class CTerraPaneApp::MonitorCallback : public IMonitorManagerFileStatusCallback {
public:
    explicit MonitorCallback(CTerraPaneApp* app) : app_(app) {}
    void Detach() {
        std::lock_guard lock(mutex_);
        app_ = nullptr;
    }
    void OnMonitorInvalid(const std::shared_ptr<CNbxFileMonitor>&) override {}
    void OnMonitorOpened(const std::shared_ptr<CNbxFileMonitor>&) override {}
    void OnMonitorModified(const std::shared_ptr<CNbxFileMonitor>&) override {}
    void OnMonitorClosed(const std::shared_ptr<CNbxFileMonitor>& monitor) override {
        Forward(nbx::ui::WM_FILE_MONITOR_CLOSED, monitor);
    }
    void OnMonitorClosedModified(const std::shared_ptr<CNbxFileMonitor>& monitor) override {
        Forward(nbx::ui::WM_FILE_MONITOR_CLOSED_MODIFIED, monitor);
    }

private:
    void Forward(int message, const std::shared_ptr<CNbxFileMonitor>& monitor) {
        {
            std::lock_guard lock(mutex_);
            if (app_ != nullptr) {
                nbx::ui::PostMessage(app_, message, monitor);
                return;
            }
        }
        monitor->MarkHandled();
    }

    std::mutex mutex_;
    CTerraPaneApp* app_;
};

// Runs on the node-state pass's thread and hands each state to the ui thread, waiting until
// every frame has taken it. The application is read there only, where it also detaches on its
// way out, so a state that arrives after that reaches no one.
class CTerraPaneApp::NodeStateReceiver : public INodeStateReceiver {
public:
    explicit NodeStateReceiver(CTerraPaneApp* app) : app_(app) {}
    void Detach() { app_ = nullptr; }  // ui thread

    void OnNodeState(const std::string& title, int state) override {
        QCoreApplication* ui = QCoreApplication::instance();
        if (ui == nullptr) {
            return;
        }
        nbx::ui::RunOnUiThreadAndWait(ui, [this, &title, state] {
            if (app_ != nullptr) {
                app_->BroadcastNodeState(title, state);
            }
        });
    }

private:
    CTerraPaneApp* app_;  // ui thread only
};

CTerraPaneApp::CTerraPaneApp()
    : monitorCallback_(std::make_shared<MonitorCallback>(this)),
      nodeStateReceiver_(std::make_shared<NodeStateReceiver>(this)) {
    nodeStateEngine_.SetReceiver(nodeStateReceiver_);
    g_app = this;
    nbx::ui::SetExplorerHost(this);
}

CTerraPaneApp::~CTerraPaneApp() {
    monitorCallback_->Detach();
    if (initialised_ && !exited_) {
        ExitInstance();
    }
    StopMonitorThread();
    nodeStateReceiver_->Detach();
    delete openedFiles_.data();
    if (g_app == this) {
        g_app = nullptr;
    }
    if (nbx::ui::ExplorerHost() == this) {
        nbx::ui::SetExplorerHost(nullptr);
    }
}

CTerraPaneApp* CTerraPaneApp::Instance() {
    return g_app;
}

bool CTerraPaneApp::InitInstance() {
    initialised_ = true;
    OpenSessionLog(SessionLogPath());
    WriteLog(LogLevel::Info, "CTerraPaneApp::InitInstance() invoked....");
    // Here rather than before the log is open, so that a switched-off verification is logged.
    ApplyDeploymentTls(GetDeploymentProfile());
    // The steps of other desktops that have nothing to do here still show in the log, so that
    // a start reads the same everywhere.
    WriteLog(LogLevel::Info,
             "CTerraPaneApp::InitInstance(): AfxSocketInit() not needed, succeeded.");
    WriteLog(LogLevel::Info, "CTerraPaneApp::InitInstance(): AfxOleInit() not needed, succeeded.");
    WriteLog(LogLevel::Info,
             "CTerraPaneApp::InitInstance(): AfxEnableControlContainer() not needed, succeeded.");
    WriteLog(LogLevel::Info,
             "CTerraPaneApp::InitInstance(): MSXML6.0 check not needed, succeeded.");
    WriteLog(LogLevel::Info,
             "CTerraPaneApp::InitInstance(): RegisterClipboardFormat() not needed, succeeded.");
    WriteLog(LogLevel::Info,
             nbx::StrPrintf("CTerraPaneApp::InitInstance(): SetRegistryKey() not needed, "
                            "profile key: \"%s, %s\".",
                            nbx::xdg::kAppName, kProfileVendor));
    WriteLog(LogLevel::Info,
             "CTerraPaneApp::InitInstance(): CMultiDocTemplate() not needed, succeeded.");

    if (!nodeList_.LoadListFromDB()) {
        WriteLog(LogLevel::Fatal,
                 "CTerraPaneApp::InitInstance(): CNbxNodeList::LoadListFromDB() failed!");
        return false;
    }

    // The first window comes back as the last one of the previous session went.
    const nbx::ui::WindowSettings settings = nbx::ui::LoadWindowSettings();
    CMainFrame* frame = CreateFrame(&settings);
    if (frame == nullptr) {
        WriteLog(LogLevel::Fatal, "CTerraPaneApp::InitInstance(): ProcessShellCommand() failed!");
        return false;
    }
    SetMainWindow(frame);

    // The command line and the hand-over to a running first instance come later: every start
    // is a plain one.
    WriteLog(LogLevel::Info,
             "CTerraPaneApp::InitInstance(): CTerraPaneCommandLineInfo::IsShortcut() returned "
             "FALSE.");
    frame->ShowNodeView();

    monitorManager_->SetStatusCallback(monitorCallback_);
    monitorManager_->Start();

    // The automatic update check starts here once the updater exists.

    if (!StartMonitorThread()) {
        WriteLog(LogLevel::Error, "CTerraPaneApp::InitInstance(): StartMonitorThread() failed!");
    }
    return true;
}

int CTerraPaneApp::ExitInstance() {
    exited_ = true;
    WriteLog(LogLevel::Info, "CTerraPaneApp::ExitInstance() invoked...");
    // Frames closed last are only scheduled for deletion; they go while the nodes they refer
    // to still exist.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    // Frames still open hold nodes of the list and their engines use the monitor manager, so
    // they go first.
    while (!frames_.empty()) {
        delete frames_.back();  // removes itself from the list
    }
    monitorCallback_->Detach();
    monitorManager_->Stop();
    StopMonitorThread();
    nodeList_.RemoveAllNodes();
    CSQLiteCom::ReleaseInstance();
    CloseSessionLog();
    return 0;
}

bool CTerraPaneApp::event(QEvent* event) {
    if (nbx::ui::IsMessage(event, nbx::ui::WM_FILE_MONITOR_CLOSED) ||
        nbx::ui::IsMessage(event, nbx::ui::WM_FILE_MONITOR_CLOSED_MODIFIED)) {
        auto* message = static_cast<NbxEvent*>(event);
        auto monitor = std::any_cast<std::shared_ptr<CNbxFileMonitor>>(message->wparam);
        CTerraPaneView* view = mainWindow_ != nullptr ? mainWindow_->View() : nullptr;
        if (view != nullptr) {
            nbx::ui::PostMessage(view, message->Message(), monitor);
        } else {
            monitor->MarkHandled();
        }
        return true;
    }
    return QObject::event(event);
}

// ---- Frames ------------------------------------------------------------------------------

void CTerraPaneApp::AddTopFrame(CMainFrame* frame) {
    if (mainWindow_ == nullptr) {
        mainWindow_ = frame;
    }
    frames_.push_back(frame);
}

void CTerraPaneApp::SetMainWindow(CMainFrame* frame) {
    if (std::find(frames_.begin(), frames_.end(), frame) != frames_.end()) {
        mainWindow_ = frame;
    }
}

void CTerraPaneApp::OnTopFrameClosing(CMainFrame* frame) {
    if (frame != mainWindow_) {
        return;
    }
    for (CMainFrame* other : frames_) {
        if (other != frame) {
            mainWindow_ = other;
            return;
        }
    }
}

void CTerraPaneApp::RemoveTopFrame(CMainFrame* frame) {
    std::erase(frames_, frame);
    if (mainWindow_ == frame) {
        mainWindow_ = frames_.empty() ? nullptr : frames_.front();
    }
    {
        std::lock_guard lock(asyncLock_);
        std::erase(asyncFrames_, frame);
    }
    if (transferSourceView_ != nullptr && frame->View() == transferSourceView_) {
        transferSourceView_ = nullptr;
    }
    // The program ends with its last explorer frame, whatever other windows are open.
    if (frames_.empty() && initialised_ && !exited_) {
        QCoreApplication::quit();
    }
}

void CTerraPaneApp::BroadcastNodeState(const std::string& title, int state) {
    nbx::ui::RunOnUiThreadAndWait(this, [this, &title, state] {
        const std::vector<CMainFrame*> frames = frames_;
        for (CMainFrame* frame : frames) {
            if (std::find(frames_.begin(), frames_.end(), frame) != frames_.end()) {
                nbx::ui::SendMessage(frame, nbx::ui::WM_NODE_STATE, title, state);
            }
        }
    });
}

void CTerraPaneApp::RefreshAllFrames() {
    const std::vector<CMainFrame*> frames = frames_;
    for (CMainFrame* frame : frames) {
        if (std::find(frames_.begin(), frames_.end(), frame) != frames_.end()) {
            nbx::ui::SendMessage(frame, nbx::ui::ID_REFRESH_LOCATION);
        }
    }
}

void CTerraPaneApp::CloseOtherTopFrames() {
    PumpMessages();
    const std::vector<CMainFrame*> frames = frames_;
    for (CMainFrame* frame : frames) {
        if (frame != mainWindow_ &&
            std::find(frames_.begin(), frames_.end(), frame) != frames_.end()) {
            QMetaObject::invokeMethod(frame, "close", Qt::QueuedConnection);
            PumpMessages();
        }
    }
}

// ---- Shell data transfers ------------------------------------------------------------------

void CTerraPaneApp::AsyncTransferStarted(CMainFrame* frame) {
    bool duplicate = false;
    {
        std::lock_guard lock(asyncLock_);
        duplicate =
            std::find(asyncFrames_.begin(), asyncFrames_.end(), frame) != asyncFrames_.end();
        if (!duplicate) {
            asyncFrames_.push_back(frame);
        }
    }
    if (duplicate) {
        WriteLog(LogLevel::Warning,
                 "CTerraPaneApp::AsyncTransferStarted(): duplicated window handler found!");
    }
}

void CTerraPaneApp::FrameFinishedAsyncTransfer(CMainFrame* frame) {
    std::size_t removed = 0;
    {
        std::lock_guard lock(asyncLock_);
        removed = std::erase(asyncFrames_, frame);
    }
    if (removed == 0) {
        WriteLog(LogLevel::Warning,
                 "CTerraPaneApp::FrameFinishedAsyncTransfer(): window handler not found!");
    }
}

bool CTerraPaneApp::IsAsyncTransferRunning() const {
    std::lock_guard lock(asyncLock_);
    return !asyncFrames_.empty();
}

// ---- Node-state thread ---------------------------------------------------------------------

bool CTerraPaneApp::IsNodeStatePassRunning() const {
    return nodeStateEngine_.IsPassRunning();
}

bool CTerraPaneApp::StartMonitorThread() {
    return nodeStateEngine_.Start();
}

void CTerraPaneApp::StopMonitorThread() {
    // A state on its way to the frames waits for this thread: serve it while waiting.
    nodeStateEngine_.Stop(CNbxNodeStateEngine::kStopTimeout,
                          [] { QCoreApplication::processEvents(QEventLoop::AllEvents, 10); });
}

// ---- New frames ----------------------------------------------------------------------------

CMainFrame* CTerraPaneApp::CreateFrame(const nbx::ui::WindowSettings* settings) {
    auto* frame = new CMainFrame();
    if (!frame->Create()) {
        delete frame;
        return nullptr;
    }
    frame->View()->InitialUpdate();
    if (settings != nullptr) {
        frame->ApplySettings(*settings);
    }
    frame->show();
    return frame;
}

CMainFrame* CTerraPaneApp::CreateFrameLike(CMainFrame* active, CNbxNode* node) {
    CMainFrame* frame = CreateFrame();
    if (frame == nullptr) {
        return nullptr;
    }
    SetMainWindow(frame);
    // The node first: the settings taken over are stored in it as in any folder view.
    frame->SetCurrentNode(node);
    if (active != nullptr && active->View() != nullptr) {
        const CTerraPaneView* view = active->View();
        if (view->SortColumn() >= 0) {
            frame->ApplySort(view->SortColumn(), view->SortAscending());
        }
        frame->View()->SetViewStyle(active->GetViewStyle());
        frame->ApplyThumbnailSize(view->ThumbnailWidth(), view->ThumbnailHeight(), false);
    }
    return frame;
}

CMainFrame* CTerraPaneApp::OpenNodeInNewFrame(const std::string& title, const std::string& path) {
    CMainFrame* frame = CreateFrame();
    if (frame == nullptr) {
        WriteLog(LogLevel::Error,
                 "CTerraPaneApp::OpenNodeInNewFrame(): CMultiDocTemplate::CreateNewFrame() "
                 "failed!");
        return nullptr;
    }
    SetMainWindow(frame);
    if (!title.empty()) {
        frame->View()->OpenNode(title, path);
    } else {
        frame->ShowNodeView();
        frame->raise();
        frame->activateWindow();
    }
    return frame;
}

CMainFrame* CTerraPaneApp::OpenFolderInNewFrame(CNbxNode* node, const std::string& path) {
    CMainFrame* frame = CreateFrameLike(mainWindow_, node);
    if (frame == nullptr) {
        WriteLog(LogLevel::Error,
                 "CTerraPaneApp::OpenFolderInNewFrame(): CMultiDocTemplate::CreateNewFrame() "
                 "failed!");
        return nullptr;
    }
    frame->SetLocation(path);
    frame->NavigateFromAddress();
    return frame;
}

// ---- Application commands ------------------------------------------------------------------

void CTerraPaneApp::OnFileNewFrame() {
    CMainFrame* active = mainWindow_;
    if (active == nullptr) {
        return;
    }
    if (active->GetViewMode() == CMainFrame::kModeFolder && active->CurrentNode() != nullptr &&
        active->View() != nullptr) {
        OpenFolderInNewFrame(active->CurrentNode(), active->View()->CurrentPath());
        return;
    }
    CMainFrame* frame = CreateFrameLike(active, nullptr);
    if (frame == nullptr) {
        WriteLog(LogLevel::Error,
                 "CTerraPaneApp::OnFileNewFrame(): CMultiDocTemplate::CreateNewDocument() failed!");
        return;
    }
    // Showing the node list applies its own style, so the active one's goes there first.
    if (active->View() != nullptr) {
        frame->View()->SetNodeViewStyle(active->View()->NodeViewStyle());
    }
    frame->ShowNodeView();
}

void CTerraPaneApp::OnAppExit() {
    if (IsAsyncTransferRunning()) {
        nbx::ui::ShowMessage(mainWindow_, nbx::strings::kWaitForTransfer,
                             nbx::ui::MsgIcon::kInformation);
        return;
    }
    // The updater dialog is ended here with code 3 once it exists.
    const int answer = ConfirmExitWithOpenFiles(mainWindow_);
    if (answer != 1) {
        exiting_ = false;
        if (answer == 8 && mainWindow_ != nullptr) {
            nbx::ui::PostMessage(mainWindow_, nbx::ui::WM_CLOSE_FRAME);
        }
        return;
    }
    exiting_ = true;
    CloseOtherTopFrames();
    PumpMessages();
    // A main window that refuses to close (a batch still runs) keeps the program running, and
    // its next close asks again.
    if (mainWindow_ == nullptr || !mainWindow_->close()) {
        exiting_ = false;
    }
}

int CTerraPaneApp::ConfirmExitWithOpenFiles(QWidget* parent) {
    if (exiting_ || exitConfirming_) {
        return 1;
    }
    const bool watching = !monitorManager_->LockMonitors().empty();
    monitorManager_->UnlockMonitors();
    if (!watching) {
        return 1;
    }
    QPointer<CMainFrame> frame = qobject_cast<CMainFrame*>(parent);
    // On the heap: a parent that goes while the dialog runs takes it along.
    QPointer<CDlgConfirmExit> dialog = new CDlgConfirmExit(monitorManager_.get(), parent);
    if (frame != nullptr) {
        frame->SetExitDialog(dialog);
    }
    exitConfirming_ = true;
    const int result = dialog->DoModal();
    exitConfirming_ = false;
    if (frame != nullptr) {
        frame->SetExitDialog(nullptr);
    }
    delete dialog.data();
    return result;
}

void CTerraPaneApp::OnOptionsOpenedFilesMgr() {
    if (openedFiles_ == nullptr) {
        openedFiles_ = new CFileMonitorFrame(monitorManager_.get());
        openedFiles_->setWindowTitle(
            QString::fromStdString(nbx::strings::LoadString(nbx::strings::kOpenedFilesTitle)));
    }
    openedFiles_->show();
    openedFiles_->raise();
    openedFiles_->activateWindow();
}

CFileMonitorFrame* CTerraPaneApp::OpenedFilesFrame() const {
    return openedFiles_.data();
}
