// The folder view of a real frame against real servers: Apache for shared folders and device
// nodes, the development service for the cloud disk. Listing, new folder, rename, delete, up,
// thumbnails, and opening a file for editing until its upload, on a fake desktop whose editors
// change what they open.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QBuffer>
#include <QFocusEvent>
#include <QImage>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenu>
#include <QTimer>
#include <algorithm>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "base/deployment_profile.h"
#include "base/session_log.h"
#include "comn/action_download.h"
#include "monitor/file_monitor.h"
#include "platform/clock.h"
#include "platform/http_client.h"
#include "remotefs/fs_interface.h"
#include "shell/terrapane_app.h"
#include "support/dev_service.h"
#include "support/explorer_fixture.h"
#include "support/fake_desktop.h"
#include "support/raw_http_server.h"
#include "support/ui_test_support.h"
#include "support/webdav_server.h"
#include "ui/dlg_progress.h"
#include "ui/folder_mode.h"
#include "ui/main_frame.h"
#include "ui/terrapane_view.h"
#include "widgets/dlg_modal.h"
#include "widgets/qimage_decoder.h"
#include "widgets/ui_events.h"

namespace fs = std::filesystem;
using nbx::test::ApacheShare;
using nbx::test::FakeDesktop;
using nbx::test::HttpResponse;
using nbx::test::Press;
using nbx::test::ReadFile;
using nbx::test::RowOf;
using nbx::test::RowTexts;
using nbx::test::Select;
using nbx::test::WaitFor;
using nbx::test::WriteFile;
using namespace nbx::ui;

// The view's insides that the tests look at.
class ViewTestPeer {
public:
    static const ImageList& Thumbs(const CTerraPaneView& view) { return *view.images_.thumbs; }
    static const std::map<std::string, int>& IconCache(const CTerraPaneView& view) {
        return view.folder_->icons_.cache_;
    }
    static bool CreatingFolder(const CTerraPaneView& view) { return view.folder_->creatingFolder_; }
    static void ContextMenu(CTerraPaneView& view) { view.folder_->OnContextMenu(QPoint(5, 5)); }
};

namespace {

// Every test of this program runs in the fake desktop's private home; ctest gives each its own.
::testing::Environment* const g_desktop = ::testing::AddGlobalTestEnvironment(new FakeDesktop);

constexpr const char* kLogin = "me@example.net";
constexpr const char* kPassword = "disk pass";
constexpr QRgb kRed = 0xFFFF0000;

std::string Png(const QImage& image) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return bytes.toStdString();
}

QImage Flat(int size, QRgb colour) {
    QImage image(size, size, QImage::Format_ARGB32);
    image.fill(colour);
    return image;
}

// Writes the file, making its folders first.
void Put(const std::string& path, const std::string& content) {
    fs::create_directories(fs::path(path).parent_path());
    WriteFile(path, content);
}

// Counts the messages of one kind that reach the target, before the target handles them.
class MessageCounter : public QObject {
public:
    MessageCounter(QObject* target, int message) : message_(message) {
        target->installEventFilter(this);
    }
    int count = 0;

protected:
    bool eventFilter(QObject*, QEvent* event) override {
        count += IsMessage(event, message_) ? 1 : 0;
        return false;
    }

private:
    int message_;
};

class ShowCounter : public QObject {
public:
    int shows = 0;

protected:
    bool eventFilter(QObject*, QEvent* event) override {
        shows += event->type() == QEvent::Show ? 1 : 0;
        return false;
    }
};

class FolderViewTest : public nbx::test::ExplorerTest {
protected:
    // In the fake desktop's home, whose editors the tests open files with.
    FolderViewTest() : ExplorerTest(FakeDesktop::Root()) {}

    void SetUp() override {
        ExplorerTest::SetUp();
        static CQImageDecoder decoder;
        SetImageDecoder(&decoder);
        defaultInFront_ = CTerraPaneView::isFrameInFront;
        CTerraPaneView::isFrameInFront = [this](const CMainFrame*) { return inFront_; };
        server_ = std::make_unique<ApacheShare>(std::vector<std::string>{"share", "ws"});
        ASSERT_TRUE(server_->Started());
        StartApp();
        frame_ = Frame();
        view_ = View();
        share_ = AddNode(server_->SharedFolder("Share", "share"));
        workstation_ = AddNode(server_->Device("Workstation", "ws", DeviceKind::Workstation));
    }
    void TearDown() override {
        ExplorerTest::TearDown();
        disk_.reset();
        CTerraPaneView::isFrameInFront = defaultInFront_;
    }

    CNbxNode* AddDiskNode() {
        disk_ = std::make_unique<nbx::test::DevService>(
            std::vector<nbx::test::DevService::Account>{{kLogin, kPassword}});
        EXPECT_TRUE(disk_->Started());
        UseProfile("[Service]\nDiskApiHost=" + disk_->DiskHost() +
                   "\n[Tls]\nCaBundle=" + disk_->CaFile() + "\n");
        return AddNode({.node_type = NodeType::ServiceNode,
                        .device_type = DeviceKind::Disk,
                        .nbx_proxy = disk_->DiskUrl(),
                        .login = kLogin,
                        .password = kPassword,
                        .title_name = "Disk"});
    }

    // What the frame does for an address of the node: the address bar, then the listing.
    int Open(CNbxNode* node, const std::string& path) {
        frame_->SetCurrentNode(node);
        frame_->SetLocation(path);
        return view_->Navigate(path);
    }
    std::string OnServer(const std::string& node, const std::string& path) const {
        return server_->OnServer(node, path);
    }
    bool Shows(const std::string& name) const { return RowOf(*view_, name) >= 0; }
    // Until every batch of the frame has run and its refresh has listed the folder again;
    // what the batches posted is handled first, so that a batch about to start is seen.
    bool Idle() {
        return WaitFor([&] {
            QCoreApplication::sendPostedEvents();
            return !frame_->ComnManager().IsBusy() && !view_->IsBusy();
        });
    }
    void Edit(const std::string& name, const std::function<void(QLineEdit*)>& change) {
        Select(*view_, {name});
        view_->OnCommand(ID_FILE_RENAME);
        ASSERT_TRUE(view_->IsLabelEditing());
        change(view_->LabelEditor());
    }

    bool inFront_ = true;
    std::function<bool(const CMainFrame*)> defaultInFront_;
    std::unique_ptr<ApacheShare> server_;
    std::unique_ptr<nbx::test::DevService> disk_;
    CMainFrame* frame_ = nullptr;
    CTerraPaneView* view_ = nullptr;
    CNbxNode* share_ = nullptr;
    CNbxNode* workstation_ = nullptr;
};

// ---- listing ----------------------------------------------------------------------------

TEST_F(FolderViewTest, ListsRowsWithTheirSizeAndTypeColumns) {
    fs::create_directories(OnServer("share", "/docs/sub"));
    struct File {
        const char* name;
        std::size_t size;
        const char* sizeText;
        const char* typeText;
    };
    const File files[] = {
        {"empty.nbxq", 0, "0 B", "NBXQ File"},
        {"kilo.nbxq", 1024, "1024 B", "NBXQ File"},
        {"kilo1.nbxq", 1025, "2 KB", "NBXQ File"},
        {"mega.nbxq", 1048576, "1024 KB", "NBXQ File"},
        {"README", 3, "3 B", "File"},
        {"dotted.", 1, "1 B", "File"},
    };
    for (const File& file : files) {
        Put(OnServer("share", std::string("/docs/") + file.name), std::string(file.size, 'x'));
    }
    ASSERT_EQ(Open(share_, "/docs/"), 200);
    EXPECT_EQ(frame_->GetViewMode(), CMainFrame::kModeFolder);
    EXPECT_EQ(view_->CurrentPath(), "/docs/");
    ASSERT_EQ(view_->RowCount(), 8);
    EXPECT_EQ(view_->Text(0), "..") << "the listing holds the folder itself: the up entry first";
    EXPECT_EQ(view_->Item(0)->kind, RowKind::kUp);
    for (const File& file : files) {
        const int row = RowOf(*view_, file.name);
        ASSERT_GE(row, 0) << file.name;
        EXPECT_EQ(view_->Text(row, 1).toStdString(), file.sizeText) << file.name;
        EXPECT_EQ(view_->Text(row, 2).toStdString(), file.typeText) << file.name;
        EXPECT_FALSE(view_->Text(row, 3).isEmpty()) << "the server's date: " << file.name;
        EXPECT_EQ(view_->Item(row)->kind, RowKind::kFile);
        EXPECT_EQ(view_->Item(row)->size, file.size);
    }
    const int sub = RowOf(*view_, "sub");
    ASSERT_GE(sub, 0);
    EXPECT_EQ(view_->Item(sub)->kind, RowKind::kFolder);
    EXPECT_EQ(view_->Text(sub, 1), "");
    EXPECT_EQ(view_->Text(sub, 2), "File Folder");
    EXPECT_EQ(frame_->StatusText(0), "8 objects");
}

TEST_F(FolderViewTest, AFailedListingLeavesTheViewAsItWas) {
    Put(OnServer("share", "/f/a.txt"), "a");
    ASSERT_EQ(Open(share_, "/f/"), 200);
    const auto before = RowTexts(*view_);
    EXPECT_EQ(view_->Navigate("/missing/"), 404);
    EXPECT_EQ(RowTexts(*view_), before);
    EXPECT_EQ(before, (std::vector<std::string>{"..", "a.txt"}));
    EXPECT_EQ(view_->CurrentPath(), "/f/");
}

TEST_F(FolderViewTest, DeviceRootShowsOnlyItsThreeFoldersAndTheDiskRootShowsAll) {
    for (const char* folder : {"MyStorage", "public_html", "sdcard", "Windows", "mystorage"}) {
        fs::create_directories(OnServer("ws", std::string("/") + folder));
    }
    Put(OnServer("ws", "/boot.ini"), "x");
    ASSERT_EQ(Open(workstation_, "/"), 200);
    std::vector<std::string> names = RowTexts(*view_);
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"..", "MyStorage", "public_html", "sdcard"}));

    CNbxNode* disk = AddDiskNode();
    fs::create_directories(disk_->DiskDir(kLogin) + "/Windows");
    Put(disk_->DiskDir(kLogin) + "/boot.ini", "x");
    ASSERT_EQ(Open(disk, "/"), 200);
    EXPECT_TRUE(Shows("Windows"));
    EXPECT_TRUE(Shows("boot.ini"));
    EXPECT_EQ(view_->Text(RowOf(*view_, "boot.ini"), 1), "1 B");
}

// ---- new folder, rename, delete -----------------------------------------------------------

TEST_F(FolderViewTest, NewFolderTakesTheNextFreeNameAndIsCreatedWhenTheEditEnds) {
    fs::create_directories(OnServer("share", "/work/New Folder"));
    fs::create_directories(OnServer("share", "/work/New Folder (2)"));
    ASSERT_EQ(Open(share_, "/work/"), 200);

    view_->OnCommand(ID_FILE_NEW_FOLDER);
    ASSERT_TRUE(view_->IsLabelEditing());
    EXPECT_EQ(view_->LabelEditor()->text(), "New Folder (3)");
    Press(view_->LabelEditor(), Qt::Key_Escape);  // cancelled, still made
    EXPECT_FALSE(ViewTestPeer::CreatingFolder(*view_));
    ASSERT_TRUE(Idle());
    EXPECT_TRUE(fs::is_directory(OnServer("share", "/work/New Folder (3)")));
    EXPECT_TRUE(Shows("New Folder (3)")) << "listed again after the creation";

    view_->OnCommand(ID_FILE_NEW_FOLDER);
    ASSERT_TRUE(view_->IsLabelEditing());
    EXPECT_EQ(view_->LabelEditor()->text(), "New Folder (4)");
    view_->LabelEditor()->setText("Reports");
    Press(view_->LabelEditor(), Qt::Key_Return);
    ASSERT_TRUE(Idle());
    EXPECT_TRUE(fs::is_directory(OnServer("share", "/work/Reports")));
    EXPECT_FALSE(fs::exists(OnServer("share", "/work/New Folder (4)")));

    // A click elsewhere ends the edit with the typed name.
    view_->OnCommand(ID_FILE_NEW_FOLDER);
    ASSERT_TRUE(view_->IsLabelEditing());
    view_->LabelEditor()->setText("Clicked away");
    QFocusEvent away(QEvent::FocusOut, Qt::MouseFocusReason);
    QCoreApplication::sendEvent(view_->LabelEditor(), &away);
    ASSERT_TRUE(Idle());
    EXPECT_TRUE(fs::is_directory(OnServer("share", "/work/Clicked away")));
    EXPECT_FALSE(fs::exists(OnServer("share", "/work/New Folder (4)")));

    view_->OnCommand(ID_FILE_NEW_FOLDER);
    ASSERT_TRUE(view_->IsLabelEditing());
    view_->LabelEditor()->setText("a:b");
    Press(view_->LabelEditor(), Qt::Key_Return);
    ASSERT_TRUE(Idle());
    EXPECT_FALSE(fs::exists(OnServer("share", "/work/a:b")));
    EXPECT_FALSE(Shows("New Folder (4)")) << "the proposed row goes with the listing";
}

TEST_F(FolderViewTest, RenameMovesButNeverOntoAnExistingName) {
    Put(OnServer("share", "/r/a.txt"), "a");
    Put(OnServer("share", "/r/b.txt"), "b");
    fs::create_directories(OnServer("share", "/r/dir"));
    ASSERT_EQ(Open(share_, "/r/"), 200);

    Edit("a.txt", [](QLineEdit* editor) {
        editor->setText("b.txt");
        Press(editor, Qt::Key_Return);
    });
    ASSERT_TRUE(Idle());
    EXPECT_EQ(ReadFile(OnServer("share", "/r/a.txt")), "a");
    EXPECT_EQ(ReadFile(OnServer("share", "/r/b.txt")), "b");
    EXPECT_TRUE(Shows("a.txt")) << "the refresh brings the old name back";
    EXPECT_NE(SessionLog().find(
                  "WARNING: CTerraPaneView::RenameItem(): CNbxFileTransferService::_EXIST() "
                  "failed with arg: \"/r/b.txt\""),
              std::string::npos);
    EXPECT_EQ(SessionLog().find("registered CNbxComnActionMoveWithinNode()"), std::string::npos);

    // Onto an existing folder's name, too.
    Edit("a.txt", [](QLineEdit* editor) {
        editor->setText("dir");
        Press(editor, Qt::Key_Return);
    });
    ASSERT_TRUE(Idle());
    EXPECT_EQ(ReadFile(OnServer("share", "/r/a.txt")), "a");

    Edit("dir", [](QLineEdit* editor) {
        editor->setText("renamed");
        Press(editor, Qt::Key_Return);
    });
    ASSERT_TRUE(Idle());
    EXPECT_TRUE(fs::is_directory(OnServer("share", "/r/renamed")));
    EXPECT_FALSE(fs::exists(OnServer("share", "/r/dir")));
    EXPECT_TRUE(Shows("renamed"));
}

TEST_F(FolderViewTest, RenameToAnInvalidOrUnchangedNameRevertsAndRegistersNothing) {
    Put(OnServer("share", "/r/a.txt"), "a");
    ASSERT_EQ(Open(share_, "/r/"), 200);
    for (const char* text : {"..", "x/y", "", "A.TXT", "q?"}) {
        Edit("a.txt", [text](QLineEdit* editor) {
            editor->setText(text);
            Press(editor, Qt::Key_Return);
        });
        EXPECT_FALSE(view_->IsLabelEditing());
        EXPECT_TRUE(Shows("a.txt")) << text;
        EXPECT_FALSE(frame_->ComnManager().IsBusy()) << text;
    }
    EXPECT_EQ(SessionLog().find("CTerraPaneView::RenameItem()"), std::string::npos);
    EXPECT_EQ(ReadFile(OnServer("share", "/r/a.txt")), "a");
}

TEST_F(FolderViewTest, DeleteRemovesTheSelectedFileAndFolderButNeverTheUpEntry) {
    Put(OnServer("share", "/box/old.txt"), "old");
    Put(OnServer("share", "/box/stays.txt"), "stays");
    Put(OnServer("share", "/box/tree/leaf.txt"), "leaf");
    ASSERT_EQ(Open(share_, "/box/"), 200);
    Select(*view_, {"..", "old.txt", "tree"});
    EXPECT_FALSE(view_->IsCommandEnabled(ID_FILE_DELETE)) << "the first selected row is ..";

    boxes_.QueueAnswer(kIdNo);
    view_->OnCommand(ID_FILE_DELETE);
    ASSERT_TRUE(Idle());
    EXPECT_TRUE(fs::exists(OnServer("share", "/box/old.txt"))) << "answered No";

    view_->OnCommand(ID_FILE_DELETE);  // Yes
    ASSERT_TRUE(Idle());
    EXPECT_EQ(boxes_.Ids(), (std::vector<int>{214, 214}));
    EXPECT_FALSE(fs::exists(OnServer("share", "/box/old.txt")));
    EXPECT_FALSE(fs::exists(OnServer("share", "/box/tree")));
    EXPECT_TRUE(fs::exists(OnServer("share", "/box/stays.txt")));
    EXPECT_EQ(RowTexts(*view_), (std::vector<std::string>{"..", "stays.txt"}));
    const std::string log = SessionLog();
    std::size_t deletes = 0;
    for (std::size_t at = 0;
         (at = log.find("CTerraPaneView::_FolderView_OnFileDelete(): registered "
                        "CNbxComnActionDelete()",
                        at)) != std::string::npos;
         ++at) {
        ++deletes;
    }
    EXPECT_EQ(deletes, 2u);
}

TEST_F(FolderViewTest, AFailedActionIsReportedWithTheOfflineMessage) {
    Put(OnServer("share", "/gone/x.txt"), "x");
    ASSERT_EQ(Open(share_, "/gone/"), 200);
    fs::remove(OnServer("share", "/gone/x.txt"));  // by somebody else, meanwhile
    Select(*view_, {"x.txt"});
    view_->OnCommand(ID_FILE_DELETE);
    ASSERT_TRUE(Idle());
    ASSERT_EQ(boxes_.Ids(), (std::vector<int>{214, 206}));
    EXPECT_EQ(boxes_.Boxes().back().icon, MsgIcon::kExclamation);
    EXPECT_NE(SessionLog().find("INFO: CTerraPaneView::OnComnActionError() invoked..."),
              std::string::npos);
}

TEST_F(FolderViewTest, ChangesAreRefusedAtTheRootOfADeviceNode) {
    fs::create_directories(OnServer("ws", "/MyStorage"));
    ASSERT_EQ(Open(workstation_, "/"), 200);
    Select(*view_, {"MyStorage"});
    for (int command : {ID_FILE_RENAME, ID_FILE_DELETE, ID_FILE_NEW_FOLDER, ID_EDIT_CUT,
                        ID_EDIT_COPY, ID_EDIT_PASTE}) {
        EXPECT_FALSE(view_->IsCommandEnabled(command)) << command;
    }
    EXPECT_TRUE(view_->IsCommandEnabled(ID_FILE_OPEN_ITEM));
    view_->OnCommand(ID_FILE_NEW_FOLDER);
    view_->OnCommand(ID_FILE_RENAME);
    EXPECT_FALSE(view_->IsLabelEditing());
    EXPECT_EQ(RowTexts(*view_).size(), 2u);

    ASSERT_EQ(Open(workstation_, "/MyStorage/"), 200);
    Select(*view_, {".."});
    EXPECT_FALSE(view_->IsCommandEnabled(ID_FILE_RENAME));
    EXPECT_TRUE(view_->IsCommandEnabled(ID_FILE_NEW_FOLDER));
}

// ---- open folders ---------------------------------------------------------------------------

TEST_F(FolderViewTest, UpListsTheParentAndAtTheRootShowsTheNodeList) {
    Put(OnServer("share", "/outer/inner/x.txt"), "x");
    ASSERT_EQ(Open(share_, "/outer/"), 200);
    Select(*view_, {"inner"});
    PostMessage(view_, WM_VIEW_OPEN);  // Enter
    ASSERT_TRUE(WaitFor([&] { return view_->CurrentPath() == "/outer/inner/"; }));
    EXPECT_TRUE(Shows("x.txt"));

    Select(*view_, {".."});
    PostMessage(view_, WM_VIEW_OPEN);
    ASSERT_TRUE(WaitFor([&] { return view_->CurrentPath() == "/outer/"; }));
    Select(*view_, {".."});
    PostMessage(view_, WM_VIEW_OPEN);
    ASSERT_TRUE(WaitFor([&] { return view_->CurrentPath() == "/"; }));
    EXPECT_EQ(frame_->GetViewMode(), CMainFrame::kModeFolder);

    Select(*view_, {".."});
    PostMessage(view_, WM_VIEW_OPEN);
    ASSERT_TRUE(WaitFor([&] { return frame_->GetViewMode() == CMainFrame::kModeNodes; }));
    EXPECT_EQ(frame_->CurrentNode(), nullptr);
}

// The keys Linux users expect: F2 renames, F5 lists again, Backspace and Alt+Up go up,
// Ctrl+L goes to the address bar.
TEST_F(FolderViewTest, TheKeysOfADesktopFileManager) {
    const std::vector<QAction*> keys = frame_->KeyActions();
    ASSERT_EQ(keys.size(), 5u);
    EXPECT_EQ(keys[0]->shortcut(), QKeySequence(Qt::Key_F2));
    EXPECT_EQ(keys[1]->shortcut(), QKeySequence(Qt::Key_F5));
    EXPECT_EQ(keys[2]->shortcuts(), (QList<QKeySequence>{QKeySequence(Qt::Key_Backspace),
                                                         QKeySequence(Qt::ALT | Qt::Key_Up)}));
    EXPECT_EQ(keys[3]->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_L));
    EXPECT_EQ(keys[4]->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_W));

    Put(OnServer("share", "/outer/inner/x.txt"), "x");
    ASSERT_EQ(Open(share_, "/outer/inner/"), 200);
    Put(OnServer("share", "/outer/inner/late.txt"), "l");
    keys[1]->trigger();
    ASSERT_TRUE(WaitFor([&] { return Shows("late.txt"); }));

    Select(*view_, {"x.txt"});
    keys[0]->trigger();
    ASSERT_TRUE(view_->IsLabelEditing());
    Press(view_->LabelEditor(), Qt::Key_Escape);
    Select(*view_, {".."});
    keys[0]->trigger();
    EXPECT_FALSE(view_->IsLabelEditing()) << "only where Rename is enabled";

    keys[2]->trigger();
    ASSERT_TRUE(WaitFor([&] { return view_->CurrentPath() == "/outer/"; }));
    keys[3]->trigger();
    EXPECT_EQ(frame_->AddressBar()->lineEdit()->selectedText(),
              frame_->AddressBar()->lineEdit()->text());
    EXPECT_FALSE(frame_->AddressBar()->lineEdit()->text().isEmpty());
}

TEST_F(FolderViewTest, OpenWithSeveralFoldersOpensAWindowForEach) {
    for (const char* folder : {"/many/one", "/many/two", "/many/three"}) {
        fs::create_directories(OnServer("share", folder));
    }
    ASSERT_EQ(Open(share_, "/many/"), 200);
    Select(*view_, {"..", "one", "two", "three"});
    view_->OnCommand(ID_FILE_OPEN_ITEM);
    ASSERT_EQ(App().TopFrameCount(), 4) << "the up entry among several rows is skipped";
    std::vector<std::string> paths;
    for (const CMainFrame* frame : App().TopFrames()) {
        if (frame != frame_) {
            paths.push_back(frame->View()->CurrentPath());
        }
    }
    std::sort(paths.begin(), paths.end());
    EXPECT_EQ(paths, (std::vector<std::string>{"/many/one/", "/many/three/", "/many/two/"}));
    EXPECT_EQ(view_->CurrentPath(), "/many/");
}

std::string Multistatus(const std::vector<std::pair<std::string, bool>>& entries) {
    std::string xml = "<?xml version=\"1.0\"?><d:multistatus xmlns:d=\"DAV:\">";
    for (const auto& [href, folder] : entries) {
        xml += "<d:response><d:href>" + href + "</d:href><d:propstat><d:prop><d:resourcetype>" +
               (folder ? "<d:collection/>" : "") +
               "</d:resourcetype><d:getcontentlength>1</d:getcontentlength></d:prop>"
               "<d:status>HTTP/1.1 200 OK</d:status></d:propstat></d:response>";
    }
    return xml + "</d:multistatus>";
}

// A listing asked for while another one waits for its answer (a refresh that the engine sends
// meanwhile) is not refused: it follows once the first is done.
TEST_F(FolderViewTest, AListingAskedForDuringAListingFollowsIt) {
    using namespace std::chrono_literals;
    const std::string first =
        HttpResponse(207, Multistatus({{"/slow/first/", true}, {"/slow/first/a.txt", false}}));
    nbx::test::RawHttpServer server(std::vector<nbx::test::RawReply>{
        {.bytes = first, .block = first.size(), .pause = 300ms},
        {.bytes = HttpResponse(
             207, Multistatus({{"/slow/second/", true}, {"/slow/second/x.txt", false}}))}});
    // The node-state pass would probe the node too, taking a reply meant for a listing.
    ASSERT_TRUE(WaitFor([&] { return !App().IsNodeStatePassRunning(); }));
    CNbxNode* slow = AddNode({.node_type = NodeType::SharedFolder,
                              .nbx_proxy = server.BaseUrl(),
                              .node_name = "slow",
                              .login = "demo",
                              .password = "s3cret",
                              .title_name = "Slow"});
    frame_->SetCurrentNode(slow);
    frame_->SetLocation("/first/");
    std::optional<int> nested;
    QMetaObject::invokeMethod(
        view_,
        [&] {
            frame_->SetLocation("/second/");
            nested = view_->Navigate("/second/");
        },
        Qt::QueuedConnection);
    ASSERT_EQ(view_->Navigate("/first/"), 200);
    ASSERT_TRUE(nested.has_value()) << "asked for while the first listing waited";
    EXPECT_EQ(*nested, 200);
    EXPECT_TRUE(Shows("a.txt"));
    ASSERT_TRUE(WaitFor([&] { return view_->CurrentPath() == "/second/"; }));
    EXPECT_TRUE(Shows("x.txt"));
    std::vector<std::string> listings;
    for (const auto& request : server.Requests()) {
        if (request.method == "PROPFIND") {
            listings.push_back(request.target);
        }
    }
    EXPECT_EQ(listings, (std::vector<std::string>{"/slow/first/", "/slow/second/"}));
}

// The entries of the context menus, by command number: enabled and checked.
struct MenuEntry {
    bool enabled;
    bool checked;
    bool operator==(const MenuEntry&) const = default;
};
std::map<int, MenuEntry> ShowContextMenu(CTerraPaneView& view) {
    std::map<int, MenuEntry> entries;
    QTimer::singleShot(0, [&entries] {
        auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
        ASSERT_NE(menu, nullptr);
        std::vector<QMenu*> menus{menu};
        for (std::size_t i = 0; i < menus.size(); ++i) {
            for (QAction* action : menus[i]->actions()) {
                if (action->menu() != nullptr) {
                    menus.push_back(action->menu());
                } else if (!action->isSeparator()) {
                    entries[action->data().toInt()] = {action->isEnabled(), action->isChecked()};
                }
            }
        }
        menu->close();
    });
    ViewTestPeer::ContextMenu(view);
    return entries;
}

TEST_F(FolderViewTest, ContextMenusGrayWhatCannotBeDoneAndCheckTheStyleAndSort) {
    fs::create_directories(OnServer("ws", "/MyStorage/sub"));
    Put(OnServer("ws", "/MyStorage/a.txt"), "a");
    ASSERT_EQ(Open(workstation_, "/"), 200);
    Select(*view_, {"MyStorage"});
    auto entries = ShowContextMenu(*view_);
    EXPECT_EQ(entries[ID_FILE_OPEN_ITEM], (MenuEntry{true, false}));
    for (int command : {ID_FILE_EDIT, ID_FILE_RENAME, ID_FILE_DELETE}) {
        EXPECT_FALSE(entries.at(command).enabled) << "at the device root: " << command;
    }

    ASSERT_EQ(Open(workstation_, "/MyStorage/"), 200);
    Select(*view_, {"a.txt", "sub"});
    entries = ShowContextMenu(*view_);
    EXPECT_TRUE(entries.at(ID_FILE_DELETE).enabled);
    EXPECT_FALSE(entries.at(ID_FILE_RENAME).enabled) << "two rows";
    Select(*view_, {".."});
    entries = ShowContextMenu(*view_);
    EXPECT_FALSE(entries.at(ID_FILE_DELETE).enabled);
    EXPECT_FALSE(entries.at(ID_FILE_RENAME).enabled);

    view_->ClearSelection();
    view_->OnCommand(ID_VIEW_DETAILS);
    view_->OnCommand(ID_ARRANGE_SIZE);
    entries = ShowContextMenu(*view_);
    EXPECT_EQ(entries.count(ID_FILE_DELETE), 0u) << "the menu without a selection";
    EXPECT_EQ(entries.at(ID_VIEW_DETAILS), (MenuEntry{true, true}));
    EXPECT_EQ(entries.at(ID_VIEW_ICONS), (MenuEntry{true, false}));
    EXPECT_EQ(entries.at(ID_ARRANGE_SIZE), (MenuEntry{true, true}));
    EXPECT_EQ(entries.at(ID_ARRANGE_NAME), (MenuEntry{true, false}));
    EXPECT_TRUE(entries.at(ID_FILE_NEW_FOLDER).enabled);
    ASSERT_EQ(Open(workstation_, "/"), 200);
    view_->ClearSelection();
    EXPECT_FALSE(ShowContextMenu(*view_).at(ID_FILE_NEW_FOLDER).enabled);
}

// ---- thumbnails -----------------------------------------------------------------------------

TEST_F(FolderViewTest, PicturesOfAWorkstationGetTheirThumbnails) {
    Put(OnServer("ws", "/MyStorage/red.png"), Png(Flat(96, kRed)));
    Put(OnServer("ws", "/MyStorage/notes.txt"), "text");
    Put(OnServer("share", "/red.png"), Png(Flat(96, kRed)));
    ASSERT_EQ(Open(workstation_, "/MyStorage/"), 200);
    const int row = RowOf(*view_, "red.png");
    ASSERT_GE(row, 0);
    const auto& cache = ViewTestPeer::IconCache(*view_);
    ASSERT_TRUE(WaitFor([&] { return cache.count("/ws/MyStorage/red.png") != 0; }));
    ASSERT_TRUE(WaitFor([&] { return !view_->IsThumbnailsBusy(); }));
    const int image = cache.at("/ws/MyStorage/red.png");
    EXPECT_EQ(view_->Image(RowOf(*view_, "red.png")), image);
    const QImage shown = ViewTestPeer::Thumbs(*view_).At(image).toImage();
    EXPECT_EQ(shown.size(), QSize(48, 48));
    EXPECT_EQ(shown.pixel(24, 24), kRed);
    EXPECT_NE(view_->Image(RowOf(*view_, "notes.txt")), image);

    // Listed again: the picture kept from before.
    ASSERT_EQ(view_->Navigate("/MyStorage/"), 200);
    EXPECT_EQ(view_->Image(RowOf(*view_, "red.png")), image);

    // A shared folder shows no thumbnails.
    ASSERT_EQ(Open(share_, "/"), 200);
    nbx::test::ProcessEventsFor(std::chrono::milliseconds(500));
    EXPECT_EQ(cache.count("/share/red.png"), 0u);
}

TEST_F(FolderViewTest, TheSliderIsOfferedInLargeIconsOnceThumbnailsAreIdle) {
    CNbxNode* phone = AddNode({.node_type = NodeType::ServiceNode,
                               .device_type = DeviceKind::Smartphone,
                               .nbx_proxy = server_->BaseUrl(),
                               .node_name = "share",
                               .login = "demo",
                               .password = "s3cret",
                               .title_name = "Phone"});
    Put(OnServer("ws", "/MyStorage/red.png"), Png(Flat(96, kRed)));
    Put(OnServer("share", "/MyStorage/red.png"), Png(Flat(96, kRed)));
    const std::string finished = "INFO: CTerraPaneView::OnFileThumbDownloadFinish() invoked...";

    ASSERT_EQ(Open(workstation_, "/MyStorage/"), 200);
    view_->OnCommand(ID_VIEW_LARGE_ICONS);
    EXPECT_EQ(workstation_->view_style, 4);
    ASSERT_TRUE(WaitFor([&] { return SessionLog().find(finished) != std::string::npos; }));
    ASSERT_TRUE(WaitFor([&] { return !frame_->Slider()->isHidden(); }));
    EXPECT_NE(SessionLog().find("INFO: CTerraPaneView::OnFileThumbDownloadStart() invoked..."),
              std::string::npos);

    view_->OnCommand(ID_VIEW_DETAILS);
    EXPECT_TRUE(frame_->Slider()->isHidden());

    ASSERT_EQ(Open(phone, "/MyStorage/"), 200);
    view_->OnCommand(ID_VIEW_LARGE_ICONS);
    nbx::test::ProcessEventsFor(std::chrono::milliseconds(500));
    EXPECT_TRUE(frame_->Slider()->isHidden()) << "a smartphone shows no thumbnails";
    EXPECT_EQ(ViewTestPeer::IconCache(*view_).count("/share/MyStorage/red.png"), 0u);
}

TEST_F(FolderViewTest, ThumbnailSizeChangesOnlyWithinItsRangeAndInAFolder) {
    Put(OnServer("ws", "/MyStorage/red.png"), Png(Flat(96, kRed)));
    fs::create_directories(OnServer("ws", "/MyStorage/other"));
    view_->SetThumbnailSize(64, 64);
    EXPECT_EQ(view_->ThumbnailWidth(), 48) << "node view";

    ASSERT_EQ(Open(workstation_, "/MyStorage/"), 200);
    const auto& cache = ViewTestPeer::IconCache(*view_);
    ASSERT_TRUE(WaitFor([&] { return cache.count("/ws/MyStorage/red.png") != 0; }));
    workstation_->viewModified = false;
    for (const auto& [w, h] : {std::pair{100, 100}, {40, 40}, {64, 40}, {48, 48}}) {
        view_->SetThumbnailSize(w, h);
        EXPECT_EQ(view_->ThumbnailWidth(), 48) << w << "x" << h;
        EXPECT_FALSE(workstation_->viewModified);
    }
    view_->SetThumbnailSize(64, 72);
    EXPECT_EQ(view_->ThumbnailWidth(), 64);
    EXPECT_EQ(view_->ThumbnailHeight(), 72);
    EXPECT_EQ(workstation_->thumbnail_width, 64);
    EXPECT_EQ(workstation_->thumbnail_height, 72);
    EXPECT_TRUE(workstation_->viewModified);
    const ImageList& thumbs = ViewTestPeer::Thumbs(*view_);
    EXPECT_EQ(thumbs.Size(), QSize(64, 72));
    const QImage rescaled = thumbs.At(cache.at("/ws/MyStorage/red.png")).toImage();
    EXPECT_EQ(rescaled.size(), QSize(64, 72));
    EXPECT_EQ(rescaled.pixel(32, 36), kRed);

    // Pictures of a folder left behind leave the cache with the next size change.
    ASSERT_EQ(Open(workstation_, "/MyStorage/other/"), 200);
    view_->SetThumbnailSize(96, 96);
    EXPECT_EQ(cache.count("/ws/MyStorage/red.png"), 0u);
    EXPECT_EQ(ViewTestPeer::Thumbs(*view_).Size(), QSize(96, 96));
}

// ---- open, edit, upload -------------------------------------------------------------------

TEST_F(FolderViewTest, AFileOpenedAndChangedIsUploadedAfterTheQuestion) {
    const std::string name = "notes.nbx" + std::string(nbx::test::editors::kChange);
    Put(OnServer("share", "/docs/" + name), "original\n");
    ASSERT_EQ(Open(share_, "/docs/"), 200);
    // What the progress dialog went through: its captions, and whether it was shown.
    std::vector<std::string> captions;
    QObject::connect(frame_->Progress(), &QWidget::windowTitleChanged,
                     [&](const QString& title) { captions.push_back(title.toStdString()); });
    ShowCounter shown;
    frame_->Progress()->installEventFilter(&shown);
    Select(*view_, {name});
    PostMessage(view_, WM_VIEW_OPEN);
    ASSERT_TRUE(WaitFor(
        [&] {
            for (const auto& box : boxes_.Boxes()) {
                if (box.stringId == 224) {
                    return true;
                }
            }
            return false;
        },
        std::chrono::seconds(60)))
        << "the editor changed the file and ended";
    ASSERT_TRUE(Idle());
    ASSERT_TRUE(WaitFor(
        [&] { return ReadFile(OnServer("share", "/docs/" + name)) == "original\nedited\n"; }));
    const auto& box = boxes_.Boxes().back();
    EXPECT_EQ(box.text, "The contents of file \"/docs/" + name +
                            "\" has been modified.\nWould you like to upload the modified file "
                            "to Nimbex?");
    EXPECT_EQ(box.icon, MsgIcon::kQuestion);
    EXPECT_EQ(captions, (std::vector<std::string>{"Downloading...", "Uploading..."}));
    EXPECT_GE(shown.shows, 1) << "the progress dialog is shown";
    const std::string log = SessionLog();
    EXPECT_NE(log.find("INFO: CTerraPaneView::OpenItem(): registered CNbxComnActionDownload()"),
              std::string::npos);
    EXPECT_NE(log.find("INFO: CTerraPaneView::OnFileMonitorClosedModified(): registered "
                       "CNbxComnActionUpload()"),
              std::string::npos);
}

TEST_F(FolderViewTest, TheQuestionWaitsForAnIdleFrameInFront) {
    Put(OnServer("share", "/later.txt"), "before");
    ASSERT_EQ(Open(share_, "/"), 200);
    const std::string local = FakeDesktop::Files() + "/later.txt";
    Put(local, "after");
    auto monitor =
        std::make_shared<CNbxFileMonitor>(*share_, local, "/later.txt", Utils::LaunchedProcess{});
    auto asked = [&] { return !boxes_.Boxes().empty(); };
    // The question is put off by a timer that posts it again; with the waits cut short, a few
    // of those rounds pass quickly, and each one that did not ask shows that it held back.
    nbx::clock::TestClock clock;
    clock.CapWaits(std::chrono::milliseconds(10));
    MessageCounter rounds(view_, WM_FILE_MONITOR_CLOSED_MODIFIED);

    inFront_ = false;
    PostMessage(view_, WM_FILE_MONITOR_CLOSED_MODIFIED, monitor);
    ASSERT_TRUE(WaitFor([&] { return rounds.count >= 4; }));
    EXPECT_FALSE(asked()) << "not in front";
    EXPECT_NE(monitor->GetState(), FMS_HANDLED);

    view_->AsyncOperationCallback()->OnAsyncOperationStart();  // a batch runs
    inFront_ = true;
    const int roundsBefore = rounds.count;
    ASSERT_TRUE(WaitFor([&] { return rounds.count >= roundsBefore + 3; }));
    EXPECT_FALSE(asked()) << "busy";

    view_->AsyncOperationCallback()->OnAsyncOperationFinish(0, 0);
    ASSERT_TRUE(WaitFor(asked));
    EXPECT_EQ(boxes_.Boxes().front().stringId, 224);
    EXPECT_EQ(monitor->GetState(), FMS_HANDLED);
    ASSERT_TRUE(Idle());
    EXPECT_EQ(ReadFile(OnServer("share", "/later.txt")), "after");

    // No: nothing is uploaded, and the close is dealt with all the same.
    Put(local, "again");
    auto declined =
        std::make_shared<CNbxFileMonitor>(*share_, local, "/later.txt", Utils::LaunchedProcess{});
    boxes_.QueueAnswer(kIdNo);
    PostMessage(view_, WM_FILE_MONITOR_CLOSED_MODIFIED, declined);
    ASSERT_TRUE(WaitFor([&] { return boxes_.Boxes().size() == 2; }));
    EXPECT_EQ(declined->GetState(), FMS_HANDLED);
    ASSERT_TRUE(Idle());
    EXPECT_EQ(ReadFile(OnServer("share", "/later.txt")), "after");
}

// Whether a monitor of the local copy waits for the answer to its re-upload question.
bool WaitsForTheAnswer(CTerraPaneApp& app, const std::string& local) {
    bool waiting = false;
    for (const auto& monitor : app.MonitorManager().LockMonitors()) {
        waiting = waiting ||
                  (monitor->GetLocalPath() == local && monitor->GetState() == FMS_CLOSED_MODIFIED);
    }
    app.MonitorManager().UnlockMonitors();
    return waiting;
}

// Two files of one name in two folders are edited side by side: each has a copy of its own,
// and each question uploads its own file's changes to that file.
TEST_F(FolderViewTest, FilesOfOneNameInTwoFoldersHaveCopiesOfTheirOwn) {
    const std::string name = "same.nbx" + std::string(nbx::test::editors::kChange);
    Put(OnServer("share", "/a/" + name), "from a\n");
    Put(OnServer("share", "/b/" + name), "from b\n");
    const std::string localA = LocalCopyPath("Share", "/a/", name);
    const std::string localB = LocalCopyPath("Share", "/b/", name);
    ASSERT_NE(localA, localB);
    inFront_ = false;  // the questions wait until both files were edited

    ASSERT_EQ(Open(share_, "/a/"), 200);
    Select(*view_, {name});
    PostMessage(view_, WM_VIEW_OPEN);
    ASSERT_TRUE(
        WaitFor([&] { return WaitsForTheAnswer(App(), localA); }, std::chrono::seconds(60)));
    ASSERT_TRUE(Idle());
    ASSERT_EQ(Open(share_, "/b/"), 200);
    Select(*view_, {name});
    PostMessage(view_, WM_VIEW_OPEN);
    ASSERT_TRUE(
        WaitFor([&] { return WaitsForTheAnswer(App(), localB); }, std::chrono::seconds(60)));
    ASSERT_TRUE(Idle());
    EXPECT_EQ(ReadFile(localA), "from a\nedited\n");
    EXPECT_EQ(ReadFile(localB), "from b\nedited\n");
    EXPECT_EQ(fs::path(localA).filename(), name) << "the application shows the file's own name";

    inFront_ = true;
    ASSERT_TRUE(WaitFor([&] { return boxes_.Boxes().size() == 2; }, std::chrono::seconds(60)));
    ASSERT_TRUE(Idle());
    ASSERT_TRUE(WaitFor([&] {
        return ReadFile(OnServer("share", "/a/" + name)) == "from a\nedited\n" &&
               ReadFile(OnServer("share", "/b/" + name)) == "from b\nedited\n";
    })) << ReadFile(OnServer("share", "/a/" + name));
}

// Opening the file again while its changes wait for the answer opens the changed copy as it is:
// a download now would overwrite the changes before the user said what becomes of them.
TEST_F(FolderViewTest, AChangedCopyWaitingForItsAnswerIsNotDownloadedOver) {
    const std::string name = "draft.nbx" + std::string(nbx::test::editors::kChange);
    Put(OnServer("share", "/docs/" + name), "original\n");
    const std::string local = LocalCopyPath("Share", "/docs/", name);
    inFront_ = false;
    ASSERT_EQ(Open(share_, "/docs/"), 200);
    Select(*view_, {name});
    PostMessage(view_, WM_VIEW_OPEN);
    ASSERT_TRUE(WaitFor([&] { return WaitsForTheAnswer(App(), local); }, std::chrono::seconds(60)));
    ASSERT_TRUE(Idle());
    ASSERT_EQ(ReadFile(local), "original\nedited\n");
    Put(OnServer("share", "/docs/" + name), "changed by somebody else\n");

    Select(*view_, {name});
    PostMessage(view_, WM_VIEW_OPEN);
    ASSERT_TRUE(WaitFor([&] {
        return SessionLog().find(
                   "WARNING: CNbxComnActionDownload::RunMainAction(): the local copy") !=
               std::string::npos;
    }));
    ASSERT_TRUE(Idle());
    // The editor runs on the copy with its changes again, and adds another line.
    ASSERT_TRUE(WaitFor([&] { return ReadFile(local) == "original\nedited\nedited\n"; },
                        std::chrono::seconds(60)))
        << ReadFile(local);

    inFront_ = true;
    ASSERT_TRUE(WaitFor([&] { return !boxes_.Boxes().empty(); }, std::chrono::seconds(60)));
    ASSERT_TRUE(Idle());
    ASSERT_TRUE(WaitFor([&] {
        return ReadFile(OnServer("share", "/docs/" + name)) == "original\nedited\nedited\n";
    })) << "the changes reach the server";
}

// ---- folder trees -------------------------------------------------------------------------

TEST_F(FolderViewTest, FolderTreesAreCollectedLocallyAndRemotely) {
    const std::string root = FakeDesktop::Root() + "/tree";
    Put(root + "/a.txt", "a");
    Put(root + "/.hidden", "h");
    Put(root + "/sub/b.txt", "bb");
    Put(root + "/sub/deeper/c.txt", "ccc");
    fs::create_directory_symlink(root, root + "/sub/loop");
    std::vector<std::string> folders, files;
    ASSERT_EQ(CTerraPaneView::ListLocalDir(folders, files, root, true), 0);
    std::sort(folders.begin(), folders.end());
    std::sort(files.begin(), files.end());
    EXPECT_EQ(folders, (std::vector<std::string>{root, root + "/sub", root + "/sub/deeper",
                                                 root + "/sub/loop"}));
    EXPECT_EQ(files, (std::vector<std::string>{root + "/a.txt", root + "/sub/b.txt",
                                               root + "/sub/deeper/c.txt"}))
        << "the link back up is not walked again";
    folders.clear();
    files.clear();
    EXPECT_NE(CTerraPaneView::ListLocalDir(folders, files, root + "/absent", true), 0)
        << "a folder that cannot be read is a failure";

    for (const auto& [path, content] : {std::pair{"/base/top/a.txt", "a"},
                                        {"/base/top/sub/b.txt", "bb"},
                                        {"/base/top/sub/deeper/c.txt", "ccc"}}) {
        Put(OnServer("share", path), content);
    }
    ASSERT_EQ(Open(share_, "/base/"), 200);
    std::vector<std::uint64_t> sizes;
    folders.clear();
    files.clear();
    ASSERT_EQ(view_->ListRemoteDir(folders, files, sizes, "top", "/base/", true), 200);
    EXPECT_EQ(folders, (std::vector<std::string>{"top/", "top/sub/", "top/sub/deeper/"}));
    EXPECT_EQ(files,
              (std::vector<std::string>{"top/a.txt", "top/sub/b.txt", "top/sub/deeper/c.txt"}));
    EXPECT_EQ(sizes, (std::vector<std::uint64_t>{1, 2, 3}));

    folders.clear();
    files.clear();
    sizes.clear();
    ASSERT_EQ(view_->ListRemoteDir(folders, files, sizes, "top/", "/base/", false), 200);
    EXPECT_EQ(folders, (std::vector<std::string>{"top/"}));
    EXPECT_EQ(files, (std::vector<std::string>{"top/a.txt"}));
    EXPECT_EQ(view_->ListRemoteDir(folders, files, sizes, "gone/", "/base/", true), 404);
}

// Names from a listing become local paths below a drop target: one that is not a single
// segment of a local path fails the whole tree with a record, and so does a tree that goes on
// and on.
TEST_F(FolderViewTest, FolderTreesRefuseNamesThatAreNoLocalFileNameAndEndlessTrees) {
    const std::vector<std::pair<const char*, std::string>> cases = {
        {"parent", "/evil/base/top/.."},
        {"parent folder", "/evil/base/top/../"},
        {"dot", "/evil/base/top/./"},
        {"empty segment", "/evil/base/top//x.txt"},
        {"deeper than a child", "/evil/base/top/sub/x.txt"},
        {"encoded slash", "/evil/base/top/a%2Fb.txt"},
        {"line feed", "/evil/base/top/a%0Ab.txt"},
        {"escape", "/evil/base/top/a%1B%5B2Jb.txt"},
    };
    std::vector<nbx::test::RawReply> replies;
    for (const auto& [name, href] : cases) {
        replies.push_back(
            {.bytes = HttpResponse(207, Multistatus({{"/evil/base/top/", true},
                                                     {"/evil/base/top/fine.txt", false},
                                                     {href, href.back() == '/'}}))});
    }
    nbx::test::RawHttpServer server(std::move(replies));
    ASSERT_TRUE(WaitFor([&] { return !App().IsNodeStatePassRunning(); }));
    CNbxNode* evil = AddNode({.node_type = NodeType::SharedFolder,
                              .nbx_proxy = server.BaseUrl(),
                              .node_name = "evil",
                              .login = "demo",
                              .password = "s3cret",
                              .title_name = "Evil"});
    frame_->SetCurrentNode(evil);
    for (const auto& [name, href] : cases) {
        SCOPED_TRACE(name);
        std::vector<std::string> folders, files;
        std::vector<std::uint64_t> sizes;
        EXPECT_EQ(view_->ListRemoteDir(folders, files, sizes, "top/", "/base/", true),
                  FsResult::kLocalFailure);
        EXPECT_NE(
            SessionLog().find("ERROR: CTerraPaneView::ListRemoteDir(): the server listed a name "
                              "that cannot be a local file name"),
            std::string::npos);
    }

    // A real tree deeper than the bound: walked down to it, then refused.
    std::string deep = "/base/deep/";
    for (int level = 0; level <= CTerraPaneView::kMaxRemoteTreeDepth + 1; ++level) {
        deep += "d/";
    }
    Put(OnServer("share", deep + "bottom.txt"), "b");
    ASSERT_EQ(Open(share_, "/base/"), 200);
    std::vector<std::string> folders, files;
    std::vector<std::uint64_t> sizes;
    EXPECT_EQ(view_->ListRemoteDir(folders, files, sizes, "deep/", "/base/", true),
              FsResult::kLocalFailure);
    EXPECT_EQ(folders.size(), static_cast<std::size_t>(CTerraPaneView::kMaxRemoteTreeDepth) + 1);
    EXPECT_TRUE(files.empty());
    EXPECT_NE(
        SessionLog().find("ERROR: CTerraPaneView::ListRemoteDir(): the folder tree is deeper than "
                          "64 levels"),
        std::string::npos);
}

}  // namespace
