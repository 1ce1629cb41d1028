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
#include <QPointer>
#include <QTimerEvent>
#include <any>
#include <atomic>

#include "base/session_log.h"
#include "base/strings.h"
#include "comn/actions.h"
#include "monitor/thumb.h"
#include "nodes/nbx_node.h"
#include "platform/format.h"
#include "ui/folder_mode.h"
#include "ui/node_list_mode.h"
#include "widgets/message_box.h"
#include "widgets/qimage_decoder.h"
#include "widgets/ui_events.h"
#include "widgets/ui_helpers.h"

using namespace nbx::ui;

namespace {

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

// The command of a key pressed with Control: Enter and Delete are 0 (as without Control),
// another key without a command -1.
int CommandOfControlKey(int key) {
    switch (key) {
        case Qt::Key_Return:
        case Qt::Key_Enter:
        case Qt::Key_Delete:
            return 0;
        case Qt::Key_A:
            return ID_EDIT_SELECT_ALL;
        case Qt::Key_C:
            return ID_EDIT_COPY;
        case Qt::Key_V:
            return ID_EDIT_PASTE;
        case Qt::Key_X:
            return ID_EDIT_CUT;
        case Qt::Key_Z:
            return ID_EDIT_UNDO;
        default:
            return -1;
    }
}

QImage ToQImage(const CNbxBitmap& bitmap) {
    if (const auto* qbitmap = dynamic_cast<const CQImageBitmap*>(&bitmap)) {
        return qbitmap->Image();
    }
    QImage image(bitmap.Width(), bitmap.Height(), QImage::Format_ARGB32);
    for (int y = 0; y < bitmap.Height(); ++y) {
        for (int x = 0; x < bitmap.Width(); ++x) {
            image.setPixel(x, y, bitmap.Pixel(x, y));
        }
    }
    return image;
}

}  // namespace

std::function<bool(const CMainFrame* frame)> CTerraPaneView::isFrameInFront =
    [](const CMainFrame* frame) {
        const IExplorerFrame* explorer = ExplorerFrameOf(frame);
        return explorer != nullptr && explorer->IsInFront();
    };

CTerraPaneView::CTerraPaneView(IExplorerFrame* frame)
    : SListView(frame->FrameWidget()),
      frame_(frame),
      nodes_(std::make_unique<CNodeListMode>(*this)),
      folder_(std::make_unique<CFolderMode>(*this)) {
    // Labels are edited only through BeginLabelEdit (Rename, New Folder), which asks the mode.
    ready_ = true;
}

CTerraPaneView::~CTerraPaneView() {
    nodes_.reset();  // closes the node dialogs first
    // Only the records: the rows go with the list, and deleting them here would signal a
    // selection change to a frame that may be half gone.
    for (int row = 0; row < RowCount(); ++row) {
        delete reinterpret_cast<ViewItem*>(Data(row));
    }
    folder_->ForgetImages();
    // Only what this program put there: another program's clipboard is not ours to empty.
    if (QClipboard* clipboard = QGuiApplication::clipboard();
        clipboard != nullptr && clipboard->ownsClipboard()) {
        clipboard->clear();
    }
}

void CTerraPaneView::InitialUpdate() {
    images_.thumbWidth = images_.thumbHeight = 48;
    images_.small = ImageList(QSize(16, 16));
    images_.large = ImageList(QSize(32, 32));
    images_.thumbsA = ImageList(QSize(48, 48));
    images_.thumbsB = ImageList(QSize(48, 48));
    images_.thumbs = &images_.thumbsA;
    ApplyImageLists();
    frame_->ThumbManager().SetCallback(ThumbCallback());
    nodes_->CreateColumns();
    SetBackground(QColor(247, 247, 255));
    SetViewStyle(kIcons);
}

CViewMode* CTerraPaneView::ActiveMode() const {
    switch (frame_->GetViewMode()) {
        case IExplorerFrame::kModeNodes:
            return nodes_.get();
        case IExplorerFrame::kModeFolder:
            return folder_.get();
        default:
            return nullptr;
    }
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

void CTerraPaneView::MoveKindToTop(RowKind kind) {
    for (int row = RowCount() - 1; row >= 0; --row) {
        const ViewItem* item = Item(row);
        if (item != nullptr && item->kind == kind) {
            MoveRowToTop(row, kind == RowKind::kUp ? -1 : 0);
            return;
        }
    }
}

// ---- Images -------------------------------------------------------------------------------

void CTerraPaneView::ApplyImageLists() {
    SetImageLists(&images_.small, viewStyle_ == kLargeIcons ? images_.thumbs : &images_.large);
}

void CTerraPaneView::ResetImageLists() {
    images_.small.RemoveAll();
    images_.large.RemoveAll();
    images_.thumbs->RemoveAll();
    folder_->ForgetImages();
    UpdateImages();
}

// ---- Modes' entry points ------------------------------------------------------------------

int CTerraPaneView::Navigate(const std::string& path) {
    return folder_->Navigate(path);
}

void CTerraPaneView::ListNodes() {
    nodes_->ListNodes();
}

bool CTerraPaneView::OpenNode(const std::string& title, const std::string& path) {
    return nodes_->OpenNode(title, path);
}

void CTerraPaneView::UpdateNodeState(const std::string& title, int state) {
    nodes_->UpdateNodeState(title, state);
}

int CTerraPaneView::NodeViewStyle() const {
    return nodes_->ViewStyle();
}

void CTerraPaneView::SetNodeViewStyle(int style) {
    nodes_->SetViewStyle(style);
}

void CTerraPaneView::GoUp() {
    folder_->GoUp();
}

void CTerraPaneView::SetThumbnailSize(int width, int height) {
    folder_->SetThumbnailSize(width, height);
}

int CTerraPaneView::ListRemoteDir(std::vector<std::string>& folders,
                                  std::vector<std::string>& files,
                                  std::vector<std::uint64_t>& sizes, const std::string& folder,
                                  const std::string& base, bool recursive) {
    return folder_->ListRemoteDir(folders, files, sizes, folder, base, recursive);
}

bool CTerraPaneView::EndOpenDialogs(int code) {
    return nodes_->EndOpenDialogs(code);
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
    auto window = std::make_shared<QPointer<QWidget>>(frame_->FrameWidget());
    IExplorerFrame* frame = frame_;
    frame_->ComnManager().RegisterAction(std::make_unique<CNbxComnActionRefresh>([window, frame] {
        RunOnUiThreadAndWait(QCoreApplication::instance(), [&window, frame] {
            if (!window->isNull()) {
                frame->RefreshLocation();
            }
        });
    }));
}

// ---- The communication manager's receivers (engine thread) --------------------------------

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
            ShowMessage(nullptr, nbx::strings::kNodeOffline, MsgIcon::kExclamation);
            return;
        }
        RunOnUiThreadAndWait(app, [this] {
            ShowMessage(view_.data(), nbx::strings::kNodeOffline, MsgIcon::kExclamation);
        });
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

// ---- Thumbnails arriving from the engine thread -------------------------------------------

// Runs on the thumbnail engine's thread. It only hands its results to the ui thread, where the
// view, if it still exists, takes them; it never touches the view itself.
class CTerraPaneView::ThumbCallbackImpl : public IFileThumbManagerCallback {
public:
    explicit ThumbCallbackImpl(CTerraPaneView* view) : view_(view) {}

    void OnFileThumbDownloadStart() override {
        WriteLog(LogLevel::Info, "CTerraPaneView::OnFileThumbDownloadStart() callback invoked...");
        Post([](CTerraPaneView& view) { view.OnThumbBatch(true); });
    }
    void OnFileThumbDownloadFinish() override {
        WriteLog(LogLevel::Info, "CTerraPaneView::OnFileThumbDownloadFinish() callback invoked...");
        Post([](CTerraPaneView& view) { view.OnThumbBatch(false); });
    }
    void OnFileThumbDownloaded(CNbxFileThumb& thumb) override {
        std::unique_ptr<CNbxBitmap> bitmap = thumb.TakeBitmap();
        if (bitmap == nullptr) {
            return;
        }
        QImage image = ToQImage(*bitmap);
        const std::string& path = thumb.GetRemotePath();
        const std::string& nodeName = thumb.GetNode().node_name;
        std::string key = nodeName.empty() ? path : "/" + nodeName + path;
        std::string name = path.substr(path.rfind('/') + 1);
        Post([key = std::move(key), name = std::move(name), image = std::move(image)](
                 CTerraPaneView& view) { view.Folder().ApplyThumbnail(key, name, image); });
    }

private:
    void Post(std::function<void(CTerraPaneView&)> work) {
        QCoreApplication* app = QCoreApplication::instance();
        if (app == nullptr) {
            return;
        }
        // The copy of the guarded pointer is taken here; it is only read on the ui thread.
        QMetaObject::invokeMethod(
            app,
            [view = view_, work = std::move(work)] {
                if (!view.isNull()) {
                    work(*view);
                }
            },
            Qt::QueuedConnection);
    }

    const QPointer<CTerraPaneView> view_;
};

std::shared_ptr<IFileThumbManagerCallback> CTerraPaneView::ThumbCallback() {
    if (thumbCallback_ == nullptr) {
        thumbCallback_ = std::make_shared<ThumbCallbackImpl>(this);
    }
    return thumbCallback_;
}

void CTerraPaneView::OnThumbBatch(bool started) {
    thumbsBusy_ = started;
    PostMessage(this, started ? WM_THUMB_DOWNLOAD_START : WM_THUMB_DOWNLOAD_FINISH);
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
    ApplyImageLists();
    UpdateSlider();
}

void CTerraPaneView::ApplyViewStyleCommand(int command) {
    const int style = ViewStyleOfCommand(command);
    // Stored first: the slider rule reads the node's view_style.
    CViewMode& mode = frame_->GetViewMode() == IExplorerFrame::kModeFolder
                          ? static_cast<CViewMode&>(*folder_)
                          : static_cast<CViewMode&>(*nodes_);
    mode.RememberViewStyle(style);
    SetViewStyle(style);
    frame_->UpdateCommands();
}

void CTerraPaneView::UpdateSlider() {
    const CNbxNode* node = frame_->CurrentNode();
    const bool show =
        viewStyle_ == kLargeIcons && frame_->GetViewMode() == IExplorerFrame::kModeFolder &&
        node != nullptr && node->view_style == 4 &&
        (node->device_type == DeviceKind::Workstation || node->device_type == DeviceKind::Disk) &&
        !thumbsBusy_;
    frame_->ShowSlider(show);
}

void CTerraPaneView::SortBy(int column, int order) {
    if (frame_->GetViewMode() == IExplorerFrame::kModeNodes) {
        nodes_->SortBy(column, order);
    } else {
        folder_->SortBy(column, order);
    }
    frame_->UpdateCommands();
}

void CTerraPaneView::OnColumnClick(int column) {
    SortBy(column, 0);
}

// ---- Status bar ---------------------------------------------------------------------------

void CTerraPaneView::UpdateStatusBar() {
    if (CViewMode* mode = ActiveMode()) {
        mode->UpdateStatusBar();
        return;
    }
    frame_->SetStatusText(0, QString());
    frame_->SetStatusText(1, QString());
}

void CTerraPaneView::OnSelectionChanged() {
    if (ready_) {
        UpdateStatusBar();
    }
    frame_->UpdateCommands();
}

// ---- Messages and keys --------------------------------------------------------------------

bool CTerraPaneView::event(QEvent* event) {
    const int message = static_cast<int>(event->type());
    CViewMode* mode = ActiveMode();
    switch (message) {
        case WM_VIEW_OPEN:
            OnOpenMessage(event);
            return true;
        case WM_VIEW_DELETE:
            if (mode != nullptr) {
                mode->OnCommand(ID_FILE_DELETE);
            }
            return true;
        case WM_VIEW_ESCAPE:
            if (mode != nullptr) {
                OnEscape();
            }
            return true;
        case WM_ASYNC_TRANSFER_START:
        case WM_ASYNC_TRANSFER_FINISH:
        case WM_FILE_MONITOR_CLOSED:
        case WM_FILE_MONITOR_CLOSED_MODIFIED:
        case WM_THUMB_DOWNLOAD_START:
        case WM_THUMB_DOWNLOAD_FINISH:
            folder_->OnMessage(event);
            return true;
        default:
            return SListView::event(event);
    }
}

void CTerraPaneView::OnOpenMessage(QEvent* event) {
    const std::vector<int> rows = SelectedRows();
    if (ActiveMode() == nullptr || rows.empty()) {
        return;
    }
    if (rows.size() != 1) {
        OnCommand(ID_FILE_OPEN_ITEM);
        return;
    }
    // As a double-click inside the row, with the keys held with the key, or at this moment
    // when posted without them.
    const auto* posted = static_cast<const NbxEvent*>(event);
    const auto* held = std::any_cast<Qt::KeyboardModifiers>(&posted->wparam);
    OnRowDoubleClicked(rows.front(),
                       held != nullptr ? *held : QGuiApplication::queryKeyboardModifiers());
}

void CTerraPaneView::timerEvent(QTimerEvent* event) {
    if (folder_->OwnsTimer(event->timerId())) {
        folder_->OnTimer(event->timerId());
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
    if (event->modifiers() & Qt::ControlModifier) {
        OnControlKey(event);
        return;
    }
    switch (event->key()) {
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

void CTerraPaneView::OnControlKey(QKeyEvent* event) {
    const int key = event->key();
    const int command = CommandOfControlKey(key);
    if (command < 0) {
        return;
    }
    if (command == 0) {
        // Enter and Delete go to the view whatever is held; Control+Enter opens the row in a
        // new window, as a double-click with Control does.
        PostMessage(this, key == Qt::Key_Delete ? WM_VIEW_DELETE : WM_VIEW_OPEN,
                    event->modifiers());
        return;
    }
    PostCommandIfEnabled(command);
}

// Posted like the menu's command, and like it only when the command is enabled then.
void CTerraPaneView::PostCommandIfEnabled(int command) {
    QMetaObject::invokeMethod(
        this,
        [this, command] {
            if (IsCommandEnabled(command)) {
                OnCommand(command);
            }
        },
        Qt::QueuedConnection);
}

// ---- Rows, labels and menus by mode -------------------------------------------------------

void CTerraPaneView::OnRowDoubleClicked(int row, Qt::KeyboardModifiers modifiers) {
    const bool newWindow = (modifiers & (Qt::ShiftModifier | Qt::ControlModifier)) != 0;
    if (CViewMode* mode = ActiveMode()) {
        mode->OpenRow(row, newWindow);
    }
}

void CTerraPaneView::OnContextMenu(const QPoint& globalPos) {
    if (CViewMode* mode = ActiveMode()) {
        mode->OnContextMenu(globalPos);
    }
}

bool CTerraPaneView::OnBeginLabelEdit(int row) {
    CViewMode* mode = ActiveMode();
    return mode != nullptr && mode->OnBeginLabelEdit(row);
}

bool CTerraPaneView::OnEndLabelEdit(int row, const std::optional<QString>& text) {
    CViewMode* mode = ActiveMode();
    return mode != nullptr && mode->OnEndLabelEdit(row, text);
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
    CViewMode* mode = ActiveMode();
    if (mode == nullptr) {
        return;
    }
    if (IsViewStyleCommand(command)) {
        ApplyViewStyleCommand(command);
        return;
    }
    if (command == ID_EDIT_UNDO) {
        return;  // only an edit field undoes
    }
    mode->OnCommand(command);
}

bool CTerraPaneView::IsCommandEnabled(int command) const {
    if (IsLabelEditing() && IsLabelEditCommand(command)) {
        return IsLabelEditCommandEnabled(command);
    }
    const CViewMode* mode = ActiveMode();
    if (mode == nullptr) {
        return false;
    }
    if (IsViewStyleCommand(command) || command == ID_VIEW_REFRESH ||
        command == ID_EDIT_SELECT_ALL) {
        return true;
    }
    if (command == ID_EDIT_UNDO) {
        return false;
    }
    // Arrange By is the folder listing's only.
    return mode->IsCommandEnabled(command);
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
