// The explorer window's columns moved by their headers, and what the window keeps between
// sessions in its settings file.

#include <gtest/gtest.h>

#include <QApplication>
#include <QHeaderView>
#include <QMouseEvent>
#include <QTreeView>
#include <filesystem>
#include <string>
#include <vector>

#include "shell/terrapane_app.h"
#include "support/explorer_fixture.h"
#include "support/ui_test_support.h"
#include "support/webdav_server.h"
#include "ui/main_frame.h"
#include "ui/terrapane_view.h"
#include "ui/window_settings.h"
#include "widgets/list_view.h"
#include "widgets/ui_events.h"

namespace {

using nbx::test::WaitFor;
using nbx::ui::WindowSettings;

// The header of the details style, shown or not.
QHeaderView* HeaderOf(SListView& list) {
    auto* tree = list.findChild<QTreeView*>();
    return tree != nullptr ? tree->header() : nullptr;
}

// A click as the user makes it, in the middle of the column's header wherever it is shown.
void ClickHeader(SListView& list, int column) {
    QHeaderView* header = HeaderOf(list);
    ASSERT_NE(header, nullptr);
    const QPoint at(header->sectionViewportPosition(column) + header->sectionSize(column) / 2,
                    header->height() / 2);
    const QPoint global = header->viewport()->mapToGlobal(at);
    QMouseEvent press(QEvent::MouseButtonPress, at, global, Qt::LeftButton, Qt::LeftButton,
                      Qt::NoModifier);
    QApplication::sendEvent(header->viewport(), &press);
    QMouseEvent release(QEvent::MouseButtonRelease, at, global, Qt::LeftButton, Qt::NoButton,
                        Qt::NoModifier);
    QApplication::sendEvent(header->viewport(), &release);
}

std::vector<std::string> Column(const SListView& list, int column) {
    std::vector<std::string> texts;
    for (int row = 0; row < list.RowCount(); ++row) {
        texts.push_back(list.Text(row, column).toStdString());
    }
    return texts;
}

// ---- Columns moved by their headers ----------------------------------------------------------

TEST(MovedColumns, KeepTheirNumbersForSortingWidthsAndTexts) {
    SListView list;
    list.SetStyle(SListView::Style::kDetails);
    list.InsertColumn(0, "Name", 150);
    list.InsertColumn(1, "Size", 80, Qt::AlignRight);
    list.InsertColumn(2, "Type", 110);
    list.InsertColumn(3, "Date", 90);
    list.SetGroupsEnabled(true);
    list.InsertGroup(1, "Files");
    const std::vector<std::vector<QString>> rows = {
        {"beta", "2 B", "zeta"}, {"alpha", "3 B", "eta"}, {"gamma", "1 B", "theta"}};
    for (const auto& texts : rows) {
        const int row = list.InsertRow(-1, texts[0], -1, 0, 1);
        list.SetText(row, 1, texts[1]);
        list.SetText(row, 2, texts[2]);
    }
    list.resize(600, 300);
    list.show();
    QHeaderView* header = HeaderOf(list);
    ASSERT_NE(header, nullptr);
    EXPECT_TRUE(header->sectionsMovable());
    EXPECT_TRUE(header->isFirstSectionMovable());

    // Type to the front, Name to the end: the header shows them moved, the columns keep their
    // numbers and widths.
    header->moveSection(header->visualIndex(2), 0);
    header->moveSection(header->visualIndex(0), 3);
    EXPECT_EQ(list.VisualColumnOrder(), (std::vector<int>{2, 1, 3, 0}));
    EXPECT_EQ(list.ColumnWidths(), (std::vector<int>{150, 80, 110, 90}));
    EXPECT_EQ(list.Text(0, 2), "zeta");

    ClickHeader(list, 2);
    EXPECT_EQ(list.SortColumn(), 2);
    EXPECT_TRUE(list.SortAscending());
    EXPECT_EQ(Column(list, 0), (std::vector<std::string>{"alpha", "gamma", "beta"}));
    EXPECT_EQ(header->sortIndicatorSection(), 2);
    EXPECT_EQ(header->sortIndicatorOrder(), Qt::AscendingOrder);

    ClickHeader(list, 0);
    ClickHeader(list, 0);
    EXPECT_EQ(list.SortColumn(), 0);
    EXPECT_FALSE(list.SortAscending());
    EXPECT_EQ(Column(list, 0), (std::vector<std::string>{"gamma", "beta", "alpha"}));
    EXPECT_EQ(Column(list, 2), (std::vector<std::string>{"theta", "zeta", "eta"}));
    EXPECT_EQ(header->sortIndicatorSection(), 0);

    // The group header's text is drawn from the column shown first.
    QAbstractItemModel* model = list.CurrentItemView()->model();
    EXPECT_EQ(model->index(0, 2).data().toString(), "Files");

    // Widths are set and read by column number; the next set of columns starts in order.
    header->resizeSection(2, 200);
    EXPECT_EQ(list.ColumnWidths()[2], 200);
    list.SetColumnWidths({0, 95});
    EXPECT_EQ(list.ColumnWidths(), (std::vector<int>{150, 95, 200, 90}));
    list.DeleteAllColumns();
    list.InsertColumn(0, "Name", 250);
    list.InsertColumn(1, "Status", 100);
    list.InsertColumn(2, "Device", 120);
    EXPECT_EQ(list.VisualColumnOrder(), (std::vector<int>{0, 1, 2}));
}

class WindowTest : public nbx::test::ExplorerTest {
protected:
    static NodeSettings Node(const std::string& title) {
        return {.node_type = NodeType::SharedFolder,
                .device_type = DeviceKind::Unknown,
                .nbx_proxy = "http://127.0.0.1:" + std::to_string(ClosedPort()),
                .node_name = "dev-" + title,
                .login = "user@" + title,
                .password = "pw",
                .title_name = title};
    }
    std::string SettingsFile() const { return Root() + "/config/nimbexshell/window.ini"; }
    // Every window closed as the user closes it, and the program ended; then a new start.
    void CloseAndRestart() {
        for (CMainFrame* frame : std::vector<CMainFrame*>(App().TopFrames())) {
            frame->close();
        }
        ASSERT_TRUE(WaitFor([this] { return App().TopFrameCount() == 0; }));
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        App().ExitInstance();
        StartApp();
    }
};

TEST_F(WindowTest, TheNodeListsColumnsMoveAndSortByTheClickedColumn) {
    SeedNodes({Node("Bravo"), Node("Alpha"), Node("Charlie")});
    StartApp();
    CTerraPaneView& view = *View();
    Frame()->Action(nbx::ui::ID_VIEW_DETAILS)->trigger();
    QHeaderView* header = HeaderOf(view);
    ASSERT_NE(header, nullptr);
    ASSERT_TRUE(header->sectionsMovable());
    // User Name to the front.
    header->moveSection(header->visualIndex(4), 0);
    EXPECT_EQ(view.VisualColumnOrder(), (std::vector<int>{4, 0, 1, 2, 3}));

    ClickHeader(view, 0);  // the node list starts sorted by name ascending
    EXPECT_EQ(view.SortColumn(), 0);
    EXPECT_FALSE(view.SortAscending());
    const std::vector<std::string> names = Column(view, 0);
    EXPECT_EQ(std::vector<std::string>(names.end() - 3, names.end()),
              (std::vector<std::string>{"Charlie", "Bravo", "Alpha"}));

    ClickHeader(view, 4);
    EXPECT_EQ(view.SortColumn(), 4);
    EXPECT_TRUE(view.SortAscending());
    const std::vector<std::string> logins = Column(view, 4);
    EXPECT_EQ(std::vector<std::string>(logins.end() - 3, logins.end()),
              (std::vector<std::string>{"user@Alpha", "user@Bravo", "user@Charlie"}));
}

TEST_F(WindowTest, PlaceSizeColumnWidthsAndNodeListStyleComeBackAtTheNextStart) {
    SeedNodes({Node("Alpha")});
    StartApp();
    EXPECT_EQ(Frame()->size(), QSize(CMainFrame::kWidth, CMainFrame::kHeight));
    Frame()->resize(900, 610);
    Frame()->move(40, 50);
    Frame()->Action(nbx::ui::ID_VIEW_DETAILS)->trigger();
    ASSERT_EQ(View()->NodeViewStyle(), CTerraPaneView::kDetails);
    HeaderOf(*View())->resizeSection(0, 310);
    HeaderOf(*View())->resizeSection(3, 77);

    CloseAndRestart();
    EXPECT_EQ(Frame()->size(), QSize(900, 610));
    EXPECT_EQ(Frame()->pos(), QPoint(40, 50));
    EXPECT_EQ(View()->NodeViewStyle(), CTerraPaneView::kDetails);
    EXPECT_EQ(View()->ViewStyle(), CTerraPaneView::kDetails);
    EXPECT_EQ(View()->ColumnWidths(), (std::vector<int>{310, 100, 120, 77, 120}));
    const WindowSettings stored = nbx::ui::LoadWindowSettings();
    EXPECT_EQ(stored.size, std::make_pair(900, 610));
    EXPECT_EQ(stored.nodeColumnWidths, (std::vector<int>{310, 100, 120, 77, 120}));

    // A new window copies the active one's node-list style, but starts at the default size.
    App().OnFileNewFrame();
    CMainFrame* second = App().MainWindow();
    ASSERT_NE(second, Frame());
    EXPECT_EQ(second->View()->NodeViewStyle(), CTerraPaneView::kDetails);
    EXPECT_EQ(second->size(), QSize(CMainFrame::kWidth, CMainFrame::kHeight));
}

TEST_F(WindowTest, TheNodeListAndTheFolderViewKeepColumnWidthsOfTheirOwn) {
    nbx::test::WebDavServer server(nbx::test::WebDavServer::Kind::kApache, {"share"},
                                   {{"demo", "s3"}});
    ASSERT_TRUE(server.Started());
    SeedNodes({{.node_type = NodeType::SharedFolder,
                .nbx_proxy = server.BaseUrl(),
                .node_name = "share",
                .login = "demo",
                .password = "s3",
                .title_name = "Share"}});
    StartApp();
    HeaderOf(*View())->resizeSection(1, 140);
    ASSERT_TRUE(View()->OpenNode("Share", "/"));
    ASSERT_EQ(Frame()->GetViewMode(), CMainFrame::kModeFolder);
    EXPECT_EQ(View()->ColumnWidths(), (std::vector<int>{250, 100, 120, 120}));
    HeaderOf(*View())->resizeSection(2, 99);
    Frame()->ShowNodeView();
    EXPECT_EQ(View()->ColumnWidths(), (std::vector<int>{250, 140, 120, 120, 120}));

    CloseAndRestart();
    const WindowSettings stored = nbx::ui::LoadWindowSettings();
    EXPECT_EQ(stored.nodeColumnWidths, (std::vector<int>{250, 140, 120, 120, 120}));
    EXPECT_EQ(stored.folderColumnWidths, (std::vector<int>{250, 100, 99, 120}));
    EXPECT_EQ(View()->ColumnWidths(), (std::vector<int>{250, 140, 120, 120, 120}));
    ASSERT_TRUE(View()->OpenNode("Share", "/"));
    EXPECT_EQ(View()->ColumnWidths(), (std::vector<int>{250, 100, 99, 120}));
}

TEST_F(WindowTest, AFrameThatNeverShowedAModeKeepsThatModesStoredWidths) {
    WindowSettings stored;
    stored.folderColumnWidths = {300, 60, 140, 150};
    std::filesystem::create_directories(Root() + "/config/nimbexshell");
    nbx::test::WriteFile(SettingsFile(), nbx::ui::FormatWindowSettings(stored));
    StartApp();
    CloseAndRestart();
    EXPECT_EQ(nbx::ui::LoadWindowSettings().folderColumnWidths,
              (std::vector<int>{300, 60, 140, 150}));
    EXPECT_EQ(nbx::ui::LoadWindowSettings().nodeColumnWidths,
              (std::vector<int>{250, 100, 120, 120, 120}));
}

TEST_F(WindowTest, BadOrMissingValuesGiveTheDefaults) {
    struct Case {
        const char* what;
        std::string text;
    };
    static constexpr char kGarbage[] = "\x7f\x45LF\0\x01\xff\xfe garbage ]]]=";
    const std::vector<Case> cases = {
        {"not an INI file", std::string(kGarbage, sizeof kGarbage - 1)},
        {"numbers out of range",
         "[Window]\nLeft=10\nTop=10\nWidth=100\nHeight=90000\n"
         "[NodeList]\nViewStyle=7\nColumnWidths=-5,0,99999,x\n"},
        {"not numbers", "[Window]\nWidth=wide\nHeight=12px\n[NodeList]\nViewStyle=Details\n"},
        {"a place off every screen", "[Window]\nLeft=20000\nTop=-20000\nWidth=500\nHeight=400\n"},
    };
    bool started = false;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        if (started) {
            // The window that goes saves its settings; the next case writes its own over them.
            for (CMainFrame* frame : std::vector<CMainFrame*>(App().TopFrames())) {
                frame->close();
            }
            ASSERT_TRUE(WaitFor([this] { return App().TopFrameCount() == 0; }));
            QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
            App().ExitInstance();
        }
        std::filesystem::create_directories(Root() + "/config/nimbexshell");
        nbx::test::WriteFile(SettingsFile(), c.text);
        StartApp();
        started = true;
        const QSize expected = c.text.find("Left=20000") != std::string::npos
                                   ? QSize(500, 400)
                                   : QSize(CMainFrame::kWidth, CMainFrame::kHeight);
        EXPECT_EQ(Frame()->size(), expected);
        EXPECT_NE(Frame()->pos(), QPoint(20000, -20000));
        EXPECT_EQ(Frame()->minimumSize(), QSize(CMainFrame::kMinSize, CMainFrame::kMinSize));
        EXPECT_EQ(View()->NodeViewStyle(), CTerraPaneView::kIcons);
        EXPECT_EQ(View()->ColumnWidths(), (std::vector<int>{250, 100, 120, 120, 120}));
    }
}

TEST(WindowSettingsFile, ReadsWhatItWritesAndDropsWhatCannotBeMeant) {
    WindowSettings settings;
    settings.position = std::make_pair(-8, 24);
    settings.size = std::make_pair(1024, 700);
    settings.maximized = true;
    settings.nodeViewStyle = CTerraPaneView::kLargeIcons;
    settings.nodeColumnWidths = {250, 0, 120};
    settings.folderColumnWidths = {300, 80, 120, 140};
    EXPECT_EQ(nbx::ui::ParseWindowSettings(nbx::ui::FormatWindowSettings(settings)), settings);

    const WindowSettings parsed = nbx::ui::ParseWindowSettings(
        "[window]\nleft = 5 ; comment\nTOP=7\nWidth=355\nHeight=500\nMaximized=yes\n"
        "[NodeList]\nViewStyle=3\nColumnWidths= 200 , 9000,, 40\n");
    EXPECT_EQ(parsed.position, std::make_pair(5, 7));
    EXPECT_FALSE(parsed.size.has_value());  // below the window's minimum
    EXPECT_FALSE(parsed.maximized);
    EXPECT_EQ(parsed.nodeViewStyle, 3);
    EXPECT_EQ(parsed.nodeColumnWidths, (std::vector<int>{200, 0, 0, 40}));
    EXPECT_TRUE(parsed.folderColumnWidths.empty());

    // Only what the newer settings hold replaces the older ones.
    WindowSettings newer;
    newer.nodeColumnWidths = {10, 20};
    const WindowSettings merged = nbx::ui::MergeWindowSettings(settings, newer);
    EXPECT_EQ(merged.nodeColumnWidths, (std::vector<int>{10, 20}));
    EXPECT_EQ(merged.folderColumnWidths, settings.folderColumnWidths);
    EXPECT_EQ(merged.size, settings.size);
}

}  // namespace
