#pragma once

// What the view of an explorer window asks of the frame around it: the frame's mode and current
// node, its engines, its address bar, title, status bar and slider, and its progress dialog. The
// view and its modes know the frame only through this interface, so the frame can own the view
// without an include circle. Every call is made on the user-interface thread.

#include <QString>
#include <string>

class CDlgProgress;
class CMainFrame;
class CNbxComnManager;
class CNbxFileSystemService;
class CNbxFileThumbManager;
class CNbxNode;
class CTerraPaneView;
class QWidget;

namespace nbx::ui {

class IExplorerFrame {
public:
    // What the view shows: nothing yet, the node list or a folder of the current node.
    enum ViewMode : int { kModeNone = 0, kModeNodes = 1, kModeFolder = 2 };

    virtual ~IExplorerFrame() = default;

    // The window itself: the parent of the view and of the boxes it shows.
    virtual QWidget* FrameWidget() = 0;
    // The same window as the host's registry knows it.
    virtual CMainFrame* HostFrame() = 0;
    virtual CTerraPaneView* View() const = 0;
    // The window is the one in front.
    virtual bool IsInFront() const = 0;

    virtual int GetViewMode() const = 0;
    virtual void SetViewMode(int mode) = 0;
    virtual CNbxNode* CurrentNode() const = 0;
    virtual void SetCurrentNode(CNbxNode* node) = 0;

    // The frame's engines.
    virtual CNbxFileSystemService& FileSystem() = 0;
    virtual CNbxComnManager& ComnManager() = 0;
    virtual CNbxFileThumbManager& ThumbManager() = 0;
    virtual CDlgProgress* Progress() const = 0;
    virtual void SetProgressTitle(int stringId) = 0;
    virtual void SetProgressPreparing() = 0;

    // Address bar and title for the path; listing it; the node list; listing the location again.
    virtual void SetLocation(const std::string& path) = 0;
    virtual bool NavigateFromAddress() = 0;
    virtual void ShowNodeView() = 0;
    virtual void RefreshLocation() = 0;

    virtual void SetStatusText(int part, const QString& text) = 0;
    virtual void SetBigIcon(int resource) = 0;
    virtual void ShowSlider(bool show) = 0;
    virtual void SetSliderPosition(int position) = 0;
    // The enabled and checked states of the menu entries, asked of the view again.
    virtual void UpdateCommands() = 0;
};

// The explorer frame of a window the host names; null for null.
IExplorerFrame* ExplorerFrameOf(CMainFrame* frame);
const IExplorerFrame* ExplorerFrameOf(const CMainFrame* frame);

}  // namespace nbx::ui
