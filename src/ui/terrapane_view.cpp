#include "ui/terrapane_view.h"

#include <QAbstractItemView>
#include <QClipboard>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMetaObject>
#include <QMimeData>
#include <QTimerEvent>
#include <any>

#include "base/session_log.h"
#include "comn/actions.h"
#include "nodes/nbx_node.h"
#include "platform/format.h"
#include "ui/main_frame.h"
#include "widgets/dlg_modal.h"  // main_frame.h keeps a QPointer to the About box
#include "widgets/ui_events.h"

using namespace nbx::ui;

namespace {

// The node's view_style value for each view style (-1 .. 3).
int StoredViewStyle(int style) {
    switch (style) {
        case CTerraPaneView::kLargeIcons:
            return 4;
        case CTerraPaneView::kDetails:
            return 3;
        case CTerraPaneView::kSmallIcons:
            return 1;
        case CTerraPaneView::kListStyle:
            return 2;
        default:
            return 0;
    }
}

int ViewStyleOfCommand(int command) {
    switch (command) {
        case ID_VIEW_LARGE_ICONS:
            return CTerraPaneView::kLargeIcons;
        case ID_VIEW_DETAILS:
            return CTerraPaneView::kDetails;
        case ID_VIEW_SMALL_ICONS:
            return CTerraPaneView::kSmallIcons;
        case ID_VIEW_LIST:
            return CTerraPaneView::kListStyle;
        default:
            return CTerraPaneView::kIcons;
    }
}

bool IsViewStyleCommand(int command) {
    return command == ID_VIEW_LARGE_ICONS || command == ID_VIEW_ICONS ||
           command == ID_VIEW_SMALL_ICONS || command == ID_VIEW_LIST || command == ID_VIEW_DETAILS;
}

bool IsArrangeCommand(int command) {
    return command >= ID_ARRANGE_NAME && command <= ID_ARRANGE_DATE;
}

bool IsLabelEditCommand(int command) {
    return command == ID_EDIT_CUT || command == ID_EDIT_COPY || command == ID_EDIT_PASTE ||
           command == ID_EDIT_UNDO || command == ID_EDIT_SELECT_ALL;
}

}  // namespace

CTerraPaneView::CTerraPaneView(CMainFrame* frame) : SListView(frame), frame_(frame) {
    // Labels are edited only through BeginLabelEdit (Rename, New Folder), which asks the mode.
    ready_ = true;
}

CTerraPaneView::~CTerraPaneView() {
    delete nodeDialog_.data();
    delete notifier_.data();
    // Only the records: the rows go with the list, and deleting them here would signal a
    // selection change to a frame that may be half gone.
    for (int row = 0; row < RowCount(); ++row) {
        delete reinterpret_cast<ViewItem*>(Data(row));
    }
    iconCache_.clear();
    thumbBitmaps_.clear();
    // Only what this program put there: another program's clipboard is not ours to empty.
    if (QClipboard* clipboard = QGuiApplication::clipboard();
        clipboard != nullptr && clipboard->ownsClipboard()) {
        clipboard->clear();
    }
}

void CTerraPaneView::InitialUpdate() {
    thumbWidth_ = thumbHeight_ = 48;
    small_ = ImageList(QSize(16, 16));
    large_ = ImageList(QSize(32, 32));
    thumbsA_ = ImageList(QSize(48, 48));
    thumbsB_ = ImageList(QSize(48, 48));
    thumbs_ = &thumbsA_;
    SetImageLists(&small_, viewStyle_ == kLargeIcons ? thumbs_ : &large_);
    frame_->ThumbManager().SetCallback(ThumbCallback());
    CreateNodeViewColumns();
    SetBackground(QColor(247, 247, 255));
    SetViewStyle(kIcons);
}

// ---- Rows ---------------------------------------------------------------------------------

int CTerraPaneView::InsertItemRow(int at, const QString& text, int image, ViewItem item,
                                  int group) {
    auto record = std::make_unique<ViewItem>(std::move(item));
    const int row =
        InsertRow(at, text, image, reinterpret_cast<std::intptr_t>(record.get()), group);
    if (row >= 0) {
        record.release();  // the row's now
    }
    return row;
}

void CTerraPaneView::DeleteAllRows() {
    // The records stay alive until the rows are gone, so nothing reading a row meanwhile
    // (a selection change) finds one freed.
    std::vector<ViewItem*> records;
    records.reserve(RowCount());
    for (int row = RowCount() - 1; row >= 0; --row) {
        records.push_back(reinterpret_cast<ViewItem*>(Data(row)));
    }
    SListView::DeleteAllRows();
    for (ViewItem* record : records) {
        delete record;
    }
}

const ViewItem* CTerraPaneView::Item(int row) const {
    if (row < 0 || row >= RowCount()) {
        return nullptr;
    }
    return reinterpret_cast<const ViewItem*>(Data(row));
}

ViewItem* CTerraPaneView::MutableItem(int row) {
    return const_cast<ViewItem*>(Item(row));
}

void CTerraPaneView::MoveKindToTop(int kind) {
    for (int row = RowCount() - 1; row >= 0; --row) {
        const ViewItem* item = Item(row);
        if (item != nullptr && item->kind == kind) {
            MoveRowToTop(row, kind == ViewItem::kUp ? -1 : 0);
            return;
        }
    }
}

// ---- Manager ------------------------------------------------------------------------------

void CTerraPaneView::PrepareManager(bool hideProgress) {
    CNbxComnManager& manager = frame_->ComnManager();
    manager.SetProgressHidden(hideProgress);
    manager.SetProgressKeptOpen(false);
    manager.SetComnActionCallback(ComnActionCallback());
    manager.SetAsyncOperationCallback(AsyncOperationCallback());
}

void CTerraPaneView::RegisterRefresh(const char* method) {
    WriteLog(LogLevel::Info, nbx::StrPrintf("%s(): registered CNbxComnActionRefresh()", method));
    // Runs on the engine thread and waits for the listing. The frame may be gone by then: the
    // guard is read on the ui thread only, where the frame is destroyed.
    auto frame = std::make_shared<QPointer<CMainFrame>>(frame_);
    frame_->ComnManager().RegisterAction(std::make_unique<CNbxComnActionRefresh>([frame] {
        RunOnUiThreadAndWait(QCoreApplication::instance(), [&frame] {
            if (CMainFrame* f = frame->data()) {
                f->RefreshLocation();
            }
        });
    }));
}

// ---- Styles and sorting -------------------------------------------------------------------

void CTerraPaneView::SetViewStyle(int style) {
    if (style < kLargeIcons || style > kListStyle) {
        style = kIcons;
    }
    viewStyle_ = style;
    switch (style) {
        case kDetails:
            SetStyle(Style::kDetails);
            break;
        case kSmallIcons:
            SetStyle(Style::kSmallIcons);
            break;
        case kListStyle:
            SetStyle(Style::kList);
            break;
        default:
            SetStyle(Style::kIcons);
            break;
    }
    SetImageLists(&small_, style == kLargeIcons ? thumbs_ : &large_);
    UpdateSlider();
}

void CTerraPaneView::ApplyViewStyleCommand(int command) {
    const int style = ViewStyleOfCommand(command);
    // Stored first: the slider rule reads the node's view_style.
    if (frame_->GetViewMode() == CMainFrame::kModeFolder) {
        if (CNbxNode* node = frame_->CurrentNode()) {
            node->view_style = StoredViewStyle(style);
            node->viewModified = true;
        }
    } else {
        nodeViewStyle_ = style;
    }
    SetViewStyle(style);
    frame_->UpdateCommands();
}

void CTerraPaneView::UpdateSlider() {
    const CNbxNode* node = frame_->CurrentNode();
    const bool show =
        viewStyle_ == kLargeIcons && frame_->GetViewMode() == CMainFrame::kModeFolder &&
        node != nullptr && node->view_style == 4 &&
        (node->device_type == DeviceKind::Workstation || node->device_type == DeviceKind::Disk) &&
        !thumbsBusy_;
    frame_->ShowSlider(show);
}

void CTerraPaneView::SortBy(int column, int order) {
    if (frame_->GetViewMode() == CMainFrame::kModeNodes) {
        SortByColumn(order, column, CompareRule::kText);
        MoveKindToTop(ViewItem::kAddNode);
        MoveKindToTop(ViewItem::kAddSharedFolder);
        // The direction the sort applied, so that a toggle is not repeated at the next listing.
        nodeViewSortColumn_ = column;
        nodeViewSortOrder_ = SortAscending() ? -1 : 1;
    } else {
        SortByColumn(order, column, FolderColumnRule(column));
        if (CNbxNode* node = frame_->CurrentNode()) {
            node->sort_style = EncodeSortStyle({.column = column, .descending = !SortAscending()});
            node->viewModified = true;
        }
        MoveKindToTop(ViewItem::kUp);
    }
    frame_->UpdateCommands();
}

void CTerraPaneView::OnColumnClick(int column) {
    SortBy(column, 0);
}

// ---- Status bar ---------------------------------------------------------------------------

void CTerraPaneView::UpdateStatusBar() {
    switch (frame_->GetViewMode()) {
        case CMainFrame::kModeNodes:
            UpdateStatusBarInfoNodeView();
            break;
        case CMainFrame::kModeFolder:
            UpdateStatusBarInfoFolderView();
            break;
        default:
            frame_->SetStatusText(0, QString());
            frame_->SetStatusText(1, QString());
            break;
    }
}

void CTerraPaneView::OnSelectionChanged() {
    if (ready_) {
        UpdateStatusBar();
    }
    frame_->UpdateCommands();
}

// ---- Dialogs ------------------------------------------------------------------------------

bool CTerraPaneView::EndOpenDialogs(int code) {
    bool any = false;
    for (QWidget* dialog : {nodeDialog_.data(), notifier_.data()}) {
        if (dialog != nullptr) {
            PostMessage(dialog, WM_END_MODAL, {}, code);
            any = true;
        }
    }
    return any;
}

// ---- Messages and keys --------------------------------------------------------------------

bool CTerraPaneView::event(QEvent* event) {
    const int message = static_cast<int>(event->type());
    const int mode = frame_->GetViewMode();
    switch (message) {
        case WM_VIEW_OPEN: {
            const std::vector<int> rows = SelectedRows();
            if (mode == CMainFrame::kModeNone || rows.empty()) {
                return true;
            }
            if (rows.size() == 1) {
                // As a double-click inside the row, with the keys held with the key, or at this
                // moment when posted without them.
                const auto* posted = static_cast<const NbxEvent*>(event);
                const auto* held = std::any_cast<Qt::KeyboardModifiers>(&posted->wparam);
                OnRowDoubleClicked(rows.front(), held != nullptr
                                                     ? *held
                                                     : QGuiApplication::queryKeyboardModifiers());
            } else {
                OnCommand(ID_FILE_OPEN_ITEM);
            }
            return true;
        }
        case WM_VIEW_DELETE:
            if (mode == CMainFrame::kModeNodes) {
                NodeView_OnCommand(ID_FILE_DELETE);
            } else if (mode == CMainFrame::kModeFolder) {
                FolderView_OnCommand(ID_FILE_DELETE);
            }
            return true;
        case WM_VIEW_ESCAPE:
            if (mode != CMainFrame::kModeNone) {
                OnEscape();
            }
            return true;
        case WM_ASYNC_TRANSFER_START:
        case WM_ASYNC_TRANSFER_FINISH:
        case WM_FILE_MONITOR_CLOSED:
        case WM_FILE_MONITOR_CLOSED_MODIFIED:
        case WM_THUMB_DOWNLOAD_START:
        case WM_THUMB_DOWNLOAD_FINISH:
            FolderView_OnMessage(event);
            return true;
        default:
            return SListView::event(event);
    }
}

void CTerraPaneView::timerEvent(QTimerEvent* event) {
    if (monitorTimers_.count(event->timerId()) != 0) {
        FolderView_OnTimer(event->timerId());
    } else {
        SListView::timerEvent(event);
    }
}

void CTerraPaneView::OnEscape() {
    ClearSelection();
    for (int row = 0; row < RowCount(); ++row) {
        SetCutState(row, false);
    }
    if (QAbstractItemView* view = CurrentItemView();
        view != nullptr && view->selectionModel() != nullptr) {
        view->selectionModel()->clearCurrentIndex();
    }
    // What a Cut or Copy of this program left there; another program's text stays.
    if (QClipboard* clipboard = QGuiApplication::clipboard();
        clipboard != nullptr && clipboard->ownsClipboard()) {
        clipboard->clear();
    }
}

void CTerraPaneView::OnKeyDown(QKeyEvent* event) {
    // During a label edit the edit field has the keys, Control ones included: it cuts, copies,
    // pastes, undoes and selects by itself, and a posted command would do it a second time.
    if (IsLabelEditing()) {
        return;
    }
    const int key = event->key();
    if (event->modifiers() & Qt::ControlModifier) {
        int command = 0;
        switch (key) {
            // Enter and Delete go to the view whatever is held; Control+Enter opens the row in
            // a new window, as a double-click with Control does.
            case Qt::Key_Return:
            case Qt::Key_Enter:
            case Qt::Key_Delete:
                break;
            case Qt::Key_A:
                command = ID_EDIT_SELECT_ALL;
                break;
            case Qt::Key_C:
                command = ID_EDIT_COPY;
                break;
            case Qt::Key_V:
                command = ID_EDIT_PASTE;
                break;
            case Qt::Key_X:
                command = ID_EDIT_CUT;
                break;
            case Qt::Key_Z:
                command = ID_EDIT_UNDO;
                break;
            default:
                return;
        }
        if (command == 0) {
            PostMessage(this, key == Qt::Key_Delete ? WM_VIEW_DELETE : WM_VIEW_OPEN,
                        event->modifiers());
            return;
        }
        // Posted like the menu's command, and like it only when the command is enabled then.
        QMetaObject::invokeMethod(
            this,
            [this, command] {
                if (IsCommandEnabled(command)) {
                    OnCommand(command);
                }
            },
            Qt::QueuedConnection);
        return;
    }
    switch (key) {
        case Qt::Key_Return:
        case Qt::Key_Enter:
            PostMessage(this, WM_VIEW_OPEN, event->modifiers());
            break;
        case Qt::Key_Delete:
            PostMessage(this, WM_VIEW_DELETE);
            break;
        case Qt::Key_Escape:
            PostMessage(this, WM_VIEW_ESCAPE);
            break;
        default:
            break;
    }
}

// ---- Rows, labels and menus by mode -------------------------------------------------------

void CTerraPaneView::OnRowDoubleClicked(int row, Qt::KeyboardModifiers modifiers) {
    const bool newWindow = (modifiers & (Qt::ShiftModifier | Qt::ControlModifier)) != 0;
    switch (frame_->GetViewMode()) {
        case CMainFrame::kModeNodes:
            NodeView_OpenRow(row, newWindow);
            break;
        case CMainFrame::kModeFolder:
            OpenItem(row, newWindow);
            break;
        default:
            break;
    }
}

void CTerraPaneView::OnContextMenu(const QPoint& globalPos) {
    switch (frame_->GetViewMode()) {
        case CMainFrame::kModeNodes:
            NodeView_OnContextMenu(globalPos);
            break;
        case CMainFrame::kModeFolder:
            FolderView_OnContextMenu(globalPos);
            break;
        default:
            break;
    }
}

bool CTerraPaneView::OnBeginLabelEdit(int row) {
    switch (frame_->GetViewMode()) {
        case CMainFrame::kModeNodes:
            return NodeView_OnBeginLabelEdit(row);
        case CMainFrame::kModeFolder:
            return FolderView_OnBeginLabelEdit(row);
        default:
            return false;
    }
}

bool CTerraPaneView::OnEndLabelEdit(int row, const std::optional<QString>& text) {
    switch (frame_->GetViewMode()) {
        case CMainFrame::kModeNodes:
            return NodeView_OnEndLabelEdit(row, text);
        case CMainFrame::kModeFolder:
            return FolderView_OnEndLabelEdit(row, text);
        default:
            return false;
    }
}

// ---- Commands -----------------------------------------------------------------------------

bool CTerraPaneView::OnLabelEditCommand(int command) {
    QLineEdit* editor = IsLabelEditing() ? LabelEditor() : nullptr;
    if (editor == nullptr) {
        return false;
    }
    switch (command) {
        case ID_EDIT_CUT:
            editor->cut();
            return true;
        case ID_EDIT_COPY:
            editor->copy();
            return true;
        case ID_EDIT_PASTE:
            editor->paste();
            return true;
        case ID_EDIT_UNDO:
            if (editor->isUndoAvailable()) {
                editor->undo();
            }
            return true;
        case ID_EDIT_SELECT_ALL:
            editor->selectAll();
            return true;
        default:
            return false;
    }
}

bool CTerraPaneView::IsLabelEditCommandEnabled(int command) const {
    QLineEdit* editor = LabelEditor();
    switch (command) {
        case ID_EDIT_CUT:
        case ID_EDIT_COPY:
        case ID_EDIT_SELECT_ALL:
            return true;
        case ID_EDIT_PASTE: {
            const QClipboard* clipboard = QGuiApplication::clipboard();
            const QMimeData* data = clipboard != nullptr ? clipboard->mimeData() : nullptr;
            return data != nullptr && data->hasText();
        }
        case ID_EDIT_UNDO:
            return editor != nullptr && editor->isUndoAvailable();
        default:
            return false;
    }
}

void CTerraPaneView::OnCommand(int command) {
    if (IsLabelEditing() && IsLabelEditCommand(command)) {
        OnLabelEditCommand(command);
        return;
    }
    const int mode = frame_->GetViewMode();
    if (mode == CMainFrame::kModeNone) {
        return;
    }
    if (IsViewStyleCommand(command)) {
        ApplyViewStyleCommand(command);
        return;
    }
    if (IsArrangeCommand(command)) {
        if (mode == CMainFrame::kModeFolder) {
            SortBy(command - ID_ARRANGE_NAME, 0);
        }
        return;
    }
    if (command == ID_EDIT_UNDO) {
        return;  // only an edit field undoes
    }
    if (mode == CMainFrame::kModeNodes) {
        NodeView_OnCommand(command);
    } else {
        FolderView_OnCommand(command);
    }
}

bool CTerraPaneView::IsCommandEnabled(int command) const {
    if (IsLabelEditing() && IsLabelEditCommand(command)) {
        return IsLabelEditCommandEnabled(command);
    }
    const int mode = frame_->GetViewMode();
    if (mode == CMainFrame::kModeNone) {
        return false;
    }
    if (IsViewStyleCommand(command) || command == ID_VIEW_REFRESH ||
        command == ID_EDIT_SELECT_ALL) {
        return true;
    }
    if (IsArrangeCommand(command)) {
        return mode == CMainFrame::kModeFolder;
    }
    if (command == ID_EDIT_UNDO) {
        return false;
    }
    return mode == CMainFrame::kModeNodes ? NodeView_IsCommandEnabled(command)
                                          : FolderView_IsCommandEnabled(command);
}

bool CTerraPaneView::IsCommandChecked(int command) const {
    if (IsViewStyleCommand(command)) {
        return ViewStyleOfCommand(command) == viewStyle_;
    }
    if (IsArrangeCommand(command)) {
        return SortColumn() == command - ID_ARRANGE_NAME;
    }
    return false;
}
