// What the folder listing does with its rows: open, new folder, rename, delete, refresh, select
// all, the context menus and the command states; the messages of the manager, the thumbnails
// and the file monitors.
#include <QClipboard>
#include <QGuiApplication>
#include <QMenu>
#include <any>
#include <memory>
#include <string>

#include "base/session_log.h"
#include "base/strings.h"
#include "comn/action_download.h"
#include "comn/actions.h"
#include "comn/comn_manager.h"
#include "monitor/file_monitor.h"
#include "platform/format.h"
#include "remotefs/ft_service.h"
#include "ui/explorer_frame.h"
#include "ui/explorer_host.h"
#include "ui/folder_mode.h"
#include "ui/ui_logic.h"
#include "widgets/message_box.h"
#include "widgets/ui_events.h"
#include "widgets/ui_texts.h"

using nbx::StrPrintf;
using nbx::strings::LoadString;
using namespace nbx::ui;

namespace {

// The file monitor a monitor message carries; null without one.
std::shared_ptr<CNbxFileMonitor> MonitorOf(const NbxEvent& message) {
    if (const auto* monitor = std::any_cast<std::shared_ptr<CNbxFileMonitor>>(&message.wparam)) {
        return *monitor;
    }
    return nullptr;
}

QAction* AddMenuEntry(QMenu* to, int command, const char* text, bool enabled) {
    QAction* action = to->addAction(Tr(text));
    action->setData(command);
    action->setEnabled(enabled);
    return action;
}

}  // namespace

// ---- for the files that act on the listing --------------------------------------------------

std::vector<CFolderMode::SelectedRow> CFolderMode::SelectedItems() const {
    std::vector<SelectedRow> selected;
    for (const int row : view_.SelectedRows()) {
        if (const ViewItem* item = view_.Item(row); item != nullptr && item->kind != RowKind::kUp) {
            selected.push_back({row, *item});
        }
    }
    return selected;
}

CNbxNode* CFolderMode::Node() const {
    return Frame().CurrentNode();
}

std::string CFolderMode::RemotePath(const ViewItem& item) const {
    return Path() + item.name + (item.kind == RowKind::kFolder ? "/" : "");
}

bool CFolderMode::IsEditable() const {
    const CNbxNode* node = Node();
    return node != nullptr && IsEditableFolder(*node, Path());
}

void CFolderMode::BeginActions(bool hideProgress) {
    view_.PrepareManager(hideProgress);
}

void CFolderMode::RegisterAction(std::unique_ptr<CNbxComnAction> action, const char* method,
                                 const char* actionName) {
    WriteLog(LogLevel::Info, StrPrintf("%s(): registered %s()", method, actionName));
    Frame().ComnManager().RegisterAction(std::move(action));
}

void CFolderMode::EndActions(const char* method) {
    view_.RegisterRefresh(method);
}

// ---- open -----------------------------------------------------------------------------------

void CFolderMode::OpenRow(int row, bool newWindow) {
    const ViewItem* item = view_.Item(row);
    CNbxNode* node = Node();
    if (item == nullptr || node == nullptr) {
        return;
    }
    // The rows are rebuilt by what follows: everything needed is copied first.
    const RowKind kind = item->kind;
    const std::string name = item->name;
    std::string target;
    switch (kind) {
        case RowKind::kFile:
            OpenFile(node, name);
            return;
        case RowKind::kFolder:
            target = Path() + name + "/";
            break;
        case RowKind::kUp:
            if (Path() == node->root_dir) {
                LeaveToNodeList();
                return;
            }
            target = ParentFolder(Path());
            break;
        default:
            return;
    }
    if (newWindow) {
        if (IExplorerHost* app = ExplorerHost()) {
            app->OpenFolderInNewFrame(node, target);
        }
        return;
    }
    Frame().SetLocation(target);
    Frame().RefreshLocation();
}

// Downloaded into its local copy and opened there, watched for changes.
void CFolderMode::OpenFile(CNbxNode* node, const std::string& name) {
    const std::string local = LocalCopyPath(node->title_name, Path(), name);
    if (local.empty()) {
        WriteLog(LogLevel::Error,
                 StrPrintf("CTerraPaneView::OpenItem(): LocalCopyPath() failed with arg: \"%s\"",
                           name.c_str()));
        return;
    }
    auto download =
        std::make_unique<CNbxComnActionDownload>(node, Path() + name, local, "\"" + name + "\"");
    download->SetOpenMode(OpenMode::ViewMonitor);
    Frame().SetProgressTitle(nbx::strings::kCaptionDownloading);
    BeginActions(false);
    RegisterAction(std::move(download), "CTerraPaneView::OpenItem", "CNbxComnActionDownload");
    EndActions("CTerraPaneView::OpenItem");
}

// Up from the node's root: a clipboard copy from this view ends with it.
void CFolderMode::LeaveToNodeList() {
    IExplorerHost* app = ExplorerHost();
    if (app != nullptr && app->TransferSourceView() == &view_) {
        QGuiApplication::clipboard()->clear();
        app->SetTransferSourceView(nullptr);
    }
    Frame().ShowNodeView();
}

void CFolderMode::GoUp() {
    if (Frame().GetViewMode() != IExplorerFrame::kModeFolder || view_.IsLabelEditing()) {
        return;
    }
    for (int row = 0; row < view_.RowCount(); ++row) {
        if (const ViewItem* item = view_.Item(row); item != nullptr && item->kind == RowKind::kUp) {
            OpenRow(row, false);
            return;
        }
    }
}

void CFolderMode::OpenSelected() {
    const std::vector<int> rows = view_.SelectedRows();
    // New windows leave this listing alone, so the rows stay valid throughout.
    for (const int row : rows) {
        const ViewItem* item = view_.Item(row);
        if (item != nullptr && !(rows.size() > 1 && item->kind == RowKind::kUp)) {
            OpenRow(row, true);
        }
    }
}

// ---- new folder, rename ---------------------------------------------------------------------

void CFolderMode::OnNewFolder() {
    if (!IsEditable()) {
        return;
    }
    std::vector<std::string> texts;
    for (int row = 0; row < view_.RowCount(); ++row) {
        texts.push_back(view_.Text(row).toStdString());
    }
    const std::string name = NewFolderName(texts);
    const int row = AddFolderRow(name, FolderIconIndex(), RowKind::kFolder, 0);
    view_.SetText(row, 2, QString::fromStdString(LoadString(nbx::strings::kTypeFileFolder)));
    view_.ClearSelection();
    view_.SetSelected(row, true);
    creatingFolder_ = true;
    if (!view_.BeginLabelEdit(row)) {
        // No edit to end: the folder is made under the proposed name, as after Escape.
        OnEndLabelEdit(row, std::nullopt);
    }
}

bool CFolderMode::OnBeginLabelEdit(int row) {
    const ViewItem* item = view_.Item(row);
    view_.EditedName() = view_.Text(row).toStdString();
    return item != nullptr && item->kind != RowKind::kUp && IsEditable();
}

bool CFolderMode::OnEndLabelEdit(int row, const std::optional<QString>& text) {
    const ViewItem* item = view_.Item(row);
    const bool creating = creatingFolder_;
    creatingFolder_ = false;
    if (item == nullptr) {
        return false;
    }
    if (creating) {
        const std::string name =
            text && !text->isEmpty() ? text->toStdString() : std::string(item->name);
        if (IsValidItemName(name)) {
            // An emptied field keeps the proposed name on the row, too.
            return CreateItem(row, text) && text && !text->isEmpty();
        }
        // Nothing is made: listing again takes the proposed row away.
        BeginActions(true);
        EndActions("CTerraPaneView::OnEndLabelEdit");
        return false;
    }
    if (!text || text->isEmpty() ||
        text->compare(QString::fromStdString(view_.EditedName()), Qt::CaseInsensitive) == 0 ||
        !IsValidItemName(text->toStdString())) {
        return false;
    }
    return RenameItem(row, text->toStdString());
}

bool CFolderMode::CreateItem(int row, const std::optional<QString>& text) {
    const ViewItem* item = view_.Item(row);
    CNbxNode* node = Node();
    if (item == nullptr || node == nullptr) {
        return false;
    }
    const std::string name = text && !text->isEmpty() ? text->toStdString() : item->name;
    if (name.empty()) {
        return false;
    }
    BeginActions(true);
    RegisterAction(std::make_unique<CNbxComnActionCreate>(node, Path() + name),
                   "CTerraPaneView::CreateItem", "CNbxComnActionCreate");
    EndActions("CTerraPaneView::CreateItem");
    return true;
}

bool CFolderMode::RenameItem(int row, const std::string& newName) {
    const ViewItem* item = view_.Item(row);
    CNbxNode* node = Node();
    if (item == nullptr || node == nullptr) {
        return false;
    }
    const std::string& edited = view_.EditedName();
    const std::string oldName = item->kind == RowKind::kFolder ? edited + "/" : edited;
    const std::string source = Path() + oldName;
    const std::string target = Path() + newName;
    BeginActions(true);
    CNbxFileTransferService probe;
    if (probe._EXIST(*node, target) == 200) {
        WriteLog(LogLevel::Warning,
                 StrPrintf("CTerraPaneView::RenameItem(): CNbxFileTransferService::_EXIST() "
                           "failed with arg: \"%s\"",
                           target.c_str()));
    } else {
        RegisterAction(std::make_unique<CNbxComnActionMoveWithinNode>(node, target, source),
                       "CTerraPaneView::RenameItem", "CNbxComnActionMoveWithinNode");
    }
    // Also without a move, so that the name the item really has is shown again.
    EndActions("CTerraPaneView::RenameItem");
    return true;
}

// ---- delete, refresh, select all ------------------------------------------------------------

void CFolderMode::OnFileDelete() {
    CNbxNode* node = Node();
    if (!IsEditable()) {
        return;
    }
    if (ShowMessage(&view_, nbx::strings::kDeleteFilesQuestion, MsgIcon::kQuestion,
                    MsgButtons::kYesNo) != kIdYes) {
        return;
    }
    BeginActions(true);
    for (const SelectedRow& selected : SelectedItems()) {
        RegisterAction(std::make_unique<CNbxComnActionDelete>(node, RemotePath(selected.item)),
                       "CTerraPaneView::_FolderView_OnFileDelete", "CNbxComnActionDelete");
    }
    EndActions("CTerraPaneView::_FolderView_OnFileDelete");
}

void CFolderMode::OnRefresh() {
    BeginActions(true);
    EndActions("CTerraPaneView::OnViewRefresh");
}

void CFolderMode::SelectAll() {
    for (int row = 0; row < view_.RowCount(); ++row) {
        const ViewItem* item = view_.Item(row);
        view_.SetSelected(row, item != nullptr && item->kind != RowKind::kUp);
    }
}

// ---- commands -------------------------------------------------------------------------------

void CFolderMode::OnCommand(int command) {
    if (command >= ID_ARRANGE_NAME && command <= ID_ARRANGE_DATE) {
        view_.SortBy(command - ID_ARRANGE_NAME, 0);
        return;
    }
    switch (command) {
        case ID_FILE_OPEN_ITEM:
            OpenSelected();
            break;
        case ID_FILE_NEW_FOLDER:
            OnNewFolder();
            break;
        case ID_FILE_RENAME:
            if (const std::vector<int> rows = view_.SelectedRows(); rows.size() == 1) {
                view_.BeginLabelEdit(rows.front());
            }
            break;
        case ID_FILE_DELETE:
            OnFileDelete();
            break;
        case ID_VIEW_REFRESH:
            OnRefresh();
            break;
        case ID_EDIT_SELECT_ALL:
            SelectAll();
            break;
        default:
            break;
    }
}

bool CFolderMode::IsCommandEnabled(int command) const {
    const bool editable = IsEditable();
    const std::vector<int> rows = view_.SelectedRows();
    const ViewItem* first = rows.empty() ? nullptr : view_.Item(rows.front());
    const bool firstIsUp = first != nullptr && first->kind == RowKind::kUp;
    switch (command) {
        case ID_FILE_OPEN_ITEM:
            return !rows.empty();
        case ID_FILE_NEW_FOLDER:
            return editable;
        case ID_FILE_RENAME:
            return editable && rows.size() == 1 && !firstIsUp;
        case ID_FILE_DELETE:
            return editable && !rows.empty() && !firstIsUp;
        case ID_EDIT_SELECT_ALL:
        case ID_VIEW_REFRESH:
        case ID_ARRANGE_NAME:
        case ID_ARRANGE_SIZE:
        case ID_ARRANGE_TYPE:
        case ID_ARRANGE_DATE:
        case ID_VIEW_LARGE_ICONS:
        case ID_VIEW_ICONS:
        case ID_VIEW_DETAILS:
        case ID_VIEW_SMALL_ICONS:
        case ID_VIEW_LIST:
            return true;
        default:
            // Edit Configuration, shortcuts, copied URLs; rows are cut, copied and pasted by
            // the clipboard transfers, not here.
            return false;
    }
}

// ---- context menus --------------------------------------------------------------------------

void CFolderMode::OnContextMenu(const QPoint& globalPos) {
    const bool editable = IsEditable();
    QMenu menu(&view_);
    if (!view_.SelectedRows().empty()) {
        AddRowMenuEntries(menu, editable);
    } else {
        AddBackgroundMenuEntries(menu, editable);
    }
    if (QAction* chosen = menu.exec(globalPos); chosen != nullptr) {
        view_.OnCommand(chosen->data().toInt());
    }
}

void CFolderMode::AddRowMenuEntries(QMenu& menu, bool editable) {
    const std::vector<int> rows = view_.SelectedRows();
    const ViewItem* first = view_.Item(rows.front());
    const bool firstIsUp = first != nullptr && first->kind == RowKind::kUp;
    AddMenuEntry(&menu, ID_FILE_OPEN_ITEM, "&Open", true);
    AddMenuEntry(&menu, ID_FILE_EDIT, "&Edit Configuration...", false);
    menu.addSeparator();
    AddMenuEntry(&menu, ID_FILE_DELETE, "&Delete", editable && !firstIsUp);
    AddMenuEntry(&menu, ID_FILE_RENAME, "Rena&me", editable && !firstIsUp && rows.size() == 1);
}

void CFolderMode::AddBackgroundMenuEntries(QMenu& menu, bool editable) {
    QMenu* view = menu.addMenu(Tr("&View"));
    // In the order of the view styles, Large Icons (-1) first.
    const std::pair<int, const char*> styles[] = {{ID_VIEW_LARGE_ICONS, "Lar&ge Icons"},
                                                  {ID_VIEW_ICONS, "&Icons"},
                                                  {ID_VIEW_DETAILS, "&Details"},
                                                  {ID_VIEW_SMALL_ICONS, "S&mall Icons"},
                                                  {ID_VIEW_LIST, "&List"}};
    for (int style = CTerraPaneView::kLargeIcons; style <= CTerraPaneView::kListStyle; ++style) {
        const auto& [command, text] = styles[style - CTerraPaneView::kLargeIcons];
        QAction* action = AddMenuEntry(view, command, text, true);
        action->setCheckable(true);
        action->setChecked(style == view_.ViewStyle());
    }
    QMenu* arrange = menu.addMenu(Tr("Arrange &By"));
    const char* columns[] = {"&Name", "&Size", "&Type", "Date &Created"};
    for (int column = 0; column < 4; ++column) {
        QAction* action = AddMenuEntry(arrange, ID_ARRANGE_NAME + column, columns[column], true);
        action->setCheckable(true);
        action->setChecked(view_.SortColumn() == column);
    }
    AddMenuEntry(&menu, ID_VIEW_REFRESH, "&Refresh", true);
    menu.addSeparator();
    AddMenuEntry(&menu, ID_FILE_NEW_FOLDER, "New &Folder", editable);
}

// ---- messages -------------------------------------------------------------------------------

bool CFolderMode::OnMessage(QEvent* event) {
    auto* message = dynamic_cast<NbxEvent*>(event);
    if (message == nullptr) {
        return false;
    }
    switch (message->Message()) {
        case WM_ASYNC_TRANSFER_START:
        case WM_ASYNC_TRANSFER_FINISH:
            OnAsyncTransfer(message->Message() == WM_ASYNC_TRANSFER_START);
            return true;
        case WM_FILE_MONITOR_CLOSED:
            if (const auto monitor = MonitorOf(*message)) {
                monitor->MarkHandled();
            }
            return true;
        case WM_FILE_MONITOR_CLOSED_MODIFIED:
            if (const auto monitor = MonitorOf(*message)) {
                reupload_.OnClosedModified(monitor);
            }
            return true;
        case WM_THUMB_DOWNLOAD_START:
            WriteLog(LogLevel::Info, "CTerraPaneView::OnFileThumbDownloadStart() invoked...");
            Frame().ShowSlider(false);
            return true;
        case WM_THUMB_DOWNLOAD_FINISH:
            WriteLog(LogLevel::Info, "CTerraPaneView::OnFileThumbDownloadFinish() invoked...");
            view_.UpdateSlider();
            return true;
        default:
            return false;
    }
}

// The host counts the frames whose shell transfers run.
void CFolderMode::OnAsyncTransfer(bool started) {
    WriteLog(LogLevel::Info, started ? "CTerraPaneView::OnAsyncTransferStart() invoked..."
                                     : "CTerraPaneView::OnAsyncTransferFinish() invoked...");
    IExplorerHost* app = ExplorerHost();
    if (app == nullptr) {
        return;
    }
    if (started) {
        app->AsyncTransferStarted(Frame().HostFrame());
    } else {
        app->FrameFinishedAsyncTransfer(Frame().HostFrame());
    }
}
