#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>
#include <atomic>
#include <chrono>
#include <csignal>
#include <filesystem>
#include <memory>
#include <thread>

#include "platform/clock.h"
#include "platform/event.h"
#include "platform/file_lock.h"
#include "platform/format.h"
#include "platform/utf.h"
#include "platform/worker_thread.h"
#include "platform/xdg.h"
#include "support/test_support.h"

using namespace std::chrono_literals;
using nbx::Event;

namespace {

mode_t ModeOf(const std::string& path) {
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0 ? (st.st_mode & 07777) : 0;
}

}  // namespace

TEST(EventTest, AutoResetLetsOneWaiterThroughPerSet) {
    Event e(Event::Reset::Auto);
    EXPECT_FALSE(e.Wait(10ms));
    e.Set();
    EXPECT_TRUE(e.Wait(0ms));
    EXPECT_FALSE(e.Wait(10ms)) << "an auto-reset event falls back after releasing a waiter";

    std::atomic<int> released{0};
    std::thread a([&] { released += e.Wait(2000ms) ? 1 : 0; });
    std::thread b([&] { released += e.Wait(300ms) ? 1 : 0; });
    std::this_thread::sleep_for(50ms);
    e.Set();
    a.join();
    b.join();
    EXPECT_EQ(released.load(), 1);
}

TEST(EventTest, ManualResetReleasesEveryWaiterUntilReset) {
    Event e(Event::Reset::Manual);
    std::atomic<int> released{0};
    std::thread a([&] { released += e.Wait(2000ms) ? 1 : 0; });
    std::thread b([&] { released += e.Wait(2000ms) ? 1 : 0; });
    std::this_thread::sleep_for(50ms);
    e.Set();
    a.join();
    b.join();
    EXPECT_EQ(released.load(), 2);
    EXPECT_TRUE(e.Wait(0ms)) << "stays signalled";
    e.ResetEvent();
    EXPECT_FALSE(e.Wait(10ms));
    EXPECT_TRUE(Event(Event::Reset::Manual, true).IsSet());
}

TEST(WorkerThreadTest, StopWakesTheBodyAndJoins) {
    nbx::WorkerThread worker;
    std::atomic<int> rounds{0};
    ASSERT_TRUE(worker.Start([&](nbx::WorkerControl& control) {
        while (!control.StopRequested()) {
            ++rounds;
            control.WaitForWake(5000ms);
        }
    }));
    EXPECT_FALSE(worker.Start([](nbx::WorkerControl&) {})) << "one thread at a time";
    std::this_thread::sleep_for(20ms);
    worker.Wake();
    std::this_thread::sleep_for(20ms);
    const auto start = std::chrono::steady_clock::now();
    EXPECT_TRUE(worker.Stop(5000ms));
    EXPECT_LT(std::chrono::steady_clock::now() - start, 2000ms) << "the stop woke the body";
    EXPECT_GE(rounds.load(), 2);
    EXPECT_FALSE(worker.Running());
}

TEST(WorkerThreadTest, StuckBodyIsLeftToFinishAndKeepsWhatItUses) {
    auto gate = std::make_shared<Event>(Event::Reset::Manual);
    auto finished = std::make_shared<std::atomic<bool>>(false);
    {
        nbx::WorkerThread worker;
        worker.Start([gate, finished](nbx::WorkerControl& control) {
            gate->Wait();  // ignores the stop request until the gate opens
            EXPECT_TRUE(control.StopRequested());
            *finished = true;
        });
        EXPECT_FALSE(worker.Stop(100ms));
        EXPECT_FALSE(worker.Running());
    }  // the WorkerThread object is gone; the thread still runs
    EXPECT_FALSE(finished->load());
    gate->Set();
    for (int i = 0; i < 200 && !finished->load(); ++i) {
        std::this_thread::sleep_for(10ms);
    }
    EXPECT_TRUE(finished->load());
}

// Without a test clock the program's waits are as asked and its time is the steady clock's;
// a test clock's changes end with it.
TEST(ClockTest, TestClockMovesTimeAndCapsWaitsOnlyWhileItLives) {
    EXPECT_EQ(nbx::clock::Wait(1000ms), 1000ms);
    EXPECT_EQ(nbx::clock::WaitMs(0ms), 1) << "a timer of 0 would fire at every event";
    EXPECT_LE(nbx::clock::Now() - std::chrono::steady_clock::now(), 1s);
    {
        nbx::clock::TestClock clock;
        clock.CapWaits(10ms);
        clock.Advance(1h);
        EXPECT_EQ(nbx::clock::Wait(1000ms), 10ms);
        EXPECT_EQ(nbx::clock::Wait(5ms), 5ms);
        EXPECT_GE(nbx::clock::Now() - std::chrono::steady_clock::now(), 1h - 1s);
    }
    EXPECT_EQ(nbx::clock::Wait(1000ms), 1000ms);
    EXPECT_LE(nbx::clock::Now() - std::chrono::steady_clock::now(), 1s);
}

// An engine keeps its own control block: it asks for the stop without the thread, even
// before the thread runs, and one that has ended counts as ended until it is stopped.
TEST(WorkerThreadTest, RunsOnTheOwnersControlAndTellsWhenTheBodyEnded) {
    auto control = std::make_shared<nbx::WorkerControl>();
    nbx::WorkerThread worker;
    EXPECT_FALSE(worker.WaitForEnd(0ms)) << "nothing started";
    Event release(Event::Reset::Manual);
    ASSERT_TRUE(worker.Start(control, [&](nbx::WorkerControl& seen) {
        EXPECT_EQ(&seen, control.get());
        release.Wait();
    }));
    EXPECT_FALSE(worker.Ended());
    EXPECT_FALSE(worker.WaitForEnd(10ms));
    release.Set();
    EXPECT_TRUE(worker.WaitForEnd(60000ms));
    EXPECT_TRUE(worker.Ended());
    EXPECT_TRUE(worker.Running()) << "ended, not yet stopped";
    EXPECT_FALSE(worker.Start([](nbx::WorkerControl&) {}));
    EXPECT_TRUE(worker.Stop(0ms));
    EXPECT_FALSE(worker.Ended());

    // Asked to stop before the thread starts: the body sees it at once.
    control->RequestStop();
    std::atomic<bool> sawStop{false};
    ASSERT_TRUE(worker.Start(control, [&](nbx::WorkerControl& seen) {
        sawStop = seen.StopRequested() && seen.WaitForWake(0ms);
    }));
    EXPECT_TRUE(worker.Stop(60000ms));
    EXPECT_TRUE(sawStop) << "the flag and the wake both wait for the body";
    EXPECT_FALSE(worker.Start(nullptr, [](nbx::WorkerControl&) {}));
}

TEST(FormatTest, PrintsIntoAString) {
    EXPECT_EQ(nbx::StrPrintf("%s/%s%s", "http://h:8081", "node", "/a%20b"),
              "http://h:8081/node/a%20b");
    EXPECT_EQ(nbx::StrPrintf("%s", ""), "");
    EXPECT_EQ(nbx::StrPrintf("%d", 42), "42");
}

TEST(UtfTest, ConversionsRoundTripAndReplaceMalformedInput) {
    const std::string text = "a\xC3\xBC\xE6\x97\xA5\xF0\x9F\x98\x80";  // a ü 日 😀
    const std::u16string wide = nbx::utf::Utf8ToUtf16(text);
    EXPECT_EQ(wide, (std::u16string{u'a', 0x00FC, 0x65E5, 0xD83D, 0xDE00}));
    EXPECT_EQ(nbx::utf::Utf16ToUtf8(wide), text);
    EXPECT_EQ(nbx::utf::Utf16Length(text), 5u);
    EXPECT_EQ(nbx::utf::DisplayWidth(text), 6u) << "the ideograph and the emoji take two columns";

    struct Case {
        const char* name;
        std::string input;
        std::string sanitized;
    };
    const Case cases[] = {
        {"well formed stays", text, text},
        {"lone continuation", "a\x80z", "a\xEF\xBF\xBDz"},
        {"truncated sequence", "a\xE6\x97", "a\xEF\xBF\xBD\xEF\xBF\xBD"},
        {"overlong slash", "\xC0\xAF", "\xEF\xBF\xBD\xEF\xBF\xBD"},
        {"encoded surrogate", "\xED\xA0\x80", "\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD"},
        {"embedded zero kept", std::string("a\0b", 3), std::string("a\0b", 3)},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(nbx::utf::Sanitize(c.input), c.sanitized) << c.name;
        EXPECT_EQ(nbx::utf::Utf16ToUtf8(nbx::utf::Utf8ToUtf16(c.input)), c.sanitized) << c.name;
    }
    EXPECT_EQ(nbx::utf::Utf16ToUtf8(std::u16string{u'x', 0xD800, u'y'}), "x\xEF\xBF\xBDy");
}

class XdgTest : public nbx::test::TempHome {};

TEST_F(XdgTest, FoldersFollowTheVariablesAndArePrivate) {
    EXPECT_EQ(nbx::xdg::DataDir(), Root() + "/data/nimbexshell");
    EXPECT_EQ(nbx::xdg::StateDir(), Root() + "/state/nimbexshell");
    EXPECT_EQ(nbx::xdg::PrivateTempDir(), Root() + "/run/nimbexshell");
    EXPECT_EQ(ModeOf(DataDir()), 0700u);
    EXPECT_EQ(ModeOf(StateDir()), 0700u);
    EXPECT_EQ(ModeOf(Root() + "/run/nimbexshell"), 0700u);

    ::setenv("XDG_DATA_HOME", "relative/path", 1);  // not absolute: ignored
    EXPECT_EQ(nbx::xdg::DataHome(), Root() + "/.local/share");
    ::unsetenv("XDG_RUNTIME_DIR");
    EXPECT_EQ(nbx::xdg::PrivateTempDir(),
              Root() + "/tmp/nimbexshell-" + std::to_string(::getuid()));
}

TEST_F(XdgTest, LooseModeOfOurFolderIsTightened) {
    std::filesystem::create_directories(DataDir());
    ::chmod(DataDir().c_str(), 0755);
    EXPECT_EQ(nbx::xdg::DataDir(), DataDir());
    EXPECT_EQ(ModeOf(DataDir()), 0700u);
}

TEST_F(XdgTest, TemporaryFolderThatIsNotOursIsRefused) {
    const std::string target = Root() + "/elsewhere";
    std::filesystem::create_directories(target);
    ASSERT_EQ(::symlink(target.c_str(), (Root() + "/run/nimbexshell").c_str()), 0);
    std::string error;
    EXPECT_EQ(nbx::xdg::PrivateTempDir(&error), "");
    EXPECT_NE(error.find("not a folder"), std::string::npos) << error;

    if (::getuid() != 0) {
        GTEST_SKIP() << "handing a folder to another user needs root";
    }
    ::unsetenv("XDG_RUNTIME_DIR");
    const std::string foreign = Root() + "/tmp/nimbexshell-" + std::to_string(::getuid());
    std::filesystem::create_directories(foreign);
    ASSERT_EQ(::chmod(foreign.c_str(), 0700), 0);
    ASSERT_EQ(::chown(foreign.c_str(), 65534, 65534), 0);
    EXPECT_EQ(nbx::xdg::PrivateTempDir(&error), "");
    EXPECT_NE(error.find("another user"), std::string::npos) << error;
}

class FileLockTest : public nbx::test::TempHome {};

TEST_F(FileLockTest, ExcludesOtherProcessesAndIsRecursiveForItsHolder) {
    const std::string path = Root() + "/lock";
    nbx::test::Child holder = nbx::test::Spawn({nbx::test::HelperPath(), "lock", path});
    ASSERT_EQ(nbx::test::ReadLine(holder), "locked");

    nbx::FileLock lock(path);
    EXPECT_FALSE(lock.TryLock()) << "another process holds it";
    EXPECT_EQ(nbx::test::Wait(holder), 0);  // the holder ends and releases it

    ASSERT_TRUE(lock.TryLock());
    EXPECT_TRUE(lock.Lock()) << "recursive for the holding thread";
    std::atomic<bool> other{false};
    std::thread t([&] { other = lock.TryLock(); });
    t.join();
    EXPECT_FALSE(other.load()) << "other threads of this process are kept out";
    lock.Unlock();
    nbx::FileLock second(path);
    EXPECT_FALSE(second.TryLock()) << "still held once";
    lock.Unlock();
    EXPECT_TRUE(second.TryLock());
    second.Unlock();
    EXPECT_EQ(ModeOf(path), 0600u);
}

TEST_F(FileLockTest, DeadHolderLeavesNoLockBehind) {
    const std::string path = Root() + "/lock";
    nbx::test::Child holder = nbx::test::Spawn({nbx::test::HelperPath(), "lock", path});
    ASSERT_EQ(nbx::test::ReadLine(holder), "locked");
    ::kill(holder.pid, SIGKILL);
    nbx::test::Wait(holder);
    nbx::FileLock lock(path);
    EXPECT_TRUE(lock.TryLock());
    lock.Unlock();
}
