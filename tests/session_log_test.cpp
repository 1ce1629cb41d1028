#include <gtest/gtest.h>
#include <thread>
#include <vector>

#include "base/control_text.h"
#include "base/session_log.h"
#include "support/test_support.h"

using nbx::test::ReadFile;

class SessionLogTest : public nbx::test::TempHome {
protected:
    void TearDown() override {
        CloseSessionLog();
        TempHome::TearDown();
    }
    std::string LogPath() { return SessionLogPath(); }
};

TEST_F(SessionLogTest, RecordsCarryTheirPrefixAndEndInCrLf) {
    ASSERT_EQ(LogPath(), StateDir() + "/" + kSessionLogFileName);
    ASSERT_TRUE(OpenSessionLog(LogPath()));
    WriteLog(LogLevel::Debug, "----------");
    WriteLog(LogLevel::Info, "CTerraPaneApp::InitInstance() invoked...");
    WriteLog(LogLevel::Warning, "ends in a line feed\n");
    WriteLog(LogLevel::Error, "two\nlines");
    WriteLog(LogLevel::Fatal, "\xE6\x97\xA5\xE6\x9C\xAC \"quoted\"");
    WriteLog(7, "no prefix for an unknown level");
    WriteLog(-1, "dropped: below the minimum level");
    WriteLog(LogLevel::Info, "");
    WriteLog(LogLevel::Info, "already CR LF\r\n");
    CloseSessionLog();
    WriteLog(LogLevel::Error, "after close: dropped");

    EXPECT_EQ(ReadFile(LogPath()),
              "DEBUG: ----------\r\n"
              "INFO: CTerraPaneApp::InitInstance() invoked...\r\n"
              "WARNING: ends in a line feed\r\n"
              "ERROR: two\\nlines\r\n"
              "FATAL: \xE6\x97\xA5\xE6\x9C\xAC \"quoted\"\r\n"
              "no prefix for an unknown level\r\n"
              "INFO: \r\n"
              "INFO: already CR LF\r\n");
}

// A name a server lists may hold any character; in a record it can neither start a record of
// its own nor reach a terminal that shows the log as an escape sequence.
TEST_F(SessionLogTest, ControlCharactersOfANameAreShownEscapedInOneRecord) {
    ASSERT_TRUE(OpenSessionLog(LogPath()));
    const std::string name =
        "a\x1b[2Jb\rc\nERROR: forged\x07"
        "d\x7f\xC2\x9B"
        "e\t\xE6\x97\xA5";
    WriteLog(LogLevel::Error,
             "CTerraPaneView::ListRemoteDir(): failed with arg: \"" + name + "\"\n");
    CloseSessionLog();
    EXPECT_EQ(ReadFile(LogPath()),
              "ERROR: CTerraPaneView::ListRemoteDir(): failed with arg: "
              "\"a\\x1b[2Jb\\rc\\nERROR: forged\\x07d\\x7f\\u009be\\t\xE6\x97\xA5\"\r\n");
}

// A dump of a server's headers stays readable, one header a line, but none of its lines can
// pass for a record: they are indented, and their control characters escaped.
TEST_F(SessionLogTest, ARecordOfLinesIndentsItsLaterLines) {
    ASSERT_TRUE(OpenSessionLog(LogPath()));
    WriteLogLines(LogLevel::Error,
                  "send() failed with response headers:\nHTTP/1.1 404 Not Found\r\nERROR: forged"
                  "\x1b[2J\r\nX-Bell: \x07\r\n\r\n");
    WriteLogLines(LogLevel::Info, "one line\n");
    CloseSessionLog();
    EXPECT_EQ(ReadFile(LogPath()),
              "ERROR: send() failed with response headers:\r\n"
              "  HTTP/1.1 404 Not Found\r\n"
              "  ERROR: forged\\x1b[2J\r\n"
              "  X-Bell: \\x07\r\n"
              "INFO: one line\r\n");
}

TEST(ControlTextTest, ControlCharactersAreShownAndTheRestKept) {
    const struct {
        std::string in, out;
    } cases[] = {
        {"", ""},
        {"plain name.txt", "plain name.txt"},
        {"\x1b]0;title\x07", "\\x1b]0;title\\x07"},
        {"cr\rlf\ntab\t", "cr\\rlf\\ntab\\t"},
        {std::string("nul\0end", 7), "nul\\x00end"},
        {"del\x7f", "del\\x7f"},
        {"csi\xC2\x9B"
         "1m nbsp\xC2\xA0",
         "csi\\u009b1m nbsp\xC2\xA0"},
        {"\xE6\x97\xA5\xE6\x9C\xAC \\ back\\slash", "\xE6\x97\xA5\xE6\x9C\xAC \\ back\\slash"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ShowControlCharacters(c.in), c.out) << c.in;
    }
}

TEST_F(SessionLogTest, AMinimumLevelDropsTheLowerRecords) {
    ASSERT_TRUE(OpenSessionLog(LogPath()));
    SetMinimumLogLevel(LogLevel::Info);
    WriteLog(LogLevel::Debug, "dropped");
    WriteLog(LogLevel::Info, "kept");
    SetMinimumLogLevel(LogLevel::Debug);
    WriteLog(LogLevel::Debug, "kept again");
    CloseSessionLog();
    EXPECT_EQ(ReadFile(LogPath()), "INFO: kept\r\nDEBUG: kept again\r\n");
}

TEST_F(SessionLogTest, EachStartTruncatesThePreviousRun) {
    ASSERT_TRUE(OpenSessionLog(LogPath()));
    WriteLog(LogLevel::Info, "first run");
    CloseSessionLog();
    ASSERT_EQ(nbx::test::Run({nbx::test::HelperPath(), "log", LogPath(), "second run"}), 0);
    EXPECT_EQ(ReadFile(LogPath()), "INFO: second run\r\n");
}

TEST_F(SessionLogTest, SecondInstanceNeitherTruncatesNorWritesTheFirstOnesLog) {
    nbx::test::Child first =
        nbx::test::Spawn({nbx::test::HelperPath(), "log", LogPath(), "first instance", "hold"});
    ASSERT_EQ(nbx::test::ReadLine(first), "ready");

    EXPECT_EQ(nbx::test::Run({nbx::test::HelperPath(), "log", LogPath(), "second instance"}), 3)
        << "the second instance must find the log taken";
    EXPECT_FALSE(OpenSessionLog(LogPath())) << "nor may this process take it";
    WriteLog(LogLevel::Error, "this process has no log");
    EXPECT_EQ(ReadFile(LogPath()), "INFO: first instance\r\n");

    EXPECT_EQ(nbx::test::Wait(first), 0);
    EXPECT_EQ(ReadFile(LogPath()), "INFO: first instance\r\nINFO: after hold\r\n");
}

TEST_F(SessionLogTest, UnwritablePlaceLeavesTheLogClosedSilently) {
    EXPECT_FALSE(OpenSessionLog(Root() + "/no/such/folder/log.txt"));
    WriteLog(LogLevel::Info, "goes nowhere");
    EXPECT_FALSE(OpenSessionLog(""));
}

TEST_F(SessionLogTest, RecordsOfManyThreadsNeverInterleave) {
    ASSERT_TRUE(OpenSessionLog(LogPath()));
    const std::string line(300, 'x');
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&] {
            for (int i = 0; i < 200; ++i) {
                WriteLog(LogLevel::Info, line);
            }
        });
    }
    for (std::thread& t : threads) {
        t.join();
    }
    CloseSessionLog();
    std::string expected;
    for (int i = 0; i < 800; ++i) {
        expected += "INFO: " + line + "\r\n";
    }
    EXPECT_EQ(ReadFile(LogPath()), expected);
}
