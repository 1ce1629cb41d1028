#pragma once

// The one application object: brings the system up in a fixed order, owns the process-wide
// services (node list, file monitor manager, node-state thread), keeps the registry of explorer
// frames and of frames with a shell data transfer running, answers the application commands and
// takes the system down. It lives on the user-interface thread; a QApplication must exist.

#include <QObject>
#include <QPointer>
#include <atomic>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "monitor/file_monitor_manager.h"
#include "monitor/node_state_engine.h"
#include "nodes/node_list.h"
#include "ui/explorer_host.h"

class CMainFrame;
class CFileMonitorFrame;
class CTerraPaneView;
class QWidget;
namespace nbx::ui {
struct WindowSettings;
}

class CTerraPaneApp : public QObject, public nbx::ui::IExplorerHost {
    Q_OBJECT
public:
    CTerraPaneApp();
    ~CTerraPaneApp() override;

    // The one instance, while it exists.
    static CTerraPaneApp* Instance();

    // True to run the event loop; false to end at once (ExitInstance still runs).
    bool InitInstance();
    int ExitInstance();

    CNbxNodeList& NodeList() override { return nodeList_; }
    CNbxFileMonitorManager& MonitorManager() { return *monitorManager_; }
    // For the frames' engines, which a stop may leave running past the application's end.
    const std::shared_ptr<CNbxFileMonitorManager>& SharedMonitorManager() const override {
        return monitorManager_;
    }
    bool IsExiting() const { return exiting_; }

    // Frame registry, in creation order; the main window is one of them.
    void AddTopFrame(CMainFrame* frame) override;
    void OnTopFrameClosing(CMainFrame* frame) override;
    void RemoveTopFrame(CMainFrame* frame) override;
    CMainFrame* MainWindow() const override { return mainWindow_; }
    // Only a listed frame can become the main window.
    void SetMainWindow(CMainFrame* frame) override;
    const std::vector<CMainFrame*>& TopFrames() const { return frames_; }
    int TopFrameCount() const override { return static_cast<int>(frames_.size()); }
    // Sent to every frame in list order (from any thread: the caller waits).
    void BroadcastNodeState(const std::string& title, int state);
    void RefreshAllFrames();
    void CloseOtherTopFrames();

    // Frames with a shell data transfer running.
    void AsyncTransferStarted(CMainFrame* frame) override;
    void FrameFinishedAsyncTransfer(CMainFrame* frame) override;
    bool IsAsyncTransferRunning() const override;

    // The node-state pass (CNbxNodeStateEngine), each node's state sent to every frame.
    bool StartMonitorThread() override;
    void StopMonitorThread();

    // New windows.
    CMainFrame* OpenNodeInNewFrame(const std::string& title, const std::string& path) override;
    CMainFrame* OpenFolderInNewFrame(CNbxNode* node, const std::string& path) override;

    // Application commands.
    void OnFileNewFrame() override;
    void OnAppExit() override;
    void OnOptionsOpenedFilesMgr() override;
    CFileMonitorFrame* OpenedFilesFrame() const;

    // The exit confirmation for a parent window: 1 go on (also when nothing is open or the
    // application exits already), 2 declined, or the code a WM_END_MODAL ended it with.
    int ConfirmExitWithOpenFiles(QWidget* parent) override;

    CTerraPaneView* TransferSourceView() const override { return transferSourceView_; }
    void SetTransferSourceView(CTerraPaneView* view) override { transferSourceView_ = view; }

    // Whether a node-state pass is running now.
    bool IsNodeStatePassRunning() const;

protected:
    // The file monitor callback's closes arrive here first, to be handed to the main window's
    // view on this thread.
    bool event(QEvent* event) override;

private:
    class MonitorCallback;
    class NodeStateReceiver;
    // With settings: the window takes them before it is shown.
    CMainFrame* CreateFrame(const nbx::ui::WindowSettings* settings = nullptr);
    // A new main window on the node (none: the node list) with the active frame's sort, view
    // style and thumbnail size.
    CMainFrame* CreateFrameLike(CMainFrame* active, CNbxNode* node);

    std::shared_ptr<CNbxFileMonitorManager> monitorManager_ =
        std::make_shared<CNbxFileMonitorManager>();
    CNbxNodeList nodeList_;
    QPointer<CFileMonitorFrame> openedFiles_;
    std::shared_ptr<MonitorCallback> monitorCallback_;
    std::shared_ptr<NodeStateReceiver> nodeStateReceiver_;
    CNbxNodeStateEngine nodeStateEngine_;
    std::vector<CMainFrame*> frames_;
    CMainFrame* mainWindow_ = nullptr;
    CTerraPaneView* transferSourceView_ = nullptr;
    std::vector<CMainFrame*> asyncFrames_;
    mutable std::mutex asyncLock_;
    bool exiting_ = false;
    bool exitConfirming_ = false;
    bool initialised_ = false;
    bool exited_ = false;
};
