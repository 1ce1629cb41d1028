#include "ui/file_monitor_view.h"

#include <QAbstractItemView>
#include <QCloseEvent>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QMimeDatabase>
#include <QPushButton>
#include <QTimerEvent>
#include <QTreeView>
#include <QVBoxLayout>
#include <functional>
#include <string>
#include <utility>

#include "base/strings.h"
#include "monitor/file_monitor.h"
#include "monitor/file_monitor_manager.h"
#include "nodes/nbx_node.h"
#include "platform/clock.h"
#include "widgets/icons.h"
#include "widgets/ui_texts.h"

namespace {

constexpr int kAppIcon = 128;
const QColor kBackground(247, 247, 255);

QString Text(int id) {
    return QString::fromStdString(nbx::strings::LoadString(id));
}

QString FileNameOf(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    return QString::fromStdString(slash == std::string::npos ? path : path.substr(slash + 1));
}

// The folder part of a remote path, up to and including its last "/".
QString RemoteFolderOf(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? QString()
                                      : QString::fromStdString(path.substr(0, slash + 1));
}

// Both lists: report style, one row at a time, whole rows selected, columns that can be moved.
void SetUpList(SListView& list, const FileTypeImages& images) {
    list.SetImageLists(&images.Small(), &images.Large());
    list.SetStyle(SListView::Style::kDetails);
    list.SetBackground(kBackground);
    if (QAbstractItemView* view = list.CurrentItemView()) {
        view->setSelectionMode(QAbstractItemView::SingleSelection);
        view->setSelectionBehavior(QAbstractItemView::SelectRows);
        if (auto* tree = qobject_cast<QTreeView*>(view)) {
            tree->header()->setSectionsMovable(true);
        }
    }
}

enum class Columns { kAll, kExit };

// One row per monitor, in the list's order, whatever the monitor's state. The rows carry the
// monitors' ids. The manager's lock is held throughout, so the list does not change under it.
void FillRows(SListView& list, FileTypeImages& images, CNbxFileMonitorManager* manager,
              Columns columns) {
    if (manager == nullptr) {
        return;
    }
    const int imagesBefore = images.Small().Count();
    const CNbxFileMonitorManager::Monitors& monitors = manager->LockMonitors();
    int at = 0;
    for (const std::shared_ptr<CNbxFileMonitor>& monitor : monitors) {
        const OpenedFileRow row = DescribeMonitor(*monitor);
        const int image = images.IndexFor(row.fileName);
        const int inserted =
            list.InsertRow(at++, row.fileName, image, static_cast<std::intptr_t>(monitor->GetId()));
        if (columns == Columns::kAll) {
            list.SetText(inserted, 1, row.state);
            list.SetText(inserted, 2, row.modified);
            list.SetText(inserted, 3, row.device);
            list.SetText(inserted, 4, row.nodeName);
            list.SetText(inserted, 5, row.remoteFolder);
        } else {
            list.SetText(inserted, 1, row.device);
            list.SetText(inserted, 2, row.modified);
        }
    }
    manager->UnlockMonitors();
    if (images.Small().Count() != imagesBefore) {
        list.SetImageLists(&images.Small(), &images.Large());
        list.UpdateImages();
    }
}

// Whether the row shows the monitor: the cells that do not change while it lives agree.
bool RowShows(const SListView& list, int row, const CNbxFileMonitor& monitor, Columns columns) {
    const OpenedFileRow cells = DescribeMonitor(monitor);
    if (list.Text(row, 0) != cells.fileName) {
        return false;
    }
    if (columns == Columns::kAll) {
        return list.Text(row, 3) == cells.device && list.Text(row, 4) == cells.nodeName &&
               list.Text(row, 5) == cells.remoteFolder;
    }
    return list.Text(row, 1) == cells.device;
}

// Brings up the application of a row's file while its monitor is alive; a row whose monitor
// has closed or gone since the last refresh does nothing. Monitors made in the same
// millisecond share their id, so the monitor found by the id must also be the one the row
// shows; otherwise the row's own is looked for among those of that id.
void ActivateMonitorOfRow(const SListView& list, CNbxFileMonitorManager* manager, int row,
                          Columns columns) {
    if (manager == nullptr || row < 0 || row >= list.RowCount()) {
        return;
    }
    const auto id = static_cast<std::uint32_t>(list.Data(row));
    std::shared_ptr<CNbxFileMonitor> monitor = manager->FindLiveMonitor(id);
    if (monitor != nullptr && !RowShows(list, row, *monitor, columns)) {
        monitor.reset();
        for (const std::shared_ptr<CNbxFileMonitor>& other : manager->LockMonitors()) {
            if (other->GetId() == id && other->GetState() < FMS_CLOSED &&
                RowShows(list, row, *other, columns)) {
                monitor = other;
                break;
            }
        }
        manager->UnlockMonitors();
    }
    if (monitor != nullptr) {
        monitor->ActivateApplication();
    }
}

// The exit dialog's list, which hands its double-clicks to the dialog.
class ExitList : public SListView {
public:
    ExitList(QWidget* parent, std::function<void(int)> onDoubleClick)
        : SListView(parent), onDoubleClick_(std::move(onDoubleClick)) {}

protected:
    void OnRowDoubleClicked(int row, Qt::KeyboardModifiers modifiers) override {
        SListView::OnRowDoubleClicked(row, modifiers);
        onDoubleClick_(row);
    }

private:
    std::function<void(int)> onDoubleClick_;
};

}  // namespace

OpenedFileRow DescribeMonitor(const CNbxFileMonitor& monitor) {
    OpenedFileRow row;
    row.fileName = FileNameOf(monitor.GetLocalPath());
    // Read once, so that the two cells of a row agree while the engine moves the state on.
    const MonitorState state = monitor.GetState();
    switch (state) {
        case FMS_OPENED:
        case FMS_MODIFIED:
            row.state = Text(nbx::strings::kOpenedStateOpened);
            break;
        case FMS_CLOSED:
        case FMS_CLOSED_MODIFIED:
            row.state = Text(nbx::strings::kOpenedStateClosed);
            break;
        default:
            break;
    }
    switch (state) {
        case FMS_MODIFIED:
        case FMS_CLOSED_MODIFIED:
            row.modified = Text(nbx::strings::kModifiedYes);
            break;
        case FMS_OPENED:
        case FMS_CLOSED:
            row.modified = Text(nbx::strings::kModifiedNo);
            break;
        default:
            break;
    }
    const CNbxNode& node = monitor.GetNode();
    row.device = QStringLiteral("@") + QString::fromStdString(DeviceKindName(node.device_type));
    row.nodeName = QString::fromStdString(node.node_name);
    row.remoteFolder = RemoteFolderOf(monitor.GetRemotePath());
    return row;
}

// ---- FileTypeImages ----------------------------------------------------------------------

int FileTypeImages::IndexFor(const QString& fileName) {
    static const QMimeDatabase types;
    const QString type = types.mimeTypeForFile(fileName, QMimeDatabase::MatchExtension).name();
    if (const auto found = byType_.find(type); found != byType_.end()) {
        return found->second;
    }
    const QIcon icon = nbx::ui::FileIconForName(fileName);
    const int index = small_.Add(icon.pixmap(small_.Size()));
    large_.Add(icon.pixmap(large_.Size()));
    byType_.emplace(type, index);
    return index;
}

void FileTypeImages::Clear() {
    small_.RemoveAll();
    large_.RemoveAll();
    byType_.clear();
}

// ---- CFileMonitorView --------------------------------------------------------------------

CFileMonitorView::CFileMonitorView(CNbxFileMonitorManager* manager, QWidget* parent)
    : SListView(parent), manager_(manager) {
    SetUpList(*this, images_);
    InsertColumn(0, Text(nbx::strings::kColumnOpenedFileName), 250);
    InsertColumn(1, Text(nbx::strings::kColumnOpenedState), 100);
    InsertColumn(2, Text(nbx::strings::kColumnOpenedModified), 100);
    InsertColumn(3, Text(nbx::strings::kColumnOpenedDevice), 120);
    InsertColumn(4, Text(nbx::strings::kColumnOpenedNodeName), 120);
    InsertColumn(5, Text(nbx::strings::kColumnOpenedRemotePath), 250);
    RefreshOpenedFiles();
}

CFileMonitorView::~CFileMonitorView() {
    // The image lists go before the list base does; it must not paint from them any more.
    DeleteAllRows();
    SetImageLists(nullptr, nullptr);
}

void CFileMonitorView::RefreshOpenedFiles() {
    const std::vector<int> selected = SelectedRows();
    const int before = selected.empty() ? -1 : selected.front();
    SetRedraw(false);
    DeleteAllRows();
    FillRows(*this, images_, manager_, Columns::kAll);
    // The selection stays at its position, whichever monitor is there now.
    if (before >= 0 && before < RowCount()) {
        SetSelected(before, true);
    }
    SetRedraw(true);
}

void CFileMonitorView::OnRowDoubleClicked(int row, Qt::KeyboardModifiers modifiers) {
    SListView::OnRowDoubleClicked(row, modifiers);
    ActivateMonitorOfRow(*this, manager_, row, Columns::kAll);
}

// ---- CFileMonitorFrame -------------------------------------------------------------------

CFileMonitorFrame::CFileMonitorFrame(CNbxFileMonitorManager* manager, QWidget* parent)
    : QMainWindow(parent), view_(new CFileMonitorView(manager, this)) {
    setCentralWidget(view_);
    setWindowIcon(nbx::ui::ResourceIcon(kAppIcon));
    resize(kWidth, kHeight);
    setMinimumSize(kWidth, kHeight);
}

void CFileMonitorFrame::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    if (timer_ == 0) {
        timer_ = startTimer(nbx::clock::WaitMs(std::chrono::milliseconds(kRefreshMs)));
    }
}

void CFileMonitorFrame::hideEvent(QHideEvent* event) {
    QMainWindow::hideEvent(event);
    if (timer_ != 0) {
        killTimer(timer_);
        timer_ = 0;
    }
}

void CFileMonitorFrame::closeEvent(QCloseEvent* event) {
    // The window lives until the application ends; its close box only hides it.
    event->ignore();
    hide();
}

void CFileMonitorFrame::timerEvent(QTimerEvent* event) {
    if (event->timerId() == timer_ && timer_ != 0) {
        view_->RefreshOpenedFiles();
        return;
    }
    QMainWindow::timerEvent(event);
}

// ---- CDlgConfirmExit ---------------------------------------------------------------------

CDlgConfirmExit::CDlgConfirmExit(CNbxFileMonitorManager* manager, QWidget* parent)
    : CDlgModalNativeDialog(parent),
      list_(new ExitList(this, [this](int row) { ActivateRow(row); })),
      manager_(manager),
      yes_(new QPushButton(nbx::ui::Tr("Yes"), this)),
      no_(new QPushButton(nbx::ui::Tr("No"), this)) {
    setWindowTitle(nbx::ui::Tr("NimbexShell"));
    setWindowIcon(nbx::ui::ResourceIcon(kAppIcon));

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(nbx::ui::Tr("There are still some remote files opened:"), this));
    layout->addWidget(list_, 1);
    layout->addWidget(
        new QLabel(nbx::ui::Tr("Would you like to exit NimbexShell application?"), this));
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(yes_);
    buttons->addWidget(no_);
    layout->addLayout(buttons);
    yes_->setDefault(true);
    yes_->setFocus();
    connect(yes_, &QPushButton::clicked, this, [this] { EndModal(kYes); });
    connect(no_, &QPushButton::clicked, this, [this] { EndModal(kNo); });

    SetUpList(*list_, images_);
    list_->InsertColumn(0, Text(nbx::strings::kColumnOpenedFileName), 170);
    list_->InsertColumn(1, Text(nbx::strings::kColumnOpenedDevice), 100);
    list_->InsertColumn(2, Text(nbx::strings::kColumnOpenedModified), 100);
    FillRows(*list_, images_, manager_, Columns::kExit);
    list_->ClearSelection();
    resize(414, 262);
}

CDlgConfirmExit::~CDlgConfirmExit() {
    // The list is a child, deleted after the image lists it shows; it goes first.
    delete list_;
}

void CDlgConfirmExit::reject() {
    EndModal(kNo);
}

void CDlgConfirmExit::ActivateRow(int row) {
    if (row < 0) {
        const std::vector<int> selected = list_->SelectedRows();
        row = selected.empty() ? -1 : selected.front();
    }
    ActivateMonitorOfRow(*list_, manager_, row, Columns::kExit);
}
