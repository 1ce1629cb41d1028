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
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "comn/comn_manager.h"
#include "monitor/thumb_manager.h"
#include "widgets/list_view.h"

class CMainFrame;
class CNbxFileMonitor;
class QMenu;
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

class CTerraPaneView : public SListView {
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
    // The style the node list is shown in from now on; a new window takes the active one's.
    void SetNodeViewStyle(int style) { nodeViewStyle_ = style; }
    // To the parent folder, as the ".." row goes; nothing outside a folder.
    void GoUp();
    void SortBy(int column, int order);
    void SetThumbnailSize(int width, int height);
    int ThumbnailWidth() const { return thumbWidth_; }
    int ThumbnailHeight() const { return thumbHeight_; }
    void UpdateStatusBar();
    // The record of a row; null for a row without one.
    const ViewItem* Item(int row) const;
    // Moves the last row whose record has the kind to the top: the up entry without a group,
    // every other kind into group 0.
    void MoveKindToTop(int kind);

    // Before registering actions: the progress dialog hidden or shown, not kept open, and this
    // view's receivers as the manager's action and batch callbacks.
    void PrepareManager(bool hideProgress);
    // Registers a refresh of the frame's location, logged as "<method>(): registered
    // CNbxComnActionRefresh()"; method is e.g. "CTerraPaneView::OnViewRefresh".
    void RegisterRefresh(const char* method);

    bool IsBusy() const { return *busy_; }
    bool IsThumbnailsBusy() const { return thumbsBusy_; }
    // A node dialog or the wake-up notifier is open: they are told to end with the code.
    bool EndOpenDialogs(int code);

    // The thumbnail manager's callback: posts to this view, harmless once the view is gone.
    std::shared_ptr<IFileThumbManagerCallback> ThumbCallback();

    // Commands of the view, by number, and their states in the current mode.
    void OnCommand(int command);
    bool IsCommandEnabled(int command) const;
    bool IsCommandChecked(int command) const;

    // The communication manager's receivers (one object): they reach this view on the ui
    // thread only, harmless once the view is gone.
    std::shared_ptr<IComnManagerComnActionCallback> ComnActionCallback();
    std::shared_ptr<IComnManagerAsyncOperationCallback> AsyncOperationCallback();

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
    class ComnCallbackImpl;
    friend class ViewTestPeer;  // tests reach the seams below

    // Rows and their records: each row's data is a ViewItem* made with new, owned by the row
    // and freed by DeleteAllRows (and the destructor). Moving a row to the top keeps it.
    int InsertItemRow(int at, const QString& text, int image, ViewItem item, int group = -1);
    void DeleteAllRows();  // hides SListView's, which knows nothing of the records
    ViewItem* MutableItem(int row);
    // The view style commands: the style, stored in the node (folder view) or remembered as
    // the node-view style.
    void ApplyViewStyleCommand(int command);
    // Large Icons on a Workstation or cloud-disk node whose view_style is 4, thumbnails idle.
    void UpdateSlider();
    void OnEscape();
    // Cut, Copy, Paste, Undo and Select All while a label edit is active: the edit field's.
    bool OnLabelEditCommand(int command);
    bool IsLabelEditCommandEnabled(int command) const;

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
    void CreateNodeViewColumns();
    void CreateNodeViewImages();
    void NodeView_SelectAll();
    void NodeView_OnFileEdit();
    void NodeView_OnFileDelete();
    void NodeView_OnViewRefresh();
    // Menu 143 with the entries grayed for the selection; null without a selection.
    std::unique_ptr<QMenu> NodeView_BuildContextMenu();
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

public:
    // Folder trees for transfers. Local: the folder and its subfolders into `folders`, files
    // into `files`, each as "<folder>/<name>", hidden entries skipped; 0 or the errno that
    // stopped the walk. Remote: `folder` (relative to `base`) on the current node, paths
    // relative to `base`, files with their sizes; 200 or the first failed listing's status.
    // A listed name that cannot be one local path segment (IsSafeChildName), a tree deeper
    // than kMaxRemoteTreeDepth below `folder` or of more than kMaxRemoteTreeFolders folders
    // fails the walk with FsResult::kLocalFailure and a log record.
    static constexpr int kMaxRemoteTreeDepth = 64;
    static constexpr std::size_t kMaxRemoteTreeFolders = 100000;
    static int ListLocalDir(std::vector<std::string>& folders, std::vector<std::string>& files,
                            const std::string& folder, bool recursive);
    int ListRemoteDir(std::vector<std::string>& folders, std::vector<std::string>& files,
                      std::vector<std::uint64_t>& sizes, const std::string& folder,
                      const std::string& base, bool recursive);
    // Whether the frame is the window in front, for the re-upload question; tests replace it.
    static std::function<bool(const CMainFrame* frame)> isFrameInFront;

private:
    struct ListingGuard;
    int WalkRemoteDir(std::vector<std::string>& folders, std::vector<std::string>& files,
                      std::vector<std::uint64_t>& sizes, const std::string& folder,
                      const std::string& base, bool recursive, int depth, std::size_t& walked);
    int AddFolderRow(const std::string& name, int image, int kind, std::uint64_t size);
    int FolderIconIndex();
    // The folder part of thumbnail keys: the current path, below "/node_name" when there is one.
    std::string ThumbFolderKey() const;
    void ApplyThumbnail(const std::string& key, const std::string& name, const QImage& image);
    void OnThumbBatch(bool started);
    void InstallListingWaitHook();
    void AskReupload(const std::shared_ptr<CNbxFileMonitor>& monitor);
    bool CreateItem(int row, const std::optional<QString>& text);
    bool RenameItem(int row, const std::string& newName);
    void OnNewFolder();
    void OnFileDelete();
    void FolderView_OnRefresh();
    // A folder listing waits for its answer; a listing asked for meanwhile follows it.
    bool listing_ = false;
    std::optional<std::string> relistPath_;
    std::map<std::string, QIcon> iconSources_;  // the icon of each icon-cache key
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
    // Set by the comn receiver on the engine thread, which may outlive the view.
    const std::shared_ptr<std::atomic<bool>> busy_ = std::make_shared<std::atomic<bool>>(false);
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
    std::shared_ptr<ComnCallbackImpl> comnCallback_;
};
