// The explorer view's core and its node view, on a real application object and frame: the rows
// from the node database, states from the node-state thread, rename, delete, opening, command
// states, and the view settings written back to the database.

#include <gtest/gtest.h>

#include <QAbstractItemModel>
#include <QAbstractItemView>
#include <QAction>
#include <QCoreApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenu>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <map>
#include <optional>
#include <tuple>

#include "nodes/node_list.h"
#include "nodes/sqlite_com.h"
#include "shell/terrapane_app.h"
#include "support/explorer_fixture.h"
#include "support/ui_test_support.h"
#include "support/webdav_server.h"
#include "ui/main_frame.h"
#include "ui/node_list_mode.h"
#include "ui/terrapane_view.h"
#include "widgets/dlg_modal.h"
#include "widgets/icons.h"
#include "widgets/ui_events.h"

// The view's private seams that no user action reaches on its own.
class ViewTestPeer {
public:
    static bool RenameNode(CTerraPaneView& view, const std::string& oldTitle, int row,
                           const std::string& newTitle) {
        view.oldName_ = oldTitle;
        return view.nodes_->RenameNode(row, newTitle);
    }
    static const ImageList& SmallImages(const CTerraPaneView& view) { return view.images_.small; }
    static std::unique_ptr<QMenu> ContextMenu(CTerraPaneView& view) {
        return view.nodes_->BuildContextMenu();
    }
};

namespace {

using namespace nbx::ui;
using nbx::test::ApacheShare;
using nbx::test::Press;
using nbx::test::RowOf;
using nbx::test::RowTexts;
using nbx::test::Select;
using nbx::test::WaitFor;

// Column 0 as shown, group headers included.
std::vector<std::string> ShownTexts(const CTerraPaneView& view) {
    const QAbstractItemModel* model = view.CurrentItemView()->model();
    std::vector<std::string> texts;
    for (int row = 0; row < model->rowCount(); ++row) {
        texts.push_back(model->index(row, 0).data().toString().toStdString());
    }
    return texts;
}

// Renames a row by its label edit, as a user would; the row's text afterwards.
std::string EditLabel(CTerraPaneView& view, const std::string& title, const std::string& text) {
    const int row = RowOf(view, title);
    Select(view, {title});
    view.OnCommand(ID_FILE_RENAME);
    QLineEdit* editor = view.LabelEditor();
    if (editor == nullptr) {
        return "(no label edit)";
    }
    editor->setText(QString::fromStdString(text));
    Press(editor, Qt::Key_Return);
    WaitFor([&] { return !view.IsLabelEditing(); });
    QCoreApplication::sendPostedEvents();
    return view.Text(row).toStdString();
}

class ViewTest : public nbx::test::ExplorerTest {
protected:
    void TearDown() override {
        ExplorerTest::TearDown();
        server_.reset();
    }

    // Apache with one folder per node name.
    void StartServer(const std::vector<std::string>& folders) {
        server_ = std::make_unique<ApacheShare>(folders);
        ASSERT_TRUE(server_->Started());
    }
    NodeSettings SharedFolder(const std::string& title, const std::string& folder) const {
        return server_->SharedFolder(title, folder);
    }
    // Nodes that no test reaches: their service is a loopback port where nothing listens.
    static NodeSettings Unreachable(const std::string& title, int nodeType, int deviceType) {
        return {.node_type = nodeType,
                .device_type = deviceType,
                .nbx_proxy = "http://127.0.0.1:" + std::to_string(ClosedPort()),
                .node_name = deviceType == DeviceKind::Disk ? "" : "dev-" + title,
                .login = "user@" + title,
                .password = "pw",
                .title_name = title};
    }
    CNbxNodeList& Nodes() { return App().NodeList(); }
    // The database as a fresh load sees it.
    static std::optional<NodeSettings> Stored(const std::string& title) {
        CNbxNodeList list;
        if (!list.LoadListFromDB()) {
            return std::nullopt;
        }
        const CNbxNode* node = list.lookup(title);
        if (node == nullptr) {
            return std::nullopt;
        }
        return static_cast<const NodeSettings&>(*node);
    }

    std::unique_ptr<ApacheShare> server_;
};

// ---- Listing ------------------------------------------------------------------------------

TEST_F(ViewTest, WithoutNodesOnlyTheTwoAddEntriesAreListedInConfiguration) {
    StartApp();
    CTerraPaneView& view = *View();
    EXPECT_EQ(Frame()->GetViewMode(), CMainFrame::kModeNodes);
    EXPECT_EQ(ShownTexts(view),
              (std::vector<std::string>{"Configuration", "Add Shared Folder", "Add Node"}));
    ASSERT_EQ(view.RowCount(), 2);
    EXPECT_EQ(view.Item(0)->kind, RowKind::kAddSharedFolder);
    EXPECT_EQ(view.Item(1)->kind, RowKind::kAddNode);
    EXPECT_EQ(view.Image(0), 1);
    EXPECT_EQ(view.Image(1), 0);
    EXPECT_EQ(RowTexts(view, 2),
              (std::vector<std::string>{"Add new Shared Folder", "Add new Nimbex node"}));
    EXPECT_EQ(Frame()->StatusText(0).toStdString(), "2 objects");
    EXPECT_EQ(view.ViewStyle(), CTerraPaneView::kIcons);
}

TEST_F(ViewTest, NodesAreGroupedSortedAndShownWithTheirIconsAndTexts) {
    SeedNodes({Unreachable("Workbench", NodeType::ServiceNode, DeviceKind::Workstation),
               Unreachable("My Disk", NodeType::ServiceNode, DeviceKind::Disk),
               Unreachable("Album", NodeType::SharedFolder, DeviceKind::Unknown),
               Unreachable("Phone", NodeType::ServiceNode, DeviceKind::Smartphone)});
    StartApp();
    CTerraPaneView& view = *View();
    EXPECT_EQ(ShownTexts(view),
              (std::vector<std::string>{"Configuration", "Add Shared Folder", "Add Node", "Cloud",
                                        "My Disk", "Devices", "Album", "Phone", "Workbench"}));

    struct Expected {
        const char* title;
        RowKind kind;
        int image;
        const char* device;
        const char* nodeName;
    };
    for (const Expected& e : {
             Expected{"My Disk", RowKind::kServiceNode, 11, "Disk", ""},
             Expected{"Workbench", RowKind::kServiceNode, 8, "Workstation", "dev-Workbench"},
             Expected{"Phone", RowKind::kServiceNode, 5, "Smartphone", "dev-Phone"},
             Expected{"Album", RowKind::kOtherNode, 2, "Unknown", "dev-Album"},
         }) {
        SCOPED_TRACE(e.title);
        const int row = RowOf(view, e.title);
        ASSERT_GE(row, 0);
        EXPECT_EQ(view.Item(row)->kind, e.kind);
        EXPECT_EQ(view.Item(row)->name, e.title);
        EXPECT_EQ(view.Image(row), e.image);
        EXPECT_EQ(view.Text(row, 1).toStdString(), "Unknown");
        EXPECT_EQ(view.Text(row, 2).toStdString(), e.device);
        EXPECT_EQ(view.Text(row, 3).toStdString(), e.nodeName);
        EXPECT_EQ(view.Text(row, 4).toStdString(), std::string("user@") + e.title);
    }
    // Image i of every list is icon resource i of the node-view table; 11 is the cloud disk's.
    const ImageList& small = ViewTestPeer::SmallImages(view);
    ASSERT_EQ(small.Count(), 12);
    EXPECT_EQ(small.At(11).toImage(), ResourceIcon(231).pixmap(QSize(16, 16)).toImage());

    Select(view, {"My Disk"});
    EXPECT_EQ(Frame()->StatusText(0).toStdString(),
              "Status:Unknown Device:Disk Node Name:(null) User Name:user@My Disk");
    Select(view, {"Add Node"});
    EXPECT_EQ(Frame()->StatusText(0).toStdString(), "Add new Nimbex node");
    Select(view, {"Album", "Phone"});
    EXPECT_EQ(Frame()->StatusText(0).toStdString(), "2 objects selected");
    view.ClearSelection();
    EXPECT_EQ(Frame()->StatusText(0).toStdString(), "6 objects");
}

TEST_F(ViewTest, NodeStatesArriveFromTheNodeStateThread) {
    StartServer({"share"});
    // The thread probes in title order: the closed port is behind it once Apache's answer is in.
    SeedNodes({Unreachable("A closed", NodeType::SharedFolder, DeviceKind::Unknown),
               SharedFolder("B apache", "share")});
    StartApp();
    CTerraPaneView& view = *View();
    ASSERT_TRUE(WaitFor([&] { return view.Text(RowOf(view, "B apache"), 1) == "Online"; }));
    EXPECT_EQ(Nodes().lookup("B apache")->state, NodeState::Online);
    EXPECT_NE(view.Text(RowOf(view, "A closed"), 1), "Online");

    const std::vector<std::string> before = RowTexts(view, 1);
    view.UpdateNodeState("Nobody", NodeState::Offline);
    EXPECT_EQ(RowTexts(view, 1), before);
}

// ---- Rename -------------------------------------------------------------------------------

TEST_F(ViewTest, RenameToAnUnacceptableTitleRevertsTheLabel) {
    SeedNodes({Unreachable("Alpha", NodeType::SharedFolder, DeviceKind::Unknown),
               Unreachable("Beta", NodeType::SharedFolder, DeviceKind::Unknown)});
    StartApp();
    CTerraPaneView& view = *View();
    for (const char* title : {"Beta", "", "a:b", "a/b", "..", "ALPHA", "what?"}) {
        SCOPED_TRACE(title);
        EXPECT_EQ(EditLabel(view, "Alpha", title), "Alpha");
        EXPECT_NE(Nodes().lookup("Alpha"), nullptr);
        EXPECT_EQ(Nodes().GetCount(), 2u);
    }
    // Neither an add entry nor anything while another window is open.
    EXPECT_EQ(EditLabel(view, "Add Node", "Other"), "(no label edit)");
    App().OnFileNewFrame();
    ASSERT_EQ(App().TopFrameCount(), 2);
    EXPECT_EQ(EditLabel(view, "Alpha", "Gamma"), "(no label edit)");
}

TEST_F(ViewTest, RenameMovesTheWholeConfigurationToTheNewTitle) {
    NodeSettings alpha = Unreachable("Alpha", NodeType::ServiceNode, DeviceKind::Workstation);
    alpha.root_dir = "/MyStorage/";
    alpha.sort_style = 3;
    alpha.view_style = 4;
    alpha.thumbnail_width = alpha.thumbnail_height = 72;
    SeedNodes({alpha});
    StartApp();
    CTerraPaneView& view = *View();
    ASSERT_EQ(EditLabel(view, "Alpha", "Omega"), "Omega");
    EXPECT_EQ(view.Item(RowOf(view, "Omega"))->name, "Omega");
    EXPECT_EQ(Nodes().lookup("Alpha"), nullptr);
    ASSERT_NE(Nodes().lookup("Omega"), nullptr);

    NodeSettings expected = alpha;
    expected.title_name = "Omega";
    for (const auto& [where, settings] :
         {std::pair{"list", std::optional<NodeSettings>(*Nodes().lookup("Omega"))},
          std::pair{"database", Stored("Omega")}}) {
        SCOPED_TRACE(where);
        ASSERT_TRUE(settings.has_value());
        EXPECT_EQ(settings->nbx_proxy, expected.nbx_proxy);
        EXPECT_EQ(settings->node_name, expected.node_name);
        EXPECT_EQ(settings->login, expected.login);
        EXPECT_EQ(settings->password, expected.password);
        EXPECT_EQ(settings->root_dir, expected.root_dir);
        EXPECT_EQ(settings->device_type, expected.device_type);
        EXPECT_EQ(settings->sort_style, expected.sort_style);
        EXPECT_EQ(settings->view_style, expected.view_style);
        EXPECT_EQ(settings->thumbnail_width, expected.thumbnail_width);
    }
    EXPECT_FALSE(Stored("Alpha").has_value());
}

TEST_F(ViewTest, RenameThatCannotAddTheNewTitleKeepsTheNode) {
    SeedNodes({Unreachable("Alpha", NodeType::SharedFolder, DeviceKind::Unknown),
               Unreachable("Beta", NodeType::SharedFolder, DeviceKind::Unknown)});
    StartApp();
    CTerraPaneView& view = *View();

    // The node list refuses a title that is taken: the old node must not have gone first.
    EXPECT_FALSE(ViewTestPeer::RenameNode(view, "Alpha", RowOf(view, "Alpha"), "Beta"));
    EXPECT_NE(Nodes().lookup("Alpha"), nullptr);
    EXPECT_TRUE(Stored("Alpha").has_value());

    // Without a usable database nothing can be added either.
    const std::string dataHome = std::getenv("XDG_DATA_HOME");
    nbx::test::WriteFile(Root() + "/not-a-folder", "");
    ::setenv("XDG_DATA_HOME", (Root() + "/not-a-folder").c_str(), 1);
    CSQLiteCom::ReleaseInstance();
    EXPECT_EQ(EditLabel(view, "Alpha", "Gamma"), "Alpha");
    EXPECT_NE(Nodes().lookup("Alpha"), nullptr);
    EXPECT_EQ(Nodes().lookup("Gamma"), nullptr);
    EXPECT_NE(SessionLog().find("ERROR: CTerraPaneView::RenameNode(): CNbxNodeList::AddNode() "
                                "failed with arg: \"Gamma\""),
              std::string::npos);

    ::setenv("XDG_DATA_HOME", dataHome.c_str(), 1);
    CSQLiteCom::ReleaseInstance();
    EXPECT_TRUE(Stored("Alpha").has_value());
    EXPECT_FALSE(Stored("Gamma").has_value());
}

// ---- Delete -------------------------------------------------------------------------------

TEST_F(ViewTest, DeleteRemovesTheSelectedNodesOnlyAfterYes) {
    SeedNodes({Unreachable("Alpha", NodeType::SharedFolder, DeviceKind::Unknown),
               Unreachable("Beta", NodeType::SharedFolder, DeviceKind::Unknown)});
    StartApp();
    CTerraPaneView& view = *View();
    boxes_.Clear();

    Select(view, {"Alpha"});
    boxes_.QueueAnswer(kIdNo);
    view.OnCommand(ID_FILE_DELETE);
    ASSERT_EQ(boxes_.Ids(), std::vector<int>{213});
    EXPECT_EQ(boxes_.Boxes()[0].icon, MsgIcon::kQuestion);
    EXPECT_EQ(boxes_.Boxes()[0].buttons, MsgButtons::kYesNo);
    EXPECT_NE(Nodes().lookup("Alpha"), nullptr);

    // The Delete key; the add entry in the selection is left alone.
    boxes_.Clear();
    Select(view, {"Add Node", "Alpha"});
    Press(view.CurrentItemView(), Qt::Key_Delete);
    ASSERT_TRUE(WaitFor([&] { return boxes_.Ids() == std::vector<int>{213}; }));
    ASSERT_TRUE(WaitFor([&] { return RowOf(view, "Alpha") < 0; }));
    EXPECT_EQ(Nodes().lookup("Alpha"), nullptr);
    EXPECT_FALSE(Stored("Alpha").has_value());
    EXPECT_TRUE(Stored("Beta").has_value());
    EXPECT_EQ(RowTexts(view), (std::vector<std::string>{"Add Shared Folder", "Add Node", "Beta"}));

    // Delete and Edit are refused, with the reason, while another window is open.
    App().OnFileNewFrame();
    for (int command : {ID_FILE_DELETE, ID_FILE_EDIT}) {
        SCOPED_TRACE(command);
        boxes_.Clear();
        Select(view, {"Beta"});
        view.OnCommand(command);
        EXPECT_EQ(boxes_.Ids(), std::vector<int>{200});
        EXPECT_EQ(boxes_.Boxes()[0].icon, MsgIcon::kInformation);
        EXPECT_NE(Nodes().lookup("Beta"), nullptr);
    }
}

// ---- Opening ------------------------------------------------------------------------------

TEST_F(ViewTest, AnUnconfiguredNodeIsReportedAndNotOpened) {
    NodeSettings device = Unreachable("Device", NodeType::ServiceNode, DeviceKind::Workstation);
    device.password.clear();
    NodeSettings folder = Unreachable("Folder", NodeType::SharedFolder, DeviceKind::Unknown);
    folder.nbx_proxy.clear();
    SeedNodes({device, folder});
    StartApp();
    CTerraPaneView& view = *View();
    boxes_.Clear();
    for (const auto& [title, message] : {std::pair{"Device", 204}, std::pair{"Folder", 217}}) {
        SCOPED_TRACE(title);
        boxes_.Clear();
        Select(view, {title});
        Press(view.CurrentItemView(), Qt::Key_Return);
        ASSERT_TRUE(WaitFor([&] { return !boxes_.Ids().empty(); }));
        EXPECT_EQ(boxes_.Ids(), std::vector<int>{message});
        EXPECT_EQ(Frame()->GetViewMode(), CMainFrame::kModeNodes);
        EXPECT_EQ(Frame()->CurrentNode(), nullptr);
    }
}

// Until the configuration dialogs exist, the entries that would open one say so instead of
// doing nothing, and change nothing.
TEST_F(ViewTest, EntriesWithoutTheirConfigurationDialogSaySo) {
    SeedNodes({Unreachable("Alpha", NodeType::ServiceNode, DeviceKind::Workstation)});
    StartApp();
    CTerraPaneView& view = *View();
    struct Case {
        const char* row;
        std::function<void()> act;
    };
    const Case cases[] = {
        {"Add Node", [&] { Press(view.CurrentItemView(), Qt::Key_Return); }},
        {"Add Shared Folder", [&] { view.OnCommand(ID_FILE_OPEN_ITEM); }},
        {"Alpha", [&] { view.OnCommand(ID_FILE_EDIT); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.row);
        boxes_.Clear();
        Select(view, {c.row});
        ASSERT_TRUE(view.IsCommandEnabled(ID_FILE_OPEN_ITEM));
        c.act();
        ASSERT_TRUE(WaitFor([&] { return !boxes_.Boxes().empty(); }));
        ASSERT_EQ(boxes_.Boxes().size(), 1u);
        EXPECT_EQ(boxes_.Boxes()[0].text, "This configuration dialog is not available yet.");
        EXPECT_EQ(boxes_.Boxes()[0].icon, MsgIcon::kInformation);
        EXPECT_EQ(boxes_.Boxes()[0].buttons, MsgButtons::kOk);
        EXPECT_EQ(Frame()->GetViewMode(), CMainFrame::kModeNodes);
        EXPECT_EQ(App().TopFrameCount(), 1);
        EXPECT_NE(Nodes().lookup("Alpha"), nullptr);
    }
}

TEST_F(ViewTest, AHandsetThatIsNotOnlineIsOpenedWithoutWakingIt) {
    SeedNodes({Unreachable("Handset", NodeType::ServiceNode, DeviceKind::Handset)});
    StartApp();
    CTerraPaneView& view = *View();
    boxes_.Clear();
    Select(view, {"Handset"});
    PostMessage(&view, WM_VIEW_OPEN);
    // The listing was tried, failed on the closed port, and the node list came back.
    ASSERT_TRUE(WaitFor([&] { return boxes_.Ids() == std::vector<int>{203}; }));
    EXPECT_NE(SessionLog().find("INFO: CTerraPaneView::WakeUpNode(): \"Handset\" is not online"),
              std::string::npos);
    EXPECT_EQ(Frame()->GetViewMode(), CMainFrame::kModeNodes);
    EXPECT_EQ(Frame()->CurrentNode(), nullptr);
}

TEST_F(ViewTest, OpeningANodeListsItWithItsStoredSortAndViewStyle) {
    StartServer({"share"});
    std::filesystem::create_directory(server_->OnServer("share", "/docs"));
    nbx::test::WriteFile(server_->OnServer("share", "/docs/small.txt"), "1");
    nbx::test::WriteFile(server_->OnServer("share", "/docs/large.txt"), std::string(5000, 'x'));
    NodeSettings node = SharedFolder("Share", "share");
    node.root_dir = "/docs/";
    node.sort_style = 3;  // size, descending
    node.view_style = 3;  // details
    node.thumbnail_width = node.thumbnail_height = 72;
    SeedNodes({node});
    StartApp();
    CTerraPaneView& view = *View();
    boxes_.Clear();

    Select(view, {"Share"});
    PostMessage(&view, WM_VIEW_OPEN);
    ASSERT_TRUE(WaitFor([&] { return Frame()->GetViewMode() == CMainFrame::kModeFolder; }))
        << ::testing::PrintToString(boxes_.Ids());
    EXPECT_EQ(Frame()->CurrentNode(), Nodes().lookup("Share"));
    EXPECT_EQ(view.ViewStyle(), CTerraPaneView::kDetails);
    EXPECT_TRUE(view.IsCommandChecked(ID_VIEW_DETAILS));
    EXPECT_EQ(view.SortColumn(), 1);
    EXPECT_FALSE(view.SortAscending());
    EXPECT_TRUE(view.IsCommandChecked(ID_ARRANGE_SIZE));
    EXPECT_EQ(RowTexts(view), (std::vector<std::string>{"..", "large.txt", "small.txt"}));
    EXPECT_EQ(view.ThumbnailWidth(), 72);
    EXPECT_EQ(view.ThumbnailHeight(), 72);
    EXPECT_TRUE(boxes_.Ids().empty());
}

TEST_F(ViewTest, OpenCommandOpensEverySelectedNodeInANewWindow) {
    StartServer({"one", "two"});
    SeedNodes({SharedFolder("One", "one"), SharedFolder("Two", "two")});
    StartApp();
    CMainFrame* frame = Frame();
    CTerraPaneView& view = *View();
    boxes_.Clear();
    Select(view, {"Add Node", "One", "Two"});
    view.OnCommand(ID_FILE_OPEN_ITEM);
    ASSERT_TRUE(WaitFor([&] { return App().TopFrameCount() == 3; }));
    std::vector<std::string> opened;
    for (const CMainFrame* other : App().TopFrames()) {
        if (other != frame && other->CurrentNode() != nullptr) {
            opened.push_back(other->CurrentNode()->title_name);
        }
    }
    EXPECT_EQ(opened, (std::vector<std::string>{"One", "Two"}));
    EXPECT_EQ(frame->GetViewMode(), CMainFrame::kModeNodes);
    EXPECT_TRUE(boxes_.Ids().empty());
}

// A new window once dropped the style and sort the node list had just been given.
TEST_F(ViewTest, NewWindowFromTheNodeListTakesItsStyleAndSort) {
    SeedNodes({Unreachable("Alpha", NodeType::SharedFolder, DeviceKind::Unknown),
               Unreachable("Beta", NodeType::ServiceNode, DeviceKind::Workstation)});
    StartApp();
    CTerraPaneView& view = *View();
    view.OnCommand(ID_VIEW_DETAILS);
    view.OnCommand(ID_ARRANGE_NAME);
    view.OnCommand(ID_ARRANGE_NAME);
    const int column = view.SortColumn();
    const bool ascending = view.SortAscending();
    const std::vector<std::string> rows = RowTexts(view);

    App().OnFileNewFrame();
    ASSERT_EQ(App().TopFrameCount(), 2);
    CMainFrame* created = nullptr;
    for (CMainFrame* frame : App().TopFrames()) {
        if (frame != Frame()) {
            created = frame;
        }
    }
    ASSERT_NE(created, nullptr);
    CTerraPaneView& other = *created->View();
    EXPECT_EQ(other.ViewStyle(), CTerraPaneView::kDetails);
    EXPECT_EQ(other.NodeViewStyle(), CTerraPaneView::kDetails);
    EXPECT_EQ(other.SortColumn(), column);
    EXPECT_EQ(other.SortAscending(), ascending);
    EXPECT_EQ(RowTexts(other), rows);

    created->KeyActions().back()->trigger();  // Ctrl+W
    ASSERT_TRUE(WaitFor([&] { return App().TopFrameCount() == 1; }));
}

// Control+Enter and Control+Delete once did nothing at all.
TEST_F(ViewTest, ControlEnterOpensInANewWindowAndControlDeleteDeletes) {
    StartServer({"one"});
    SeedNodes({SharedFolder("One", "one")});
    StartApp();
    CMainFrame* frame = Frame();
    CTerraPaneView& view = *View();
    boxes_.Clear();
    boxes_.QueueAnswer(kIdNo);
    Select(view, {"One"});
    Press(view.CurrentItemView(), Qt::Key_Delete, Qt::ControlModifier);
    ASSERT_TRUE(WaitFor([&] { return boxes_.Ids() == std::vector<int>{213}; }));

    Press(view.CurrentItemView(), Qt::Key_Return, Qt::ControlModifier);
    ASSERT_TRUE(WaitFor([&] { return App().TopFrameCount() == 2; }));
    EXPECT_EQ(frame->GetViewMode(), CMainFrame::kModeNodes) << "this window stays as it is";
    EXPECT_NE(Nodes().lookup("One"), nullptr);
}

// ---- Commands -----------------------------------------------------------------------------

TEST_F(ViewTest, CommandStatesFollowTheSelection) {
    SeedNodes({Unreachable("Alpha", NodeType::SharedFolder, DeviceKind::Unknown),
               Unreachable("Beta", NodeType::ServiceNode, DeviceKind::Workstation)});
    StartApp();
    CTerraPaneView& view = *View();
    using Selection = std::vector<std::string>;
    const std::map<std::string, Selection> selections = {
        {"none", {}},
        {"add entry", {"Add Node"}},
        {"one node", {"Alpha"}},
        {"two nodes", {"Alpha", "Beta"}},
        {"add entry first", {"Add Shared Folder", "Beta"}},
    };
    struct Row {
        const char* selection;
        int command;
        bool enabled;
    };
    const Row rows[] = {
        {"none", ID_FILE_OPEN_ITEM, false},
        {"add entry", ID_FILE_OPEN_ITEM, true},
        {"one node", ID_FILE_RENAME, true},
        {"one node", ID_FILE_EDIT, true},
        {"one node", ID_FILE_DELETE, true},
        {"add entry", ID_FILE_RENAME, false},
        {"add entry", ID_FILE_DELETE, false},
        {"two nodes", ID_FILE_RENAME, false},
        {"two nodes", ID_FILE_EDIT, false},
        {"two nodes", ID_FILE_DELETE, true},
        {"add entry first", ID_FILE_DELETE, false},
        {"one node", ID_FILE_NEW_FOLDER, false},
        {"one node", ID_EDIT_CUT, false},
        {"one node", ID_EDIT_COPY, false},
        {"none", ID_EDIT_PASTE, false},
        {"one node", ID_EDIT_UNDO, false},
        {"one node", ID_ARRANGE_NAME, false},
        {"none", ID_EDIT_SELECT_ALL, true},
        {"none", ID_VIEW_REFRESH, true},
        {"none", ID_VIEW_LARGE_ICONS, true},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(std::string(row.selection) + " / " + std::to_string(row.command));
        Select(view, selections.at(row.selection));
        EXPECT_EQ(view.IsCommandEnabled(row.command), row.enabled);
    }

    // A label edit gives Cut, Copy and Select All to its edit field.
    Select(view, {"Alpha"});
    view.OnCommand(ID_FILE_RENAME);
    ASSERT_NE(view.LabelEditor(), nullptr);
    EXPECT_TRUE(view.IsCommandEnabled(ID_EDIT_CUT));
    EXPECT_TRUE(view.IsCommandEnabled(ID_EDIT_COPY));
    EXPECT_FALSE(view.IsCommandEnabled(ID_EDIT_UNDO));
    view.LabelEditor()->setText("Alphabet");
    view.OnCommand(ID_EDIT_SELECT_ALL);
    view.OnCommand(ID_EDIT_CUT);
    EXPECT_EQ(view.LabelEditor()->text(), "");
    EXPECT_TRUE(view.IsCommandEnabled(ID_EDIT_PASTE));
    view.OnCommand(ID_EDIT_PASTE);
    EXPECT_EQ(view.LabelEditor()->text(), "Alphabet");
    Press(view.LabelEditor(), Qt::Key_Escape);
    EXPECT_EQ(RowOf(view, "Alpha") >= 0, true);

    // Configurations are not changed while another window is open.
    App().OnFileNewFrame();
    Select(view, {"Alpha"});
    for (int command : {ID_FILE_RENAME, ID_FILE_EDIT, ID_FILE_DELETE}) {
        EXPECT_FALSE(view.IsCommandEnabled(command)) << command;
    }
    EXPECT_TRUE(view.IsCommandEnabled(ID_FILE_OPEN_ITEM));
}

TEST_F(ViewTest, ContextMenuGraysWhatTheSelectionCannotDo) {
    SeedNodes({Unreachable("Alpha", NodeType::SharedFolder, DeviceKind::Unknown),
               Unreachable("Beta", NodeType::SharedFolder, DeviceKind::Unknown)});
    StartApp();
    CTerraPaneView& view = *View();
    view.ClearSelection();
    EXPECT_EQ(ViewTestPeer::ContextMenu(view), nullptr);

    auto enabled = [&view](const std::vector<std::string>& selection) {
        Select(view, selection);
        std::map<int, bool> states;
        const std::unique_ptr<QMenu> menu = ViewTestPeer::ContextMenu(view);
        for (const QAction* action : menu->actions()) {
            if (!action->isSeparator()) {
                states[action->data().toInt()] = action->isEnabled();
            }
        }
        return states;
    };
    using States = std::map<int, bool>;
    EXPECT_EQ(enabled({"Add Node"}), (States{{ID_FILE_OPEN_ITEM, true},
                                             {ID_EDIT_CUT, false},
                                             {ID_EDIT_COPY, false},
                                             {ID_FILE_RENAME, false},
                                             {ID_FILE_EDIT, false},
                                             {ID_FILE_DELETE, false}}));
    EXPECT_EQ(enabled({"Alpha"}), (States{{ID_FILE_OPEN_ITEM, true},
                                          {ID_EDIT_CUT, false},
                                          {ID_EDIT_COPY, false},
                                          {ID_FILE_RENAME, true},
                                          {ID_FILE_EDIT, true},
                                          {ID_FILE_DELETE, true}}));
    EXPECT_EQ(enabled({"Alpha", "Beta"}), (States{{ID_FILE_OPEN_ITEM, true},
                                                  {ID_EDIT_CUT, false},
                                                  {ID_EDIT_COPY, false},
                                                  {ID_FILE_RENAME, false},
                                                  {ID_FILE_EDIT, false},
                                                  {ID_FILE_DELETE, true}}));
}

TEST_F(ViewTest, SelectAllLeavesTheAddEntriesOutAndEscapeClearsTheSelection) {
    SeedNodes({Unreachable("Alpha", NodeType::SharedFolder, DeviceKind::Unknown),
               Unreachable("Beta", NodeType::SharedFolder, DeviceKind::Unknown)});
    StartApp();
    CTerraPaneView& view = *View();
    Select(view, {"Add Node"});
    Press(view.CurrentItemView(), Qt::Key_A, Qt::ControlModifier);
    ASSERT_TRUE(WaitFor([&] { return view.SelectedRows().size() == 2; }));
    std::vector<std::string> selected;
    for (int row : view.SelectedRows()) {
        selected.push_back(view.Text(row).toStdString());
    }
    EXPECT_EQ(selected, (std::vector<std::string>{"Alpha", "Beta"}));

    Press(view.CurrentItemView(), Qt::Key_Escape);
    EXPECT_TRUE(WaitFor([&] { return view.SelectedRows().empty(); }));
}

TEST_F(ViewTest, RefreshListsTheNodesAgain) {
    StartApp();
    CTerraPaneView& view = *View();
    auto node = std::make_unique<CNbxNode>(
        Unreachable("Late", NodeType::SharedFolder, DeviceKind::Unknown));
    ASSERT_NE(Nodes().AddNode(node), nullptr);
    ASSERT_TRUE(view.IsCommandEnabled(ID_VIEW_REFRESH));
    view.OnCommand(ID_VIEW_REFRESH);
    EXPECT_TRUE(WaitFor([&] { return RowOf(view, "Late") >= 0; }));
    EXPECT_NE(SessionLog().find(
                  "INFO: CTerraPaneView::OnViewRefresh(): registered CNbxComnActionRefresh()"),
              std::string::npos);
}

// ---- View settings ------------------------------------------------------------------------

TEST_F(ViewTest, NodeViewKeepsItsOwnStyleAndSortAcrossListings) {
    SeedNodes({Unreachable("Alpha", NodeType::SharedFolder, DeviceKind::Unknown),
               Unreachable("Beta", NodeType::SharedFolder, DeviceKind::Unknown)});
    StartApp();
    CTerraPaneView& view = *View();
    view.OnCommand(ID_VIEW_DETAILS);
    EXPECT_EQ(view.NodeViewStyle(), CTerraPaneView::kDetails);
    view.SortBy(0, 0);  // a click on the Name header: descending now
    EXPECT_EQ(RowTexts(view),
              (std::vector<std::string>{"Add Shared Folder", "Add Node", "Beta", "Alpha"}));
    // Listed again, twice: the direction the click chose holds, it is not toggled again.
    for (int pass = 0; pass < 2; ++pass) {
        Frame()->ShowNodeView();
        EXPECT_EQ(view.ViewStyle(), CTerraPaneView::kDetails);
        EXPECT_EQ(RowTexts(view),
                  (std::vector<std::string>{"Add Shared Folder", "Add Node", "Beta", "Alpha"}));
    }
}

TEST_F(ViewTest, FolderViewStyleAndSortAreStoredInTheNodeAndWrittenBack) {
    StartServer({"ws", "phone"});
    // Device nodes: their root shows MyStorage, where they start.
    std::vector<NodeSettings> nodes;
    for (const auto& [title, folder, device] :
         {std::tuple{"Workbench", "ws", DeviceKind::Workstation},
          std::tuple{"Phone", "phone", DeviceKind::Smartphone}}) {
        std::filesystem::create_directory(server_->OnServer(folder, "/MyStorage"));
        NodeSettings node = SharedFolder(title, folder);
        node.node_type = NodeType::ServiceNode;
        node.device_type = device;
        node.root_dir = "/MyStorage/";
        nodes.push_back(node);
    }
    SeedNodes(nodes);
    StartApp();
    CTerraPaneView& view = *View();
    boxes_.Clear();

    // Large Icons shows the thumbnail slider only where thumbnails are made.
    for (const auto& [title, slider] : {std::pair{"Workbench", true}, std::pair{"Phone", false}}) {
        SCOPED_TRACE(title);
        ASSERT_TRUE(view.OpenNode(title, "/")) << ::testing::PrintToString(boxes_.Ids());
        CNbxNode* node = Nodes().lookup(title);
        node->viewModified = false;
        view.OnCommand(ID_VIEW_LARGE_ICONS);
        EXPECT_EQ(node->view_style, 4);
        EXPECT_TRUE(node->viewModified);
        EXPECT_EQ(!Frame()->Slider()->isHidden(), slider);
        view.OnCommand(ID_VIEW_DETAILS);
        EXPECT_EQ(node->view_style, 3);
        EXPECT_TRUE(Frame()->Slider()->isHidden());
        view.OnCommand(ID_VIEW_LARGE_ICONS);
        view.OnCommand(ID_ARRANGE_SIZE);
        EXPECT_EQ(node->sort_style, 2);
        view.OnCommand(ID_ARRANGE_SIZE);
        EXPECT_EQ(node->sort_style, 3);
    }
    // The node list's own style is not touched by a folder's.
    EXPECT_EQ(view.NodeViewStyle(), CTerraPaneView::kIcons);

    Frame()->ShowNodeView();
    EXPECT_EQ(view.ViewStyle(), CTerraPaneView::kIcons);
    ASSERT_TRUE(Nodes().LoadListFromDB());  // releasing the nodes writes their views back
    for (const char* title : {"Workbench", "Phone"}) {
        const std::optional<NodeSettings> stored = Stored(title);
        ASSERT_TRUE(stored.has_value()) << title;
        EXPECT_EQ(stored->view_style, 4) << title;
        EXPECT_EQ(stored->sort_style, 3) << title;
    }
}

}  // namespace
