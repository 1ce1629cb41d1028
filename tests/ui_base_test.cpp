// The window's base pieces: the list view, events across threads, message boxes, the modal
// dialog base with the About box, the clipboard and message helpers, and the progress dialog
// driven by a real communication manager against a real WebDAV server.
#include <gtest/gtest.h>

#include <QAbstractEventDispatcher>
#include <QApplication>
#include <QClipboard>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QMouseEvent>
#include <QProgressBar>
#include <QPushButton>
#include <QSemaphore>
#include <QThread>
#include <QTimer>
#include <QTreeView>
#include <atomic>
#include <climits>
#include <filesystem>
#include <fstream>
#include <memory>
#include <optional>
#include <thread>

#include "base/strings.h"
#include "comn/action_download.h"
#include "comn/actions.h"
#include "comn/comn_manager.h"
#include "platform/event.h"
#include "remotefs/fs_service.h"
#include "support/test_support.h"
#include "support/ui_test_support.h"
#include "support/webdav_server.h"
#include "ui/dlg_progress.h"
#include "widgets/dlg_modal.h"
#include "widgets/list_view.h"
#include "widgets/message_box.h"
#include "widgets/ui_events.h"
#include "widgets/ui_helpers.h"

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using nbx::test::Press;
using nbx::test::WaitFor;
using nbx::ui::CompareRule;

namespace {

// ---- List view ---------------------------------------------------------------------------

class RecordingList : public SListView {
public:
    RecordingList() {
        resize(600, 400);
        show();
    }
    std::vector<std::pair<int, int>> focusChanges;  // (new, old)
    std::vector<std::pair<int, std::optional<QString>>> endedEdits;
    std::vector<int> doubleClicked;
    std::vector<int> keys;
    std::vector<int> focusedWhenKeyArrived;
    bool keepEdit = true;
    std::optional<bool> allowEdit;

protected:
    void OnFocusedRowChanging(int newRow, int oldRow) override {
        // Told before the row becomes the focused one.
        EXPECT_EQ(FocusedRow(), oldRow);
        focusChanges.emplace_back(newRow, oldRow);
    }
    bool OnBeginLabelEdit(int row) override {
        return allowEdit.has_value() ? *allowEdit : SListView::OnBeginLabelEdit(row);
    }
    bool OnEndLabelEdit(int row, const std::optional<QString>& text) override {
        endedEdits.emplace_back(row, text);
        return keepEdit;
    }
    void OnRowDoubleClicked(int row, Qt::KeyboardModifiers) override {
        doubleClicked.push_back(row);
    }
    void OnKeyDown(QKeyEvent* event) override {
        keys.push_back(event->key());
        focusedWhenKeyArrived.push_back(CurrentItemView()->currentIndex().row());
    }
};

std::vector<QString> Column(const SListView& list, int column = 0) {
    std::vector<QString> texts;
    for (int row = 0; row < list.RowCount(); ++row) {
        texts.push_back(list.Text(row, column));
    }
    return texts;
}

void AddColumns(SListView& list, int count) {
    for (int c = 0; c < count; ++c) {
        list.InsertColumn(c, QString("C%1").arg(c), 100);
    }
}

// Each row's column c text is "<row text>:<c>" and its data its first insertion position.
void AddRows(SListView& list, const std::vector<QString>& texts, int column = 0) {
    for (const QString& text : texts) {
        const int row = list.InsertRow(-1, column == 0 ? text : QString("r%1").arg(list.RowCount()),
                                       list.RowCount() % 3, 100 + list.RowCount());
        if (column != 0) {
            list.SetText(row, column, text);
        }
        for (int c = 1; c < list.ColumnCount(); ++c) {
            if (c != column) {
                list.SetText(row, c, list.Text(row, 0) + ":" + QString::number(c));
            }
        }
    }
}

void Mouse(QWidget* target, QEvent::Type type, QPoint at) {
    QMouseEvent event(type, QPointF(at), target->mapToGlobal(QPointF(at)), Qt::LeftButton,
                      type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton,
                      Qt::NoModifier);
    QCoreApplication::sendEvent(target, &event);
}

void ClickRow(SListView& list, int row) {
    QWidget* viewport = list.CurrentItemView()->viewport();
    const QPoint at = viewport->mapFrom(&list, list.RowRect(row).center());
    Mouse(viewport, QEvent::MouseButtonPress, at);
    Mouse(viewport, QEvent::MouseButtonRelease, at);
}

void ClickHeader(SListView& list, int column) {
    auto* tree = qobject_cast<QTreeView*>(list.CurrentItemView());
    ASSERT_NE(tree, nullptr);
    QHeaderView* header = tree->header();
    const QPoint at(header->sectionViewportPosition(column) + 5, header->height() / 2);
    Mouse(header->viewport(), QEvent::MouseButtonPress, at);
    Mouse(header->viewport(), QEvent::MouseButtonRelease, at);
}

TEST(ListViewSort, EachRuleOrdersAscendingAndDescendingWithTheRowsKeptWhole) {
    struct Case {
        CompareRule rule;
        std::vector<QString> texts;
        std::vector<QString> ascending;
    };
    const std::vector<Case> cases = {
        {CompareRule::kText, {"beta", "Alpha", "gamma"}, {"Alpha", "beta", "gamma"}},
        {CompareRule::kSize, {"2 KB", "900 B", ""}, {"", "900 B", "2 KB"}},
        {CompareRule::kSize, {"1 KB", "1023 B", "10 KB"}, {"1023 B", "1 KB", "10 KB"}},
        {CompareRule::kDate,
         {"Mon, 07 Nov 1994 08:00:00 GMT", "yesterday", "Sun, 06 Nov 1994 08:49:37 GMT"},
         {"yesterday", "Sun, 06 Nov 1994 08:49:37 GMT", "Mon, 07 Nov 1994 08:00:00 GMT"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.texts.front().toStdString());
        RecordingList list;
        AddColumns(list, 3);
        AddRows(list, c.texts, 1);
        std::map<QString, std::pair<QString, std::intptr_t>> whole;
        for (int row = 0; row < list.RowCount(); ++row) {
            whole[list.Text(row, 1)] = {list.Text(row, 2), list.Data(row)};
        }

        ASSERT_TRUE(list.SortByColumn(-1, 1, c.rule));
        EXPECT_EQ(Column(list, 1), c.ascending);
        ASSERT_TRUE(list.SortByColumn(1, 1, c.rule));
        EXPECT_EQ(Column(list, 1), std::vector<QString>(c.ascending.rbegin(), c.ascending.rend()));
        EXPECT_FALSE(list.SortAscending());
        for (int row = 0; row < list.RowCount(); ++row) {
            EXPECT_EQ(list.Text(row, 2), whole[list.Text(row, 1)].first);
            EXPECT_EQ(list.Data(row), whole[list.Text(row, 1)].second);
        }
    }
}

TEST(ListViewSort, AnEmptyListRefusesButRemembersColumnAndDirection) {
    RecordingList list;
    AddColumns(list, 3);
    EXPECT_FALSE(list.SortByColumn(0, 2, CompareRule::kText));
    EXPECT_EQ(list.SortColumn(), 2);
    EXPECT_TRUE(list.SortAscending());
    EXPECT_FALSE(list.SortByColumn(0, 2, CompareRule::kText));
    EXPECT_FALSE(list.SortAscending());
    EXPECT_EQ(list.RowCount(), 0);
}

TEST(ListViewSort, HeaderClicksToggleTheSameColumnAndStartAnotherAscending) {
    RecordingList list;
    list.SetStyle(SListView::Style::kDetails);
    AddColumns(list, 2);
    AddRows(list, {"b", "c", "a"});
    const std::vector<QString> up = {"a", "b", "c"};
    const std::vector<QString> down = {"c", "b", "a"};

    ClickHeader(list, 0);
    EXPECT_EQ(Column(list), up);
    ClickHeader(list, 0);
    EXPECT_EQ(Column(list), down);
    ClickHeader(list, 0);
    EXPECT_EQ(Column(list), up);

    // Column 1 holds "a:1", "b:1", "c:1": a new column sorts ascending whatever came before.
    list.SortByColumn(1, 0, CompareRule::kText);
    ClickHeader(list, 1);
    EXPECT_EQ(list.SortColumn(), 1);
    EXPECT_TRUE(list.SortAscending());
    EXPECT_EQ(Column(list), up);
}

TEST(ListView, MoveRowToTopKeepsEveryColumnAndLeavesRowZeroAlone) {
    RecordingList list;
    AddColumns(list, 4);
    AddRows(list, {"first", "second", "last"});
    const std::vector<QString> before = Column(list, 3);

    list.MoveRowToTop(0, -1);
    EXPECT_EQ(Column(list, 3), before);

    const int image = list.Image(2);
    const std::intptr_t data = list.Data(2);
    list.MoveRowToTop(2, -1);
    ASSERT_EQ(list.RowCount(), 3);
    EXPECT_EQ(Column(list), (std::vector<QString>{"last", "first", "second"}));
    for (int c = 1; c < 4; ++c) {
        EXPECT_EQ(list.Text(0, c), "last:" + QString::number(c));
    }
    EXPECT_EQ(list.Image(0), image);
    EXPECT_EQ(list.Data(0), data);
}

TEST(ListViewGroups, RowsShowGroupedInIdOrderAndPositionsCountOnlyRows) {
    RecordingList list;
    list.SetStyle(SListView::Style::kDetails);
    AddColumns(list, 2);
    list.SetGroupsEnabled(true);
    list.InsertGroup(2, "Devices");
    list.InsertGroup(0, "Configuration");
    list.InsertGroup(1, "Cloud");
    const std::vector<std::pair<QString, int>> rows = {
        {"d1", 2}, {"a1", 0}, {"c1", 1}, {"d2", 2}, {"a2", 0}};
    for (const auto& [text, group] : rows) {
        list.InsertRow(-1, text, 0, 0, group);
    }
    EXPECT_EQ(Column(list), (std::vector<QString>{"a1", "a2", "c1", "d1", "d2"}));
    EXPECT_EQ(list.CurrentItemView()->model()->rowCount(), 5 + 3) << "one header per group";

    // A place inside another group still lands in the row's own group.
    EXPECT_EQ(list.InsertRow(0, "d0", 0, 0, 2), 3);
    EXPECT_EQ(list.FindRow("D0"), 3);

    ASSERT_TRUE(list.SortByColumn(1, 0, CompareRule::kText));
    EXPECT_EQ(Column(list), (std::vector<QString>{"a2", "a1", "c1", "d2", "d1", "d0"}));

    // Headers cannot be selected: selecting everything selects the rows.
    list.CurrentItemView()->selectAll();
    EXPECT_EQ(list.SelectedRows(), (std::vector<int>{0, 1, 2, 3, 4, 5}));

    // The last row of a group takes its header with it.
    list.DeleteRow(2);
    EXPECT_EQ(Column(list), (std::vector<QString>{"a2", "a1", "d2", "d1", "d0"}));
    EXPECT_EQ(list.CurrentItemView()->model()->rowCount(), 5 + 2);
    list.MoveRowToTop(3, 0);
    EXPECT_EQ(Column(list), (std::vector<QString>{"d1", "a2", "a1", "d2", "d0"}));

    list.SetGroupsEnabled(false);
    EXPECT_EQ(list.CurrentItemView()->model()->rowCount(), 5);
    EXPECT_EQ(list.RowCount(), 5);
}

TEST(ListViewGroups, RowsInsertedBeforeGroupingMoveUnderTheirHeaders) {
    RecordingList list;
    list.InsertRow(-1, "late", 0, 0, 1);
    list.InsertRow(-1, "early", 0, 0, 0);
    list.InsertRow(-1, "none", 0, 0, -1);
    list.InsertGroup(0, "Zero");
    list.SetGroupsEnabled(true);
    // Group 1 is not known yet: its row waits with the rows of no group, in front.
    EXPECT_EQ(Column(list), (std::vector<QString>{"late", "none", "early"}));
    list.InsertGroup(1, "One");
    EXPECT_EQ(Column(list), (std::vector<QString>{"none", "early", "late"}));
}

TEST(ListViewFocus, ClicksReportTheChangeBeforeAndTheFocusedRowAfter) {
    RecordingList list;
    list.SetStyle(SListView::Style::kDetails);
    AddColumns(list, 2);
    AddRows(list, {"a", "b", "c", "d"});
    EXPECT_EQ(list.FocusedRow(), -1);

    ClickRow(list, 1);
    ClickRow(list, 3);
    ClickRow(list, 3);
    EXPECT_EQ(list.focusChanges, (std::vector<std::pair<int, int>>{{1, -1}, {3, 1}}));
    EXPECT_EQ(list.FocusedRow(), 3);

    // The focused row follows its row through deletions and sorting.
    list.DeleteRow(0);
    EXPECT_EQ(list.FocusedRow(), 2);
    EXPECT_EQ(list.Text(list.FocusedRow()), "d");
    list.SortByColumn(1, 0, CompareRule::kText);
    EXPECT_EQ(list.Text(list.FocusedRow()), "d");

    list.DeleteAllRows();
    EXPECT_EQ(list.FocusedRow(), -1);
}

TEST(ListViewInput, DoubleClicksOnRowsOnlyAndKeysReachTheViewFirstThenGoOn) {
    RecordingList list;
    list.SetStyle(SListView::Style::kDetails);
    AddColumns(list, 2);
    AddRows(list, {"a", "b", "c"});
    QWidget* viewport = list.CurrentItemView()->viewport();

    const QPoint onRow = viewport->mapFrom(&list, list.RowRect(1).center());
    const QPoint below(onRow.x(), viewport->height() - 3);
    ASSERT_EQ(list.RowAt(viewport->mapTo(&list, below)), -1);
    for (const QPoint& at : {onRow, below}) {
        Mouse(viewport, QEvent::MouseButtonPress, at);
        Mouse(viewport, QEvent::MouseButtonRelease, at);
        Mouse(viewport, QEvent::MouseButtonDblClick, at);
        Mouse(viewport, QEvent::MouseButtonRelease, at);
    }
    EXPECT_EQ(list.doubleClicked, std::vector<int>{1});

    ClickRow(list, 0);
    Press(list.CurrentItemView(), Qt::Key_Down);
    EXPECT_EQ(list.keys, std::vector<int>{Qt::Key_Down});
    EXPECT_EQ(list.focusedWhenKeyArrived, std::vector<int>{0}) << "seen before the list moved";
    EXPECT_EQ(list.CurrentItemView()->currentIndex().row(), 1) << "and then handled as usual";
}

TEST(ListViewLabelEdit, EnterEndsWithTheTextAndTheAnswerDecidesWhetherItStays) {
    RecordingList list;
    AddRows(list, {"one", "two"});

    list.SetStyle(SListView::Style::kDetails);
    EXPECT_FALSE(list.BeginLabelEdit(1)) << "the default refuses in details style";
    list.SetStyle(SListView::Style::kIcons);

    ASSERT_TRUE(list.BeginLabelEdit(1));
    ASSERT_NE(list.LabelEditor(), nullptr);
    EXPECT_EQ(list.LabelEditor()->text(), "two");
    list.LabelEditor()->setText("renamed");
    Press(list.LabelEditor(), Qt::Key_Return);
    EXPECT_FALSE(list.IsLabelEditing());
    EXPECT_EQ(list.Text(1), "renamed");
    EXPECT_EQ(list.keys, std::vector<int>{Qt::Key_Return}) << "the view saw the key first";

    list.keepEdit = false;
    ASSERT_TRUE(list.BeginLabelEdit(0));
    list.LabelEditor()->setText("refused");
    Press(list.LabelEditor(), Qt::Key_Enter);
    EXPECT_EQ(list.Text(0), "one");

    ASSERT_EQ(list.endedEdits.size(), 2u);
    EXPECT_EQ(list.endedEdits[0], (std::pair<int, std::optional<QString>>{1, "renamed"}));
    EXPECT_EQ(list.endedEdits[1], (std::pair<int, std::optional<QString>>{0, "refused"}));
}

// A typed name was once thrown away when the user clicked elsewhere.
TEST(ListViewLabelEdit, EscapeCancelsAndFocusLossKeepsWhatWasTypedButAMenuDoesNotEndIt) {
    RecordingList list;
    list.allowEdit = true;
    list.SetStyle(SListView::Style::kDetails);
    AddColumns(list, 1);
    AddRows(list, {"one"});

    ASSERT_TRUE(list.BeginLabelEdit(0));
    list.LabelEditor()->setText("typed");
    Press(list.LabelEditor(), Qt::Key_Escape);
    EXPECT_FALSE(list.IsLabelEditing());

    ASSERT_TRUE(list.BeginLabelEdit(0));
    list.LabelEditor()->setText("typed");
    QFocusEvent menu(QEvent::FocusOut, Qt::PopupFocusReason);
    QCoreApplication::sendEvent(list.LabelEditor(), &menu);
    EXPECT_TRUE(list.IsLabelEditing());
    QFocusEvent away(QEvent::FocusOut, Qt::MouseFocusReason);
    QCoreApplication::sendEvent(list.LabelEditor(), &away);
    EXPECT_FALSE(list.IsLabelEditing());

    EXPECT_EQ(list.Text(0), "typed");
    ASSERT_EQ(list.endedEdits.size(), 2u);
    EXPECT_EQ(list.endedEdits[0], (std::pair<int, std::optional<QString>>{0, std::nullopt}));
    EXPECT_EQ(list.endedEdits[1], (std::pair<int, std::optional<QString>>{0, "typed"}));
}

TEST(ListView, RowsShowTheImageOfTheStylesListAndCutRowsDimmed) {
    auto filled = [](QSize size, Qt::GlobalColor color) {
        QPixmap pixmap(size);
        pixmap.fill(color);
        return pixmap;
    };
    ImageList small(QSize(16, 16));
    ImageList normal(QSize(48, 48));
    small.Add(filled(QSize(32, 32), Qt::red));  // fitted to the list's size
    normal.Add(filled(QSize(48, 48), Qt::blue));
    RecordingList list;
    list.SetImageLists(&small, &normal);
    list.InsertRow(-1, "picture", 0, 0);
    list.InsertRow(-1, "no picture", -1, 0);
    auto decoration = [&list](int row) {
        QAbstractItemModel* model = list.CurrentItemView()->model();
        return model->data(model->index(row, 0), Qt::DecorationRole).value<QPixmap>();
    };

    list.SetStyle(SListView::Style::kDetails);
    EXPECT_EQ(decoration(0).size(), QSize(16, 16));
    EXPECT_EQ(decoration(0).toImage().pixelColor(8, 8), QColor(Qt::red));
    list.SetStyle(SListView::Style::kIcons);
    EXPECT_EQ(decoration(0).size(), QSize(48, 48));
    EXPECT_TRUE(decoration(1).isNull());

    list.SetCutState(0, true);
    EXPECT_TRUE(list.CutState(0));
    EXPECT_NE(decoration(0).toImage().pixelColor(24, 24), QColor(Qt::blue));
    list.SetCutState(0, false);
    EXPECT_EQ(decoration(0).toImage().pixelColor(24, 24), QColor(Qt::blue));
}

// ---- Events ------------------------------------------------------------------------------

class Receiver : public QObject {
public:
    struct Seen {
        int message;
        std::string wparam;
        std::intptr_t lparam;
        QThread* thread;
    };
    std::vector<Seen> seen;

protected:
    bool event(QEvent* event) override {
        if (event->type() < QEvent::User) {
            return QObject::event(event);
        }
        auto* message = static_cast<nbx::ui::NbxEvent*>(event);
        const auto* text = std::any_cast<std::string>(&message->wparam);
        seen.push_back({message->Message(), text != nullptr ? *text : std::string(),
                        message->lparam, QThread::currentThread()});
        return message->Message() != nbx::ui::WM_VIEW_ESCAPE;  // the one it does not handle
    }
};

TEST(UiEvents, PostedMessagesArriveLaterWithTheirParametersAndNotAfterTheReceiverWent) {
    auto receiver = std::make_unique<Receiver>();
    nbx::ui::PostMessage(receiver.get(), nbx::ui::WM_VIEW_OPEN, std::string("path"), 7);
    EXPECT_TRUE(receiver->seen.empty());
    ASSERT_TRUE(WaitFor([&] { return !receiver->seen.empty(); }));
    EXPECT_EQ(receiver->seen[0].message, nbx::ui::WM_VIEW_OPEN);
    EXPECT_EQ(receiver->seen[0].wparam, "path");
    EXPECT_EQ(receiver->seen[0].lparam, 7);

    nbx::ui::PostMessage(receiver.get(), nbx::ui::WM_VIEW_OPEN);
    receiver.reset();
    QCoreApplication::sendPostedEvents();  // nothing may reach the dead receiver
    nbx::ui::PostMessage(nullptr, nbx::ui::WM_VIEW_OPEN);
}

TEST(UiEvents, SentFromAnotherThreadRunsOnTheReceiversThreadWhileTheSenderWaits) {
    Receiver receiver;
    std::atomic<int> results{0};
    std::atomic<bool> handledFirst{false};
    std::atomic<bool> done{false};
    std::thread sender([&] {
        const bool handled =
            nbx::ui::SendMessage(&receiver, nbx::ui::WM_NODE_STATE, std::string("title"), 2);
        // The handler ran before the call returned.
        handledFirst = handled && !receiver.seen.empty();
        const bool ignored = nbx::ui::SendMessage(&receiver, nbx::ui::WM_VIEW_ESCAPE);
        results = (handled ? 1 : 0) + (ignored ? 10 : 0);
        done = true;
    });
    ASSERT_TRUE(WaitFor([&] { return done.load(); }));
    sender.join();
    EXPECT_TRUE(handledFirst);
    EXPECT_EQ(results, 1) << "handled: true; not handled: false";
    ASSERT_EQ(receiver.seen.size(), 2u);
    EXPECT_EQ(receiver.seen[0].thread, QThread::currentThread());
    EXPECT_EQ(receiver.seen[0].wparam, "title");
    EXPECT_EQ(receiver.seen[0].lparam, 2);

    // On the receiver's own thread it is handled at once.
    EXPECT_TRUE(nbx::ui::SendMessage(&receiver, nbx::ui::WM_VIEW_OPEN));
    EXPECT_EQ(receiver.seen.size(), 3u);
    EXPECT_FALSE(nbx::ui::SendMessage(nullptr, nbx::ui::WM_VIEW_OPEN));
}

// A thread that never handles its events: it learns from its dispatcher that something was
// queued for it, and then destroys its receiver instead of handling it.
class ObservedDispatcher : public QAbstractEventDispatcher {
public:
    std::atomic<bool> armed{false};
    QSemaphore queued;
    bool processEvents(QEventLoop::ProcessEventsFlags) override { return false; }
    void registerSocketNotifier(QSocketNotifier*) override {}
    void unregisterSocketNotifier(QSocketNotifier*) override {}
    void registerTimer(int, qint64, Qt::TimerType, QObject*) override {}
    bool unregisterTimer(int) override { return true; }
    bool unregisterTimers(QObject*) override { return true; }
    QList<TimerInfo> registeredTimers(QObject*) const override { return {}; }
    int remainingTime(int) override { return -1; }
    void wakeUp() override {
        if (armed.exchange(false)) {
            queued.release();
        }
    }
    void interrupt() override {}
};

class DestroyingThread : public QThread {
public:
    DestroyingThread(ObservedDispatcher* dispatcher, QObject* victim)
        : dispatcher_(dispatcher), victim_(victim) {}

protected:
    void run() override {
        dispatcher_->queued.acquire();
        delete victim_;
    }

private:
    ObservedDispatcher* dispatcher_;
    QObject* victim_;
};

TEST(UiEvents, AReceiverDestroyedWhileTheSenderWaitsReleasesTheSender) {
    auto* dispatcher = new ObservedDispatcher;  // the thread owns it
    auto* receiver = new Receiver;
    DestroyingThread owner(dispatcher, receiver);
    owner.setEventDispatcher(dispatcher);
    receiver->moveToThread(&owner);
    owner.start();

    std::atomic<int> result{-1};
    std::thread sender([&] {
        dispatcher->armed = true;
        result = nbx::ui::SendMessage(receiver, nbx::ui::WM_NODE_STATE) ? 1 : 0;
    });
    sender.join();  // returns only because the receiver's destruction released it
    EXPECT_EQ(result, 0);
    owner.wait();
}

// ---- Message boxes -----------------------------------------------------------------------

TEST(MessageBox, TheHookAnswersWithTheTableTextOnTheUiThreadFromAnyThread) {
    nbx::test::MessageBoxRecorder recorder;
    recorder.QueueAnswer(nbx::ui::kIdNo);
    EXPECT_EQ(nbx::ui::ShowMessage(nullptr, 800, nbx::ui::MsgIcon::kQuestion,
                                   nbx::ui::MsgButtons::kYesNo),
              nbx::ui::kIdNo);
    ASSERT_EQ(recorder.Boxes().size(), 1u);
    EXPECT_EQ(recorder.Boxes()[0].text, nbx::strings::LoadString(800));
    EXPECT_EQ(recorder.Boxes()[0].icon, nbx::ui::MsgIcon::kQuestion);

    // From an engine thread: the hook (which is not thread-safe) runs on the ui thread.
    QThread* hookThread = nullptr;
    nbx::ui::SetMessageBoxHook([&](int, const std::string&, nbx::ui::MsgIcon, nbx::ui::MsgButtons) {
        hookThread = QThread::currentThread();
        return int(nbx::ui::kIdCancel);
    });
    std::atomic<int> answer{0};
    std::thread engine([&] {
        answer =
            nbx::ui::ShowMessageText(nullptr, 201, "formatted 42", nbx::ui::MsgIcon::kExclamation,
                                     nbx::ui::MsgButtons::kYesNoCancel);
    });
    ASSERT_TRUE(WaitFor([&] { return answer.load() != 0; }));
    engine.join();
    EXPECT_EQ(answer, nbx::ui::kIdCancel);
    EXPECT_EQ(hookThread, QThread::currentThread());
}

// Answers the next box that opens by the button with the text, or by Escape when empty.
void AnswerNextBox(const QString& button, QString* caption, QStringList* buttons) {
    auto* timer = new QTimer;
    QObject::connect(timer, &QTimer::timeout, [=] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (box == nullptr) {
            return;
        }
        timer->stop();
        timer->deleteLater();
        *caption = box->windowTitle();
        for (QAbstractButton* b : box->buttons()) {
            buttons->append(b->text());
        }
        if (button.isEmpty()) {
            Press(box, Qt::Key_Escape);
            return;
        }
        for (QAbstractButton* b : box->buttons()) {
            if (b->text() == button) {
                b->click();
            }
        }
    });
    timer->start(10);
}

TEST(MessageBox, RealBoxesCarryTheCaptionAndTranslatedButtonsAndMapTheAnswers) {
    struct Case {
        nbx::ui::MsgButtons buttons;
        QString press;  // empty: Escape
        int answer;
        QStringList shown;
    };
    const std::vector<Case> cases = {
        {nbx::ui::MsgButtons::kYesNoCancel, "No", nbx::ui::kIdNo, {"Yes", "No", "Cancel"}},
        {nbx::ui::MsgButtons::kYesNoCancel, "", nbx::ui::kIdCancel, {"Yes", "No", "Cancel"}},
        {nbx::ui::MsgButtons::kYesNo, "Yes", nbx::ui::kIdYes, {"Yes", "No"}},
        {nbx::ui::MsgButtons::kOk, "OK", nbx::ui::kIdOk, {"OK"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.press.toStdString());
        QString caption;
        QStringList buttons;
        AnswerNextBox(c.press, &caption, &buttons);
        EXPECT_EQ(nbx::ui::ShowMessageText(nullptr, 800, "question", nbx::ui::MsgIcon::kQuestion,
                                           c.buttons),
                  c.answer);
        EXPECT_EQ(caption, "NimbexShell");
        buttons.sort();
        QStringList expected = c.shown;
        expected.sort();
        EXPECT_EQ(buttons, expected);
    }
}

// ---- Modal dialogs -----------------------------------------------------------------------

TEST(ModalDialog, AboutShowsVersionCopyrightAndComments) {
    CDlgAbout about(nullptr);
    EXPECT_EQ(about.windowTitle(), "About NimbexShell");
    EXPECT_EQ(about.ProductLine(), "NimbexShell Version 0.1.0");
    EXPECT_EQ(about.CopyrightLine(), "Copyright (C) 2026 the NimbexShell developers");
    EXPECT_EQ(about.CommentsLine(),
              "Desktop file manager for the remote storage of the Nimbex service");
}

TEST(ModalDialog, EndModalMessagesEndNestedDialogsBelowAFrameWithTheirCode) {
    QWidget frame;
    frame.show();
    auto* outer = new CDlgModalNativeDialog(&frame);
    int innerResult = 0;
    QTimer::singleShot(0, outer, [&] {
        auto* inner = new CDlgAbout(outer);
        QTimer::singleShot(0, &frame, [&] { CDlgModalNativeDialog::EndAllBelow(&frame, 8); });
        innerResult = inner->DoModal();
    });
    EXPECT_EQ(outer->DoModal(), 8);
    EXPECT_EQ(innerResult, 8);

    // Posted before the dialog runs, it ends it as soon as its loop starts.
    CDlgAbout about(&frame);
    nbx::ui::PostMessage(&about, nbx::ui::WM_END_MODAL, {}, 2);
    EXPECT_EQ(about.DoModal(), 2);
}

// ---- Helpers -----------------------------------------------------------------------------

TEST(UiHelpers, CopyTextToClipboardFromAnyThreadAndPumpMessagesRunsChainedEvents) {
    EXPECT_TRUE(CopyTextToClipboard("first"));
    EXPECT_EQ(QGuiApplication::clipboard()->text(), "first");
    EXPECT_TRUE(CopyTextToClipboard(""));
    EXPECT_EQ(QGuiApplication::clipboard()->text(), "");
    std::atomic<int> copied{-1};
    std::thread other([&] { copied = CopyTextToClipboard("from a worker") ? 1 : 0; });
    ASSERT_TRUE(WaitFor([&] { return copied.load() != -1; }));
    other.join();
    EXPECT_EQ(copied, 1);
    EXPECT_EQ(QGuiApplication::clipboard()->text(), "from a worker");

    // A handler that posts again: both are done when PumpMessages returns.
    QObject target;
    int runs = 0;
    QMetaObject::invokeMethod(
        &target,
        [&] {
            ++runs;
            QMetaObject::invokeMethod(
                &target, [&] { ++runs; }, Qt::QueuedConnection);
        },
        Qt::QueuedConnection);
    PumpMessages();
    EXPECT_EQ(runs, 2);
}

// ---- Progress dialog ---------------------------------------------------------------------

class ProgressDialogTest : public nbx::test::TempHome {
protected:
    void SetUp() override {
        TempHome::SetUp();
        frame_ = std::make_unique<QWidget>();
        frame_->resize(800, 600);
        frame_->show();
        dialog_ = new CDlgProgress(frame_.get(), &manager_);
        manager_.SetFileSystemService(&fileSystem_);
        manager_.SetProgressDlg(dialog_);
        manager_.SetComnActionCallback(outcomesOwner_);
        manager_.SetAsyncOperationCallback(outcomesOwner_);
    }
    void TearDown() override {
        manager_.RequestTerminate();
        manager_.Stop();
        frame_.reset();
        TempHome::TearDown();
    }
    void StartServer() {
        server_ = std::make_unique<nbx::test::ApacheShare>(std::vector<std::string>{"one"});
        ASSERT_TRUE(server_->Started());
        node_ = std::make_unique<CNbxNode>(server_->SharedFolder("one", "one"));
        nbx::test::WriteFile(OnServer("/a.txt"), "first file");
        nbx::test::WriteFile(OnServer("/c.txt"), "third file");
        std::ofstream{OnServer("/big.bin")}.close();
        fs::resize_file(OnServer("/big.bin"), 1ull << 30);
    }
    std::string OnServer(const std::string& path) const { return server_->OnServer("one", path); }
    void RegisterDownload(const std::string& name) {
        manager_.RegisterAction(std::make_unique<CNbxComnActionDownload>(
            node_.get(), "/" + name, Root() + "/" + name, "\"" + name + "\""));
    }
    // The big download is under way, as the dialog shows it.
    bool BigDownloadRunning() {
        return WaitFor([&] {
            return dialog_->isVisible() && dialog_->FileNameText() == "\"big.bin\"" &&
                   dialog_->FileBar()->value() > 0;
        });
    }

    CNbxFileSystemService fileSystem_;
    CNbxComnManager manager_;
    const std::shared_ptr<nbx::test::CallbackRecorder> outcomesOwner_ =
        std::make_shared<nbx::test::CallbackRecorder>();
    nbx::test::CallbackRecorder& outcomes_ = *outcomesOwner_;
    std::unique_ptr<QWidget> frame_;
    CDlgProgress* dialog_ = nullptr;  // the frame's child
    std::unique_ptr<nbx::test::ApacheShare> server_;
    std::unique_ptr<CNbxNode> node_;
};

TEST_F(ProgressDialogTest, CancelDuringTheSecondOfThreeDownloadsDropsTheThirdAndHidesAtTheEnd) {
    StartServer();
    RegisterDownload("a.txt");
    RegisterDownload("big.bin");
    RegisterDownload("c.txt");
    ASSERT_TRUE(manager_.Start());
    ASSERT_TRUE(BigDownloadRunning());
    EXPECT_EQ(dialog_->CountText(), "2/3");
    EXPECT_EQ(dialog_->TotalBar()->value(), 2);
    EXPECT_EQ(dialog_->TotalBar()->maximum(), 3);

    dialog_->CancelButton()->click();
    EXPECT_TRUE(dialog_->isVisible()) << "Cancel leaves hiding to the manager";
    ASSERT_TRUE(WaitFor([&] { return outcomes_.finished == 1; }, 60s));
    ASSERT_TRUE(WaitFor([&] { return dialog_->isHidden(); }));
    EXPECT_FALSE(dialog_->IsProgressShown());
    EXPECT_EQ(outcomes_.success, 1);
    EXPECT_EQ(outcomes_.aborted, 1);
    EXPECT_TRUE(fs::exists(Root() + "/a.txt"));
    EXPECT_FALSE(fs::exists(Root() + "/c.txt"));
}

TEST_F(ProgressDialogTest, EscapeHidesAtOnceAndAbortsTheBatch) {
    StartServer();
    RegisterDownload("big.bin");
    RegisterDownload("c.txt");
    ASSERT_TRUE(manager_.Start());
    ASSERT_TRUE(BigDownloadRunning());

    Press(dialog_, Qt::Key_Escape);
    EXPECT_TRUE(dialog_->isHidden());
    EXPECT_FALSE(dialog_->IsProgressShown());
    ASSERT_TRUE(WaitFor([&] { return outcomes_.finished == 1; }, 60s));
    EXPECT_EQ(outcomes_.aborted, 1);
    EXPECT_FALSE(fs::exists(Root() + "/c.txt"));
}

TEST_F(ProgressDialogTest, ABatchWithoutProgressActionsShowsNotApplicableAndEmptyBars) {
    nbx::Event release(nbx::Event::Reset::Manual);
    dialog_->SetSpeedText("1 KB/s");
    dialog_->SetCountText("5/5");
    manager_.RegisterAction(std::make_unique<CNbxComnActionRefresh>([&] { release.Wait(); }));
    ASSERT_TRUE(manager_.Start());
    const bool shown = WaitFor([&] { return dialog_->isVisible(); });
    release.Set();
    ASSERT_TRUE(shown);
    EXPECT_EQ(dialog_->SpeedText(), "N/A");
    EXPECT_EQ(dialog_->CountText(), "N/A");
    for (QProgressBar* bar : {dialog_->FileBar(), dialog_->TotalBar()}) {
        EXPECT_EQ(bar->value(), 0);
        EXPECT_GT(bar->maximum(), bar->minimum()) << "empty, not the busy animation";
    }
    // Centred over its owner.
    EXPECT_LE(
        (dialog_->frameGeometry().center() - frame_->frameGeometry().center()).manhattanLength(),
        4);
    ASSERT_TRUE(WaitFor([&] { return outcomes_.finished == 1 && dialog_->isHidden(); }));
}

TEST_F(ProgressDialogTest, SettersFromAnotherThreadReturnAtOnceAndScaleLargeFiles) {
    const std::uint64_t size = 6ull << 30;  // beyond the bar's int range
    std::thread engine([&] {
        dialog_->SetFileName("\"huge.iso\"");
        dialog_->SetCountText("1/1");
        dialog_->SetTotalRange(1);
        dialog_->SetTotalPos(1);
        dialog_->SetFileRange(size);
        for (std::uint64_t pos = 0; pos <= size / 2; pos += size / 64) {
            dialog_->SetFilePos(pos);
        }
        dialog_->ShowProgress();
    });
    engine.join();  // nothing above waited for this thread
    EXPECT_TRUE(dialog_->IsProgressShown());
    ASSERT_TRUE(WaitFor([&] { return dialog_->isVisible(); }));
    QCoreApplication::sendPostedEvents();  // the setters' updates
    EXPECT_EQ(dialog_->FileNameText(), "\"huge.iso\"");
    EXPECT_LE(dialog_->FileBar()->maximum(), INT_MAX);
    EXPECT_GT(dialog_->FileBar()->maximum(), INT_MAX / 2);
    // ShowProgress came last and put the bars back to 0; the file bar scales the same way.
    EXPECT_EQ(dialog_->FileBar()->value(), 0);
    dialog_->SetFilePos(size / 2);
    EXPECT_EQ(dialog_->FileBar()->value(), dialog_->FileBar()->maximum() / 2);

    std::thread([&] { dialog_->HideProgress(); }).join();
    EXPECT_FALSE(dialog_->IsProgressShown());
    ASSERT_TRUE(WaitFor([&] { return dialog_->isHidden(); }));
}

}  // namespace
