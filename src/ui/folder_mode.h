#pragma once

// The folder listing: one folder of the frame's current node as rows, the icon cache and the
// thumbnails behind them, the folder status bar, and what is done with the rows (open, new
// folder, rename, delete, refresh), the re-upload of files edited locally, and the folder-tree
// walks that the transfers use.
//
// The files that act on the listing from outside (drag and drop, clipboard, shortcuts) use the
// accessors below: the selected rows, the current node and path, and the registration of
// actions ending in a refresh.

#include <QApplication>
#include <QCursor>
#include <QIcon>
#include <QImage>
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "ui/folder_icons.h"
#include "ui/folder_reupload.h"
#include "ui/terrapane_view.h"
#include "ui/view_mode.h"

class CNbxComnAction;
class CNbxFile;
class CNbxFileMonitor;
class CNbxNode;
class QEvent;
class QMenu;

namespace nbx::ui {
class IExplorerFrame;
}

class CFolderMode : public CViewMode {
public:
    explicit CFolderMode(CTerraPaneView& view);
    CFolderMode(const CFolderMode&) = delete;
    CFolderMode& operator=(const CFolderMode&) = delete;

    int Navigate(const std::string& path);
    void GoUp();
    void SetThumbnailSize(int width, int height);
    // A thumbnail the engine made, keyed by "/node_name/path" (or the path without node_name).
    void ApplyThumbnail(const std::string& key, const std::string& name, const QImage& image);
    // The image lists were emptied: no cached index holds any more.
    void ForgetImages() { icons_.Forget(); }
    int ListRemoteDir(std::vector<std::string>& folders, std::vector<std::string>& files,
                      std::vector<std::uint64_t>& sizes, const std::string& folder,
                      const std::string& base, bool recursive);
    // The manager, thumbnail and monitor messages (1424, 1425, 1434, 1435, 1444, 1445).
    bool OnMessage(QEvent* event);
    bool OwnsTimer(int timerId) const { return reupload_.OwnsTimer(timerId); }
    void OnTimer(int timerId) { reupload_.OnTimer(timerId); }

    void OnCommand(int command) override;
    bool IsCommandEnabled(int command) const override;
    void OpenRow(int row, bool newWindow) override;
    void OnContextMenu(const QPoint& globalPos) override;
    bool OnBeginLabelEdit(int row) override;
    bool OnEndLabelEdit(int row, const std::optional<QString>& text) override;
    void UpdateStatusBar() override;
    void SortBy(int column, int order) override;
    void RememberViewStyle(int style) override;

    // ---- for the files that act on the listing ----
    struct SelectedRow {
        int row;
        ViewItem item;
    };
    // The selected rows with their records, the up entry left out.
    std::vector<SelectedRow> SelectedItems() const;
    CNbxNode* Node() const;
    const std::string& Path() const { return view_.CurrentPath(); }
    // The row's path on the node: below the current folder, a folder ending in "/".
    std::string RemotePath(const ViewItem& item) const;
    // Create, rename, delete and paste are possible here.
    bool IsEditable() const;
    // Actions are registered between BeginActions and EndActions, which adds the refresh of
    // the listing; each is logged as "<method>(): registered <actionName>()".
    void BeginActions(bool hideProgress);
    void RegisterAction(std::unique_ptr<CNbxComnAction> action, const char* method,
                        const char* actionName);
    void EndActions(const char* method);
    CTerraPaneView& View() const { return view_; }

private:
    friend class ViewTestPeer;

    // Marks the mode as waiting for a listing for the guard's lifetime.
    struct ListingGuard {
        explicit ListingGuard(bool& flag) : flag_(flag) { flag_ = true; }
        ~ListingGuard() { flag_ = false; }
        ListingGuard(const ListingGuard&) = delete;
        ListingGuard& operator=(const ListingGuard&) = delete;
        bool& flag_;
    };
    // The wait cursor while a listing runs.
    struct BusyCursor {
        BusyCursor() { QApplication::setOverrideCursor(QCursor(Qt::WaitCursor)); }
        ~BusyCursor() { QApplication::restoreOverrideCursor(); }
        BusyCursor(const BusyCursor&) = delete;
        BusyCursor& operator=(const BusyCursor&) = delete;
    };

    nbx::ui::IExplorerFrame& Frame() const;
    // ---- listing (folder_mode.cpp) ----
    int ListFolder(CNbxNode& node, const std::string& path);
    void RelistDeferred();
    void EnterMode();
    void FillRows(const CNbxNode& node, const std::string& selfPath);
    void AddEntryRow(const CNbxNode& node, const CNbxFile& entry, const std::string& folderKey);
    int AddFolderRow(const std::string& name, int image, nbx::ui::RowKind kind, std::uint64_t size);
    void InstallListingWaitHook();
    int FolderIconIndex();
    // The folder part of thumbnail keys: the current path, below "/node_name" when there is one.
    std::string ThumbFolderKey() const;
    // ---- trees (folder_tree.cpp) ----
    int WalkRemoteDir(std::vector<std::string>& folders, std::vector<std::string>& files,
                      std::vector<std::uint64_t>& sizes, const std::string& folder,
                      const std::string& base, bool recursive, int depth, std::size_t& walked);
    int ListRemoteFolder(const std::string& folder, const std::string& base);
    int CollectRemoteChildren(std::vector<std::string>& files, std::vector<std::uint64_t>& sizes,
                              std::vector<std::string>& subfolders, const std::string& folder,
                              const std::string& base);
    // ---- operations (folder_mode_ops.cpp) ----
    void OpenFile(CNbxNode* node, const std::string& name);
    void LeaveToNodeList();
    void OpenSelected();
    void SelectAll();
    void OnNewFolder();
    bool CreateItem(int row, const std::optional<QString>& text);
    bool RenameItem(int row, const std::string& newName);
    void OnFileDelete();
    void OnRefresh();
    void AddRowMenuEntries(QMenu& menu, bool editable);
    void AddBackgroundMenuEntries(QMenu& menu, bool editable);
    void OnAsyncTransfer(bool started);

    CTerraPaneView& view_;
    // A folder listing waits for its answer; a listing asked for meanwhile follows it.
    bool listing_ = false;
    std::optional<std::string> relistPath_;
    bool creatingFolder_ = false;
    CFolderIcons icons_;
    CReupload reupload_;
};
