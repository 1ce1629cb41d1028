// What the folder view does with its rows: open, new folder, rename, delete, refresh, select
// all, the context menus and the command states; the communication manager's callbacks, and
// the messages of the manager, the thumbnails and the file monitors.
#include <QApplication>
#include <QClipboard>
#include <QMenu>
#include <QMetaObject>
#include <QPointer>
#include <QTimerEvent>
#include <atomic>
#include <memory>
#include <string>

#include "base/session_log.h"
#include "base/strings.h"
#include "comn/action_download.h"
#include "comn/actions.h"
#include "comn/dlg_progress.h"
#include "monitor/file_monitor.h"
#include "nodes/node_list.h"
#include "platform/format.h"
#include "remotefs/ft_service.h"
#include "ui/explorer_host.h"
#include "ui/main_frame.h"
#include "ui/terrapane_view.h"
#include "ui/ui_logic.h"
#include "widgets/dlg_modal.h"  // main_frame.h keeps a QPointer to the About box
#include "widgets/message_box.h"
#include "widgets/ui_events.h"
#include "widgets/ui_texts.h"

using nbx::StrPrintf;
using nbx::strings::LoadString;
using namespace nbx::ui;

namespace {

constexpr int kReuploadRetryMs = 1000;

// The text of string `id` with its one "%s" replaced; a translation cannot make it read more.
std::string FormatOne(int id, const std::string& value) {
    std::string text = LoadString(id);
    if (const std::size_t at = text.find("%s"); at != std::string::npos) {
        text.replace(at, 2, value);
    }
    return text;
}

}  // namespace

// ---- open -----------------------------------------------------------------------------------

void CTerraPaneView::OpenItem(int row, bool newWindow) {
    const ViewItem* item = Item(row);
    CNbxNode* node = frame_->CurrentNode();
    if (item == nullptr || node == nullptr) {
        return;
    }
    // The rows are rebuilt by what follows: everything needed is copied first.
    const int kind = item->kind;
    const std::string name = item->name;
    std::string target;
    switch (kind) {
        case ViewItem::kFile: {
            const std::string local = LocalCopyPath(node->title_name, currentPath_, name);
            if (local.empty()) {
                WriteLog(LogLevel::Error,
                         StrPrintf("CTerraPaneView::OpenItem(): LocalCopyPath() failed with arg: "
                                   "\"%s\"",
                                   name.c_str()));
                return;
            }
            auto download = std::make_unique<CNbxComnActionDownload>(node, currentPath_ + name,
                                                                     local, "\"" + name + "\"");
            download->SetOpenMode(OpenMode::ViewMonitor);
            frame_->SetProgressTitle(300);
            PrepareManager(false);
            WriteLog(LogLevel::Info,
                     "CTerraPaneView::OpenItem(): registered CNbxComnActionDownload()");
            frame_->ComnManager().RegisterAction(std::move(download));
            RegisterRefresh("CTerraPaneView::OpenItem");
            return;
        }
        case ViewItem::kFolder:
            target = currentPath_ + name + "/";
            break;
        case ViewItem::kUp:
            if (currentPath_ == node->root_dir) {
                nbx::ui::IExplorerHost* app = nbx::ui::ExplorerHost();
                if (app != nullptr && app->TransferSourceView() == this) {
                    QGuiApplication::clipboard()->clear();
                    app->SetTransferSourceView(nullptr);
                }
                frame_->ShowNodeView();
                return;
            }
            target = ParentFolder(currentPath_);
            break;
        default:
            return;
    }
    if (newWindow) {
        if (nbx::ui::IExplorerHost* app = nbx::ui::ExplorerHost()) {
            app->OpenFolderInNewFrame(node, target);
        }
        return;
    }
    frame_->SetLocation(target);
    frame_->RefreshLocation();
}

void CTerraPaneView::GoUp() {
    if (frame_->GetViewMode() != CMainFrame::kModeFolder || IsLabelEditing()) {
        return;
    }
    for (int row = 0; row < RowCount(); ++row) {
        if (const ViewItem* item = Item(row); item != nullptr && item->kind == ViewItem::kUp) {
            OpenItem(row, false);
            return;
        }
    }
}

// ---- new folder, rename ---------------------------------------------------------------------

void CTerraPaneView::OnNewFolder() {
    const CNbxNode* node = frame_->CurrentNode();
    if (node == nullptr || !IsEditableFolder(*node, currentPath_)) {
        return;
    }
    std::vector<std::string> texts;
    for (int row = 0; row < RowCount(); ++row) {
        texts.push_back(Text(row).toStdString());
    }
    const std::string name = NewFolderName(texts);
    const int row = AddFolderRow(name, FolderIconIndex(), ViewItem::kFolder, 0);
    SetText(row, 2, QString::fromStdString(LoadString(601)));
    ClearSelection();
    SetSelected(row, true);
    creatingFolder_ = true;
    if (!BeginLabelEdit(row)) {
        // No edit to end: the folder is made under the proposed name, as after Escape.
        FolderView_OnEndLabelEdit(row, std::nullopt);
    }
}

bool CTerraPaneView::FolderView_OnBeginLabelEdit(int row) {
    const ViewItem* item = Item(row);
    const CNbxNode* node = frame_->CurrentNode();
    oldName_ = Text(row).toStdString();
    return item != nullptr && node != nullptr && item->kind != ViewItem::kUp &&
           IsEditableFolder(*node, currentPath_);
}

bool CTerraPaneView::FolderView_OnEndLabelEdit(int row, const std::optional<QString>& text) {
    const ViewItem* item = Item(row);
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
        PrepareManager(true);
        RegisterRefresh("CTerraPaneView::OnEndLabelEdit");
        return false;
    }
    if (!text || text->isEmpty() ||
        text->compare(QString::fromStdString(oldName_), Qt::CaseInsensitive) == 0 ||
        !IsValidItemName(text->toStdString())) {
        return false;
    }
    return RenameItem(row, text->toStdString());
}

bool CTerraPaneView::CreateItem(int row, const std::optional<QString>& text) {
    const ViewItem* item = Item(row);
    CNbxNode* node = frame_->CurrentNode();
    if (item == nullptr || node == nullptr) {
        return false;
    }
    const std::string name = text && !text->isEmpty() ? text->toStdString() : item->name;
    if (name.empty()) {
        return false;
    }
    PrepareManager(true);
    WriteLog(LogLevel::Info, "CTerraPaneView::CreateItem(): registered CNbxComnActionCreate()");
    frame_->ComnManager().RegisterAction(
        std::make_unique<CNbxComnActionCreate>(node, currentPath_ + name));
    RegisterRefresh("CTerraPaneView::CreateItem");
    return true;
}

bool CTerraPaneView::RenameItem(int row, const std::string& newName) {
    const ViewItem* item = Item(row);
    CNbxNode* node = frame_->CurrentNode();
    if (item == nullptr || node == nullptr) {
        return false;
    }
    const std::string oldName = item->kind == ViewItem::kFolder ? oldName_ + "/" : oldName_;
    const std::string source = currentPath_ + oldName;
    const std::string target = currentPath_ + newName;
    PrepareManager(true);
    CNbxFileTransferService probe;
    if (probe._EXIST(*node, target) == 200) {
        WriteLog(LogLevel::Warning,
                 StrPrintf("CTerraPaneView::RenameItem(): CNbxFileTransferService::_EXIST() "
                           "failed with arg: \"%s\"",
                           target.c_str()));
    } else {
        WriteLog(LogLevel::Info,
                 "CTerraPaneView::RenameItem(): registered CNbxComnActionMoveWithinNode()");
        frame_->ComnManager().RegisterAction(
            std::make_unique<CNbxComnActionMoveWithinNode>(node, target, source));
    }
    // Also without a move, so that the name the item really has is shown again.
    RegisterRefresh("CTerraPaneView::RenameItem");
    return true;
}

// ---- delete, refresh ------------------------------------------------------------------------

void CTerraPaneView::OnFileDelete() {
    CNbxNode* node = frame_->CurrentNode();
    if (node == nullptr || !IsEditableFolder(*node, currentPath_)) {
        return;
    }
    if (ShowMessage(this, 214, MsgIcon::kQuestion, MsgButtons::kYesNo) != kIdYes) {
        return;
    }
    PrepareManager(true);
    for (const int row : SelectedRows()) {
        const ViewItem* item = Item(row);
        if (item == nullptr || item->kind == ViewItem::kUp) {
            continue;
        }
        const std::string path =
            currentPath_ + item->name + (item->kind == ViewItem::kFolder ? "/" : "");
        WriteLog(LogLevel::Info,
                 "CTerraPaneView::_FolderView_OnFileDelete(): registered CNbxComnActionDelete()");
        frame_->ComnManager().RegisterAction(std::make_unique<CNbxComnActionDelete>(node, path));
    }
    RegisterRefresh("CTerraPaneView::_FolderView_OnFileDelete");
}

void CTerraPaneView::FolderView_OnRefresh() {
    PrepareManager(true);
    RegisterRefresh("CTerraPaneView::OnViewRefresh");
}

// ---- commands -------------------------------------------------------------------------------

void CTerraPaneView::FolderView_OnCommand(int command) {
    switch (command) {
        case ID_FILE_OPEN_ITEM: {
            const std::vector<int> rows = SelectedRows();
            // New windows leave this listing alone, so the rows stay valid throughout.
            for (const int row : rows) {
                const ViewItem* item = Item(row);
                if (item != nullptr && !(rows.size() > 1 && item->kind == ViewItem::kUp)) {
                    OpenItem(row, true);
                }
            }
            break;
        }
        case ID_FILE_NEW_FOLDER:
            OnNewFolder();
            break;
        case ID_FILE_RENAME:
            if (const std::vector<int> rows = SelectedRows(); rows.size() == 1) {
                BeginLabelEdit(rows.front());
            }
            break;
        case ID_FILE_DELETE:
            OnFileDelete();
            break;
        case ID_VIEW_REFRESH:
            FolderView_OnRefresh();
            break;
        case ID_EDIT_SELECT_ALL:
            for (int row = 0; row < RowCount(); ++row) {
                const ViewItem* item = Item(row);
                SetSelected(row, item != nullptr && item->kind != ViewItem::kUp);
            }
            break;
        default:
            break;
    }
}

bool CTerraPaneView::FolderView_IsCommandEnabled(int command) const {
    const CNbxNode* node = frame_->CurrentNode();
    const bool editable = node != nullptr && IsEditableFolder(*node, currentPath_);
    const std::vector<int> rows = SelectedRows();
    const ViewItem* first = rows.empty() ? nullptr : Item(rows.front());
    const bool firstIsUp = first != nullptr && first->kind == ViewItem::kUp;
    switch (command) {
        case ID_FILE_OPEN_ITEM:
            return !rows.empty();
        case ID_FILE_NEW_FOLDER:
            return editable;
        case ID_FILE_RENAME:
            return editable && rows.size() == 1 && !firstIsUp;
        case ID_FILE_DELETE:
            return editable && !rows.empty() && !firstIsUp;
        case ID_FILE_EDIT:
            return false;
        case ID_FILE_SHORTCUT_DESKTOP:
        case ID_FILE_SHORTCUT_DOCUMENTS:
        case ID_FILE_SHORTCUT_FOLDER:
        case ID_FILE_COPY_URL:
            return false;
        // Rows are cut, copied and pasted by the clipboard transfers, not here.
        case ID_EDIT_CUT:
        case ID_EDIT_COPY:
        case ID_EDIT_PASTE:
        case ID_EDIT_UNDO:
            return false;
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
            return false;
    }
}

// ---- context menus --------------------------------------------------------------------------

void CTerraPaneView::FolderView_OnContextMenu(const QPoint& globalPos) {
    const CNbxNode* node = frame_->CurrentNode();
    const bool editable = node != nullptr && IsEditableFolder(*node, currentPath_);
    const std::vector<int> rows = SelectedRows();
    QMenu menu(this);
    auto add = [](QMenu* to, int command, const char* text, bool enabled) {
        QAction* action = to->addAction(Tr(text));
        action->setData(command);
        action->setEnabled(enabled);
        return action;
    };
    if (!rows.empty()) {
        const ViewItem* first = Item(rows.front());
        const bool firstIsUp = first != nullptr && first->kind == ViewItem::kUp;
        add(&menu, ID_FILE_OPEN_ITEM, "&Open", true);
        add(&menu, ID_FILE_EDIT, "&Edit Configuration...", false);
        menu.addSeparator();
        add(&menu, ID_FILE_DELETE, "&Delete", editable && !firstIsUp);
        add(&menu, ID_FILE_RENAME, "Rena&me", editable && !firstIsUp && rows.size() == 1);
    } else {
        QMenu* view = menu.addMenu(Tr("&View"));
        // In the order of the view styles, Large Icons (-1) first.
        const std::pair<int, const char*> styles[] = {{ID_VIEW_LARGE_ICONS, "Lar&ge Icons"},
                                                      {ID_VIEW_ICONS, "&Icons"},
                                                      {ID_VIEW_DETAILS, "&Details"},
                                                      {ID_VIEW_SMALL_ICONS, "S&mall Icons"},
                                                      {ID_VIEW_LIST, "&List"}};
        for (int style = kLargeIcons; style <= kListStyle; ++style) {
            const auto& [command, text] = styles[style - kLargeIcons];
            QAction* action = add(view, command, text, true);
            action->setCheckable(true);
            action->setChecked(style == viewStyle_);
        }
        QMenu* arrange = menu.addMenu(Tr("Arrange &By"));
        const char* columns[] = {"&Name", "&Size", "&Type", "Date &Created"};
        for (int column = 0; column < 4; ++column) {
            QAction* action = add(arrange, ID_ARRANGE_NAME + column, columns[column], true);
            action->setCheckable(true);
            action->setChecked(SortColumn() == column);
        }
        add(&menu, ID_VIEW_REFRESH, "&Refresh", true);
        menu.addSeparator();
        add(&menu, ID_FILE_NEW_FOLDER, "New &Folder", editable);
    }
    if (QAction* chosen = menu.exec(globalPos); chosen != nullptr) {
        OnCommand(chosen->data().toInt());
    }
}

// ---- the communication manager's callbacks (engine thread) ----------------------------------

// Runs on the engine thread, which may outlive the view: it reaches the view only on the ui
// thread, through a guarded pointer, and keeps the busy flag shared with it.
class CTerraPaneView::ComnCallbackImpl : public IComnManagerComnActionCallback,
                                         public IComnManagerAsyncOperationCallback {
public:
    ComnCallbackImpl(CTerraPaneView* view, std::shared_ptr<std::atomic<bool>> busy)
        : view_(view), busy_(std::move(busy)) {}

    void OnComnActionSuccess() override {
        WriteLog(LogLevel::Info, "CTerraPaneView::OnComnActionSuccess() invoked...");
    }
    void OnComnActionAborted() override {
        WriteLog(LogLevel::Info, "CTerraPaneView::OnComnActionAborted() invoked...");
    }
    void OnComnActionError() override {
        WriteLog(LogLevel::Info, "CTerraPaneView::OnComnActionError() invoked...");
        // Shown on the ui thread; the engine waits for the answer.
        QCoreApplication* app = QCoreApplication::instance();
        if (app == nullptr) {
            ShowMessage(nullptr, 206, MsgIcon::kExclamation);
            return;
        }
        RunOnUiThreadAndWait(app,
                             [this] { ShowMessage(view_.data(), 206, MsgIcon::kExclamation); });
    }
    void OnAsyncOperationStart() override {
        WriteLog(LogLevel::Info, "CTerraPaneView::OnAsyncOperationStart() callback invoked...");
        *busy_ = true;
        Post(WM_ASYNC_TRANSFER_START);
    }
    void OnAsyncOperationFinish(int /*result*/, int /*effect*/) override {
        WriteLog(LogLevel::Info, "CTerraPaneView::OnAsyncOperationFinish() callback invoked...");
        *busy_ = false;
        Post(WM_ASYNC_TRANSFER_FINISH);
    }

private:
    void Post(int message) {
        QCoreApplication* app = QCoreApplication::instance();
        if (app == nullptr) {
            return;
        }
        // The copy of the guarded pointer is taken here; it is only read on the ui thread.
        QMetaObject::invokeMethod(
            app,
            [view = view_, message] {
                if (!view.isNull()) {
                    PostMessage(view.data(), message);
                }
            },
            Qt::QueuedConnection);
    }

    const QPointer<CTerraPaneView> view_;  // read on the ui thread only
    const std::shared_ptr<std::atomic<bool>> busy_;
};

std::shared_ptr<IComnManagerComnActionCallback> CTerraPaneView::ComnActionCallback() {
    if (comnCallback_ == nullptr) {
        comnCallback_ = std::make_shared<ComnCallbackImpl>(this, busy_);
    }
    return comnCallback_;
}

std::shared_ptr<IComnManagerAsyncOperationCallback> CTerraPaneView::AsyncOperationCallback() {
    if (comnCallback_ == nullptr) {
        comnCallback_ = std::make_shared<ComnCallbackImpl>(this, busy_);
    }
    return comnCallback_;
}

// ---- messages -------------------------------------------------------------------------------

bool CTerraPaneView::FolderView_OnMessage(QEvent* event) {
    auto* message = dynamic_cast<NbxEvent*>(event);
    if (message == nullptr) {
        return false;
    }
    auto monitorOf = [message]() -> std::shared_ptr<CNbxFileMonitor> {
        if (const auto* monitor =
                std::any_cast<std::shared_ptr<CNbxFileMonitor>>(&message->wparam)) {
            return *monitor;
        }
        return nullptr;
    };
    nbx::ui::IExplorerHost* app = nbx::ui::ExplorerHost();
    switch (message->Message()) {
        case WM_ASYNC_TRANSFER_START:
            WriteLog(LogLevel::Info, "CTerraPaneView::OnAsyncTransferStart() invoked...");
            if (app != nullptr) {
                app->AsyncTransferStarted(frame_);
            }
            return true;
        case WM_ASYNC_TRANSFER_FINISH:
            WriteLog(LogLevel::Info, "CTerraPaneView::OnAsyncTransferFinish() invoked...");
            if (app != nullptr) {
                app->FrameFinishedAsyncTransfer(frame_);
            }
            return true;
        case WM_FILE_MONITOR_CLOSED:
            if (const auto monitor = monitorOf()) {
                monitor->MarkHandled();
            }
            return true;
        case WM_FILE_MONITOR_CLOSED_MODIFIED: {
            const auto monitor = monitorOf();
            if (monitor == nullptr) {
                return true;
            }
            if (!*busy_ && isFrameInFront && isFrameInFront(frame_)) {
                AskReupload(monitor);
                return true;
            }
            // Asked later, when no batch runs and the window is in front.
            const int timer = startTimer(kReuploadRetryMs);
            if (timer == 0) {
                AskReupload(monitor);
            } else {
                monitorTimers_[timer] = monitor;
            }
            return true;
        }
        case WM_THUMB_DOWNLOAD_START:
            WriteLog(LogLevel::Info, "CTerraPaneView::OnFileThumbDownloadStart() invoked...");
            frame_->ShowSlider(false);
            return true;
        case WM_THUMB_DOWNLOAD_FINISH:
            WriteLog(LogLevel::Info, "CTerraPaneView::OnFileThumbDownloadFinish() invoked...");
            UpdateSlider();
            return true;
        default:
            return false;
    }
}

void CTerraPaneView::FolderView_OnTimer(int timerId) {
    const auto found = monitorTimers_.find(timerId);
    if (found == monitorTimers_.end()) {
        return;
    }
    killTimer(timerId);
    std::shared_ptr<CNbxFileMonitor> monitor = std::move(found->second);
    monitorTimers_.erase(found);
    QObject* target = this;
    if (nbx::ui::IExplorerHost* app = nbx::ui::ExplorerHost()) {
        if (CMainFrame* main = app->MainWindow(); main != nullptr && main->View() != nullptr) {
            target = main->View();
        }
    }
    PostMessage(target, WM_FILE_MONITOR_CLOSED_MODIFIED, monitor);
}

void CTerraPaneView::AskReupload(const std::shared_ptr<CNbxFileMonitor>& monitor) {
    const std::string& remotePath = monitor->GetRemotePath();
    if (ShowMessageText(this, 224, FormatOne(224, remotePath), MsgIcon::kQuestion,
                        MsgButtons::kYesNo) == kIdYes) {
        PrepareManager(false);
        frame_->SetProgressTitle(301);
        frame_->SetProgressPreparing();
        if (CDlgProgress* progress = frame_->Progress()) {
            progress->ShowProgress();
        }
        WriteLog(
            LogLevel::Info,
            "CTerraPaneView::OnFileMonitorClosedModified(): registered CNbxComnActionUpload()");
        frame_->ComnManager().RegisterAction(std::make_unique<CNbxComnActionUpload>(
            &monitor->GetNode(), remotePath, monitor->GetLocalPath(), remotePath));
        RegisterRefresh("CTerraPaneView::OnFileMonitorClosedModified");
    }
    monitor->MarkHandled();
}
