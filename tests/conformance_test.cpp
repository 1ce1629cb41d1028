// The nimbex verbs against every WebDAV server the project is tested with (Apache, lighttpd,
// nginx, rclone), each result checked in the server's own data folder. Where the servers differ,
// the difference is a row of ServerTraits, not a branch in a test.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <algorithm>
#include <ctime>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <random>
#include <regex>
#include <set>
#include <sstream>

#include "cli/command.h"
#include "nodes/sqlite_com.h"
#include "platform/server_time.h"
#include "support/test_support.h"
#include "support/webdav_server.h"

using nbx::test::ReadFile;
using nbx::test::WebDavServer;
using nbx::test::WriteFile;
namespace fs = std::filesystem;

namespace nbx::test {

void PrintTo(WebDavServer::Kind kind, std::ostream* out) {
    *out << WebDavServer::Name(kind);
}

}  // namespace nbx::test

namespace {

// How the servers differ where these tests look; one row each.
struct ServerTraits {
    bool refusesPutInNoUpload;  // rclone has no per-path rules
    const char* folderSize;     // what ls shows as a folder's size: lighttpd gives one
    // rclone keeps the time it first saw a folder with, whatever the disk says later.
    bool folderTimeFollowsTheDisk;
    // The longest file name a PUT can make: lighttpd first writes a temporary file beside the
    // target whose name is 10 bytes longer (and answers 500 past that).
    std::size_t longestName;
};

ServerTraits TraitsOf(WebDavServer::Kind kind) {
    switch (kind) {
        case WebDavServer::Kind::kApache:
            return {true, "0", true, 255};
        case WebDavServer::Kind::kLighttpd:
            return {true, "4096", true, 245};
        case WebDavServer::Kind::kNginx:
            return {true, "0", true, 255};
        case WebDavServer::Kind::kRclone:
            return {false, "0", false, 255};
    }
    return {};
}

// Local ISO 8601 dates as "DATE".
std::string WithoutDate(const std::string& text) {
    static const std::regex date(R"(\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d[+-]\d\d:\d\d)");
    return std::regex_replace(text, date, "DATE");
}

// A line of `nimbex ls`.
std::string LsLine(bool folder, const std::string& size, const std::string& date,
                   const std::string& name) {
    return std::string(folder ? "d " : "- ") + std::string(14 - size.size(), ' ') + size + "  " +
           date + "  " + name + (folder ? "/" : "") + "\n";
}

struct Result {
    int status;
    std::string out;
    std::string err;
};

Result Nimbex(const std::vector<std::string>& args, const std::string& input = "") {
    std::istringstream in(input);
    std::ostringstream out, err;
    nbx::cli::Io io{in, out, err};
    const int status = nbx::cli::Main(args, io);
    return {status, out.str(), err.str()};
}

std::string RandomBytes(std::size_t size, unsigned seed) {
    std::mt19937 gen(seed);
    std::string data(size, '\0');
    for (std::size_t i = 0; i < size; i += 4) {
        const std::uint32_t word = gen();
        for (std::size_t b = 0; b < 4 && i + b < size; ++b) {
            data[i + b] = static_cast<char>(word >> (8 * b));
        }
    }
    return data;
}

// A file's content as a test compares it: as it is when short, else its size and a hash, so
// that a failure shows something readable.
std::string Content(const std::string& bytes) {
    if (bytes.size() <= 64) {
        return bytes;
    }
    return std::to_string(bytes.size()) + " bytes, hash " +
           std::to_string(std::hash<std::string>{}(bytes));
}

// Everything below a folder: relative path to Content(), folders as "path/" to "".
std::map<std::string, std::string> Tree(const std::string& root) {
    std::map<std::string, std::string> tree;
    std::error_code ec;
    for (auto it = fs::recursive_directory_iterator(root, ec);
         !ec && it != fs::recursive_directory_iterator(); it.increment(ec)) {
        const std::string relative = fs::relative(it->path(), root).string();
        tree[it->is_directory() ? relative + "/" : relative] =
            it->is_directory() ? "" : Content(ReadFile(it->path().string()));
    }
    return tree;
}

// The tree with every path put below `prefix`.
std::map<std::string, std::string> Below(const std::string& prefix,
                                         const std::map<std::string, std::string>& tree) {
    std::map<std::string, std::string> out;
    for (const auto& [path, content] : tree) {
        out[prefix + path] = content;
    }
    return out;
}

void SetTime(const std::string& path, std::time_t when) {
    const timespec times[2] = {{when, 0}, {when, 0}};
    ASSERT_EQ(::utimensat(AT_FDCWD, path.c_str(), times, 0), 0) << path;
}

// One server of each kind for the whole program: a test makes node folders of its own in it.
std::map<WebDavServer::Kind, std::unique_ptr<WebDavServer>>& Servers() {
    static std::map<WebDavServer::Kind, std::unique_ptr<WebDavServer>> servers;
    return servers;
}

WebDavServer& ServerOf(WebDavServer::Kind kind) {
    std::unique_ptr<WebDavServer>& server = Servers()[kind];
    if (!server) {
        server = std::make_unique<WebDavServer>(
            kind, std::vector<std::string>{}, std::vector<WebDavServer::User>{{"demo", "s3cret"}});
    }
    return *server;
}

class ConformanceBase : public nbx::test::TempHome {
protected:
    static void TearDownTestSuite() { Servers().clear(); }
    void SetUp() override {
        TempHome::SetUp();
        CSQLiteCom::ReleaseInstance();
    }
    void TearDown() override {
        CSQLiteCom::ReleaseInstance();
        TempHome::TearDown();
    }

    // A node titled `title` in a folder of its own on the server; that folder on disk.
    std::string AddNode(const std::string& title, WebDavServer& server,
                        const std::string& password = "s3cret") {
        std::string folder = ::testing::UnitTest::GetInstance()->current_test_info()->name();
        std::replace(folder.begin(), folder.end(), '/', '-');
        folder += "-" + title;
        std::error_code ec;
        fs::create_directories(server.DataDir() + "/" + folder, ec);
        const Result r = Nimbex({"node", "add", "--title", title, "--proxy", server.BaseUrl(),
                                 "--node-name", folder, "--login", "demo", "--password-stdin"},
                                password + "\n");
        EXPECT_EQ(r.status, 0) << r.err;
        return server.DataDir() + "/" + folder;
    }
};

class ConformanceTest : public ConformanceBase,
                        public ::testing::WithParamInterface<WebDavServer::Kind> {
protected:
    void SetUp() override {
        ConformanceBase::SetUp();
        server_ = &ServerOf(GetParam());
        ASSERT_TRUE(server_->Started());
        files_ = AddNode("Share", *server_);
    }
    std::string OnDisk(const std::string& relative) const { return files_ + "/" + relative; }

    WebDavServer* server_ = nullptr;
    std::string files_;
};

TEST_P(ConformanceTest, ListsMakesFoldersAndFindsThem) {
    Result r = Nimbex({"ls", "Share:/"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "") << "an empty folder lists nothing, not itself";

    r = Nimbex({"mkdir", "Share:/Docs"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(fs::is_directory(OnDisk("Docs")));
    WriteFile(OnDisk("Docs/report.txt"), "quarterly figures");
    const std::time_t when = 1709629622;  // 2024-03-05 09:07:02 UTC
    SetTime(OnDisk("Docs/report.txt"), when);
    SetTime(OnDisk("Docs"), when);
    const std::string shown = nbx::FormatLocalIsoTime(when);

    r = Nimbex({"ls", "Share:/"});
    ASSERT_EQ(r.status, 0) << r.err;
    const ServerTraits traits = TraitsOf(GetParam());
    EXPECT_EQ(WithoutDate(r.out), LsLine(true, traits.folderSize, "DATE", "Docs"))
        << "one date form on every server";
    if (traits.folderTimeFollowsTheDisk) {
        EXPECT_EQ(r.out, LsLine(true, traits.folderSize, shown, "Docs"));
    }
    r = Nimbex({"ls", "Share:/Docs/"});
    EXPECT_EQ(r.out, LsLine(false, "17", shown, "report.txt"));
    r = Nimbex({"ls", "--json", "Share:/Docs"});
    EXPECT_NE(r.out.find("\"name\":\"report.txt\""), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("\"size\":17"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("\"modified_iso\":\"" + shown + "\""), std::string::npos) << r.out;
    EXPECT_TRUE(std::regex_search(r.out, std::regex("\"modified\":\"[A-Z][a-z]{2}, 05 Mar 2024 "
                                                    "09:07:02 GMT\"")))
        << "the server's own text is kept: " << r.out;

    for (const char* there : {"Share:/Docs", "Share:/Docs/", "Share:/Docs/report.txt", "Share:/"}) {
        EXPECT_EQ(Nimbex({"exists", there}).status, 0) << there;
    }
    for (const char* missing : {"Share:/Doc", "Share:/Docs/report", "Share:/Docs/none/"}) {
        EXPECT_EQ(Nimbex({"exists", missing}).status, 1) << missing;
    }
    EXPECT_EQ(Nimbex({"ls", "Share:/Docs/none/"}).status, 1);
    EXPECT_EQ(Tree(files_), (std::map<std::string, std::string>{
                                {"Docs/", ""}, {"Docs/report.txt", "quarterly figures"}}))
        << "looking changed nothing";
}

TEST_P(ConformanceTest, RemovesAFileAndAFolderWithEverythingInIt) {
    WriteFile(OnDisk("a.txt"), "a");
    WriteFile(OnDisk("keep.txt"), "kept");
    fs::create_directories(OnDisk("Tree/sub/empty"));
    WriteFile(OnDisk("Tree/x.txt"), "x");
    WriteFile(OnDisk("Tree/sub/y.bin"), RandomBytes(30000, 1));

    Result r = Nimbex({"rm", "Share:/a.txt"});
    EXPECT_EQ(r.status, 0) << r.err;
    r = Nimbex({"rm", "Share:/Tree"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(Tree(files_), (std::map<std::string, std::string>{{"keep.txt", "kept"}}));
    EXPECT_EQ(Nimbex({"rm", "Share:/a.txt"}).status, 1) << "already gone";
}

TEST_P(ConformanceTest, CopiesAndMovesFilesAndFolderTreesWithinANode) {
    WriteFile(OnDisk("f.txt"), "file");
    fs::create_directories(OnDisk("Tree/sub/empty"));
    WriteFile(OnDisk("Tree/x.txt"), "x");
    WriteFile(OnDisk("Tree/sub/y.bin"), RandomBytes(30000, 2));
    const auto tree = Tree(OnDisk("Tree"));

    Result r = Nimbex({"cp", "Share:/f.txt", "Share:/f copy.txt"});
    EXPECT_EQ(r.status, 0) << r.err;
    ASSERT_EQ(Nimbex({"mkdir", "Share:/Copies"}).status, 0);
    r = Nimbex({"cp", "Share:/Tree", "Share:/Copies/"});
    EXPECT_EQ(r.status, 0) << r.err;
    r = Nimbex({"mv", "Share:/f copy.txt", "Share:/Copies/moved.txt"});
    EXPECT_EQ(r.status, 0) << r.err;
    r = Nimbex({"mv", "Share:/Copies/Tree", "Share:/Moved Tree"});
    EXPECT_EQ(r.status, 0) << r.err;

    std::map<std::string, std::string> expected = {
        {"f.txt", "file"}, {"Copies/", ""}, {"Copies/moved.txt", "file"}};
    expected.merge(Below("Tree/", tree));
    expected["Tree/"] = "";
    expected.merge(Below("Moved Tree/", tree));
    expected["Moved Tree/"] = "";
    EXPECT_EQ(Tree(files_), expected);
}

TEST_P(ConformanceTest, TransfersKeepEveryByte) {
    // Empty, one block, one byte past it, and many blocks.
    for (const std::size_t size :
         {std::size_t{0}, std::size_t{20000}, std::size_t{20001}, std::size_t{50} << 20}) {
        SCOPED_TRACE(size);
        const std::string name = std::to_string(size) + ".bin";
        const std::string up = RandomBytes(size, unsigned(size) + 1);
        WriteFile(Root() + "/up-" + name, up);
        Result r = Nimbex({"put", Root() + "/up-" + name, "Share:/up-" + name});
        EXPECT_EQ(r.status, 0) << r.err;
        EXPECT_EQ(Content(ReadFile(OnDisk("up-" + name))), Content(up)) << "the upload is whole";
        EXPECT_EQ(fs::file_size(OnDisk("up-" + name)), size);

        const std::string down = RandomBytes(size, unsigned(size) + 2);
        WriteFile(OnDisk("down-" + name), down);
        r = Nimbex({"get", "Share:/down-" + name, Root() + "/down-" + name});
        EXPECT_EQ(r.status, 0) << r.err;
        EXPECT_EQ(Content(ReadFile(Root() + "/down-" + name)), Content(down))
            << "the download is whole";
        EXPECT_EQ(fs::file_size(Root() + "/down-" + name), size);
        fs::remove(OnDisk("up-" + name));
        fs::remove(OnDisk("down-" + name));
        fs::remove(Root() + "/up-" + name);
        fs::remove(Root() + "/down-" + name);
    }
}

TEST_P(ConformanceTest, UploadBelowNoUploadIsRefusedWhereTheServerCan) {
    if (!TraitsOf(GetParam()).refusesPutInNoUpload) {
        GTEST_SKIP() << WebDavServer::Name(GetParam()) << " has no per-path rules";
    }
    fs::create_directories(OnDisk("no-upload"));
    WriteFile(Root() + "/x.txt", "x");
    const Result r = Nimbex({"put", Root() + "/x.txt", "Share:/no-upload/x.txt"});
    EXPECT_EQ(r.status, 1);
    EXPECT_FALSE(fs::exists(OnDisk("no-upload/x.txt")));
}

TEST_P(ConformanceTest, ProbeWithTheRightAndAWrongPassword) {
    Result r = Nimbex({"probe", "Share"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "Online\n");
    AddNode("Wrong", *server_, "nope");
    r = Nimbex({"probe", "Wrong"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "Offline (401)\n");
    EXPECT_EQ(Nimbex({"exists", "Wrong:/"}).status, 1);
    r = Nimbex({"ls", "Wrong:/"});
    EXPECT_EQ(r.err,
              "nimbex ls: Authentication Failure, Please check your Nimbex node configuration.\n");
}

// Names that a file may have and that mean something in a URL, on a command line or to a
// server: one for each printable ASCII character but "/", blanks at either end, an escape that
// decodes to another name, non-ASCII, and a name of as many whole UTF-8 characters as fit in
// `longest` bytes (255 is the most a Linux folder takes).
std::vector<std::string> OddNames(std::size_t longest) {
    std::vector<std::string> names;
    for (char c = ' '; c <= '~'; ++c) {
        if (c != '/') {
            names.push_back(std::string("a") + c + "b");
        }
    }
    std::string longName;
    while (longName.size() + 3 <= longest) {
        longName += "\xE6\x97\xA5";  // 日
    }
    names.insert(names.end(), {"a[b]", " lead", "trail ", "  ", "%41", "%2F", "a%20b", "+",
                               "\xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E", longName});
    return names;
}

// Each verb addresses exactly the named file: after every step the node's folder holds what
// that step should leave and nothing else, its decoys (what a name cut at "?" or "#", or
// decoded once too often, would address) untouched.
TEST_P(ConformanceTest, EveryVerbAddressesExactlyTheNamedFile) {
    const std::map<std::string, std::string> decoys = {{"a", "decoy a"}, {"A", "decoy A"},
                                                       {"b", "decoy b"}, {"ab", "decoy ab"},
                                                       {"copies/", ""},  {"moved/", ""}};
    auto writeDecoys = [&] {
        for (const auto& [path, content] : decoys) {
            if (path.back() == '/') {
                fs::create_directories(OnDisk(path));
            } else {
                WriteFile(OnDisk(path), content);
            }
        }
    };
    writeDecoys();
    const std::string local = Root() + "/local";
    for (const std::string& name : OddNames(TraitsOf(GetParam()).longestName)) {
        SCOPED_TRACE("the name \"" + name + "\"");
        const std::string remote = "Share:/" + name;
        const std::string content = "content of " + name;
        const std::string kept = Content(content);
        auto with = [&](std::map<std::string, std::string> extra) {
            extra.insert(decoys.begin(), decoys.end());
            return extra;
        };
        WriteFile(local, content);

        Result r = Nimbex({"put", local, remote});
        EXPECT_EQ(r.status, 0) << "put: " << r.err;
        EXPECT_EQ(Tree(files_), with({{name, kept}})) << "put";

        r = Nimbex({"ls", "Share:/"});
        EXPECT_EQ(r.status, 0) << "ls: " << r.err;
        std::set<std::string> listed;
        std::istringstream lines(r.out);
        for (std::string line; std::getline(lines, line);) {
            listed.insert(line.size() > 45 ? line.substr(45) : line);  // after mark, size, date
        }
        EXPECT_EQ(listed, (std::set<std::string>{"a", "A", "b", "ab", "copies/", "moved/", name}))
            << "ls";

        fs::remove(local);
        r = Nimbex({"get", remote, local});
        EXPECT_EQ(r.status, 0) << "get: " << r.err;
        EXPECT_EQ(ReadFile(local), content) << "get";

        EXPECT_EQ(Nimbex({"exists", remote}).status, 0) << "exists";

        r = Nimbex({"cp", remote, "Share:/copies/"});
        EXPECT_EQ(r.status, 0) << "cp: " << r.err;
        EXPECT_EQ(Tree(files_), with({{name, kept}, {"copies/" + name, kept}})) << "cp";

        r = Nimbex({"mv", "Share:/copies/" + name, "Share:/moved/"});
        EXPECT_EQ(r.status, 0) << "mv: " << r.err;
        EXPECT_EQ(Tree(files_), with({{name, kept}, {"moved/" + name, kept}})) << "mv";

        r = Nimbex({"rm", "Share:/moved/" + name});
        EXPECT_EQ(r.status, 0) << "rm: " << r.err;
        r = Nimbex({"rm", remote});
        EXPECT_EQ(r.status, 0) << "rm: " << r.err;
        EXPECT_EQ(Tree(files_), with({})) << "rm";
        EXPECT_EQ(Nimbex({"exists", remote}).status, 1) << "exists once removed";

        // The next name starts from the decoys alone, whatever went wrong here.
        for (const auto& [path, ignored] : Tree(files_)) {
            if (!decoys.count(path)) {
                std::error_code ec;
                fs::remove_all(OnDisk(path), ec);
            }
        }
        writeDecoys();
    }
}

INSTANTIATE_TEST_SUITE_P(Servers, ConformanceTest, ::testing::ValuesIn(WebDavServer::AllKinds()),
                         [](const auto& info) { return WebDavServer::Name(info.param); });

// A file copied and moved from a node on one server to a node on another.
class BetweenServersTest
    : public ConformanceBase,
      public ::testing::WithParamInterface<std::pair<WebDavServer::Kind, WebDavServer::Kind>> {};

TEST_P(BetweenServersTest, CopiesAndMovesAFile) {
    WebDavServer& from = ServerOf(GetParam().first);
    WebDavServer& to = ServerOf(GetParam().second);
    ASSERT_TRUE(from.Started());
    ASSERT_TRUE(to.Started());
    const std::string source = AddNode("From", from);
    const std::string target = AddNode("To", to);
    const std::string data = RandomBytes(3 << 20, 3);
    WriteFile(source + "/data.bin", data);

    Result r = Nimbex({"cp", "From:/data.bin", "To:/"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(Content(ReadFile(target + "/data.bin")), Content(data));
    r = Nimbex({"mv", "From:/data.bin", "To:/moved.bin"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(Content(ReadFile(target + "/moved.bin")), Content(data));
    EXPECT_EQ(Tree(source), (std::map<std::string, std::string>{})) << "moved away";
    EXPECT_EQ(Tree(target).size(), 2u);
}

// Every server once as the source and once as the destination.
INSTANTIATE_TEST_SUITE_P(
    Pairs, BetweenServersTest,
    ::testing::Values(std::pair{WebDavServer::Kind::kApache, WebDavServer::Kind::kNginx},
                      std::pair{WebDavServer::Kind::kRclone, WebDavServer::Kind::kLighttpd},
                      std::pair{WebDavServer::Kind::kNginx, WebDavServer::Kind::kRclone},
                      std::pair{WebDavServer::Kind::kLighttpd, WebDavServer::Kind::kApache}),
    [](const auto& info) {
        return WebDavServer::Name(info.param.first) + "To" + WebDavServer::Name(info.param.second);
    });

}  // namespace
