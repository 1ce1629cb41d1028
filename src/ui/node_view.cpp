// The node view: every configured node of the application's node list, grouped into the cloud
// disk and the devices, below two entries that add a configuration.

#include <QAction>
#include <QMenu>

#include "base/session_log.h"
#include "base/strings.h"
#include "nodes/node_list.h"
#include "platform/format.h"
#include "remotefs/ft_service.h"
#include "ui/explorer_host.h"
#include "ui/main_frame.h"
#include "ui/terrapane_view.h"
#include "ui/ui_logic.h"
#include "widgets/dlg_modal.h"  // main_frame.h keeps a QPointer to the About box
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
        ShowMessage(parent, 200, MsgIcon::kInformation);
        return true;
    }
    if (app->IsAsyncTransferRunning()) {
        ShowMessage(parent, 211, MsgIcon::kInformation);
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
           (item->kind == ViewItem::kAddNode || item->kind == ViewItem::kAddSharedFolder);
}

bool IsNodeEntry(const ViewItem* item) {
    return item != nullptr &&
           (item->kind == ViewItem::kServiceNode || item->kind == ViewItem::kOtherNode);
}

// Configurations change only while this is the only window and no shell transfer runs.
bool ConfigurationsLocked() {
    const nbx::ui::IExplorerHost* app = nbx::ui::ExplorerHost();
    return app->TopFrameCount() > 1 || app->IsAsyncTransferRunning();
}

}  // namespace

// ---- Listing ------------------------------------------------------------------------------

void CTerraPaneView::CreateNodeViewColumns() {
    InsertColumn(0, Str(502), 250);
    InsertColumn(1, Str(508), 100);
    InsertColumn(2, Str(503), 120);
    InsertColumn(3, Str(504), 120);
    InsertColumn(4, Str(505), 120);
}

void CTerraPaneView::CreateNodeViewImages() {
    ResetImageLists();
    *thumbs_ = ImageList(QSize(48, 48));
    thumbWidth_ = thumbHeight_ = 48;
    for (int resource : kNodeViewImages) {
        const QIcon icon = ResourceIcon(resource);
        small_.Add(icon.pixmap(small_.Size()));
        large_.Add(icon.pixmap(large_.Size()));
        thumbs_->Add(icon.pixmap(thumbs_->Size()));
    }
    SetImageLists(&small_, viewStyle_ == kLargeIcons ? thumbs_ : &large_);
}

void CTerraPaneView::ListNodes() {
    ready_ = false;
    if (frame_->GetViewMode() != CMainFrame::kModeNodes) {
        DeleteAllColumns();
        CreateNodeViewColumns();
        CreateNodeViewImages();
    }
    frame_->SetViewMode(CMainFrame::kModeNodes);
    // Assigned from a string object: GCC 12 at -O2 misreads the assignment of a literal here
    // (-Wrestrict).
    currentPath_ = std::string(1, '/');
    DeleteAllRows();

    SetRedraw(false);
    const int style = viewStyle_;
    SetViewStyle(kDetails);

    RemoveAllGroups();
    SetGroupsEnabled(true);
    InsertGroup(0, Str(512));
    InsertGroup(1, Str(513));
    InsertGroup(2, Str(514));

    int row =
        InsertItemRow(-1, Str(500), 0, {.kind = ViewItem::kAddNode, .name = LoadString(500)}, 0);
    SetText(row, 2, Str(501));
    row = InsertItemRow(-1, Str(506), 1,
                        {.kind = ViewItem::kAddSharedFolder, .name = LoadString(506)}, 0);
    SetText(row, 2, Str(507));

    CNbxNodeList& nodes = Nodes();
    NodePosition pos = nodes.GetStartPosition();
    std::string title;
    CNbxNode* node = nullptr;
    while (nodes.GetNextNode(pos, title, node)) {
        const int kind = node->node_type == NodeType::ServiceNode ? ViewItem::kServiceNode
                                                                  : ViewItem::kOtherNode;
        row = InsertItemRow(-1, QString::fromStdString(title), NodeImage(*node),
                            {.kind = kind, .name = title}, NodeGroup(*node));
        SetText(row, 1, QString::fromStdString(NodeStateName(node->state)));
        SetText(row, 2, QString::fromStdString(DeviceKindName(node->device_type)));
        SetText(row, 3, QString::fromStdString(node->node_name));
        SetText(row, 4, QString::fromStdString(node->login));
    }

    SortBy(nodeViewSortColumn_, nodeViewSortOrder_);

    SetViewStyle(style);
    SetRedraw(true);
    ready_ = true;
    UpdateStatusBar();
}

void CTerraPaneView::UpdateStatusBarInfoNodeView() {
    const std::vector<int> selected = SelectedRows();
    std::vector<NodeRowInfo> rows(static_cast<std::size_t>(RowCount()));
    for (int row = 0; row < RowCount(); ++row) {
        const ViewItem* item = Item(row);
        NodeRowInfo& info = rows[static_cast<std::size_t>(row)];
        info.kind = item != nullptr ? item->kind : ViewItem::kServiceNode;
        if (IsAddEntry(item)) {
            info.description = Text(row, 2).toStdString();
        }
    }
    if (selected.size() == 1 && IsNodeEntry(Item(selected.front()))) {
        const std::string title = Text(selected.front()).toStdString();
        NodeRowInfo& info = rows[static_cast<std::size_t>(selected.front())];
        info.node = Nodes().lookup(title);
        if (info.node == nullptr) {
            WriteLog(LogLevel::Error, StrPrintf("CTerraPaneView::UpdateStatusBarInfoNodeView(): "
                                                "CNbxNodeList::lookup() failed with arg: \"%s\"",
                                                title.c_str()));
        }
    }
    const StatusTexts texts = NodeStatusTexts(rows, selected);
    frame_->SetStatusText(0, QString::fromStdString(texts.part0));
    frame_->SetStatusText(1, QString());
}

void CTerraPaneView::UpdateNodeState(const std::string& title, int state) {
    if (frame_->GetViewMode() != CMainFrame::kModeNodes) {
        return;
    }
    // Titles are unique only as they are spelt: a search ignoring case could find the row of
    // another node whose title differs only in case.
    int row = -1;
    const QString text = QString::fromStdString(title);
    for (int r = 0; r < RowCount(); ++r) {
        if (IsNodeEntry(Item(r)) && Text(r) == text) {
            row = r;
            break;
        }
    }
    CNbxNode* node = Nodes().lookup(title);
    if (row < 0 || node == nullptr) {
        return;
    }
    node->state = state;
    SetText(row, 1, QString::fromStdString(NodeStateName(state)));
    if (ready_) {
        UpdateStatusBar();
    }
}

// ---- Opening ------------------------------------------------------------------------------

bool CTerraPaneView::OpenNode(const std::string& title, const std::string& path) {
    CNbxNode* node = Nodes().lookup(title);
    if (node == nullptr) {
        WriteLog(LogLevel::Error,
                 StrPrintf("CTerraPaneView::OpenNode(): CNbxNodeList::lookup() failed with arg: "
                           "\"%s\"",
                           title.c_str()));
        return false;
    }
    frame_->SetCurrentNode(node);
    const std::string location = path.empty() || path == "/" ? node->root_dir : path;
    frame_->SetLocation(location);
    if (!frame_->NavigateFromAddress()) {
        return false;
    }
    frame_->SetBigIcon(NodeFrameIconResource(*node));

    SetRedraw(false);
    SetViewStyle(kDetails);
    const SortOrder sort = DecodeSortStyle(node->sort_style);
    SortBy(sort.column, sort.descending ? 1 : -1);
    static constexpr int kStyleCommands[] = {ID_VIEW_ICONS, ID_VIEW_SMALL_ICONS, ID_VIEW_LIST,
                                             ID_VIEW_DETAILS, ID_VIEW_LARGE_ICONS};
    ApplyViewStyleCommand(kStyleCommands[DecodeViewStyle(node->view_style)]);

    frame_->SetSliderPosition(node->thumbnail_width / 4);
    if (node->thumbnail_width != thumbWidth_ || node->thumbnail_height != thumbHeight_) {
        const int mode = frame_->GetViewMode();
        frame_->SetViewMode(CMainFrame::kModeFolder);
        SetThumbnailSize(node->thumbnail_width, node->thumbnail_height);
        frame_->SetViewMode(mode);
    }
    SetRedraw(true);
    return true;
}

void CTerraPaneView::NodeView_OpenRow(int row, bool newWindow) {
    const ViewItem* item = Item(row);
    if (item == nullptr) {
        return;
    }
    if (IsAddEntry(item)) {
        WriteLog(LogLevel::Info, StrPrintf("CTerraPaneView::NodeView_OpenRow(): no configuration "
                                           "dialog is available for \"%s\"",
                                           item->name.c_str()));
        return;
    }
    const std::string title = item->name;
    if (!CheckNodeConfiguration(title) || !WakeUpNode(title)) {
        return;
    }
    if (newWindow) {
        nbx::ui::ExplorerHost()->OpenNodeInNewFrame(title, "/");
    } else if (!OpenNode(title, "/")) {
        frame_->ShowNodeView();
    }
}

bool CTerraPaneView::CheckNodeConfiguration(const std::string& title) {
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
        ShowMessage(frame_, 204, MsgIcon::kExclamation);
    } else if (node->node_type == NodeType::SharedFolder) {
        ShowMessage(frame_, 217, MsgIcon::kExclamation);
    }
    return false;
}

bool CTerraPaneView::WakeUpNode(const std::string& title) {
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

// ---- Renaming -----------------------------------------------------------------------------

bool CTerraPaneView::NodeView_OnBeginLabelEdit(int row) {
    const ViewItem* item = Item(row);
    if (item == nullptr || IsAddEntry(item) || ConfigurationsLocked()) {
        return false;
    }
    oldName_ = Text(row).toStdString();
    return true;
}

bool CTerraPaneView::NodeView_OnEndLabelEdit(int row, const std::optional<QString>& text) {
    if (!text) {
        return false;
    }
    const std::string title = text->toStdString();
    const bool taken = Nodes().lookup(title) != nullptr;
    if (!IsAcceptableNodeTitle(oldName_, title, taken)) {
        return false;
    }
    // The label shows the new title only when the node really carries it.
    return RenameNode(row, title);
}

bool CTerraPaneView::RenameNode(int row, const std::string& newTitle) {
    CNbxNodeList& nodes = Nodes();
    const CNbxNode* old = nodes.lookup(oldName_);
    if (old == nullptr) {
        WriteLog(LogLevel::Error,
                 StrPrintf("CTerraPaneView::RenameNode(): CNbxNodeList::lookup() failed with "
                           "arg: \"%s\"",
                           oldName_.c_str()));
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
    nodes.RemoveNode(oldName_);
    if (ViewItem* item = MutableItem(row)) {
        item->name = newTitle;
    }
    frame_->SetLocation("/");
    return true;
}

// ---- Commands -----------------------------------------------------------------------------

void CTerraPaneView::NodeView_OnCommand(int command) {
    switch (command) {
        case ID_FILE_OPEN_ITEM: {
            const std::vector<int> rows = SelectedRows();
            if (rows.size() == 1) {
                NodeView_OpenRow(rows.front(), true);
                break;
            }
            // By title: a message box on the way lets other windows change the rows meanwhile.
            std::vector<std::string> titles;
            for (int row : rows) {
                if (const ViewItem* item = Item(row); IsNodeEntry(item)) {
                    titles.push_back(item->name);
                }
            }
            for (const std::string& title : titles) {
                if (CheckNodeConfiguration(title) && WakeUpNode(title)) {
                    nbx::ui::ExplorerHost()->OpenNodeInNewFrame(title, "/");
                }
            }
            break;
        }
        case ID_FILE_RENAME: {
            const std::vector<int> rows = SelectedRows();
            if (rows.size() == 1) {
                BeginLabelEdit(rows.front());
            }
            break;
        }
        case ID_FILE_EDIT:
            NodeView_OnFileEdit();
            break;
        case ID_FILE_DELETE:
            NodeView_OnFileDelete();
            break;
        case ID_EDIT_SELECT_ALL:
            NodeView_SelectAll();
            break;
        case ID_VIEW_REFRESH:
            NodeView_OnViewRefresh();
            break;
        default:
            break;
    }
}

void CTerraPaneView::NodeView_OnViewRefresh() {
    PrepareManager(true);
    RegisterRefresh("CTerraPaneView::OnViewRefresh");
}

void CTerraPaneView::NodeView_SelectAll() {
    for (int row = 0; row < RowCount(); ++row) {
        SetSelected(row, !IsAddEntry(Item(row)));
    }
}

void CTerraPaneView::NodeView_OnFileEdit() {
    if (RefusedWhileShared(frame_)) {
        return;
    }
    const std::vector<int> rows = SelectedRows();
    if (rows.size() != 1 || !IsNodeEntry(Item(rows.front()))) {
        return;
    }
    const std::string title = Text(rows.front()).toStdString();
    if (Nodes().lookup(title) == nullptr) {
        WriteLog(LogLevel::Warning,
                 StrPrintf("CTerraPaneView::_NodeView_OnFileEdit(): CNbxNodeList::lookup() "
                           "failed with arg: \"%s\"",
                           title.c_str()));
        frame_->ShowNodeView();
        return;
    }
    WriteLog(LogLevel::Info,
             StrPrintf("CTerraPaneView::_NodeView_OnFileEdit(): no configuration dialog is "
                       "available for \"%s\"",
                       title.c_str()));
}

void CTerraPaneView::NodeView_OnFileDelete() {
    if (RefusedWhileShared(frame_)) {
        return;
    }
    if (ShowMessage(frame_, 213, MsgIcon::kQuestion, MsgButtons::kYesNo) != kIdYes) {
        return;
    }
    std::vector<std::string> titles;
    for (int row : SelectedRows()) {
        if (const ViewItem* item = Item(row); IsNodeEntry(item)) {
            titles.push_back(item->name);
        }
    }
    for (const std::string& title : titles) {
        Nodes().RemoveNode(title);
    }
    frame_->ShowNodeView();
}

bool CTerraPaneView::NodeView_IsCommandEnabled(int command) const {
    const std::vector<int> rows = SelectedRows();
    const ViewItem* first = rows.empty() ? nullptr : Item(rows.front());
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

std::unique_ptr<QMenu> CTerraPaneView::NodeView_BuildContextMenu() {
    const std::vector<int> rows = SelectedRows();
    if (rows.empty()) {
        return nullptr;
    }
    const ViewItem* first = Item(rows.front());
    const bool addEntry = IsAddEntry(first);
    const bool locked = IsNodeEntry(first) && ConfigurationsLocked();
    const bool several = rows.size() >= 2;

    auto menu = std::make_unique<QMenu>(this);
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

void CTerraPaneView::NodeView_OnContextMenu(const QPoint& globalPos) {
    const std::unique_ptr<QMenu> menu = NodeView_BuildContextMenu();
    if (!menu) {
        return;
    }
    const QAction* chosen = menu->exec(globalPos);
    if (chosen != nullptr && chosen->isEnabled()) {
        OnCommand(chosen->data().toInt());
    }
}
