#include "ui/main_frame.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QCloseEvent>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPointer>
#include <QScreen>
#include <QSignalBlocker>
#include <QSlider>
#include <QStatusBar>
#include <QToolBar>
#include <algorithm>
#include <chrono>
#include <functional>

#include "base/session_log.h"
#include "base/strings.h"
#include "nodes/node_list.h"
#include "platform/format.h"
#include "platform/xdg.h"
#include "remotefs/result_message.h"
#include "ui/dlg_progress.h"
#include "ui/explorer_host.h"
#include "ui/terrapane_view.h"
#include "widgets/dlg_modal.h"
#include "widgets/icons.h"
#include "widgets/message_box.h"
#include "widgets/ui_events.h"
#include "widgets/ui_helpers.h"
#include "widgets/ui_texts.h"

using namespace std::chrono_literals;
using nbx::ui::NbxEvent;

namespace {

QString Text(int id) {
    return QString::fromStdString(nbx::strings::LoadString(id));
}

// Only what this program put on the clipboard is taken off it: a text the user copied in
// another program stays.
void EmptyOwnClipboard() {
    QClipboard* clipboard = QGuiApplication::clipboard();
    if (clipboard != nullptr && clipboard->ownsClipboard()) {
        clipboard->clear();
    }
}

bool IsAppCommand(int command) {
    return command == nbx::ui::ID_APP_NEW_FRAME || command == nbx::ui::ID_APP_EXIT ||
           command == nbx::ui::ID_OPENED_FILES || command == nbx::ui::ID_NODE_CONFIGURATION ||
           command == nbx::ui::ID_APP_ABOUT || command == nbx::ui::ID_FILE_NEW;
}

}  // namespace

nbx::ui::IExplorerFrame* nbx::ui::ExplorerFrameOf(CMainFrame* frame) {
    return frame;
}

const nbx::ui::IExplorerFrame* nbx::ui::ExplorerFrameOf(const CMainFrame* frame) {
    return frame;
}

std::chrono::milliseconds CMainFrame::stopTimeout{5000};

bool CMainFrame::IsInFront() const {
    return QApplication::activeWindow() == this;
}

CMainFrame::CMainFrame() : tempFolder_(nbx::xdg::PrivateTempDir()) {
    setAttribute(Qt::WA_DeleteOnClose);
    setObjectName("NimbexShellMainFrameClass");
}

CMainFrame::~CMainFrame() {
    Destroy();
    // The view reaches the frame's engines and progress dialog while it goes; the members
    // are destroyed before the widget tree would delete it.
    delete view_;
    view_ = nullptr;
}

bool CMainFrame::Create() {
    nbx::ui::IExplorerHost* app = nbx::ui::ExplorerHost();
    view_ = new CTerraPaneView(this);
    setCentralWidget(view_);
    connect(view_, &SListView::columnsAboutToBeDeleted, this, [this] {
        if ((viewMode_ == kModeNodes || viewMode_ == kModeFolder) && view_->ColumnCount() > 0) {
            columnWidths_[viewMode_] = view_->ColumnWidths();
        }
    });
    if (app != nullptr) {
        app->AddTopFrame(this);
    }
    resize(kWidth, kHeight);
    setMinimumSize(kMinSize, kMinSize);
    SetBigIcon(128);
    setWindowTitle(Text(nbx::strings::kFrameTitle));

    addressBar_ = new CAddressBar(this);
    auto* band = new QToolBar(Text(nbx::strings::kLocationLabel), this);
    band->setObjectName("addressBand");
    band->setFloatable(false);
    band->addWidget(new QLabel(Text(nbx::strings::kLocationLabel) + ' ', band));
    band->addWidget(addressBar_);
    addToolBar(Qt::TopToolBarArea, band);

    QStatusBar* status = statusBar();
    status->setMinimumHeight(22);
    for (QLabel*& part : statusParts_) {
        part = new QLabel(status);
        part->setIndent(4);
    }
    status->installEventFilter(this);
    slider_ = new QSlider(Qt::Horizontal, status);
    slider_->setObjectName("thumbnailSlider");
    slider_->setGeometry(0, 0, 100, 15);
    slider_->setTickPosition(QSlider::NoTicks);
    slider_->setRange(12, 24);
    slider_->setValue(12);
    slider_->hide();
    connect(slider_, &QSlider::valueChanged, this, &CMainFrame::OnSliderMoved);
    LayoutStatusBar();

    progress_ = new CDlgProgress(this, &comnManager_);
    comnManager_.SetFileSystemService(fileSystem_);
    if (app != nullptr) {
        comnManager_.SetMonitorManager(app->SharedMonitorManager());
    }
    comnManager_.SetProgressDlg(progress_);
    if (!comnManager_.Start()) {
        WriteLog(LogLevel::Error, "CMainFrame::OnCreate(): CNbxComnManager::Start() failed!");
    }
    thumbManager_.SetCallback(view_->ThumbCallback());
    if (!thumbManager_.Start()) {
        WriteLog(LogLevel::Error, "CMainFrame::OnCreate(): CNbxFileThumbManager::Start() failed!");
    }

    BuildMenus();
    return true;
}

// ---- Menus and commands --------------------------------------------------------------------

QAction* CMainFrame::AddAction(QMenu* menu, int command, const char* text, bool checkable) {
    QAction* action = menu->addAction(nbx::ui::Tr(text));
    action->setData(command);
    action->setCheckable(checkable);
    connect(action, &QAction::triggered, this, [this, command] { OnCommand(command); });
    actions_[command] = action;
    return action;
}

void CMainFrame::BuildMenus() {
    using namespace nbx::ui;
    QMenu* file = menuBar()->addMenu(Tr("&File"));
    AddAction(file, ID_FILE_OPEN_ITEM, "&Open");
    AddAction(file, ID_FILE_NEW_FOLDER, "New &Folder");
    AddAction(file, ID_FILE_RENAME, "Rena&me");
    AddAction(file, ID_FILE_EDIT, "&Edit Configuration...");
    AddAction(file, ID_FILE_DELETE, "&Delete");
    file->addSeparator();
    AddAction(file, ID_NODE_CONFIGURATION, "Node Configuration");
    AddAction(file, ID_APP_NEW_FRAME, "New Window (&W)");
    AddAction(file, ID_OPENED_FILES, "Opened Files List (&O)");
    file->addSeparator();
    AddAction(file, ID_APP_EXIT, "Exit Application (&X)");

    // The view takes Ctrl+A, C, V, X and Z itself, so these carry no shortcut.
    QMenu* edit = menuBar()->addMenu(Tr("&Edit"));
    AddAction(edit, ID_EDIT_UNDO, "&Undo");
    edit->addSeparator();
    AddAction(edit, ID_EDIT_CUT, "Cu&t");
    AddAction(edit, ID_EDIT_COPY, "&Copy");
    AddAction(edit, ID_EDIT_PASTE, "&Paste");
    edit->addSeparator();
    AddAction(edit, ID_EDIT_SELECT_ALL, "Select &All");

    QMenu* view = menuBar()->addMenu(Tr("&View"));
    AddAction(view, ID_VIEW_LARGE_ICONS, "Lar&ge Icons", true);
    AddAction(view, ID_VIEW_ICONS, "&Icons", true);
    AddAction(view, ID_VIEW_DETAILS, "&Details", true);
    view->addSeparator();
    arrangeMenu_ = view->addMenu(Tr("Arrange &By"));
    AddAction(arrangeMenu_, ID_ARRANGE_NAME, "&Name", true);
    AddAction(arrangeMenu_, ID_ARRANGE_SIZE, "&Size", true);
    AddAction(arrangeMenu_, ID_ARRANGE_TYPE, "&Type", true);
    AddAction(arrangeMenu_, ID_ARRANGE_DATE, "Date &Created", true);
    view->addSeparator();
    AddAction(view, ID_VIEW_REFRESH, "&Refresh");

    QMenu* help = menuBar()->addMenu(Tr("&Help"));
    AddAction(help, ID_APP_ABOUT, "About NimbexShell...");

    // The platform's "new" command: it renews the frame's document, which holds nothing.
    auto* renew = new QAction(this);
    renew->setData(ID_FILE_NEW);
    renew->setShortcut(QKeySequence::New);
    connect(renew, &QAction::triggered, this, [this] { OnCommand(ID_FILE_NEW); });
    addAction(renew);
    actions_[ID_FILE_NEW] = renew;

    // The keys Linux users expect beside the menus' own; each acts only where its command
    // would. Text fields take their editing keys (Backspace among them) before these.
    auto addKeys = [this](const QList<QKeySequence>& keys, const std::function<void()>& act) {
        auto* action = new QAction(this);
        action->setShortcuts(keys);
        connect(action, &QAction::triggered, this, act);
        addAction(action);
        keyActions_.push_back(action);
    };
    auto whenEnabled = [this](int command) {
        return [this, command] {
            if (view_ != nullptr && view_->IsCommandEnabled(command)) {
                OnCommand(command);
            }
        };
    };
    addKeys({QKeySequence(Qt::Key_F2)}, whenEnabled(ID_FILE_RENAME));
    addKeys({QKeySequence(Qt::Key_F5)}, whenEnabled(ID_VIEW_REFRESH));
    addKeys({QKeySequence(Qt::Key_Backspace), QKeySequence(Qt::ALT | Qt::Key_Up)}, [this] {
        if (view_ != nullptr) {
            view_->GoUp();
        }
    });
    addKeys({QKeySequence(Qt::CTRL | Qt::Key_L)}, [this] {
        addressBar_->setFocus(Qt::ShortcutFocusReason);
        if (QLineEdit* edit = addressBar_->lineEdit()) {
            edit->selectAll();
        }
    });
    addKeys({QKeySequence(Qt::CTRL | Qt::Key_W)}, [this] { close(); });

    for (QMenu* menu : {file, edit, view, arrangeMenu_, help}) {
        connect(menu, &QMenu::aboutToShow, this, &CMainFrame::UpdateCommands);
    }
    UpdateCommands();
}

QAction* CMainFrame::Action(int command) const {
    const auto it = actions_.find(command);
    return it == actions_.end() ? nullptr : it->second;
}

void CMainFrame::UpdateCommands() {
    nbx::ui::IExplorerHost* app = nbx::ui::ExplorerHost();
    for (const auto& [command, action] : actions_) {
        if (IsAppCommand(command)) {
            action->setEnabled(command != nbx::ui::ID_APP_EXIT || app == nullptr ||
                               !app->IsAsyncTransferRunning());
            continue;
        }
        if (view_ == nullptr) {
            action->setEnabled(false);
            continue;
        }
        action->setEnabled(view_->IsCommandEnabled(command));
        if (action->isCheckable()) {
            action->setChecked(view_->IsCommandChecked(command));
        }
    }
    if (arrangeMenu_ != nullptr) {
        arrangeMenu_->menuAction()->setEnabled(viewMode_ == kModeFolder);
    }
}

void CMainFrame::OnCommand(int command) {
    using namespace nbx::ui;
    QPointer<CMainFrame> self(this);
    nbx::ui::IExplorerHost* app = nbx::ui::ExplorerHost();
    switch (command) {
        case ID_APP_NEW_FRAME:
            if (app != nullptr) {
                app->OnFileNewFrame();
            }
            break;
        case ID_APP_EXIT:
            if (app != nullptr) {
                app->OnAppExit();
            }
            break;
        case ID_OPENED_FILES:
            if (app != nullptr) {
                app->OnOptionsOpenedFilesMgr();
            }
            break;
        case ID_NODE_CONFIGURATION:
            EmptyOwnClipboard();
            ShowNodeView();
            break;
        case ID_APP_ABOUT:
            OnAbout();
            break;
        case ID_FILE_NEW:
            break;
        default:
            if (view_ != nullptr) {
                view_->OnCommand(command);
            }
            break;
    }
    if (self != nullptr) {
        UpdateCommands();
    }
}

void CMainFrame::OnAbout() {
    QPointer<CMainFrame> self(this);
    auto* about = new CDlgAbout(this);
    about_ = about;
    const int result = about->DoModal();
    if (self == nullptr) {
        return;
    }
    delete about_.data();
    about_ = nullptr;
    if (result == 8) {
        nbx::ui::PostMessage(this, nbx::ui::WM_CLOSE_FRAME);
    }
}

// ---- Messages ------------------------------------------------------------------------------

bool CMainFrame::event(QEvent* event) {
    using namespace nbx::ui;
    const int type = static_cast<int>(event->type());
    switch (type) {
        case WM_ADDRESS_ENTERED:
            OnAddressEntered();
            return true;
        case WM_NODE_STATE: {
            auto* message = static_cast<NbxEvent*>(event);
            const auto* title = std::any_cast<std::string>(&message->wparam);
            if (viewMode_ == kModeNodes && view_ != nullptr && title != nullptr) {
                view_->UpdateNodeState(*title, static_cast<int>(message->lparam));
            }
            return true;
        }
        case WM_CLOSE_FRAME:
            if (nbx::ui::IExplorerHost* app = nbx::ui::ExplorerHost()) {
                app->OnTopFrameClosing(this);
            }
            forceClose_ = true;
            close();
            return true;
        case ID_REFRESH_LOCATION:
            RefreshLocation();
            return true;
        default:
            break;
    }
    return QMainWindow::event(event);
}

bool CMainFrame::eventFilter(QObject* watched, QEvent* event) {
    if (watched == statusBar() && event->type() == QEvent::Resize) {
        LayoutStatusBar();
    }
    return QMainWindow::eventFilter(watched, event);
}

void CMainFrame::changeEvent(QEvent* event) {
    if (event->type() == QEvent::ActivationChange && isActiveWindow() && !destroyed_) {
        if (nbx::ui::IExplorerHost* app = nbx::ui::ExplorerHost()) {
            app->SetMainWindow(this);
        }
    }
    if (event->type() == QEvent::WindowStateChange && progress_ != nullptr) {
        const auto* change = static_cast<QWindowStateChangeEvent*>(event);
        if ((change->oldState() & Qt::WindowMinimized) && !(windowState() & Qt::WindowMinimized)) {
            if (view_ != nullptr && view_->IsBusy()) {
                progress_->raise();
                progress_->activateWindow();
            } else {
                progress_->hide();
            }
        }
    }
    QMainWindow::changeEvent(event);
}

void CMainFrame::resizeEvent(QResizeEvent* event) {
    QMainWindow::resizeEvent(event);
    LayoutStatusBar();
}

// ---- Close and destroy ---------------------------------------------------------------------

void CMainFrame::closeEvent(QCloseEvent* event) {
    using namespace nbx::ui;
    if (!destroyed_ && !forceClose_) {
        if (navigating_) {
            event->ignore();
            return;
        }
        if (view_ != nullptr && view_->IsBusy()) {
            if (progress_ != nullptr && progress_->IsProgressShown()) {
                progress_->raise();
                progress_->activateWindow();
                progress_->setFocus();
            }
            event->ignore();
            return;
        }
        nbx::ui::IExplorerHost* app = nbx::ui::ExplorerHost();
        if (app != nullptr && app->TopFrameCount() == 1) {
            QPointer<CMainFrame> self(this);
            const int answer = app->ConfirmExitWithOpenFiles(this);
            if (self == nullptr) {
                return;
            }
            if (answer == 8) {
                PostMessage(this, WM_CLOSE_FRAME);
            }
            if (answer != 1) {
                event->ignore();
                return;
            }
        }
        comnManager_.RequestTerminate();
        thumbManager_.AbortThumbs();
        // A dialog still open is told to end with 8; its caller then posts WM_CLOSE_FRAME.
        bool dialogsOpen = view_ != nullptr && view_->EndOpenDialogs(8);
        if (!dialogsOpen && (about_ != nullptr || exitDialog_ != nullptr)) {
            for (QWidget* dialog : {static_cast<QWidget*>(about_.data()), exitDialog_.data()}) {
                if (dialog != nullptr) {
                    PostMessage(dialog, WM_END_MODAL, {}, 8);
                }
            }
            dialogsOpen = true;
        }
        if (dialogsOpen) {
            // The 8 goes first, so that the 3 for the rest cannot overtake it.
            PumpMessages();
            EndShownDialogs(3);
            PumpMessages();
            event->ignore();
            return;
        }
        CDlgModalNativeDialog::EndAllBelow(this, 3);
        PumpMessages();
        if (app != nullptr) {
            app->OnTopFrameClosing(this);
        }
    }
    Destroy();
    event->accept();
}

void CMainFrame::EndShownDialogs(int code) {
    for (CDlgModalNativeDialog* dialog : findChildren<CDlgModalNativeDialog*>()) {
        if (dialog->isVisible()) {
            nbx::ui::SendMessage(dialog, nbx::ui::WM_END_MODAL, {}, code);
        }
    }
}

void CMainFrame::Destroy() {
    if (destroyed_) {
        return;
    }
    destroyed_ = true;
    // Only the program's windows: a window of a test without the program leaves the user's
    // settings alone. What this window never had (a mode it did not show) stays as stored.
    if (nbx::ui::ExplorerHost() != nullptr) {
        nbx::ui::SaveWindowSettings(
            nbx::ui::MergeWindowSettings(nbx::ui::LoadWindowSettings(), CurrentSettings()));
    }
    comnManager_.RequestTerminate();
    comnManager_.Stop(stopTimeout);
    thumbManager_.Stop(stopTimeout);
    delete progress_;
    progress_ = nullptr;
    delete about_.data();
    about_ = nullptr;
    if (nbx::ui::IExplorerHost* app = nbx::ui::ExplorerHost()) {
        app->RemoveTopFrame(this);
    }
}

// ---- Location ------------------------------------------------------------------------------

void CMainFrame::SetLocation(const std::string& path) {
    FillAddressBar(path);
    // The title names the folder the address bar shows, not the text it was asked for.
    const std::string shown =
        currentNode_ != nullptr ? nbx::ui::NormalizeNodePath(*currentNode_, path) : path;
    setWindowTitle(QString::fromStdString(nbx::ui::FrameTitle(currentNode_, shown)));
}

void CMainFrame::FillAddressBar(const std::string& path) {
    std::vector<const CNbxNode*> nodes;
    if (nbx::ui::IExplorerHost* app = nbx::ui::ExplorerHost()) {
        const CNbxNodeList& list = app->NodeList();
        NodePosition pos = list.GetStartPosition();
        std::string title;
        CNbxNode* node = nullptr;
        while (list.GetNextNode(pos, title, node)) {
            nodes.push_back(node);
        }
    }
    addressBar_->SetItems(nbx::ui::BuildAddressBarItems(currentNode_, path, nodes));
}

bool CMainFrame::NavigateFromAddress() {
    thumbManager_.AbortThumbs();
    const nbx::ui::AddressItem* record = addressBar_->SelectedRecord();
    if (record == nullptr || view_ == nullptr) {
        return false;
    }
    std::string path;
    switch (record->kind) {
        case nbx::ui::kAddressServiceNode:
        case nbx::ui::kAddressOtherNode:
            if (currentNode_ == nullptr) {
                return false;
            }
            path = currentNode_->root_dir;
            break;
        case nbx::ui::kAddressFolder:
        case nbx::ui::kAddressDeviceFolder:
            path = record->text;
            break;
        default:
            return false;
    }
    QPointer<CMainFrame> self(this);
    navigating_ = true;
    const int result = view_->Navigate(path);
    if (self == nullptr) {
        return false;
    }
    navigating_ = false;
    if (result == 200) {
        UpdateCommands();
        return true;
    }
    WriteLog(LogLevel::Error,
             nbx::StrPrintf(
                 "CMainFrame::NavigateFromAddress(): CTerraPaneView::Navigate() failed with arg: "
                 "\"%s\"",
                 path.c_str()));
    nbx::ui::ShowMessageText(this, ResultMessageId(result), nbx::ui::NavigateFailureMessage(result),
                             nbx::ui::MsgIcon::kExclamation);
    if (self != nullptr && (result == 403 || result == 404) && view_->CurrentPath() != path) {
        SetLocation(view_->CurrentPath());
        nbx::ui::SendMessage(this, nbx::ui::ID_REFRESH_LOCATION);
    }
    return false;
}

void CMainFrame::RefreshLocation() {
    if (viewMode_ == kModeNodes) {
        ShowNodeView();
    } else if (viewMode_ == kModeFolder) {
        QPointer<CMainFrame> self(this);
        NavigateFromAddress();
        if (self != nullptr && view_ != nullptr) {
            SetLocation(view_->CurrentPath());
        }
    }
}

void CMainFrame::ShowNodeView() {
    thumbManager_.AbortThumbs();
    ShowSlider(false);
    currentNode_ = nullptr;
    SetBigIcon(128);
    SetLocation("/");
    if (view_ != nullptr) {
        view_->SetViewStyle(view_->NodeViewStyle());
        view_->ListNodes();
    }
    UpdateCommands();
    if (nbx::ui::IExplorerHost* app = nbx::ui::ExplorerHost()) {
        app->StartMonitorThread();
    }
}

void CMainFrame::FocusView() {
    if (view_ != nullptr) {
        view_->setFocus();
    }
}

void CMainFrame::OnAddressEntered() {
    nbx::ui::IExplorerHost* app = nbx::ui::ExplorerHost();
    if (app == nullptr || view_ == nullptr) {
        return;
    }
    const std::string text = addressBar_->EditText().toStdString();
    const bool plainTitle = text.find(':') == std::string::npos &&
                            text.find('/') == std::string::npos &&
                            app->NodeList().lookup(text) != nullptr;
    const nbx::ui::TypedAddress address = nbx::ui::ParseTypedAddress(text, plainTitle);
    if (address.node.has_value()) {
        if (app->NodeList().lookup(*address.node) != nullptr) {
            OpenNodeFromAddress(*address.node, address.path);
            return;
        }
        QPointer<CMainFrame> self(this);
        nbx::ui::ShowMessage(this, nbx::strings::kNodeNotFound, nbx::ui::MsgIcon::kExclamation);
        if (self == nullptr) {
            return;
        }
        if (viewMode_ == kModeNodes) {
            ShowNodeView();
        } else {
            SetLocation(view_->CurrentPath());
            NavigateFromAddress();
        }
        FocusView();
        return;
    }
    SetLocation(address.path);
    if (viewMode_ == kModeFolder) {
        NavigateFromAddress();
        FocusView();
    }
}

void CMainFrame::OpenNodeFromAddress(const std::string& title, const std::string& path) {
    const int mode = viewMode_;
    CNbxNode* previousNode = currentNode_;
    const std::string previousPath = view_->CurrentPath();
    if (mode == kModeFolder) {
        thumbManager_.AbortThumbs();
        EmptyOwnClipboard();
    }
    QPointer<CMainFrame> self(this);
    const bool opened = view_->OpenNode(title, path);
    if (self == nullptr) {
        return;
    }
    if (!opened) {
        if (mode == kModeFolder) {
            currentNode_ = previousNode;
            SetLocation(previousPath);
            NavigateFromAddress();
        } else {
            ShowNodeView();
        }
    }
    UpdateCommands();
    FocusView();
}

void CMainFrame::OnAddressPicked() {
    if (view_ == nullptr) {
        return;
    }
    view_->update();
    const nbx::ui::AddressItem* selected = addressBar_->SelectedRecord();
    if (selected == nullptr) {
        return;
    }
    const nbx::ui::AddressItem record = *selected;
    switch (record.kind) {
        case nbx::ui::kAddressNodeList:
            EmptyOwnClipboard();
            ShowNodeView();
            FocusView();
            break;
        case nbx::ui::kAddressFolder:
        case nbx::ui::kAddressDeviceFolder:
            SetLocation(addressBar_->EditText().toStdString());
            if (viewMode_ == kModeFolder) {
                NavigateFromAddress();
            }
            FocusView();
            break;
        case nbx::ui::kAddressServiceNode:
        case nbx::ui::kAddressOtherNode:
            OpenNodeFromAddress(record.text, "/");
            break;
        default:
            break;
    }
}

// ---- Status bar, slider, icon, progress ----------------------------------------------------

void CMainFrame::LayoutStatusBar() {
    QStatusBar* status = statusBar();
    if (status == nullptr || statusParts_[0] == nullptr) {
        return;
    }
    const int w = width();
    const int h = status->height();
    const int edges[3] = {std::max(0, w - 215), std::max(0, w - 115), w};
    int left = 0;
    for (int i = 0; i < 3; ++i) {
        statusParts_[i]->setGeometry(left, 0, std::max(0, edges[i] - left), h);
        left = edges[i];
    }
    if (slider_ != nullptr) {
        slider_->move(std::max(0, w - 115), 3);
    }
}

void CMainFrame::SetStatusText(int part, const QString& text) {
    if (part >= 0 && part < 3 && statusParts_[part] != nullptr) {
        statusParts_[part]->setText(text);
    }
}

QString CMainFrame::StatusText(int part) const {
    if (part >= 0 && part < 3 && statusParts_[part] != nullptr) {
        return statusParts_[part]->text();
    }
    return {};
}

void CMainFrame::SetProgressTitle(int stringId) {
    if (progress_ != nullptr) {
        progress_->SetCaption(Text(stringId));
    }
}

void CMainFrame::SetProgressPreparing() {
    if (progress_ != nullptr) {
        progress_->SetFileName(nbx::strings::LoadString(nbx::strings::kPreparing));
    }
}

void CMainFrame::SetBigIcon(int resource) {
    setWindowIcon(nbx::ui::ResourceIcon(resource));
}

void CMainFrame::ShowSlider(bool show) {
    if (slider_ != nullptr) {
        slider_->setVisible(show);
    }
}

void CMainFrame::SetSliderPosition(int position) {
    if (slider_ != nullptr) {
        const QSignalBlocker quiet(slider_);
        slider_->setValue(position);
    }
}

void CMainFrame::OnSliderMoved(int position) {
    if (view_ != nullptr && !view_->IsThumbnailsBusy()) {
        view_->SetThumbnailSize(4 * position, 4 * position);
    }
}

void CMainFrame::SetViewMode(int mode) {
    const bool entered = mode != viewMode_;
    viewMode_ = mode;
    if (!entered || view_ == nullptr) {
        return;
    }
    if (const auto widths = columnWidths_.find(mode); widths != columnWidths_.end()) {
        view_->SetColumnWidths(widths->second);
    }
}

nbx::ui::WindowSettings CMainFrame::CurrentSettings() const {
    nbx::ui::WindowSettings settings;
    const QRect normal = isMaximized() || isFullScreen() ? normalGeometry() : QRect(pos(), size());
    if (normal.isValid()) {
        settings.position = std::make_pair(normal.x(), normal.y());
        settings.size = std::make_pair(normal.width(), normal.height());
    }
    settings.maximized = isMaximized();
    auto widthsOf = [this](int mode) {
        if (viewMode_ == mode && view_ != nullptr && view_->ColumnCount() > 0) {
            return view_->ColumnWidths();
        }
        const auto it = columnWidths_.find(mode);
        return it != columnWidths_.end() ? it->second : std::vector<int>();
    };
    settings.nodeColumnWidths = widthsOf(kModeNodes);
    settings.folderColumnWidths = widthsOf(kModeFolder);
    if (view_ != nullptr) {
        settings.nodeViewStyle = view_->NodeViewStyle();
    }
    return settings;
}

void CMainFrame::ApplySettings(const nbx::ui::WindowSettings& settings) {
    if (settings.size) {
        resize(std::max(settings.size->first, static_cast<int>(kMinSize)),
               std::max(settings.size->second, static_cast<int>(kMinSize)));
    }
    if (settings.position) {
        // Shown only where the title bar can still be reached on some screen.
        const QSize shown = size();
        const QRect titleBar(settings.position->first, settings.position->second, shown.width(),
                             32);
        for (const QScreen* screen : QGuiApplication::screens()) {
            const QRect overlap = titleBar & screen->availableGeometry();
            if (overlap.width() >= std::min(64, shown.width()) && overlap.height() >= 16) {
                move(settings.position->first, settings.position->second);
                break;
            }
        }
    }
    if (settings.maximized) {
        setWindowState(windowState() | Qt::WindowMaximized);
    }
    if (!settings.nodeColumnWidths.empty()) {
        columnWidths_[kModeNodes] = settings.nodeColumnWidths;
    }
    if (!settings.folderColumnWidths.empty()) {
        columnWidths_[kModeFolder] = settings.folderColumnWidths;
    }
    if (view_ != nullptr) {
        if (settings.nodeViewStyle) {
            view_->SetNodeViewStyle(*settings.nodeViewStyle);
        }
        // Columns already made for the mode shown take the widths at once.
        if (const auto widths = columnWidths_.find(viewMode_); widths != columnWidths_.end()) {
            view_->SetColumnWidths(widths->second);
        }
    }
}

int CMainFrame::GetViewStyle() const {
    return view_ != nullptr ? view_->ViewStyle() : CTerraPaneView::kIcons;
}

void CMainFrame::ApplySort(int column, bool ascending) {
    if (view_ != nullptr) {
        view_->SortBy(column, ascending ? -1 : 1);
    }
}

void CMainFrame::ApplyThumbnailSize(int width, int height, bool sliderOnly) {
    SetSliderPosition(width / 4);
    if (sliderOnly || view_ == nullptr) {
        return;
    }
    // The view resizes thumbnails only in folder view; a new frame has not listed yet.
    const int mode = viewMode_;
    viewMode_ = kModeFolder;
    view_->SetThumbnailSize(width, height);
    viewMode_ = mode;
}
