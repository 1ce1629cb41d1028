#include "ui/node_list_mode.h"

#include <QAction>
#include <QMenu>

#include "base/session_log.h"
#include "base/strings.h"
#include "nodes/node_list.h"
#include "platform/format.h"
#include "remotefs/ft_service.h"
#include "ui/explorer_frame.h"
#include "ui/explorer_host.h"
#include "ui/terrapane_view.h"
#include "ui/ui_logic.h"
#include "widgets/icons.h"
#include "widgets/message_box.h"
#include "widgets/ui_events.h"
#include "widgets/ui_texts.h"

using namespace nbx::ui;
using nbx::StrPrintf;
using nbx::strings::LoadString;

namespace {

// Configurations are changed only while this is the only window and no shell transfer runs;
// otherwise the user is told why (200, 211) and true is returned.
bool RefusedWhileShared(QWidget* parent) {
    const nbx::ui::IExplorerHost* app = nbx::ui::ExplorerHost();
    if (app->TopFrameCount() > 1) {
        ShowMessage(parent, nbx::strings::kCloseOtherWindowsFirst, MsgIcon::kInformation);
        return true;
    }
    if (app->IsAsyncTransferRunning()) {
        ShowMessage(parent, nbx::strings::kWaitForTransfer, MsgIcon::kInformation);
        return true;
    }
    return false;
}

// The node-view images, in the order of their indices: the two add entries, then the device
// kinds 0 to 9 (a node of another type shows index 2).
constexpr int kNodeViewImages[] = {151, 195, 196, 191, 193, 187, 188, 192, 189, 190, 194, 231};

QString Str(int id) {
    return QString::fromStdString(LoadString(id));
}

CNbxNodeList& Nodes() {
    return nbx::ui::ExplorerHost()->NodeList();
}

bool IsAddEntry(const ViewItem* item) {
    return item != nullptr &&
           (item->kind == RowKind::kAddNode || item->kind == RowKind::kAddSharedFolder);
}

bool IsNodeEntry(const ViewItem* item) {
    return item != nullptr &&
           (item->kind == RowKind::kServiceNode || item->kind == RowKind::kOtherNode);
}

// Configurations change only while this is the only window and no shell transfer runs.
bool ConfigurationsLocked() {
    const nbx::ui::IExplorerHost* app = nbx::ui::ExplorerHost();
    return app->TopFrameCount() > 1 || app->IsAsyncTransferRunning();
}

}  // namespace

CNodeListMode::CNodeListMode(CTerraPaneView& view) : view_(view) {}

CNodeListMode::~CNodeListMode() {
    delete nodeDialog_.data();
    delete notifier_.data();
}

IExplorerFrame& CNodeListMode::Frame() const {
    return view_.Frame();
}

bool CNodeListMode::EndOpenDialogs(int code) {
    bool any = false;
    for (QWidget* dialog : {nodeDialog_.data(), notifier_.data()}) {
        if (dialog != nullptr) {
            PostMessage(dialog, WM_END_MODAL, {}, code);
            any = true;
        }
    }
    return any;
}

// ---- Listing ------------------------------------------------------------------------------

void CNodeListMode::CreateColumns() {
    view_.InsertColumn(0, Str(nbx::strings::kColumnName), 250);
    view_.InsertColumn(1, Str(nbx::strings::kColumnStatus), 100);
    view_.InsertColumn(2, Str(nbx::strings::kColumnDevice), 120);
    view_.InsertColumn(3, Str(nbx::strings::kColumnNodeName), 120);
    view_.InsertColumn(4, Str(nbx::strings::kColumnUserName), 120);
}

void CNodeListMode::CreateImages() {
    view_.ResetImageLists();
    ViewImages& images = view_.Images();
    *images.thumbs = ImageList(QSize(48, 48));
    images.thumbWidth = images.thumbHeight = 48;
    for (int resource : kNodeViewImages) {
        const QIcon icon = ResourceIcon(resource);
        images.small.Add(icon.pixmap(images.small.Size()));
        images.large.Add(icon.pixmap(images.large.Size()));
        images.thumbs->Add(icon.pixmap(images.thumbs->Size()));
    }
    view_.ApplyImageLists();
}

void CNodeListMode::EnterMode() {
    if (Frame().GetViewMode() != IExplorerFrame::kModeNodes) {
        view_.DeleteAllColumns();
        CreateColumns();
        CreateImages();
    }
    Frame().SetViewMode(IExplorerFrame::kModeNodes);
    // Assigned from a string object: GCC 12 at -O2 misreads the assignment of a literal here
    // (-Wrestrict).
    view_.SetCurrentPath(std::string(1, '/'));
}

void CNodeListMode::InsertGroupsAndAddEntries() {
    view_.RemoveAllGroups();
    view_.SetGroupsEnabled(true);
    view_.InsertGroup(0, Str(nbx::strings::kGroupConfiguration));
    view_.InsertGroup(1, Str(nbx::strings::kGroupCloud));
    view_.InsertGroup(2, Str(nbx::strings::kGroupDevices));

    int row = view_.InsertItemRow(
        -1, Str(nbx::strings::kAddNode), 0,
        {.kind = RowKind::kAddNode, .name = LoadString(nbx::strings::kAddNode)}, 0);
    view_.SetText(row, 2, Str(nbx::strings::kAddNodeDescription));
    row = view_.InsertItemRow(
        -1, Str(nbx::strings::kAddSharedFolder), 1,
        {.kind = RowKind::kAddSharedFolder, .name = LoadString(nbx::strings::kAddSharedFolder)}, 0);
    view_.SetText(row, 2, Str(nbx::strings::kAddSharedFolderDescription));
}

void CNodeListMode::InsertNodeRows() {
    CNbxNodeList& nodes = Nodes();
    NodePosition pos = nodes.GetStartPosition();
    std::string title;
    CNbxNode* node = nullptr;
    while (nodes.GetNextNode(pos, title, node)) {
        const RowKind kind =
            node->node_type == NodeType::ServiceNode ? RowKind::kServiceNode : RowKind::kOtherNode;
        const int row = view_.InsertItemRow(-1, QString::fromStdString(title), NodeImage(*node),
                                            {.kind = kind, .name = title}, NodeGroup(*node));
        view_.SetText(row, 1, QString::fromStdString(NodeStateName(node->state)));
        view_.SetText(row, 2, QString::fromStdString(DeviceKindName(node->device_type)));
        view_.SetText(row, 3, QString::fromStdString(node->node_name));
        view_.SetText(row, 4, QString::fromStdString(node->login));
    }
}

void CNodeListMode::ListNodes() {
    view_.SetReady(false);
    EnterMode();
    view_.DeleteAllRows();

    view_.SetRedraw(false);
    const int style = view_.ViewStyle();
    view_.SetViewStyle(CTerraPaneView::kDetails);
    InsertGroupsAndAddEntries();
    InsertNodeRows();
    view_.SortBy(sortColumn_, sortOrder_);
    view_.SetViewStyle(style);
    view_.SetRedraw(true);

    view_.SetReady(true);
    view_.UpdateStatusBar();
}

void CNodeListMode::SortBy(int column, int order) {
    view_.SortByColumn(order, column, CompareRule::kText);
    view_.MoveKindToTop(RowKind::kAddNode);
    view_.MoveKindToTop(RowKind::kAddSharedFolder);
    // The direction the sort applied, so that a toggle is not repeated at the next listing.
    sortColumn_ = column;
    sortOrder_ = view_.SortAscending() ? -1 : 1;
}

void CNodeListMode::UpdateStatusBar() {
    const std::vector<int> selected = view_.SelectedRows();
    std::vector<NodeRowInfo> rows(static_cast<std::size_t>(view_.RowCount()));
    for (int row = 0; row < view_.RowCount(); ++row) {
        const ViewItem* item = view_.Item(row);
        NodeRowInfo& info = rows[static_cast<std::size_t>(row)];
        info.kind = item != nullptr ? item->kind : RowKind::kServiceNode;
        if (IsAddEntry(item)) {
            info.description = view_.Text(row, 2).toStdString();
        }
    }
    if (selected.size() == 1 && IsNodeEntry(view_.Item(selected.front()))) {
        const std::string title = view_.Text(selected.front()).toStdString();
        NodeRowInfo& info = rows[static_cast<std::size_t>(selected.front())];
        info.node = Nodes().lookup(title);
        if (info.node == nullptr) {
            WriteLog(LogLevel::Error, StrPrintf("CTerraPaneView::UpdateStatusBarInfoNodeView(): "
                                                "CNbxNodeList::lookup() failed with arg: \"%s\"",
                                                title.c_str()));
        }
    }
    const StatusTexts texts = NodeStatusTexts(rows, selected);
    Frame().SetStatusText(0, QString::fromStdString(texts.part0));
    Frame().SetStatusText(1, QString());
}

void CNodeListMode::UpdateNodeState(const std::string& title, int state) {
    if (Frame().GetViewMode() != IExplorerFrame::kModeNodes) {
        return;
    }
    // Titles are unique only as they are spelt: a search ignoring case could find the row of
    // another node whose title differs only in case.
    int row = -1;
    const QString text = QString::fromStdString(title);
    for (int r = 0; r < view_.RowCount(); ++r) {
        if (IsNodeEntry(view_.Item(r)) && view_.Text(r) == text) {
            row = r;
            break;
        }
    }
    CNbxNode* node = Nodes().lookup(title);
    if (row < 0 || node == nullptr) {
        return;
    }
    node->state = state;
    view_.SetText(row, 1, QString::fromStdString(NodeStateName(state)));
    if (view_.IsReady()) {
        view_.UpdateStatusBar();
    }
}

// ---- Opening ------------------------------------------------------------------------------

bool CNodeListMode::OpenNode(const std::string& title, const std::string& path) {
    CNbxNode* node = Nodes().lookup(title);
    if (node == nullptr) {
        WriteLog(LogLevel::Error,
                 StrPrintf("CTerraPaneView::OpenNode(): CNbxNodeList::lookup() failed with arg: "
                           "\"%s\"",
                           title.c_str()));
        return false;
    }
    IExplorerFrame& frame = Frame();
    frame.SetCurrentNode(node);
    const std::string location = path.empty() || path == "/" ? node->root_dir : path;
    frame.SetLocation(location);
    if (!frame.NavigateFromAddress()) {
        return false;
    }
    frame.SetBigIcon(NodeFrameIconResource(*node));

    view_.SetRedraw(false);
    view_.SetViewStyle(CTerraPaneView::kDetails);
    const SortOrder sort = DecodeSortStyle(node->sort_style);
    view_.SortBy(sort.column, sort.descending ? 1 : -1);
    static constexpr int kStyleCommands[] = {ID_VIEW_ICONS, ID_VIEW_SMALL_ICONS, ID_VIEW_LIST,
                                             ID_VIEW_DETAILS, ID_VIEW_LARGE_ICONS};
    view_.ApplyViewStyleCommand(kStyleCommands[DecodeViewStyle(node->view_style)]);

    frame.SetSliderPosition(node->thumbnail_width / 4);
    if (node->thumbnail_width != view_.ThumbnailWidth() ||
        node->thumbnail_height != view_.ThumbnailHeight()) {
        const int mode = frame.GetViewMode();
        frame.SetViewMode(IExplorerFrame::kModeFolder);
        view_.SetThumbnailSize(node->thumbnail_width, node->thumbnail_height);
        frame.SetViewMode(mode);
    }
    view_.SetRedraw(true);
    return true;
}

void CNodeListMode::OpenRow(int row, bool newWindow) {
    const ViewItem* item = view_.Item(row);
    if (item == nullptr) {
        return;
    }
    if (IsAddEntry(item)) {
        WriteLog(LogLevel::Info, StrPrintf("CTerraPaneView::NodeView_OpenRow(): no configuration "
                                           "dialog is available for \"%s\"",
                                           item->name.c_str()));
        ReportNoConfigurationDialog();
        return;
    }
    const std::string title = item->name;
    if (!CheckNodeConfiguration(title) || !WakeUpNode(title)) {
        return;
    }
    if (newWindow) {
        nbx::ui::ExplorerHost()->OpenNodeInNewFrame(title, "/");
    } else if (!OpenNode(title, "/")) {
        Frame().ShowNodeView();
    }
}

void CNodeListMode::OpenSelected() {
    const std::vector<int> rows = view_.SelectedRows();
    if (rows.size() == 1) {
        OpenRow(rows.front(), true);
        return;
    }
    // By title: a message box on the way lets other windows change the rows meanwhile.
    std::vector<std::string> titles;
    for (int row : rows) {
        if (const ViewItem* item = view_.Item(row); IsNodeEntry(item)) {
            titles.push_back(item->name);
        }
    }
    for (const std::string& title : titles) {
        if (CheckNodeConfiguration(title) && WakeUpNode(title)) {
            nbx::ui::ExplorerHost()->OpenNodeInNewFrame(title, "/");
        }
    }
}

bool CNodeListMode::CheckNodeConfiguration(const std::string& title) {
    const CNbxNode* node = Nodes().lookup(title);
    if (node == nullptr) {
        return false;
    }
    if (IsNodeConfigured(*node)) {
        return true;
    }
    WriteLog(LogLevel::Warning,
             StrPrintf("CTerraPaneView::CheckNodeConfiguration(): the node is not configured: "
                       "\"%s\"",
                       title.c_str()));
    if (node->node_type == NodeType::ServiceNode) {
        ShowMessage(Frame().FrameWidget(), nbx::strings::kAuthenticationFailure,
                    MsgIcon::kExclamation);
    } else if (node->node_type == NodeType::SharedFolder) {
        ShowMessage(Frame().FrameWidget(), nbx::strings::kSharedFolderNotAccessible,
                    MsgIcon::kExclamation);
    }
    return false;
}

bool CNodeListMode::WakeUpNode(const std::string& title) {
    const CNbxNode* node = Nodes().lookup(title);
    if (node == nullptr || node->device_type != DeviceKind::Handset) {
        return true;
    }
    const CNbxNode copy(*node);
    CNbxFileTransferService transfer;
    if (transfer._CHECK_ONLINE(copy) == 200) {
        return true;
    }
    WriteLog(LogLevel::Info,
             StrPrintf("CTerraPaneView::WakeUpNode(): \"%s\" is not online and no wake-up "
                       "notifier is available; opening it anyway",
                       title.c_str()));
    return true;
}

void CNodeListMode::ReportNoConfigurationDialog() {
    ShowMessageText(Frame().FrameWidget(), 0,
                    Tr("This configuration dialog is not available yet.").toStdString(),
                    MsgIcon::kInformation);
}

// ---- Renaming -----------------------------------------------------------------------------

bool CNodeListMode::OnBeginLabelEdit(int row) {
    const ViewItem* item = view_.Item(row);
    if (item == nullptr || IsAddEntry(item) || ConfigurationsLocked()) {
        return false;
    }
    view_.EditedName() = view_.Text(row).toStdString();
    return true;
}

bool CNodeListMode::OnEndLabelEdit(int row, const std::optional<QString>& text) {
    if (!text) {
        return false;
    }
    const std::string title = text->toStdString();
    const bool taken = Nodes().lookup(title) != nullptr;
    if (!IsAcceptableNodeTitle(view_.EditedName(), title, taken)) {
        return false;
    }
    // The label shows the new title only when the node really carries it.
    return RenameNode(row, title);
}

bool CNodeListMode::RenameNode(int row, const std::string& newTitle) {
    CNbxNodeList& nodes = Nodes();
    const std::string& oldTitle = view_.EditedName();
    const CNbxNode* old = nodes.lookup(oldTitle);
    if (old == nullptr) {
        WriteLog(LogLevel::Error,
                 StrPrintf("CTerraPaneView::RenameNode(): CNbxNodeList::lookup() failed with "
                           "arg: \"%s\"",
                           oldTitle.c_str()));
        return false;
    }
    NodeSettings settings = *old;
    settings.title_name = newTitle;
    auto renamed = std::make_unique<CNbxNode>(settings);
    renamed->state = old->state;
    // Added under the new title before the old one goes, so a failure leaves the node as it
    // was instead of losing it.
    if (nodes.AddNode(renamed) == nullptr) {
        WriteLog(LogLevel::Error,
                 StrPrintf("CTerraPaneView::RenameNode(): CNbxNodeList::AddNode() failed with "
                           "arg: \"%s\"",
                           newTitle.c_str()));
        return false;
    }
    nodes.RemoveNode(oldTitle);
    if (ViewItem* item = view_.MutableItem(row)) {
        item->name = newTitle;
    }
    Frame().SetLocation("/");
    return true;
}

// ---- Commands -----------------------------------------------------------------------------

void CNodeListMode::OnCommand(int command) {
    switch (command) {
        case ID_FILE_OPEN_ITEM:
            OpenSelected();
            break;
        case ID_FILE_RENAME:
            if (const std::vector<int> rows = view_.SelectedRows(); rows.size() == 1) {
                view_.BeginLabelEdit(rows.front());
            }
            break;
        case ID_FILE_EDIT:
            OnFileEdit();
            break;
        case ID_FILE_DELETE:
            OnFileDelete();
            break;
        case ID_EDIT_SELECT_ALL:
            SelectAll();
            break;
        case ID_VIEW_REFRESH:
            OnViewRefresh();
            break;
        default:
            break;
    }
}

void CNodeListMode::OnViewRefresh() {
    view_.PrepareManager(true);
    view_.RegisterRefresh("CTerraPaneView::OnViewRefresh");
}

void CNodeListMode::SelectAll() {
    for (int row = 0; row < view_.RowCount(); ++row) {
        view_.SetSelected(row, !IsAddEntry(view_.Item(row)));
    }
}

void CNodeListMode::OnFileEdit() {
    if (RefusedWhileShared(Frame().FrameWidget())) {
        return;
    }
    const std::vector<int> rows = view_.SelectedRows();
    if (rows.size() != 1 || !IsNodeEntry(view_.Item(rows.front()))) {
        return;
    }
    const std::string title = view_.Text(rows.front()).toStdString();
    if (Nodes().lookup(title) == nullptr) {
        WriteLog(LogLevel::Warning,
                 StrPrintf("CTerraPaneView::_NodeView_OnFileEdit(): CNbxNodeList::lookup() "
                           "failed with arg: \"%s\"",
                           title.c_str()));
        Frame().ShowNodeView();
        return;
    }
    WriteLog(LogLevel::Info,
             StrPrintf("CTerraPaneView::_NodeView_OnFileEdit(): no configuration dialog is "
                       "available for \"%s\"",
                       title.c_str()));
    ReportNoConfigurationDialog();
}

void CNodeListMode::OnFileDelete() {
    QWidget* window = Frame().FrameWidget();
    if (RefusedWhileShared(window)) {
        return;
    }
    if (ShowMessage(window, nbx::strings::kDeleteConfigurationsQuestion, MsgIcon::kQuestion,
                    MsgButtons::kYesNo) != kIdYes) {
        return;
    }
    std::vector<std::string> titles;
    for (int row : view_.SelectedRows()) {
        if (const ViewItem* item = view_.Item(row); IsNodeEntry(item)) {
            titles.push_back(item->name);
        }
    }
    for (const std::string& title : titles) {
        Nodes().RemoveNode(title);
    }
    Frame().ShowNodeView();
}

bool CNodeListMode::IsCommandEnabled(int command) const {
    const std::vector<int> rows = view_.SelectedRows();
    const ViewItem* first = rows.empty() ? nullptr : view_.Item(rows.front());
    switch (command) {
        case ID_FILE_OPEN_ITEM:
            return !rows.empty();
        case ID_FILE_RENAME:
        case ID_FILE_EDIT:
            return !ConfigurationsLocked() && rows.size() == 1 && !IsAddEntry(first);
        case ID_FILE_DELETE:
            return !ConfigurationsLocked() && !rows.empty() && !IsAddEntry(first);
        case ID_EDIT_SELECT_ALL:
        case ID_VIEW_REFRESH:
            return true;
        default:
            // New Folder, Cut, Copy, Paste outside a label edit, Arrange By; shortcuts and
            // copied URLs are not offered yet.
            return false;
    }
}

std::unique_ptr<QMenu> CNodeListMode::BuildContextMenu() {
    const std::vector<int> rows = view_.SelectedRows();
    if (rows.empty()) {
        return nullptr;
    }
    const ViewItem* first = view_.Item(rows.front());
    const bool addEntry = IsAddEntry(first);
    const bool locked = IsNodeEntry(first) && ConfigurationsLocked();
    const bool several = rows.size() >= 2;

    auto menu = std::make_unique<QMenu>(&view_);
    auto add = [&menu](int command, const char* text, bool enabled) {
        QAction* action = menu->addAction(Tr(text));
        action->setData(command);
        action->setEnabled(enabled);
    };
    add(ID_FILE_OPEN_ITEM, "&Open", true);
    menu->addSeparator();
    add(ID_EDIT_CUT, "Cu&t", false);
    add(ID_EDIT_COPY, "&Copy", false);
    menu->addSeparator();
    add(ID_FILE_RENAME, "Rena&me", !addEntry && !locked && !several);
    add(ID_FILE_EDIT, "&Edit Configuration...", !addEntry && !locked && !several);
    add(ID_FILE_DELETE, "&Delete", !addEntry && !locked);
    return menu;
}

void CNodeListMode::OnContextMenu(const QPoint& globalPos) {
    const std::unique_ptr<QMenu> menu = BuildContextMenu();
    if (!menu) {
        return;
    }
    const QAction* chosen = menu->exec(globalPos);
    if (chosen != nullptr && chosen->isEnabled()) {
        view_.OnCommand(chosen->data().toInt());
    }
}
