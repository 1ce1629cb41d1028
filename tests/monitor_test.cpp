#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <memory>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "monitor/file_monitor.h"
#include "monitor/file_monitor_manager.h"
#include "platform/event.h"
#include "platform/file_use.h"
#include "platform/launch.h"
#include "support/fake_desktop.h"
#include "support/test_support.h"

using namespace std::chrono_literals;
using nbx::test::Exists;
using nbx::test::FakeDesktop;
using nbx::test::ReadFile;
using nbx::test::Touch;
using nbx::test::WaitUntil;
namespace editors = nbx::test::editors;

namespace {

::testing::Environment* const g_desktop = ::testing::AddGlobalTestEnvironment(new FakeDesktop);

CNbxNode Folder(const std::string& nodeName, const std::string& login = "me") {
    return CNbxNode(NodeSettings{.node_type = NodeType::SharedFolder,
                                 .device_type = DeviceKind::Workstation,
                                 .node_name = nodeName,
                                 .login = login,
                                 .title_name = "Folder " + nodeName});
}

CNbxNode Disk(const std::string& login, const std::string& nodeName = "disk") {
    return CNbxNode(NodeSettings{.node_type = NodeType::ServiceNode,
                                 .device_type = DeviceKind::Disk,
                                 .node_name = nodeName,
                                 .login = login,
                                 .title_name = "Disk " + login});
}

// Started without a process of ours, as an application activated over D-Bus is.
Utils::LaunchedProcess StartedWithoutProcess() {
    Utils::LaunchedProcess process;
    process.started = true;
    return process;
}

// A child that runs until the test ends it; the monitor that gets it reaps it.
pid_t StartSleeper() {
    nbx::test::Child child = nbx::test::Spawn({"/bin/sleep", "600"});
    ::close(child.in);
    ::close(child.out);
    return child.pid;
}

// Gone, or a zombie that only waits to be reaped.
bool ProcessEnded(pid_t pid) {
    const std::string stat = ReadFile("/proc/" + std::to_string(pid) + "/stat");
    const std::size_t end = stat.rfind(')');
    return end == std::string::npos || stat.compare(end, 3, ") Z") == 0;
}

void Append(const std::string& path, const std::string& text) {
    if (FILE* out = std::fopen(path.c_str(), "a")) {
        std::fputs(text.c_str(), out);
        std::fclose(out);
    }
}

// The application's side: records what the engine reports and, unless told otherwise, marks a
// close handled as the explorer view does once it has dealt with it.
class Recorder : public IMonitorManagerFileStatusCallback {
public:
    // With `keep`, every monitor reported is kept alive for Find.
    explicit Recorder(bool handleCloses = true, bool keep = false)
        : handleCloses_(handleCloses), keep_(keep) {}

    void OnMonitorInvalid(const std::shared_ptr<CNbxFileMonitor>& m) override {
        Add(m, FMS_INVALID);
    }
    void OnMonitorOpened(const std::shared_ptr<CNbxFileMonitor>& m) override { Add(m, FMS_OPENED); }
    void OnMonitorModified(const std::shared_ptr<CNbxFileMonitor>& m) override {
        Add(m, FMS_MODIFIED);
    }
    void OnMonitorClosed(const std::shared_ptr<CNbxFileMonitor>& m) override { Add(m, FMS_CLOSED); }
    void OnMonitorClosedModified(const std::shared_ptr<CNbxFileMonitor>& m) override {
        Add(m, FMS_CLOSED_MODIFIED);
    }

    // Reports of the monitor, of one state or (-1) of any.
    int Count(const CNbxFileMonitor* m, int state = -1) const {
        std::lock_guard guard(mutex_);
        int n = 0;
        for (const auto& [monitor, reported] : calls_) {
            n += monitor == m && (state < 0 || reported == state) ? 1 : 0;
        }
        return n;
    }
    int Total() const {
        std::lock_guard guard(mutex_);
        return static_cast<int>(calls_.size());
    }

    // The monitor reported, kept alive by the recorder, or none.
    std::shared_ptr<CNbxFileMonitor> Find(const CNbxFileMonitor* m) const {
        std::lock_guard guard(mutex_);
        for (const auto& kept : kept_) {
            if (kept.get() == m) {
                return kept;
            }
        }
        return nullptr;
    }

private:
    void Add(const std::shared_ptr<CNbxFileMonitor>& m, MonitorState state) {
        {
            std::lock_guard guard(mutex_);
            calls_.emplace_back(m.get(), state);
            if (keep_ && std::find(kept_.begin(), kept_.end(), m) == kept_.end()) {
                kept_.push_back(m);
            }
        }
        if (handleCloses_ && state >= FMS_CLOSED) {
            m->MarkHandled();
        }
    }

    const bool handleCloses_;
    const bool keep_;
    mutable std::mutex mutex_;
    std::vector<std::pair<const CNbxFileMonitor*, MonitorState>> calls_;
    std::vector<std::shared_ptr<CNbxFileMonitor>> kept_;
};

bool Listed(CNbxFileMonitorManager& manager, const CNbxFileMonitor* m) {
    bool found = false;
    for (const auto& monitor : manager.LockMonitors()) {
        found = found || monitor.get() == m;
    }
    manager.UnlockMonitors();
    return found;
}

std::size_t ListSize(CNbxFileMonitorManager& manager) {
    const std::size_t size = manager.LockMonitors().size();
    manager.UnlockMonitors();
    return size;
}

// What a scripted monitor's polls find, set by the test.
struct Script {
    std::atomic<int> next{FMS_OPENED};
    std::atomic<int> polls{0};
    std::atomic<bool> destroyed{false};
    nbx::Event gate{nbx::Event::Reset::Manual, true};  // a poll waits while it is closed
    nbx::Event inPoll{nbx::Event::Reset::Manual};
};

class ScriptedMonitor : public CNbxFileMonitor {
public:
    ScriptedMonitor(const std::string& path, std::shared_ptr<Script> script)
        : CNbxFileMonitor(Folder("share"), path, "/docs/scripted", StartedWithoutProcess()),
          script_(std::move(script)) {}
    ~ScriptedMonitor() override { script_->destroyed = true; }

    MonitorState UpdateStatus() override {
        ++script_->polls;
        script_->inPoll.Set();
        script_->gate.Wait();
        return ChangeState(GetState(), static_cast<MonitorState>(script_->next.load()));
    }

private:
    std::shared_ptr<Script> script_;
};

}  // namespace

// --- One monitor's polls, called directly ---------------------------------------------------

TEST(MonitorStatus, WithoutAProcessItStaysInvalid) {
    const std::string path = FakeDesktop::MakeFile("no-process", editors::kKeep);
    CNbxFileMonitor monitor(Folder("share"), path, "/docs/no-process", {});
    EXPECT_EQ(monitor.GetState(), FMS_INVALID);
    EXPECT_EQ(monitor.UpdateStatus(), FMS_INVALID);
    Append(path, "changed\n");
    EXPECT_EQ(monitor.UpdateStatus(), FMS_INVALID) << "never reported as closed";
}

TEST(MonitorStatus, FollowsTheFileWhileTheApplicationRuns) {
    const std::string path = FakeDesktop::MakeFile("running", editors::kKeep);
    const pid_t editor = StartSleeper();
    CNbxFileMonitor monitor(Folder("share"), path, "/docs/running",
                            Utils::LaunchedProcess::ForChild(editor));
    EXPECT_EQ(monitor.GetState(), FMS_OPENED);
    EXPECT_EQ(monitor.UpdateStatus(), FMS_OPENED);

    Append(path, "changed\n");
    EXPECT_EQ(monitor.UpdateStatus(), FMS_MODIFIED);
    ::unlink(path.c_str());
    EXPECT_EQ(monitor.UpdateStatus(), FMS_INVALID);
    nbx::test::WriteFile(path, "original\n");
    EXPECT_EQ(monitor.UpdateStatus(), FMS_MODIFIED) << "a file that comes back is compared again";

    monitor.MarkHandled();
    EXPECT_EQ(monitor.UpdateStatus(), FMS_HANDLED) << "a final state stays";
    ::kill(editor, SIGKILL);
}

TEST(MonitorStatus, AFileReplacedWithTheSameModificationTimeIsChanged) {
    const std::string path = FakeDesktop::MakeFile("replaced", editors::kKeep);
    const pid_t editor = StartSleeper();
    CNbxFileMonitor monitor(Folder("share"), path, "/docs/replaced",
                            Utils::LaunchedProcess::ForChild(editor));
    struct stat original {};
    ASSERT_EQ(::stat(path.c_str(), &original), 0);
    // An editor's save: a new file renamed over the old, here with the old modification time.
    const std::string saved = path + ".saving";
    nbx::test::WriteFile(saved, "original\n");
    const timespec times[2] = {original.st_atim, original.st_mtim};
    ASSERT_EQ(::utimensat(AT_FDCWD, saved.c_str(), times, 0), 0);
    ASSERT_EQ(::rename(saved.c_str(), path.c_str()), 0);
    EXPECT_EQ(monitor.UpdateStatus(), FMS_MODIFIED);
    ::kill(editor, SIGKILL);
}

TEST(MonitorStatus, ACopyThatIsGoneEndsTheMonitorOnceNoApplicationRuns) {
    const std::string path = FakeDesktop::MakeFile("deleted", editors::kKeep);
    const pid_t editor = StartSleeper();
    CNbxFileMonitor monitor(Folder("share"), path, "/docs/deleted",
                            Utils::LaunchedProcess::ForChild(editor));
    ::unlink(path.c_str());
    for (int poll = 0; poll < CNbxFileMonitor::kMissingPolls + 1; ++poll) {
        EXPECT_EQ(monitor.UpdateStatus(), FMS_INVALID) << "its application may write it again";
    }
    ::kill(editor, SIGKILL);
    ASSERT_TRUE(WaitUntil([&] { return ProcessEnded(editor); }));
    for (int poll = 1; poll < CNbxFileMonitor::kMissingPolls; ++poll) {
        EXPECT_EQ(monitor.UpdateStatus(), FMS_INVALID) << "a save may be under way";
    }
    EXPECT_EQ(monitor.UpdateStatus(), FMS_HANDLED);
    EXPECT_EQ(monitor.UpdateStatus(), FMS_HANDLED) << "a final state stays";
}

// --- Whether a file is in use -----------------------------------------------------------------

TEST(MonitorFileUse, AFileIsFreeOnlyWhenNobodyHoldsIt) {
    struct Row {
        const char* name;
        const char* mode;  // how the holder keeps it; null: nobody
        bool listed;       // among the holders that /proc shows
    };
    const Row rows[] = {
        {"nobody", nullptr, false},
        {"read by another process", "r", true},
        {"open for writing", "rw", true},
        {"mapped, its descriptor closed", "map", false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const std::string path = FakeDesktop::MakeFile(std::string("use ") + row.name, "data");
        if (row.mode == nullptr) {
            EXPECT_TRUE(nbx::FileIsFree(path));
            EXPECT_TRUE(nbx::ProcessesHoldingFile(path).empty());
            continue;
        }
        nbx::test::Child holder =
            nbx::test::Spawn({nbx::test::MonitorHelper(), "hold", path, row.mode});
        ASSERT_EQ(nbx::test::ReadLine(holder), "ready");
        EXPECT_FALSE(nbx::FileIsFree(path));
        const std::vector<pid_t> holders = nbx::ProcessesHoldingFile(path);
        EXPECT_EQ(holders == std::vector<pid_t>{holder.pid}, row.listed);
        EXPECT_EQ(nbx::test::Wait(holder), 0);
        EXPECT_TRUE(nbx::FileIsFree(path)) << "free again once the holder has ended";
    }
}

TEST(MonitorFileUse, AWriteCountsOnceItIsComplete) {
    struct Row {
        const char* name;
        void (*act)(const std::string& path);
        bool completed;
    };
    const Row rows[] = {
        {"closed after writing", [](const std::string& p) { Append(p, "more\n"); }, true},
        {"another file renamed onto it",
         [](const std::string& p) {
             nbx::test::WriteFile(p + ".new", "new\n");
             ::rename((p + ".new").c_str(), p.c_str());
         },
         true},
        {"read and closed", [](const std::string& p) { ReadFile(p); }, false},
        {"its mode changed", [](const std::string& p) { ::chmod(p.c_str(), 0600); }, false},
        {"a neighbour written", [](const std::string& p) { Append(p + "-other", "x\n"); }, false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const std::string path = FakeDesktop::MakeFile(std::string("write ") + row.name, "data");
        nbx::FileWriteWatch watch(path);
        ASSERT_TRUE(watch.Active());
        EXPECT_FALSE(watch.WriteCompleted());
        row.act(path);
        EXPECT_EQ(watch.WriteCompleted(), row.completed);
    }
}

// --- The manager's rules --------------------------------------------------------------------

TEST(MonitorManager, IsFileOpenedMatchesTheSameNode) {
    struct Row {
        const char* name;
        CNbxNode opened;
        CNbxNode asked;
        bool same;
    };
    const Row rows[] = {
        {"folders of one node name", Folder("share", "a"), Folder("share", "b"), true},
        {"folders of other node names", Folder("share"), Folder("photos"), false},
        {"disks of one login", Disk("me@example.net", "x"), Disk("me@example.net", "y"), true},
        {"disks of other logins", Disk("me@example.net"), Disk("you@example.net"), false},
        {"a disk and a folder alike", Disk("me", "share"), Folder("share", "me"), false},
    };
    const std::string path = FakeDesktop::MakeFile("same node", editors::kKeep);
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        CNbxFileMonitorManager manager;
        auto monitor = std::make_unique<CNbxFileMonitor>(row.opened, path, "/docs/a.txt",
                                                         StartedWithoutProcess());
        const CNbxFileMonitor* opened = monitor.get();
        manager.RegisterMonitor(std::move(monitor));
        EXPECT_EQ(manager.IsFileOpened(path, "/docs/a.txt", row.asked).get(),
                  row.same ? opened : nullptr);
        EXPECT_EQ(CNbxFileMonitorManager::IsSameNode(row.asked, row.opened), row.same);
    }
}

TEST(MonitorManager, IsFileOpenedWantsBothPathsExactlyAndTheFirstMatchDecides) {
    const std::string path = FakeDesktop::MakeFile("Exact", editors::kKeep);
    CNbxFileMonitorManager manager;
    auto first = std::make_unique<CNbxFileMonitor>(Folder("share"), path, "/docs/Exact",
                                                   StartedWithoutProcess());
    auto second = std::make_unique<CNbxFileMonitor>(Folder("share"), path, "/docs/Exact",
                                                    StartedWithoutProcess());
    CNbxFileMonitor* firstMonitor = first.get();
    const CNbxFileMonitor* secondMonitor = second.get();
    manager.RegisterMonitor(std::move(first));
    manager.RegisterMonitor(std::move(second));

    EXPECT_EQ(manager.IsFileOpened(path, "/docs/Exact", Folder("share")).get(), firstMonitor);
    EXPECT_EQ(manager.IsFileOpened(path, "/docs/exact", Folder("share")), nullptr);
    EXPECT_EQ(manager.IsFileOpened(path + " ", "/docs/Exact", Folder("share")), nullptr);

    firstMonitor->MarkHandled();
    EXPECT_EQ(manager.IsFileOpened(path, "/docs/Exact", Folder("share")), nullptr)
        << "the first match is final, so the second one is not asked";
    EXPECT_NE(secondMonitor, nullptr);
}

TEST(MonitorManager, FindLiveMonitorTakesTheFirstLiveOneOfAnId) {
    const std::string path = FakeDesktop::MakeFile("ids", editors::kKeep);
    CNbxFileMonitorManager manager;
    // Monitors made in the same millisecond share their id; a few tries give such a pair.
    std::unique_ptr<CNbxFileMonitor> first;
    std::unique_ptr<CNbxFileMonitor> second;
    for (int i = 0; i < 1000 && (first == nullptr || first->GetId() != second->GetId()); ++i) {
        first = std::make_unique<CNbxFileMonitor>(Folder("share"), path, "/docs/1",
                                                  StartedWithoutProcess());
        second = std::make_unique<CNbxFileMonitor>(Folder("share"), path, "/docs/2",
                                                   StartedWithoutProcess());
    }
    ASSERT_EQ(first->GetId(), second->GetId());
    const std::uint32_t id = first->GetId();
    CNbxFileMonitor* firstMonitor = first.get();
    CNbxFileMonitor* secondMonitor = second.get();
    manager.RegisterMonitor(std::move(first));
    manager.RegisterMonitor(std::move(second));

    EXPECT_EQ(manager.FindLiveMonitor(id).get(), firstMonitor);
    EXPECT_EQ(manager.FindLiveMonitor(id + 1), nullptr);
    // The list's lock may be taken again by the thread that holds it.
    manager.LockMonitors();
    firstMonitor->MarkHandled();
    EXPECT_EQ(manager.FindLiveMonitor(id).get(), secondMonitor);
    manager.UnlockMonitors();
    secondMonitor->MarkHandled();
    EXPECT_EQ(manager.FindLiveMonitor(id), nullptr);
}

TEST(MonitorManager, ReportsACloseOnceAndPurgesTheMonitorOnceHandled) {
    auto recorder = std::make_shared<Recorder>(/*handleCloses=*/false);
    CNbxFileMonitorManager manager;
    manager.SetStatusCallback(recorder);
    ASSERT_TRUE(manager.Start());
    auto closing = std::make_shared<Script>();
    auto pacer = std::make_shared<Script>();  // stays open; its polls count the passes
    auto closingMonitor =
        std::make_unique<ScriptedMonitor>(FakeDesktop::MakeFile("closing", "data"), closing);
    auto pacerMonitor =
        std::make_unique<ScriptedMonitor>(FakeDesktop::MakeFile("pacer", "data"), pacer);
    CNbxFileMonitor* watched = closingMonitor.get();
    manager.RegisterMonitor(std::move(closingMonitor));
    manager.RegisterMonitor(std::move(pacerMonitor));

    ASSERT_TRUE(WaitUntil([&] { return recorder->Count(watched, FMS_OPENED) > 0; }));
    closing->next = FMS_CLOSED_MODIFIED;
    ASSERT_TRUE(WaitUntil([&] { return recorder->Count(watched, FMS_CLOSED_MODIFIED) > 0; }));
    const int polls = closing->polls;
    const int passes = pacer->polls;
    ASSERT_TRUE(WaitUntil([&] { return pacer->polls >= passes + 2; }));
    EXPECT_EQ(recorder->Count(watched, FMS_CLOSED_MODIFIED), 1);
    EXPECT_EQ(closing->polls, polls) << "a final monitor is not polled";
    EXPECT_TRUE(Listed(manager, watched)) << "kept until it is handled";

    watched->MarkHandled();
    ASSERT_TRUE(WaitUntil([&] { return !Listed(manager, watched); }));
    EXPECT_TRUE(closing->destroyed);
    EXPECT_TRUE(manager.Stop());
}

// A copy deleted while it was watched leaves nothing to upload or bring up: the monitor goes
// and the next open of the file downloads it again.
TEST(MonitorManager, AMonitorWhoseCopyIsGoneIsRemovedAndNoLongerBlocksAnOpen) {
    auto recorder = std::make_shared<Recorder>();
    CNbxFileMonitorManager manager;
    manager.SetStatusCallback(recorder);
    ASSERT_TRUE(manager.Start());
    const CNbxNode node = Folder("share");
    const std::string path = FakeDesktop::MakeFile("gone", editors::kKeep);
    auto monitor =
        std::make_unique<CNbxFileMonitor>(node, path, "/docs/gone", StartedWithoutProcess());
    const CNbxFileMonitor* watched = monitor.get();
    manager.RegisterMonitor(std::move(monitor));
    ASSERT_TRUE(WaitUntil([&] { return recorder->Count(watched, FMS_OPENED) > 0; }));
    ASSERT_NE(manager.IsFileOpened(path, "/docs/gone", node), nullptr);

    ::unlink(path.c_str());
    ASSERT_TRUE(WaitUntil([&] { return !Listed(manager, watched); }));
    EXPECT_EQ(manager.IsFileOpened(path, "/docs/gone", node), nullptr);
    EXPECT_FALSE(manager.HasUnsettledChanges(path));
    EXPECT_EQ(recorder->Count(watched, FMS_CLOSED) + recorder->Count(watched, FMS_CLOSED_MODIFIED),
              0)
        << "nothing to ask about";
    EXPECT_TRUE(manager.Stop());
}

// Changes that were neither uploaded nor declined keep the copy from being downloaded over,
// whichever monitor of that copy holds them.
TEST(MonitorManager, UnsettledChangesAreThoseModifiedOrClosedModifiedAndUnanswered) {
    CNbxFileMonitorManager manager;
    const std::string path = FakeDesktop::MakeFile("unsettled", "data");
    const std::string other = FakeDesktop::MakeFile("unsettled other", "data");
    auto script = std::make_shared<Script>();
    auto monitor = std::make_unique<ScriptedMonitor>(path, script);
    CNbxFileMonitor* const watched = monitor.get();
    manager.RegisterMonitor(std::move(monitor));
    const struct {
        MonitorState state;
        bool unsettled;
    } rows[] = {{FMS_INVALID, false}, {FMS_OPENED, false},         {FMS_MODIFIED, true},
                {FMS_CLOSED, false},  {FMS_CLOSED_MODIFIED, true}, {FMS_HANDLED, false}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.state);
        script->next = row.state;
        if (row.state == FMS_HANDLED) {
            watched->MarkHandled();
        } else {
            watched->UpdateStatus();
        }
        EXPECT_EQ(manager.HasUnsettledChanges(path), row.unsettled);
        EXPECT_FALSE(manager.HasUnsettledChanges(other));
    }
}

TEST(MonitorManager, WithoutACallbackACloseIsHandledAtOnce) {
    CNbxFileMonitorManager manager;
    ASSERT_TRUE(manager.Start());
    auto script = std::make_shared<Script>();
    script->next = FMS_CLOSED;
    manager.RegisterMonitor(
        std::make_unique<ScriptedMonitor>(FakeDesktop::MakeFile("unheard", "data"), script));
    ASSERT_TRUE(WaitUntil([&] { return script->destroyed.load(); }));
    EXPECT_EQ(ListSize(manager), 0u);
}

TEST(MonitorManager, StopsWhileIdleAndDoesNotStartAgain) {
    CNbxFileMonitorManager manager;
    ASSERT_TRUE(manager.Start());
    EXPECT_FALSE(manager.Start()) << "runs already";
    EXPECT_TRUE(manager.Stop());
    EXPECT_FALSE(manager.Start());
    auto script = std::make_shared<Script>();
    manager.RegisterMonitor(
        std::make_unique<ScriptedMonitor>(FakeDesktop::MakeFile("late", "data"), script));
    EXPECT_TRUE(script->destroyed) << "a monitor registered after the stop is deleted at once";
}

TEST(MonitorManager, StopsWhileWatchingAndLeavesTheApplicationRunning) {
    auto recorder = std::make_shared<Recorder>();
    CNbxFileMonitorManager manager;
    manager.SetStatusCallback(recorder);
    ASSERT_TRUE(manager.Start());
    const pid_t editor = StartSleeper();
    auto monitor = std::make_unique<CNbxFileMonitor>(
        Folder("share"), FakeDesktop::MakeFile("watched", editors::kKeep), "/docs/watched",
        Utils::LaunchedProcess::ForChild(editor));
    const CNbxFileMonitor* watched = monitor.get();
    manager.RegisterMonitor(std::move(monitor));
    ASSERT_TRUE(WaitUntil([&] { return recorder->Count(watched, FMS_OPENED) > 0; }));

    EXPECT_TRUE(manager.Stop());
    EXPECT_EQ(ListSize(manager), 0u) << "the monitors go with the stop";
    const int reported = recorder->Total();
    EXPECT_FALSE(ProcessEnded(editor)) << "the editor is not the manager's to end";
    ::kill(editor, SIGKILL);
    EXPECT_EQ(recorder->Total(), reported);
}

TEST(MonitorManager, AStopThatTimesOutLeavesTheEngineToFinishAlone) {
    auto recorder = std::make_shared<Recorder>();
    auto script = std::make_shared<Script>();
    {
        CNbxFileMonitorManager manager;
        manager.SetStatusCallback(recorder);
        ASSERT_TRUE(manager.Start());
        script->gate.ResetEvent();
        manager.RegisterMonitor(
            std::make_unique<ScriptedMonitor>(FakeDesktop::MakeFile("hung", "data"), script));
        ASSERT_TRUE(script->inPoll.Wait(90s));
        EXPECT_FALSE(manager.Stop(100ms)) << "the poll hangs, so the engine is left running";
    }
    // The manager is gone; the engine still has the list, the monitor and the callback.
    script->gate.Set();
    ASSERT_TRUE(WaitUntil([&] { return script->destroyed.load(); }));
    EXPECT_EQ(recorder->Total(), 0) << "no report after the stop";
}

// --- Opening files in their applications, end to end ------------------------------------------

class MonitorEndToEnd : public ::testing::Test {
protected:
    struct Opened {
        std::shared_ptr<CNbxFileMonitor> monitor;
        pid_t pid = -1;
        std::string remotePath;
    };

    void SetUp() override {
        manager_.SetStatusCallback(recorder_);
        ASSERT_TRUE(manager_.Start());
    }
    void TearDown() override { EXPECT_TRUE(manager_.Stop()); }

    // As the download action opens a file: its application, then a monitor.
    Opened Open(const std::string& path) {
        Opened opened;
        opened.remotePath = "/docs/" + path.substr(path.rfind('/') + 1);
        Utils::LaunchedProcess process;
        std::string error;
        EXPECT_TRUE(Utils::CreateProcessCommand(path, &process, &error)) << error;
        opened.pid = process.pid;
        auto monitor =
            std::make_unique<CNbxFileMonitor>(node_, path, opened.remotePath, std::move(process));
        const CNbxFileMonitor* registered = monitor.get();
        manager_.RegisterMonitor(std::move(monitor));
        // A quick application may be done before this thread runs again: then the monitor is
        // closed, handled and purged already, and only the recorder still has it.
        for (const auto& listed : manager_.LockMonitors()) {
            if (listed.get() == registered) {
                opened.monitor = listed;
            }
        }
        manager_.UnlockMonitors();
        if (opened.monitor == nullptr) {
            opened.monitor = recorder_->Find(registered);
        }
        EXPECT_NE(opened.monitor, nullptr);
        return opened;
    }

    bool WaitForReport(const Opened& opened, MonitorState state) {
        return WaitUntil([&] { return recorder_->Count(opened.monitor.get(), state) > 0; });
    }
    // Polls that begin after the call.
    bool WaitForPolls(const Opened& opened, int polls) {
        const int before = recorder_->Count(opened.monitor.get());
        return WaitUntil(
            [&] { return recorder_->Count(opened.monitor.get()) >= before + polls + 1; });
    }
    int Closes(const Opened& opened) {
        return recorder_->Count(opened.monitor.get(), FMS_CLOSED) +
               recorder_->Count(opened.monitor.get(), FMS_CLOSED_MODIFIED);
    }

    const CNbxNode node_ = Folder("share");
    std::shared_ptr<Recorder> recorder_ = std::make_shared<Recorder>(true, /*keep=*/true);
    CNbxFileMonitorManager manager_;
};

TEST_F(MonitorEndToEnd, AnEditorThatChangesTheFileAndExits) {
    const Opened opened = Open(FakeDesktop::MakeFile("it's a \"draft\" at 100%", editors::kChange));
    ASSERT_NE(opened.monitor, nullptr);
    ASSERT_TRUE(WaitForReport(opened, FMS_CLOSED_MODIFIED));
    EXPECT_EQ(Closes(opened), 1);
    EXPECT_EQ(manager_.IsFileOpened(opened.monitor->GetLocalPath(), opened.remotePath, node_),
              nullptr)
        << "opening it again downloads and starts it anew";
}

TEST_F(MonitorEndToEnd, AnEditorThatExitsWithoutAChange) {
    const std::string path = FakeDesktop::MakeFile("unchanged", editors::kKeep);
    const Opened opened = Open(path);
    ASSERT_NE(opened.monitor, nullptr);
    ASSERT_TRUE(WaitUntil([&] { return Exists(path + ".started"); }));
    EXPECT_EQ(ReadFile(path + ".started"), std::to_string(opened.pid) + "\n");
    // Running past the first polling interval makes it the editor, whose end is the close.
    ASSERT_TRUE(WaitForPolls(opened, 2));
    EXPECT_EQ(manager_.IsFileOpened(path, opened.remotePath, node_), opened.monitor)
        << "a second open finds the file being edited";
    Touch(path + ".quit");
    ASSERT_TRUE(WaitForReport(opened, FMS_CLOSED));
    EXPECT_EQ(Closes(opened), 1);
}

TEST_F(MonitorEndToEnd, AnEditorThatEndsWhileAnotherProgramHoldsTheFile) {
    const std::string path = FakeDesktop::MakeFile("held on", editors::kLeaveHeld);
    const Opened opened = Open(path);
    ASSERT_NE(opened.monitor, nullptr);
    ASSERT_TRUE(WaitUntil([&] { return Exists(path + ".started"); }));
    ASSERT_TRUE(WaitForPolls(opened, 2));
    Touch(path + ".quit");
    ASSERT_TRUE(WaitUntil([&] { return ProcessEnded(opened.pid); }));
    ASSERT_TRUE(WaitForPolls(opened, 2));
    EXPECT_EQ(opened.monitor->GetState(), FMS_OPENED);
    EXPECT_EQ(Closes(opened), 0);
    Touch(path + ".release");
    ASSERT_TRUE(WaitForReport(opened, FMS_CLOSED));
}

// The launched process hands the file to a second process that holds it open and ends.
class MonitorHandOffToAHolder : public MonitorEndToEnd,
                                public ::testing::WithParamInterface<bool> {};

TEST_P(MonitorHandOffToAHolder, TheHolderStandsInForTheApplication) {
    const bool change = GetParam();
    const std::string path =
        FakeDesktop::MakeFile(change ? "holder changes" : "holder keeps", editors::kHandOff);
    const Opened opened = Open(path);
    ASSERT_NE(opened.monitor, nullptr);
    ASSERT_TRUE(WaitUntil([&] { return Exists(path + ".holding"); }));
    ASSERT_TRUE(WaitUntil([&] { return ProcessEnded(opened.pid); }));
    ASSERT_TRUE(WaitForPolls(opened, 2));
    EXPECT_EQ(opened.monitor->GetState(), FMS_OPENED) << "the launcher's end is no close";
    EXPECT_EQ(Closes(opened), 0);
    if (change) {
        Touch(path + ".change");
    }
    Touch(path + ".go");
    ASSERT_TRUE(WaitForReport(opened, change ? FMS_CLOSED_MODIFIED : FMS_CLOSED));
    EXPECT_EQ(Closes(opened), 1);
}

INSTANTIATE_TEST_SUITE_P(Monitor, MonitorHandOffToAHolder, ::testing::Bool(),
                         [](const auto& info) { return info.param ? "Changes" : "Unchanged"; });

// The launched process ends at once and nothing holds the file; later it is written.
class MonitorHandOffWithoutAHolder : public MonitorEndToEnd,
                                     public ::testing::WithParamInterface<bool> {};

TEST_P(MonitorHandOffWithoutAHolder, ACompletedWriteIsTheClose) {
    const bool byRename = GetParam();
    const std::string path =
        FakeDesktop::MakeFile(byRename ? "saved by rename" : "saved in place", editors::kRewrite);
    const Opened opened = Open(path);
    ASSERT_NE(opened.monitor, nullptr);
    ASSERT_TRUE(WaitUntil([&] { return ProcessEnded(opened.pid); }));
    ASSERT_TRUE(WaitForPolls(opened, 2));
    EXPECT_EQ(opened.monitor->GetState(), FMS_OPENED) << "unchanged, it may still be edited";
    EXPECT_EQ(Closes(opened), 0);

    // A second open brings the instance that took the file over up: it is handed the file.
    EXPECT_TRUE(opened.monitor->ActivateApplication());
    ASSERT_TRUE(WaitUntil([&] { return ReadFile(path + ".launches") == "launched\nlaunched\n"; }));

    if (byRename) {
        Touch(path + ".byrename");
    }
    Touch(path + ".go");
    ASSERT_TRUE(WaitForReport(opened, FMS_CLOSED_MODIFIED));
    EXPECT_EQ(Closes(opened), 1);
}

INSTANTIATE_TEST_SUITE_P(Monitor, MonitorHandOffWithoutAHolder, ::testing::Bool(),
                         [](const auto& info) { return info.param ? "ByRename" : "InPlace"; });

TEST_F(MonitorEndToEnd, AFileGivenToTheChooserIsClosedByItsSave) {
    nbx::test::FakePortal portal(FakeDesktop::Root() + "/chooser.txt");
    ASSERT_TRUE(portal.Ready());
    const std::string path = FakeDesktop::MakeFile("no application", editors::kNone);
    const Opened opened = Open(path);
    ASSERT_NE(opened.monitor, nullptr);
    EXPECT_EQ(opened.pid, -1) << "the chooser is no process of ours";
    ASSERT_TRUE(WaitForPolls(opened, 2));
    EXPECT_EQ(opened.monitor->GetState(), FMS_OPENED);
    Append(path, "saved by the application the user chose\n");
    ASSERT_TRUE(WaitForReport(opened, FMS_CLOSED_MODIFIED));
}
