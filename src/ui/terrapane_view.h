#pragma once

// The single view of an explorer frame. In node-view mode it lists the configured nodes with
// two entries that add a configuration; in folder-view mode one folder of the frame's current
// node. Every operation that changes a node is registered as actions with the frame's
// communication manager, the last one a refresh.
//
// Threads: everything runs on the user-interface thread, except the manager callbacks (engine
// thread of the communication manager) and the thumbnail callbacks (engine thread of the
// thumbnail manager). Those only set flags, post events to the view and, for an error, show
// the message box on the user-interface thread while the engine waits.

#include <QPointer>
#include <atomic>
#include <map>
#include <memory>
#include <string>

#include "comn/comn_manager.h"
#include "monitor/thumb_manager.h"
#include "ui/list_view.h"

class CMainFrame;
class CNbxFileMonitor;
class CNbxNode;

// The record of each row, kept as the row's data.
struct ViewItem {
    enum Kind : int {
        kFile = 0,
        kFolder = 1,
        kUp = 2,
        kAddNode = 3,
        kServiceNode = 4,
        kAddSharedFolder = 5,
        kOtherNode = 6
    };
    int kind = kFile;
    std::uint64_t size = 0;
    std::string name;
};

class CTerraPaneView : public SListView,
                       public IComnManagerComnActionCallback,
                       public IComnManagerAsyncOperationCallback {
    Q_OBJECT
public:
    // View styles.
    enum : int { kLargeIcons = -1, kIcons = 0, kDetails = 1, kSmallIcons = 2, kListStyle = 3 };

    explicit CTerraPaneView(CMainFrame* frame);
    ~CTerraPaneView() override;
    void InitialUpdate();

    // Folder view.
    int Navigate(const std::string& path);
    const std::string& CurrentPath() const { return currentPath_; }
    // Node view.
    void ListNodes();
    bool OpenNode(const std::string& title, const std::string& path);
    void UpdateNodeState(const std::string& title, int state);

    void SetViewStyle(int style);
    int ViewStyle() const { return viewStyle_; }
    int NodeViewStyle() const { return nodeViewStyle_; }
    void SortBy(int column, int order);
    void SetThumbnailSize(int width, int height);
    int ThumbnailWidth() const { return thumbWidth_; }
    int ThumbnailHeight() const { return thumbHeight_; }
    void UpdateStatusBar();
    const ViewItem* Item(int row) const;

    bool IsBusy() const { return busy_; }
    bool IsThumbnailsBusy() const { return thumbsBusy_; }
    // A node dialog or the wake-up notifier is open: they are told to end with the code.
    bool EndOpenDialogs(int code);

    // The thumbnail manager's callback: posts to this view, harmless once the view is gone.
    std::shared_ptr<IFileThumbManagerCallback> ThumbCallback();

    // Commands of the view, by number, and their states in the current mode.
    void OnCommand(int command);
    bool IsCommandEnabled(int command) const;
    bool IsCommandChecked(int command) const;

    // IComnManagerComnActionCallback, IComnManagerAsyncOperationCallback (engine thread).
    void OnComnActionSuccess() override;
    void OnComnActionAborted() override;
    void OnComnActionError() override;
    void OnAsyncOperationStart() override;
    void OnAsyncOperationFinish(int result, int effect) override;

protected:
    bool event(QEvent* event) override;  // the messages of the view
    void timerEvent(QTimerEvent* event) override;
    void OnColumnClick(int column) override;
    bool OnBeginLabelEdit(int row) override;
    bool OnEndLabelEdit(int row, const std::optional<QString>& text) override;
    void OnRowDoubleClicked(int row, Qt::KeyboardModifiers modifiers) override;
    void OnContextMenu(const QPoint& globalPos) override;
    void OnSelectionChanged() override;
    void OnKeyDown(QKeyEvent* event) override;

private:
    class ThumbCallbackImpl;

    // ---- node view (node_view.cpp) ----
    void NodeView_OnCommand(int command);
    bool NodeView_IsCommandEnabled(int command) const;
    void NodeView_OpenRow(int row, bool newWindow);
    void NodeView_OnContextMenu(const QPoint& globalPos);
    bool NodeView_OnBeginLabelEdit(int row);
    bool NodeView_OnEndLabelEdit(int row, const std::optional<QString>& text);
    void UpdateStatusBarInfoNodeView();
    bool CheckNodeConfiguration(const std::string& title);
    bool WakeUpNode(const std::string& title);
    bool RenameNode(int row, const std::string& newTitle);
    // ---- end of node view ----

    // ---- folder view (folder_view.cpp, folder_ops.cpp) ----
    void FolderView_OnCommand(int command);
    bool FolderView_IsCommandEnabled(int command) const;
    void FolderView_OnContextMenu(const QPoint& globalPos);
    bool FolderView_OnBeginLabelEdit(int row);
    bool FolderView_OnEndLabelEdit(int row, const std::optional<QString>& text);
    // The manager, thumbnail and monitor messages (1424, 1425, 1434, 1435, 1444, 1445).
    bool FolderView_OnMessage(QEvent* event);
    void FolderView_OnTimer(int timerId);
    void UpdateStatusBarInfoFolderView();
    void OpenItem(int row, bool newWindow);
    void ResetImageLists();
    int GetIconIndex(const std::string& key, const QIcon& icon);
    int AddThumbnailImage(const QImage& bitmap, const std::string& key, const QIcon& icon);
    // ---- end of folder view ----

    CMainFrame* frame_;
    std::string currentPath_;
    std::string oldName_;
    bool creatingFolder_ = false;
    bool ready_ = false;
    int viewStyle_ = kIcons;
    int nodeViewStyle_ = kIcons;
    int nodeViewSortColumn_ = 0;
    int nodeViewSortOrder_ = -1;
    int thumbWidth_ = 48, thumbHeight_ = 48;
    std::atomic<bool> thumbsBusy_{false};
    std::atomic<bool> busy_{false};
    QPointer<QWidget> nodeDialog_;
    QPointer<QWidget> notifier_;
    ImageList small_{QSize(16, 16)};
    ImageList large_{QSize(32, 32)};
    ImageList thumbsA_{QSize(48, 48)}, thumbsB_{QSize(48, 48)};
    ImageList* thumbs_ = &thumbsA_;
    std::map<std::string, int> iconCache_;
    std::map<std::string, QImage> thumbBitmaps_;
    std::map<int, std::shared_ptr<CNbxFileMonitor>> monitorTimers_;
    std::shared_ptr<ThumbCallbackImpl> thumbCallback_;
};
