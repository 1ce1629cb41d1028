#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <algorithm>
#include <filesystem>
#include <sstream>

#include "base/deployment_profile.h"
#include "base/session_log.h"
#include "cli/command.h"
#include "cli/progress.h"
#include "nodes/sqlite_com.h"
#include "platform/http_client.h"
#include "platform/server_time.h"
#include "support/dev_service.h"
#include "support/raw_http_server.h"
#include "support/test_support.h"
#include "support/webdav_server.h"

namespace {

struct Result {
    int status;
    std::string out;
    std::string err;
};

class CliTest : public nbx::test::TempHome {
protected:
    void SetUp() override {
        TempHome::SetUp();
        CSQLiteCom::ReleaseInstance();
    }
    void TearDown() override {
        CSQLiteCom::ReleaseInstance();
        TempHome::TearDown();
    }
    Result Run(const std::vector<std::string>& args, const std::string& input = "") {
        std::istringstream in(input);
        std::ostringstream out, err;
        nbx::cli::Io io{in, out, err};
        const int status = nbx::cli::Main(args, io);
        return {status, out.str(), err.str()};
    }
};

TEST_F(CliTest, AddListAndRemoveNodes) {
    const std::string title = "\xE6\x97\xA5\xE6\x9C\xAC Share";
    Result r = Run({"node", "add", "--title", title, "--proxy", "http://127.0.0.1:8081",
                    "--node-name", "share1", "--login", "guest", "--password-stdin"},
                   "s3cret\n");
    ASSERT_EQ(r.status, 0) << r.err;
    r = Run({"node", "add", "--title", "Disk", "--proxy", "https://127.0.0.1:8443", "--login",
             "me@example.net", "--password-stdin", "--node-type", "1", "--device-type", "9"},
            "pw");
    ASSERT_EQ(r.status, 0) << r.err;

    r = Run({"nodes"});
    ASSERT_EQ(r.status, 0);
    EXPECT_EQ(r.out,
              "TITLE       TYPE  DEVICE   NODE NAME  LOGIN\n"
              "Disk        1     Disk                me@example.net\n" +
                  title + "  2     Unknown  share1     guest\n")
        << "columns line up on a terminal, where each ideograph takes two";

    r = Run({"nodes", "--json"});
    ASSERT_EQ(r.status, 0);
    EXPECT_NE(r.out.find("\"title\" : \"" + title + "\""), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("\"device_type\" : 9"), std::string::npos) << r.out;
    EXPECT_EQ(r.out.find("s3cret"), std::string::npos) << "passwords are never printed";

    r = Run({"node", "rm", title});
    EXPECT_EQ(r.status, 0) << r.err;
    r = Run({"node", "rm", title});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "nimbex node rm: no node is titled \"" + title + "\"\n");
}

TEST_F(CliTest, DuplicateTitleFailsAndKeepsTheFirstNode) {
    const std::vector<std::string> add = {
        "node", "add", "--title", "T", "--proxy", "http://h", "--login", "l", "--password-stdin"};
    ASSERT_EQ(Run(add, "first").status, 0);
    const Result r = Run(add, "second");
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "nimbex node add: a node titled \"T\" exists already\n");
}

TEST_F(CliTest, BadInvocationsAreUsageErrors) {
    const std::vector<std::vector<std::string>> cases = {
        {},
        {"frobnicate"},
        {"node"},
        {"node", "add", "--title", "T", "--proxy", "http://h", "--login", "l"},  // no password
        {"node", "add", "--title", "T", "--proxy", "http://h", "--login", "l", "--password-stdin",
         "--node-type", "3"},
        {"node", "add", "--title", "T", "--proxy", "http://h", "--login", "l", "--password-stdin",
         "--device-type", "9x"},
        {"node", "add", "--title"},
        {"nodes", "--colour"},
        {"node", "rm"},
        {"version", "extra"},
    };
    for (const auto& args : cases) {
        const Result r = Run(args);
        EXPECT_EQ(r.status, 2) << ::testing::PrintToString(args);
        EXPECT_FALSE(r.err.empty()) << ::testing::PrintToString(args);
    }
    EXPECT_EQ(Run({"nodes"}).out, "TITLE  TYPE  DEVICE  NODE NAME  LOGIN\n") << "nothing was added";
}

TEST_F(CliTest, VersionPrintsTheProductVersion) {
    const Result r = Run({"version"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out.rfind("NimbexShell ", 0), 0u) << r.out;
}

}  // namespace

namespace {

// The verbs on remote paths, against a real WebDAV server.
class CliRemoteTest : public CliTest {
protected:
    void SetUp() override {
        CliTest::SetUp();
        server_ = std::make_unique<nbx::test::WebDavServer>(
            nbx::test::WebDavServer::Kind::kApache, std::vector<std::string>{"share", "other"},
            std::vector<nbx::test::WebDavServer::User>{{"demo", "s3cret"}});
        ASSERT_TRUE(server_->Started());
        ASSERT_EQ(Run({"node", "add", "--title", "My Share", "--proxy", server_->BaseUrl(),
                       "--node-name", "share", "--login", "demo", "--password-stdin"},
                      "s3cret\n")
                      .status,
                  0);
        files_ = server_->DataDir() + "/share";
    }
    std::unique_ptr<nbx::test::WebDavServer> server_;
    std::string files_;
};

TEST_F(CliRemoteTest, EveryVerbOnAShare) {
    const std::string local = Root() + "/report 2024.txt";
    nbx::test::WriteFile(local, "quarterly figures");

    EXPECT_EQ(Run({"mkdir", "My Share:/Docs \xE6\x97\xA5\xE6\x9C\xAC"}).status, 0);
    Result r = Run({"put", local, "My Share:/Docs \xE6\x97\xA5\xE6\x9C\xAC/"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(nbx::test::ReadFile(files_ + "/Docs \xE6\x97\xA5\xE6\x9C\xAC/report 2024.txt"),
              "quarterly figures");

    r = Run({"ls", "My Share:/"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("d "), std::string::npos);
    EXPECT_NE(r.out.find("Docs \xE6\x97\xA5\xE6\x9C\xAC/\n"), std::string::npos) << r.out;
    r = Run({"ls", "--json", "My Share:/Docs \xE6\x97\xA5\xE6\x9C\xAC/"});
    EXPECT_NE(r.out.find("\"name\":\"report 2024.txt\""), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("\"size\":17"), std::string::npos) << r.out;

    EXPECT_EQ(Run({"mkdir", "My Share:/Copy"}).status, 0);
    EXPECT_EQ(Run({"cp", "My Share:/Docs \xE6\x97\xA5\xE6\x9C\xAC", "My Share:/Copy/"}).status, 0);
    EXPECT_EQ(nbx::test::ReadFile(files_ + "/Copy/Docs \xE6\x97\xA5\xE6\x9C\xAC/report 2024.txt"),
              "quarterly figures");
    EXPECT_EQ(Run({"mv", "My Share:/Copy/Docs \xE6\x97\xA5\xE6\x9C\xAC/report 2024.txt",
                   "My Share:/Copy/renamed.txt"})
                  .status,
              0);
    EXPECT_EQ(Run({"exists", "My Share:/Copy/renamed.txt"}).status, 0);
    EXPECT_EQ(Run({"exists", "My Share:/Copy/report 2024.txt"}).status, 1);

    const std::string folder = Root() + "/downloads";
    std::filesystem::create_directories(folder);
    r = Run({"get", "My Share:/Copy/renamed.txt", folder});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(nbx::test::ReadFile(folder + "/renamed.txt"), "quarterly figures");

    EXPECT_EQ(Run({"rm", "My Share:/Copy"}).status, 0) << "a folder, written without its slash";
    EXPECT_FALSE(std::filesystem::exists(files_ + "/Copy"));
    EXPECT_EQ(Run({"probe", "My Share"}).out, "Online\n");
    r = Run({"nodes", "--probe"});
    EXPECT_NE(r.out.find("STATE"), std::string::npos);
    EXPECT_NE(r.out.find("Online"), std::string::npos) << r.out;
}

// The part file's name cannot be guessed, and it is never opened through a link.
TEST_F(CliRemoteTest, GetNeverWritesThroughALinkPlantedAtThePartFile) {
    nbx::test::WriteFile(files_ + "/new.txt", "downloaded");
    const std::string victim = Root() + "/victim.txt";
    nbx::test::WriteFile(victim, "precious");
    const std::string local = Root() + "/new.txt";
    std::filesystem::create_symlink(victim, local + ".nimbex-part");
    const Result r = Run({"get", "My Share:/new.txt", local});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_FALSE(std::filesystem::is_symlink(local));
    EXPECT_EQ(nbx::test::ReadFile(local), "downloaded");
    EXPECT_EQ(nbx::test::ReadFile(victim), "precious");
    EXPECT_TRUE(std::filesystem::is_symlink(local + ".nimbex-part"));
    int parts = 0;
    for (const auto& entry : std::filesystem::directory_iterator(Root())) {
        parts += entry.path().filename().string().starts_with("new.txt.nimbex-part");
    }
    EXPECT_EQ(parts, 1) << "only the planted link is left beside the file";
}

TEST_F(CliRemoteTest, CopyAndMoveBetweenNodes) {
    ASSERT_EQ(Run({"node", "add", "--title", "Other", "--proxy", server_->BaseUrl(), "--node-name",
                   "other", "--login", "demo", "--password-stdin"},
                  "s3cret\n")
                  .status,
              0);
    nbx::test::WriteFile(files_ + "/data.bin", std::string(45000, 'd'));
    Result r = Run({"cp", "My Share:/data.bin", "Other:/"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(nbx::test::ReadFile(server_->DataDir() + "/other/data.bin"), std::string(45000, 'd'));
    r = Run({"mv", "My Share:/data.bin", "Other:/moved.bin"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(std::filesystem::exists(server_->DataDir() + "/other/moved.bin"));
    EXPECT_FALSE(std::filesystem::exists(files_ + "/data.bin"));
    EXPECT_EQ(Run({"cp", "My Share:/missing.bin", "Other:/"}).status, 1);
}

TEST_F(CliRemoteTest, FailuresSayTheSystemsMessage) {
    Result r = Run({"ls", "My Share:/no such folder/"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "nimbex ls: Specified folder does not exist!\n");

    const std::string kept = Root() + "/kept.txt";
    nbx::test::WriteFile(kept, "my own file");
    r = Run({"get", "My Share:/missing.txt", kept});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "nimbex get: Specified folder does not exist!\n");
    EXPECT_EQ(nbx::test::ReadFile(kept), "my own file") << "a failed download keeps the file";

    EXPECT_EQ(Run({"ls", "Nobody:/"}).err, "nimbex ls: no node is titled \"Nobody\"\n");
    EXPECT_EQ(Run({"ls", "not a remote path"}).status, 1);
    EXPECT_EQ(Run({"put", Root() + "/none.txt", "My Share:/x.txt"}).err,
              "nimbex put: the local file \"" + Root() + "/none.txt\" could not be read\n");
    EXPECT_EQ(Run({"cp", "My Share:/a", "Other:/b"}).status, 1);
    EXPECT_EQ(Run({"rm", "My Share:/"}).status, 1) << "never the whole node";
    std::filesystem::create_directories(files_ + "/sub");
    r = Run({"rm", "My Share:/sub/.."});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "nimbex rm: \"My Share:/sub/..\" cannot be addressed: the name \"..\"\n");
    EXPECT_TRUE(std::filesystem::is_directory(files_ + "/sub"));

    ASSERT_EQ(Run({"node", "add", "--title", "Wrong", "--proxy", server_->BaseUrl(), "--node-name",
                   "share", "--login", "demo", "--password-stdin"},
                  "nope\n")
                  .status,
              0);
    r = Run({"ls", "Wrong:/"});
    EXPECT_EQ(r.err,
              "nimbex ls: Authentication Failure, Please check your Nimbex node configuration.\n");
    r = Run({"probe", "Wrong"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "Offline (401)\n");
}

// A server's names may hold any character; on a terminal they must not act as escape
// sequences, nor break a line of the listing into two.
TEST_F(CliTest, ControlCharactersOfServerNamesAreShownEscaped) {
    // Sent as a server may send it: every byte escaped in the href, so the XML stays valid. (A
    // bell in a title is below: the href's decoding drops bytes below 10.)
    const std::string listing =
        "<?xml version=\"1.0\"?><d:multistatus xmlns:d=\"DAV:\">"
        "<d:response><d:href>/share/</d:href><d:propstat><d:prop><d:resourcetype>"
        "<d:collection/></d:resourcetype></d:prop><d:status>HTTP/1.1 200 OK</d:status>"
        "</d:propstat></d:response>"
        "<d:response><d:href>/share/a%1B%5B31mb%0Dc%0Ad%7F.txt</d:href><d:propstat><d:prop>"
        "<d:resourcetype/><d:getcontentlength>1</d:getcontentlength>"
        "<d:getlastmodified>Fri, 11 Dec 2026 12:00:00 GMT</d:getlastmodified></d:prop>"
        "<d:status>HTTP/1.1 200 OK</d:status></d:propstat></d:response></d:multistatus>";
    nbx::test::RawHttpServer server({{.bytes = nbx::test::HttpResponse(207, listing)}});
    ASSERT_EQ(Run({"node", "add", "--title", "Odd", "--proxy", server.BaseUrl(), "--node-name",
                   "share", "--login", "demo", "--password-stdin"},
                  "s3cret\n")
                  .status,
              0);
    const std::string shown = "a\\x1b[31mb\\rc\\nd\\x7f.txt";

    Result r = Run({"ls", "Odd:/"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("  " + shown + "\n"), std::string::npos) << r.out;
    for (const char ch : {'\x1b', '\r', '\x07', '\x7f'}) {
        EXPECT_EQ(r.out.find(ch), std::string::npos) << static_cast<int>(ch);
    }
    EXPECT_EQ(std::count(r.out.begin(), r.out.end(), '\n'), 1) << "one line for the one file";

    r = Run({"ls", "--json", "Odd:/"});
    EXPECT_NE(r.out.find("\"name\":\"a\\u001b[31mb\\rc\\nd"), std::string::npos) << r.out;

    r = Run({"ls",
             "No\x1b]0;x\x07"
             "body:/"});
    EXPECT_EQ(r.err, "nimbex ls: no node is titled \"No\\x1b]0;x\\x07body\"\n");
    r = Run({"node", "rm", "No\nbody"});
    EXPECT_EQ(r.err, "nimbex node rm: no node is titled \"No\\nbody\"\n");
}

// The window's log belongs to the window: a script's run keeps a log of its own beside it.
TEST_F(CliTest, ARunLeavesTheWindowsLogAlone) {
    const std::string windowLog = SessionLogPath();
    ASSERT_FALSE(windowLog.empty());
    nbx::test::WriteFile(windowLog, "INFO: the window's record\r\n");
    nbx::test::Child nimbex = nbx::test::Spawn({NBX_NIMBEX_PROGRAM, "version"});
    EXPECT_EQ(nbx::test::ReadLine(nimbex).rfind("NimbexShell ", 0), 0u);
    ASSERT_EQ(nbx::test::Wait(nimbex), 0);
    EXPECT_EQ(nbx::test::ReadFile(windowLog), "INFO: the window's record\r\n");
    const std::string cliLog = SessionLogPath(kCliSessionLogFileName);
    EXPECT_NE(nbx::test::ReadFile(cliLog).find("INFO: nimbex::Main() with arg: \"version\""),
              std::string::npos)
        << nbx::test::FileTail(cliLog);
}

// The cloud disk writes its times in a form of its own, in UTC; ls shows them as it shows the
// WebDAV servers' (conformance_tests checks those), and --json keeps the disk's own text.
TEST_F(CliTest, LsShowsTheCloudDisksTimesInTheCommonForm) {
    nbx::test::DevService service(
        std::vector<nbx::test::DevService::Account>{{"me@example.net", "disk pass"}});
    ASSERT_TRUE(service.Started());
    nbx::test::WriteFile(Root() + "/deployment.ini",
                         "[Service]\nDiskApiHost=" + service.DiskHost() +
                             "\n[Tls]\nCaBundle=" + service.CaFile() + "\n");
    ::setenv("NIMBEXSHELL_DEPLOYMENT", (Root() + "/deployment.ini").c_str(), 1);
    ApplyDeploymentTls(ReloadDeploymentProfile());
    struct Restore {
        ~Restore() {
            ::unsetenv("NIMBEXSHELL_DEPLOYMENT");
            ReloadDeploymentProfile();
            nbx::http::SetDefaultTls({});
        }
    } restore;
    const std::string file = service.DiskDir("me@example.net") + "/report.txt";
    nbx::test::WriteFile(file, "report");
    const std::time_t when = 1709629622;  // 2024-03-05 09:07:02 UTC
    const timespec times[2] = {{when, 0}, {when, 0}};
    ASSERT_EQ(::utimensat(AT_FDCWD, file.c_str(), times, 0), 0);
    ASSERT_EQ(Run({"node", "add", "--title", "Disk", "--proxy", service.DiskUrl(), "--login",
                   "me@example.net", "--password-stdin", "--node-type", "1", "--device-type", "9"},
                  "disk pass\n")
                  .status,
              0);

    Result r = Run({"ls", "Disk:/"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "-              6  " + nbx::FormatLocalIsoTime(when) + "  report.txt\n");
    r = Run({"ls", "--json", "Disk:/"});
    EXPECT_NE(r.out.find("\"modified\":\"2024-03-05 09:07:02\""), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("\"modified_iso\":\"" + nbx::FormatLocalIsoTime(when) + "\""),
              std::string::npos)
        << r.out;
}

TEST_F(CliTest, EveryVerbHasHelp) {
    for (const char* verb : {"version", "nodes", "node", "ls", "get", "put", "mkdir", "rm", "cp",
                             "mv", "exists", "probe"}) {
        const Result r = Run({verb, "--help"});
        EXPECT_EQ(r.status, 0) << verb;
        EXPECT_EQ(r.out.rfind(std::string("usage: nimbex ") + verb, 0), 0u) << r.out;
    }
}

}  // namespace

namespace {

TEST(TerminalProgressTest, DrawsOnATerminalOnly) {
    std::ostringstream shown;
    {
        nbx::cli::TerminalProgress progress(shown, true);
        progress.SetFileName("big.bin");
        progress.SetFileRange(1000);
        progress.SetSpeedText("1.50 KB/s");
        progress.SetFilePos(1000);
    }
    EXPECT_NE(shown.str().find("\rbig.bin"), std::string::npos) << shown.str();
    EXPECT_NE(shown.str().find("100%"), std::string::npos) << shown.str();
    EXPECT_NE(shown.str().find("1.50 KB/s"), std::string::npos) << shown.str();
    EXPECT_EQ(shown.str().back(), '\n') << "the bar's line is ended";

    std::ostringstream quiet;
    {
        nbx::cli::TerminalProgress progress(quiet, false);
        progress.SetFileRange(1000);
        progress.SetFilePos(500);
        EXPECT_FALSE(progress.IsProgressWindow()) << "nothing is reported to a script";
    }
    EXPECT_EQ(quiet.str(), "");
}

}  // namespace
