// The opened-files window and the exit confirmation over a real monitor manager: the cells of
// each monitor state, the refresh and its selection, the window's timer, and the dialog's
// answers.
#include <gtest/gtest.h>
#include <unistd.h>

#include <QAbstractItemView>
#include <QApplication>
#include <QKeyEvent>
#include <QMimeDatabase>
#include <QMouseEvent>
#include <QPointer>
#include <QPushButton>
#include <QTimer>
#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "monitor/file_monitor.h"
#include "monitor/file_monitor_manager.h"
#include "platform/clock.h"
#include "support/test_support.h"
#include "support/ui_test_support.h"
#include "ui/file_monitor_view.h"
#include "widgets/ui_events.h"

using namespace std::chrono_literals;
using nbx::test::CallbackRecorder;
using nbx::test::ProcessEventsFor;
using nbx::test::WaitFor;

namespace {

CNbxNode Node(int deviceType, const std::string& nodeName) {
    return CNbxNode(NodeSettings{.node_type = NodeType::ServiceNode,
                                 .device_type = deviceType,
                                 .node_name = nodeName,
                                 .login = "me",
                                 .title_name = "Node " + nodeName});
}

Utils::LaunchedProcess StartedWithoutProcess() {
    Utils::LaunchedProcess process;
    process.started = true;
    return process;
}

// A monitor in the state the test gives it; the engine's polls keep that state. It counts how
// often its application is asked to come to the front.
class SetMonitor : public CNbxFileMonitor {
public:
    SetMonitor(const CNbxNode& node, const std::string& localPath, const std::string& remotePath,
               MonitorState state)
        : CNbxFileMonitor(node, localPath, remotePath, StartedWithoutProcess()) {
        Set(state);
    }
    void Set(MonitorState state) { ChangeState(GetState(), state); }
    MonitorState UpdateStatus() override { return GetState(); }
    bool ActivateApplication() override {
        ++activations;
        return true;
    }
    std::atomic<int> activations{0};
};

std::size_t ListSize(const CNbxFileMonitorManager& manager) {
    const std::size_t size = manager.LockMonitors().size();
    manager.UnlockMonitors();
    return size;
}

std::vector<QString> RowCells(const SListView& list, int row) {
    std::vector<QString> texts;
    for (int column = 0; column < list.ColumnCount(); ++column) {
        texts.push_back(list.Text(row, column));
    }
    return texts;
}

// Press, release and double-click on the row, as a user's double-click arrives.
void DoubleClickRow(SListView& list, int row) {
    QAbstractItemView* view = list.CurrentItemView();
    ASSERT_NE(view, nullptr);
    const QPoint at = view->viewport()->mapFrom(&list, list.RowRect(row).center());
    ASSERT_EQ(list.RowAt(list.RowRect(row).center()), row);
    const QPointF global = view->viewport()->mapToGlobal(QPointF(at));
    for (QEvent::Type type : {QEvent::MouseButtonPress, QEvent::MouseButtonRelease,
                              QEvent::MouseButtonDblClick, QEvent::MouseButtonRelease}) {
        const bool down = type != QEvent::MouseButtonRelease;
        QMouseEvent event(type, QPointF(at), global, Qt::LeftButton,
                          down ? Qt::LeftButton : Qt::NoButton, Qt::NoModifier);
        QApplication::sendEvent(view->viewport(), &event);
    }
}

class OpenedFilesTest : public nbx::test::TempHome {
protected:
    std::string LocalFile(const std::string& name) {
        const std::string path = Root() + "/" + name;
        nbx::test::WriteFile(path, "original\n");
        return path;
    }
    // Registers a monitor of the file "<Root>/<name>"; the manager owns it.
    SetMonitor* Add(const std::string& name, MonitorState state,
                    const CNbxNode& node = Node(DeviceKind::Workstation, "share"),
                    const std::string& remotePath = "/docs/file") {
        auto monitor = std::make_unique<SetMonitor>(node, LocalFile(name), remotePath, state);
        SetMonitor* added = monitor.get();
        manager_.RegisterMonitor(std::move(monitor));
        return added;
    }

    CNbxFileMonitorManager manager_;
};

// --- Cells -----------------------------------------------------------------------------------

TEST_F(OpenedFilesTest, EveryMonitorGetsARowWithTheCellsOfItsState) {
    struct Row {
        MonitorState state;
        const char* stateText;
        const char* modifiedText;
    };
    const Row rows[] = {
        {FMS_INVALID, "", ""},
        {FMS_OPENED, "Opened", "No"},
        {FMS_MODIFIED, "Opened", "Yes"},
        {FMS_CLOSED, "Closed", "No"},
        {FMS_CLOSED_MODIFIED, "Closed", "Yes"},
        {FMS_HANDLED, "", ""},
    };
    std::vector<SetMonitor*> monitors;
    for (const Row& row : rows) {
        monitors.push_back(Add("state " + std::to_string(row.state) + ".txt", row.state,
                               Node(DeviceKind::Disk, "disk"), "/docs/a.txt"));
    }
    CFileMonitorView view(&manager_, nullptr);
    ASSERT_EQ(view.ColumnCount(), 6);
    ASSERT_EQ(view.RowCount(), 6) << "whatever its state, a monitor is listed";
    for (int i = 0; i < 6; ++i) {
        SCOPED_TRACE(rows[i].state);
        const std::vector<QString> expected = {
            QString::fromStdString("state " + std::to_string(rows[i].state) + ".txt"),
            rows[i].stateText,
            rows[i].modifiedText,
            "@Disk",
            "disk",
            "/docs/"};
        EXPECT_EQ(RowCells(view, i), expected);
        EXPECT_EQ(static_cast<std::uint32_t>(view.Data(i)), monitors[i]->GetId());
    }
}

TEST_F(OpenedFilesTest, DeviceNodeAndRemoteFolderCells) {
    struct Row {
        int deviceType;
        const char* remotePath;
        const char* device;
        const char* folder;
    };
    const Row rows[] = {
        {DeviceKind::Workstation, "/docs/a.txt", "@Workstation", "/docs/"},
        {DeviceKind::Handset, "/a/b/c/d.txt", "@Handset", "/a/b/c/"},
        {DeviceKind::Disk, "/top.txt", "@Disk", "/"},
        {DeviceKind::Unknown, "no-slash.txt", "@Unknown", ""},
        {42, "/docs/", "@Unknown", "/docs/"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.remotePath);
        const SetMonitor monitor(Node(row.deviceType, "my node"), LocalFile("named x.odt"),
                                 row.remotePath, FMS_OPENED);
        const OpenedFileRow cells = DescribeMonitor(monitor);
        EXPECT_EQ(cells.fileName, "named x.odt");
        EXPECT_EQ(cells.device, row.device);
        EXPECT_EQ(cells.nodeName, "my node");
        EXPECT_EQ(cells.remoteFolder, row.folder);
    }
}

TEST_F(OpenedFilesTest, AFileTypeKeepsOneImage) {
    Add("a.txt", FMS_OPENED);
    Add("b.txt", FMS_OPENED);
    Add("c.png", FMS_OPENED);
    Add("no-extension", FMS_OPENED);
    CFileMonitorView view(&manager_, nullptr);
    const FileTypeImages& images = view.Images();
    ASSERT_EQ(view.RowCount(), 4);
    EXPECT_EQ(view.Image(0), view.Image(1)) << "two text files";
    const QMimeDatabase types;
    const bool pngIsOtherType = types.mimeTypeForFile("c.png", QMimeDatabase::MatchExtension) !=
                                types.mimeTypeForFile("a.txt", QMimeDatabase::MatchExtension);
    EXPECT_EQ(view.Image(2) != view.Image(0), pngIsOtherType);
    for (int row = 0; row < 4; ++row) {
        EXPECT_GE(view.Image(row), 0);
        EXPECT_LT(view.Image(row), images.Small().Count());
    }
    EXPECT_EQ(images.Large().Count(), images.Small().Count()) << "the two lists stay index-equal";

    const int count = images.Small().Count();
    const std::vector<int> before = {view.Image(0), view.Image(2), view.Image(3)};
    Add("d.txt", FMS_OPENED);
    view.RefreshOpenedFiles();
    view.RefreshOpenedFiles();
    EXPECT_EQ(images.Small().Count(), count) << "refreshes add no image for a known type";
    EXPECT_EQ((std::vector<int>{view.Image(0), view.Image(2), view.Image(3)}), before);
    EXPECT_EQ(view.Image(4), view.Image(0));
}

// --- Refresh -----------------------------------------------------------------------------------

TEST_F(OpenedFilesTest, TheSelectionStaysAtItsPositionWhenTheFirstMonitorIsPurged) {
    struct Row {
        const char* name;
        int selected;
        const char* selectedAfter;  // null: nothing selected
    };
    const Row rows[] = {
        {"the third: that position is gone", 2, nullptr},
        {"the second: now another file", 1, "c.txt"},
        {"the first: now the former second", 0, "b.txt"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        CNbxFileMonitorManager manager;
        manager.SetStatusCallback(std::make_shared<CallbackRecorder>());
        ASSERT_TRUE(manager.Start());
        std::vector<SetMonitor*> monitors;
        for (const char* name : {"a.txt", "b.txt", "c.txt"}) {
            auto monitor = std::make_unique<SetMonitor>(Node(DeviceKind::Workstation, "share"),
                                                        LocalFile(name),
                                                        "/docs/" + std::string(name), FMS_OPENED);
            monitors.push_back(monitor.get());
            manager.RegisterMonitor(std::move(monitor));
        }
        CFileMonitorView view(&manager, nullptr);
        ASSERT_EQ(view.RowCount(), 3);
        view.SetSelected(row.selected, true);
        view.RefreshOpenedFiles();
        ASSERT_EQ(view.SelectedRows(), std::vector<int>{row.selected}) << "kept by a refresh";

        monitors[0]->MarkHandled();
        ASSERT_TRUE(WaitFor([&] { return ListSize(manager) == 2; }, 30s));
        view.RefreshOpenedFiles();
        ASSERT_EQ(view.RowCount(), 2);
        if (row.selectedAfter == nullptr) {
            EXPECT_TRUE(view.SelectedRows().empty());
        } else {
            ASSERT_EQ(view.SelectedRows(), std::vector<int>{row.selected});
            EXPECT_EQ(view.Text(row.selected), row.selectedAfter);
        }
        EXPECT_TRUE(manager.Stop());
    }
}

// A real editor process and the engine: the window follows the file from opened to closed and
// to its purge.
TEST_F(OpenedFilesTest, TheWindowFollowsAnEditedFileUntilItIsPurged) {
    // The editor's run past the hand-off window is the clock's, moved on below.
    nbx::clock::TestClock clock;
    // The application's side without the explorer: closes stay unanswered until the test
    // marks them handled.
    auto reports = std::make_shared<CallbackRecorder>();
    manager_.SetStatusCallback(reports);
    ASSERT_TRUE(manager_.Start());
    nbx::test::Child editor = nbx::test::Spawn({"/bin/sleep", "600"});
    ::close(editor.in);
    ::close(editor.out);
    const std::string path = LocalFile("edited.txt");
    auto owned = std::make_unique<CNbxFileMonitor>(Node(DeviceKind::Workstation, "share"), path,
                                                   "/docs/edited.txt",
                                                   Utils::LaunchedProcess::ForChild(editor.pid));
    const std::uint32_t id = owned->GetId();
    manager_.RegisterMonitor(std::move(owned));
    const std::shared_ptr<CNbxFileMonitor> monitor = manager_.FindLiveMonitor(id);
    ASSERT_NE(monitor, nullptr);

    CFileMonitorFrame frame(&manager_);
    frame.show();
    CFileMonitorView& view = *frame.View();
    auto cells = [&] {
        return view.RowCount() == 1 ? std::vector<QString>{view.Text(0, 1), view.Text(0, 2)}
                                    : std::vector<QString>{};
    };
    ASSERT_EQ(cells(), (std::vector<QString>{"Opened", "No"}));

    if (FILE* out = std::fopen(path.c_str(), "a")) {
        std::fputs("changed\n", out);
        std::fclose(out);
    }
    EXPECT_TRUE(WaitFor([&] { return cells() == std::vector<QString>{"Opened", "Yes"}; }, 30s));
    // Once a poll has seen the editor run for a while, its end is the close. The second report
    // after the clock moved on comes from a poll that began after it.
    clock.Advance(CNbxFileMonitor::kHandOffWindow);
    const int polls = reports->polls;
    ASSERT_TRUE(WaitFor([&] { return reports->polls >= polls + 2; }, 30s));
    ::kill(editor.pid, SIGKILL);
    EXPECT_TRUE(WaitFor(
        [&] {
            return cells() == std::vector<QString>{"Closed", "Yes"};
        },
        30s))
        << "shown until the upload question is answered";

    monitor->MarkHandled();
    EXPECT_TRUE(WaitFor([&] { return view.RowCount() == 0; }, 30s))
        << "the row goes with the engine's purge";
    EXPECT_TRUE(manager_.Stop());
}

// --- The window ---------------------------------------------------------------------------------

TEST_F(OpenedFilesTest, TheWindowRefreshesOnlyWhileShownAndItsCloseBoxHidesIt) {
    CFileMonitorFrame frame(&manager_);
    EXPECT_EQ(frame.size(), QSize(790, 280));
    EXPECT_EQ(frame.minimumSize(), QSize(790, 280));
    CFileMonitorView& view = *frame.View();
    // Refreshes come every few milliseconds while shown; ten of their rounds show the absence.
    nbx::clock::TestClock clock;
    clock.CapWaits(10ms);

    Add("a.txt", FMS_OPENED);
    ProcessEventsFor(100ms);
    EXPECT_FALSE(frame.RefreshTimerActive());
    EXPECT_EQ(view.RowCount(), 0) << "not refreshed while never shown";

    frame.show();
    EXPECT_TRUE(frame.RefreshTimerActive());
    EXPECT_TRUE(WaitFor([&] { return view.RowCount() == 1; }));
    frame.resize(900, 400);
    frame.resize(100, 100);
    EXPECT_EQ(frame.size(), QSize(790, 280)) << "not smaller than its smallest size";
    frame.resize(900, 400);
    const QSize size = frame.size();

    frame.close();
    EXPECT_TRUE(frame.isHidden()) << "the close box hides the window";
    EXPECT_FALSE(frame.RefreshTimerActive());
    Add("b.txt", FMS_OPENED);
    ProcessEventsFor(100ms);
    EXPECT_EQ(view.RowCount(), 1) << "not refreshed while hidden";

    frame.show();
    EXPECT_EQ(frame.size(), size) << "shown again at its last size";
    EXPECT_TRUE(WaitFor([&] { return view.RowCount() == 2; }));
}

TEST_F(OpenedFilesTest, ADoubleClickBringsUpTheApplicationOfItsOwnLiveMonitorOnly) {
    // Monitors made in the same millisecond share their id; a few tries give such a trio.
    const CNbxNode node = Node(DeviceKind::Workstation, "share");
    const std::string paths[] = {LocalFile("closed.txt"), LocalFile("first.txt"),
                                 LocalFile("second.txt")};
    std::vector<std::unique_ptr<SetMonitor>> made;
    auto sameId = [&] {
        return made.size() == 3 && made[0]->GetId() == made[1]->GetId() &&
               made[1]->GetId() == made[2]->GetId();
    };
    for (int i = 0; i < 1000 && !sameId(); ++i) {
        made.clear();
        for (const std::string& path : paths) {
            made.push_back(std::make_unique<SetMonitor>(node, path, "/docs/x", FMS_OPENED));
        }
    }
    ASSERT_TRUE(sameId());
    std::vector<SetMonitor*> monitors;
    for (auto& monitor : made) {
        monitors.push_back(monitor.get());
        manager_.RegisterMonitor(std::move(monitor));
    }
    monitors[0]->Set(FMS_CLOSED_MODIFIED);
    CFileMonitorView view(&manager_, nullptr);
    view.resize(800, 300);
    view.show();
    ASSERT_EQ(view.RowCount(), 3);

    DoubleClickRow(view, 0);
    DoubleClickRow(view, 2);
    EXPECT_EQ(monitors[0]->activations, 0) << "a final monitor cannot be brought up";
    EXPECT_EQ(monitors[1]->activations, 0) << "nor another file that shares its id";
    EXPECT_EQ(monitors[2]->activations, 1);
    DoubleClickRow(view, 1);
    EXPECT_EQ(monitors[1]->activations, 1);

    // Rows whose monitors are gone since the last refresh.
    const CNbxFileMonitorManager::Monitors kept = manager_.LockMonitors();
    manager_.UnlockMonitors();
    manager_.ClearMonitors();
    DoubleClickRow(view, 1);
    DoubleClickRow(view, 2);
    EXPECT_EQ(monitors[1]->activations, 1);
    EXPECT_EQ(monitors[2]->activations, 1);
}

// --- The exit confirmation ------------------------------------------------------------------

TEST_F(OpenedFilesTest, TheExitDialogListsNameDeviceAndModifiedWithoutSelection) {
    Add("report.odt", FMS_MODIFIED, Node(DeviceKind::Disk, "disk"));
    Add("notes.txt", FMS_CLOSED, Node(DeviceKind::Tablet, "pad"));
    CDlgConfirmExit dialog(&manager_, nullptr);
    const SListView& list = *dialog.List();
    ASSERT_EQ(list.ColumnCount(), 3);
    ASSERT_EQ(list.RowCount(), 2);
    EXPECT_EQ(RowCells(list, 0), (std::vector<QString>{"report.odt", "@Disk", "Yes"}));
    EXPECT_EQ(RowCells(list, 1), (std::vector<QString>{"notes.txt", "@Tablet", "No"}));
    EXPECT_TRUE(list.SelectedRows().empty());
    EXPECT_EQ(dialog.windowTitle(), "NimbexShell");
    EXPECT_TRUE(dialog.YesButton()->isDefault());
}

TEST_F(OpenedFilesTest, TheExitDialogsResults) {
    struct Row {
        const char* name;
        std::function<void(CDlgConfirmExit&)> act;
        int result;
    };
    const Row rows[] = {
        {"Yes", [](CDlgConfirmExit& d) { d.YesButton()->click(); }, 1},
        {"No", [](CDlgConfirmExit& d) { d.NoButton()->click(); }, 2},
        {"closed", [](CDlgConfirmExit& d) { d.close(); }, 2},
        {"Escape",
         [](CDlgConfirmExit& d) {
             QKeyEvent press(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
             QApplication::sendEvent(&d, &press);
         },
         2},
        {"WM_END_MODAL 8",
         [](CDlgConfirmExit& d) { nbx::ui::PostMessage(&d, nbx::ui::WM_END_MODAL, {}, 8); }, 8},
    };
    Add("open.txt", FMS_OPENED);
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        CDlgConfirmExit dialog(&manager_, nullptr);
        QTimer::singleShot(0, &dialog, [&] { row.act(dialog); });
        QTimer::singleShot(30s, &dialog, [&] { dialog.done(-99); });  // a hang fails, not stalls
        EXPECT_EQ(dialog.DoModal(), row.result);
    }
}

TEST_F(OpenedFilesTest, ADoubleClickInTheExitDialogKeepsItOpen) {
    SetMonitor* live = Add("live.txt", FMS_OPENED);
    SetMonitor* closed = Add("closed.txt", FMS_CLOSED);
    CDlgConfirmExit dialog(&manager_, nullptr);
    bool openAfterDoubleClicks = false;
    QTimer::singleShot(0, &dialog, [&] {
        Add("late.txt", FMS_OPENED);
        DoubleClickRow(*dialog.List(), 0);
        DoubleClickRow(*dialog.List(), 1);
        ProcessEventsFor(100ms);
        openAfterDoubleClicks = dialog.isVisible();
        EXPECT_EQ(dialog.List()->RowCount(), 2) << "filled once";
        dialog.NoButton()->click();
    });
    QTimer::singleShot(30s, &dialog, [&] { dialog.done(-99); });
    EXPECT_EQ(dialog.DoModal(), 2);
    EXPECT_TRUE(openAfterDoubleClicks);
    EXPECT_EQ(live->activations, 1);
    EXPECT_EQ(closed->activations, 0);
}

}  // namespace
