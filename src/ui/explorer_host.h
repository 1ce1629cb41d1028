#pragma once

// What the explorer window asks of the program that hosts it: the frame registry, new windows,
// the application commands and the process-wide services. The window's code knows the host only
// through this interface, so the application object sits above the window without a circle.
// Every call is made on the user-interface thread.

#include <memory>
#include <string>

class CMainFrame;
class CNbxFileMonitorManager;
class CNbxNode;
class CNbxNodeList;
class CTerraPaneView;
class QWidget;

namespace nbx::ui {

class IExplorerHost {
public:
    virtual ~IExplorerHost() = default;

    virtual CNbxNodeList& NodeList() = 0;
    // For the frames' engines, which a stop may leave running past the host's end.
    virtual const std::shared_ptr<CNbxFileMonitorManager>& SharedMonitorManager() const = 0;

    // Frame registry, in creation order; the main window is one of them.
    virtual void AddTopFrame(CMainFrame* frame) = 0;
    virtual void OnTopFrameClosing(CMainFrame* frame) = 0;
    virtual void RemoveTopFrame(CMainFrame* frame) = 0;
    virtual CMainFrame* MainWindow() const = 0;
    virtual void SetMainWindow(CMainFrame* frame) = 0;
    virtual int TopFrameCount() const = 0;

    // Frames with a shell data transfer running.
    virtual void AsyncTransferStarted(CMainFrame* frame) = 0;
    virtual void FrameFinishedAsyncTransfer(CMainFrame* frame) = 0;
    virtual bool IsAsyncTransferRunning() const = 0;

    // One pass of the node-state engine over the nodes.
    virtual bool StartMonitorThread() = 0;

    // New windows.
    virtual CMainFrame* OpenNodeInNewFrame(const std::string& title, const std::string& path) = 0;
    virtual CMainFrame* OpenFolderInNewFrame(CNbxNode* node, const std::string& path) = 0;

    // Application commands.
    virtual void OnFileNewFrame() = 0;
    virtual void OnAppExit() = 0;
    virtual void OnOptionsOpenedFilesMgr() = 0;
    // 1 go on, 2 declined, or the code a WM_END_MODAL ended the confirmation with.
    virtual int ConfirmExitWithOpenFiles(QWidget* parent) = 0;

    // The view a drag or a clipboard copy of this program started from.
    virtual CTerraPaneView* TransferSourceView() const = 0;
    virtual void SetTransferSourceView(CTerraPaneView* view) = 0;
};

// The host while it exists; null in tests that build a window without one.
IExplorerHost* ExplorerHost();
void SetExplorerHost(IExplorerHost* host);

}  // namespace nbx::ui
