#include <gtest/gtest.h>
#include <sstream>

#include "cli/command.h"
#include "nodes/sqlite_com.h"
#include "support/test_support.h"

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
