#pragma once

// The single view of an explorer frame. In node-view mode (CNodeListMode) it lists the
// configured nodes with two entries that add a configuration; in folder-view mode (CFolderMode)
// one folder of the frame's current node. The view owns the rows, their records, the image
// lists and the label edit, and hands each command and event to the mode the frame shows.
// Every operation that changes a node is registered as actions with the frame's
// communication manager, the last one a refresh.
//
// Threads: everything runs on the user-interface thread, except the manager callbacks (engine
// thread of the communication manager) and the thumbnail callbacks (engine thread of the
// thumbnail manager). Those only set flags, post events to the view and, for an error, show
// the message box on the user-interface thread while the engine waits.

#include <QPointer>
#include <atomic>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "comn/comn_manager.h"
#include "monitor/thumb_manager.h"
#include "ui/explorer_frame.h"
#include "ui/ui_logic.h"
#include "widgets/list_view.h"

class CMainFrame;
class CFolderMode;
class CNodeListMode;
class CViewMode;

// The record of each row, kept as the row's data.
struct ViewItem {
    nbx::ui::RowKind kind = nbx::ui::RowKind::kFile;
    std::uint64_t size = 0;
    std::string name;
};

// The image lists behind the rows, shared by both modes: index i of each list is the same
// picture in its size; the thumbnail list is swapped for another when the thumbnails resize.
struct ViewImages {
    ViewImages() = default;
    ViewImages(const ViewImages&) = delete;
    ViewImages& operator=(const ViewImages&) = delete;

    ImageList small{QSize(16, 16)};
    ImageList large{QSize(32, 32)};
    ImageList thumbsA{QSize(48, 48)}, thumbsB{QSize(48, 48)};
    ImageList* thumbs = &thumbsA;
    int thumbWidth = 48, thumbHeight = 48;
};

class CTerraPaneView : public SListView {
    Q_OBJECT
public:
    // View styles.
    enum : int { kLargeIcons = -1, kIcons = 0, kDetails = 1, kSmallIcons = 2, kListStyle = 3 };

    explicit CTerraPaneView(nbx::ui::IExplorerFrame* frame);
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
    int NodeViewStyle() const;
    // The style the node list is shown in from now on; a new window takes the active one's.
    void SetNodeViewStyle(int style);
    // To the parent folder, as the ".." row goes; nothing outside a folder.
    void GoUp();
    void SortBy(int column, int order);
    void SetThumbnailSize(int width, int height);
    int ThumbnailWidth() const { return images_.thumbWidth; }
    int ThumbnailHeight() const { return images_.thumbHeight; }
    void UpdateStatusBar();
    // The record of a row; null for a row without one.
    const ViewItem* Item(int row) const;
    // Moves the last row whose record has the kind to the top: the up entry without a group,
    // every other kind into group 0.
    void MoveKindToTop(nbx::ui::RowKind kind);

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

    // ---- for the modes: rows, images, the location and the label edit ----
    nbx::ui::IExplorerFrame& Frame() const { return *frame_; }
    // Rows and their records: each row's data is a ViewItem* made with new, owned by the row
    // and freed by DeleteAllRows (and the destructor). Moving a row to the top keeps it.
    int InsertItemRow(int at, const QString& text, int image, ViewItem item, int group = -1);
    void DeleteAllRows();  // hides SListView's, which knows nothing of the records
    ViewItem* MutableItem(int row);
    void SetCurrentPath(const std::string& path) { currentPath_ = path; }
    ViewImages& Images() { return images_; }
    // The lists handed to the list again: the thumbnails in Large Icons, else the large icons.
    void ApplyImageLists();
    // Empties every image list and the folder mode's caches of their indices.
    void ResetImageLists();
    // Rows are being rebuilt: no status-bar updates until ready again.
    bool IsReady() const { return ready_; }
    void SetReady(bool ready) { ready_ = ready; }
    // The label as it was when its edit began.
    std::string& EditedName() { return oldName_; }
    CNodeListMode& NodeList() { return *nodes_; }
    CFolderMode& Folder() { return *folder_; }
    // Large Icons on a Workstation or cloud-disk node whose view_style is 4, thumbnails idle.
    void UpdateSlider();
    // The view style commands: the style, stored in the node (folder view) or remembered as
    // the node-view style.
    void ApplyViewStyleCommand(int command);

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

    // The mode the frame shows: null before either.
    CViewMode* ActiveMode() const;
    void OnOpenMessage(QEvent* event);
    void OnEscape();
    // A key with Control held: a command posted, Enter and Delete as without Control.
    void OnControlKey(QKeyEvent* event);
    void PostCommandIfEnabled(int command);
    // Cut, Copy, Paste, Undo and Select All while a label edit is active: the edit field's.
    bool OnLabelEditCommand(int command);
    bool IsLabelEditCommandEnabled(int command) const;
    void OnThumbBatch(bool started);

    nbx::ui::IExplorerFrame* frame_;
    std::unique_ptr<CNodeListMode> nodes_;
    std::unique_ptr<CFolderMode> folder_;
    std::string currentPath_;
    std::string oldName_;
    bool ready_ = false;
    int viewStyle_ = kIcons;
    std::atomic<bool> thumbsBusy_{false};
    // Set by the comn receiver on the engine thread, which may outlive the view.
    const std::shared_ptr<std::atomic<bool>> busy_ = std::make_shared<std::atomic<bool>>(false);
    ViewImages images_;
    std::shared_ptr<ThumbCallbackImpl> thumbCallback_;
    std::shared_ptr<ComnCallbackImpl> comnCallback_;
};
