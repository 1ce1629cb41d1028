// The WebDAV file system and transfers against real servers on loopback.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <random>
#include <thread>

#include "base/session_log.h"
#include "nodes/nbx_node.h"
#include "remotefs/fs_service.h"
#include "remotefs/ft_service.h"
#include "support/raw_http_server.h"
#include "support/test_support.h"
#include "support/webdav_server.h"

namespace fs = std::filesystem;
using nbx::test::ReadFile;
using nbx::test::WebDavServer;
using nbx::test::WriteFile;

namespace {

std::string RandomBytes(std::size_t size, unsigned seed) {
    std::mt19937 gen(seed);
    std::string data(size, '\0');
    for (char& c : data) {
        c = static_cast<char>(gen() & 0xFF);
    }
    return data;
}

// Names that need every escaping rule, as a user may type them.
const std::vector<std::string> kOddNames = {
    "a b.txt",        "\xE5\xA0\xB1\xE5\x91\x8A\xE6\x9B\xB8.txt",
    "100%.txt",       "x&y=z.txt",
    "c++ notes.txt",  "#1 tag.txt",
    "semi;colon.txt", "quote's.txt",
};

class WebDavTest : public nbx::test::TempHome {
protected:
    void SetUp() override {
        TempHome::SetUp();
        OpenSessionLog(Root() + "/session.log");
        server_ = std::make_unique<WebDavServer>(
            WebDavServer::Kind::kApache, std::vector<std::string>{"share"},
            std::vector<WebDavServer::User>{{"demo", "s3cret"}});
        ASSERT_TRUE(server_->Started());
        node_ = std::make_unique<CNbxNode>(NodeSettings{.node_type = NodeType::SharedFolder,
                                                        .nbx_proxy = server_->BaseUrl(),
                                                        .node_name = "share",
                                                        .login = "demo",
                                                        .password = "s3cret",
                                                        .title_name = "Share"});
    }
    void TearDown() override {
        server_.reset();
        CloseSessionLog();
        TempHome::TearDown();
    }
    std::string OnServer(const std::string& path) const {
        return server_->DataDir() + "/share" + path;
    }
    std::string Log() const { return ReadFile(Root() + "/session.log"); }

    // name -> (folder, size) of a listing, the listed folder itself left out.
    std::map<std::string, std::pair<bool, std::uint64_t>> List(CNbxFileSystemService& service,
                                                               const std::string& folder) {
        std::map<std::string, std::pair<bool, std::uint64_t>> entries;
        EXPECT_EQ(service._LIST(*node_, folder), 200);
        for (const CNbxFile* f = service.GetFirst(); f != nullptr; f = service.GetNext()) {
            std::string name = f->name;
            EXPECT_EQ(name.rfind("/share" + folder, 0), 0u) << name;
            name.erase(0, std::string("/share" + folder).size());
            if (!name.empty() && name.back() == '/') {
                name.pop_back();
            }
            if (!name.empty()) {
                entries[name] = {f->isFolder, f->size};
            }
        }
        return entries;
    }

    std::unique_ptr<WebDavServer> server_;
    std::unique_ptr<CNbxNode> node_;
};

TEST_F(WebDavTest, FolderOperationsWithOddNames) {
    CNbxFileSystemService service;
    ASSERT_EQ(service._CREATE(*node_, "/Docs \xE6\x97\xA5\xE6\x9C\xAC/"), 200);
    EXPECT_TRUE(fs::is_directory(OnServer("/Docs \xE6\x97\xA5\xE6\x9C\xAC")));
    EXPECT_EQ(service._CREATE(*node_, "/Docs \xE6\x97\xA5\xE6\x9C\xAC/"), 405) << "it exists";

    for (const std::string& name : kOddNames) {
        WriteFile(OnServer("/Docs \xE6\x97\xA5\xE6\x9C\xAC/" + name), name);
    }
    auto entries = List(service, "/Docs \xE6\x97\xA5\xE6\x9C\xAC/");
    ASSERT_EQ(entries.size(), kOddNames.size());
    for (const std::string& name : kOddNames) {
        ASSERT_TRUE(entries.count(name)) << name;
        EXPECT_FALSE(entries[name].first);
        EXPECT_EQ(entries[name].second, name.size()) << name;
    }
    EXPECT_EQ(service._LIST(*node_, "/Docs \xE6\x97\xA5\xE6\x9C\xAC/"), 200);
    const CNbxFile* self = service.GetFirst();
    ASSERT_NE(self, nullptr);
    EXPECT_TRUE(self->isFolder) << "a Depth 1 answer holds the folder itself";
    EXPECT_FALSE(self->modifiedTime.empty());

    // Copy and move files and whole folders within the node.
    EXPECT_EQ(service._COPY(*node_, "/Docs \xE6\x97\xA5\xE6\x9C\xAC/x&y=z.txt", "/copy #1.txt"),
              200);
    EXPECT_EQ(ReadFile(OnServer("/copy #1.txt")), "x&y=z.txt");
    EXPECT_EQ(service._COPY(*node_, "/Docs \xE6\x97\xA5\xE6\x9C\xAC/", "/Backup/"), 200);
    EXPECT_EQ(ReadFile(OnServer("/Backup/100%.txt")), "100%.txt");
    EXPECT_EQ(service._MOVE(*node_, "/copy #1.txt", "/Backup/renamed+1.txt"), 200);
    EXPECT_FALSE(fs::exists(OnServer("/copy #1.txt")));
    EXPECT_EQ(ReadFile(OnServer("/Backup/renamed+1.txt")), "x&y=z.txt");
    EXPECT_EQ(service._MOVE(*node_, "/Backup/", "/Moved/"), 200);
    EXPECT_TRUE(fs::exists(OnServer("/Moved/renamed+1.txt")));

    EXPECT_EQ(service._DELETE(*node_, "/Moved/renamed+1.txt"), 200);
    EXPECT_FALSE(fs::exists(OnServer("/Moved/renamed+1.txt")));
    EXPECT_EQ(service._DELETE(*node_, "/Moved/"), 200);
    EXPECT_FALSE(fs::exists(OnServer("/Moved")));
    EXPECT_EQ(service._DELETE(*node_, "/Moved/"), 404);

    // Copying a path onto itself sends nothing.
    const std::string before = server_->AccessLogWith("\"DELETE /share/Moved/ HTTP/1.1\" 404");
    EXPECT_EQ(service._COPY(*node_, "/Docs \xE6\x97\xA5\xE6\x9C\xAC/a b.txt",
                            "/Docs \xE6\x97\xA5\xE6\x9C\xAC/a b.txt"),
              200);
    // A request after it marks the end: the log then holds that one record and nothing else.
    EXPECT_EQ(service._DELETE(*node_, "/end-mark"), 404);
    const std::string after = server_->AccessLogWith("\"DELETE /share/end-mark HTTP/1.1\" 404");
    ASSERT_EQ(after.rfind(before, 0), 0u);
    EXPECT_EQ(std::count(after.begin() + before.size(), after.end(), '\n'), 1) << after;
}

// A name holding "?" once went to the server as a query: a put overwrote "report" and an rm
// deleted it, both reported as success.
TEST_F(WebDavTest, ANameNeverAddressesAnotherFile) {
    CNbxFileSystemService fs;
    CNbxFileTransferService ft;
    WriteFile(OnServer("/report"), "keep me");
    WriteFile(Root() + "/up.txt", "new");
    EXPECT_EQ(ft._UPLOAD(*node_, Root() + "/up.txt", "/report?.txt"), 200);
    EXPECT_EQ(ReadFile(OnServer("/report?.txt")), "new");
    EXPECT_EQ(fs._DELETE(*node_, "/report?.old"), 404);
    EXPECT_EQ(ft._EXIST(*node_, "/report?.old"), 400) << "not there";
    EXPECT_EQ(ft._EXIST(*node_, "/report?.txt"), 200);
    EXPECT_EQ(ReadFile(OnServer("/report")), "keep me");

    // Listed names come back byte for byte, and each addresses its own file.
    const std::vector<std::string> names = {
        "a+b",    "%41",
        "a%",     std::string("ctl\x01\x1B\x7F", 6),
        " lead",  "trail ",
        "a\\b",   "[x];y",
        "q\"u'o", "\xE6\x97\xA5 #?&=",
    };
    fs::create_directories(OnServer("/odd"));
    for (const std::string& name : names) {
        WriteFile(OnServer("/odd/" + name), "is " + name);
    }
    const auto entries = List(fs, "/odd/");
    EXPECT_EQ(entries.size(), names.size());
    for (const std::string& name : names) {
        EXPECT_TRUE(entries.count(name)) << name;
        const std::string local = Root() + "/got";
        EXPECT_EQ(ft._DOWNLOAD(*node_, "/odd/" + name, local), 200) << name;
        EXPECT_EQ(ReadFile(local), "is " + name);
    }
    EXPECT_EQ(fs._MOVE(*node_, "/odd/a+b", "/odd/a b"), 200);
    EXPECT_EQ(ReadFile(OnServer("/odd/a b")), "is a+b");
    EXPECT_EQ(fs._DELETE(*node_, "/odd/%41"), 200);
    EXPECT_FALSE(fs::exists(OnServer("/odd/%41")));

    // A "." or ".." segment would be resolved into another folder: nothing is sent.
    EXPECT_EQ(fs._DELETE(*node_, "/odd/.."), -1);
    EXPECT_EQ(fs._MOVE(*node_, "/report", "/odd/../../x"), -1);
    EXPECT_EQ(ft._UPLOAD(*node_, Root() + "/up.txt", "/odd/../report"), 400);
    EXPECT_EQ(ReadFile(OnServer("/report")), "keep me");
    EXPECT_TRUE(fs::is_directory(OnServer("/odd")));
    EXPECT_NE(Log().find("the path \"/odd/..\" cannot be sent: the name \"..\""),
              std::string::npos);
}

// Servers escape a "/" inside a name, or list what a plain path cannot name; such entries are
// left out rather than shown under a path that addresses something else.
TEST_F(WebDavTest, ListedEntriesThatNoPathCanNameAreLeftOut) {
    const std::string body =
        "<?xml version=\"1.0\"?><D:multistatus xmlns:D=\"DAV:\">"
        "<D:response><D:href>/share/d/</D:href><D:propstat><D:prop><D:resourcetype>"
        "<D:collection/></D:resourcetype></D:prop></D:propstat></D:response>"
        "<D:response><D:href>/share/d/a%2Fb</D:href></D:response>"
        "<D:response><D:href>/share/d/a%00b</D:href></D:response>"
        "<D:response><D:href>/share/d/..</D:href></D:response>"
        "<D:response><D:href>http://127.0.0.1/share/d/%2e%2E</D:href></D:response>"
        "<D:response><D:href>/share/d/ok+1%zz</D:href></D:response>"
        "</D:multistatus>";
    nbx::test::RawHttpServer raw(
        {{.bytes = nbx::test::HttpResponse(207, body, "Content-Type: text/xml\r\n")}});
    CNbxNode node(*node_);
    node.nbx_proxy = raw.BaseUrl();
    CNbxFileSystemService fs;
    ASSERT_EQ(fs._LIST(node, "/d/"), 200);
    std::vector<std::string> names;
    for (const CNbxFile* f = fs.GetFirst(); f != nullptr; f = fs.GetNext()) {
        names.push_back(f->name);
    }
    EXPECT_EQ(names, (std::vector<std::string>{"/share/d/", "/share/d/ok+1%zz"}));
    EXPECT_EQ(fs.LeftOutCount(), 4) << "a walk that must be whole can tell";
    EXPECT_NE(Log().find("WARNING: CNbxFsWebDav::_LIST(): entry \"/share/d/a%2Fb\" left out: a "
                         "\"/\" inside a name"),
              std::string::npos)
        << Log();
}

TEST_F(WebDavTest, ListingFailuresGiveTheServersStatus) {
    CNbxFileSystemService service;
    EXPECT_EQ(service._LIST(*node_, "/no such folder/"), 404);
    EXPECT_EQ(service.GetCount(), 0);
    EXPECT_NE(Log().find("ERROR: CNbxFsWebDav::_LIST(): IServerXMLHTTPRequestPtr::send() failed "
                         "with status: \"404\" with response headers:\r\n  HTTP/1.1 404"),
              std::string::npos)
        << Log();

    CNbxNode wrong(*node_);
    wrong.password = "wrong";
    EXPECT_EQ(service._LIST(wrong, "/"), 401);

    CNbxNode nowhere(*node_);
    nowhere.nbx_proxy = "http://127.0.0.1:1";  // nothing listens there
    EXPECT_EQ(service._LIST(nowhere, "/"), -2);
    EXPECT_EQ(service._CREATE(nowhere, "/x/"), -1);
}

TEST_F(WebDavTest, FolderOfTenThousandEntries) {
    fs::create_directories(OnServer("/many"));
    for (int i = 0; i < 10000; ++i) {
        std::ofstream(OnServer("/many/file " + std::to_string(i) + ".txt")) << i;
    }
    CNbxFileSystemService service;
    const auto entries = List(service, "/many/");
    ASSERT_EQ(entries.size(), 10000u);
    EXPECT_EQ(entries.at("file 9999.txt").second, 4u);
    EXPECT_EQ(service.GetCount(), 10001);
}

TEST_F(WebDavTest, UploadAndDownloadKeepEveryByte) {
    const struct {
        const char* name;
        std::size_t size;
    } files[] = {{"empty.bin", 0},
                 {"one block.bin", 20000},
                 {"two blocks.bin", 40000},
                 {"odd \xE6\x97\xA5.bin", 1234567}};
    CNbxFileTransferService ft;
    for (const auto& f : files) {
        SCOPED_TRACE(f.name);
        const std::string data = RandomBytes(f.size, static_cast<unsigned>(f.size));
        const std::string local = Root() + "/up-" + f.name;
        WriteFile(local, data);
        ASSERT_EQ(ft._UPLOAD(*node_, local, std::string("/") + f.name), 200);
        EXPECT_EQ(ReadFile(OnServer(std::string("/") + f.name)), data);

        const std::string back = Root() + "/down-" + f.name;
        ASSERT_EQ(ft._DOWNLOAD(*node_, std::string("/") + f.name, back), 200);
        EXPECT_EQ(ReadFile(back), data);
    }
    EXPECT_NE(Log().find("DEBUG: CNbxFtWebDav::_DOWNLOAD(): Downloaded: 40000 / 40000 Speed: "),
              std::string::npos);
}

TEST_F(WebDavTest, DownloadOverwritesAReadOnlyLocalFile) {
    WriteFile(OnServer("/new.txt"), "new contents");
    const std::string local = Root() + "/old.txt";
    WriteFile(local, "old contents that are longer");
    ASSERT_EQ(::chmod(local.c_str(), 0444), 0);
    CNbxFileTransferService ft;
    ASSERT_EQ(ft._DOWNLOAD(*node_, "/new.txt", local), 200);
    EXPECT_EQ(ReadFile(local), "new contents");
}

TEST_F(WebDavTest, RefusedTransfersFail) {
    CNbxFileTransferService ft;
    const std::string local = Root() + "/file.txt";
    WriteFile(local, "payload");
    fs::create_directories(OnServer("/no-upload"));
    EXPECT_EQ(ft._UPLOAD(*node_, local, "/no-upload/file.txt"), 400)
        << "an upload the server answers with 403 is not a success";
    EXPECT_FALSE(fs::exists(OnServer("/no-upload/file.txt")));
    EXPECT_NE(Log().find("the server refused the upload with status: \"403\""), std::string::npos);

    EXPECT_EQ(ft._DOWNLOAD(*node_, "/missing.txt", Root() + "/missing.txt"), 400);
    EXPECT_NE(Log().find("CNbxFtWebDav::_DOWNLOAD(): CHttpFile::SendRequest() failed with error: "
                         "\"404\""),
              std::string::npos);
    EXPECT_EQ(ReadFile(Root() + "/missing.txt"), "") << "the error page is not stored";

    CNbxNode wrong(*node_);
    wrong.password = "nope";
    EXPECT_EQ(ft._UPLOAD(wrong, local, "/file.txt"), 400);
    EXPECT_FALSE(fs::exists(OnServer("/file.txt")));

    EXPECT_EQ(ft._UPLOAD(*node_, Root() + "/no such file", "/x.txt"), -1);
    WriteFile(OnServer("/new.txt"), "there");
    EXPECT_EQ(ft._DOWNLOAD(*node_, "/new.txt", Root() + "/no/such/dir/x"), -1);
    CNbxNode ftp(*node_);
    ftp.nbx_proxy = "ftp://127.0.0.1";
    EXPECT_EQ(ft._DOWNLOAD(ftp, "/x", Root() + "/x"), 400);
}

TEST_F(WebDavTest, ProbesAndExistence) {
    fs::create_directories(OnServer("/folder"));
    WriteFile(OnServer("/folder/file.txt"), "x");
    CNbxFileTransferService ft;
    EXPECT_EQ(ft._CHECK_ONLINE(*node_), 200);
    EXPECT_EQ(ft._EXIST(*node_, "/folder/"), 200);
    EXPECT_EQ(ft._EXIST(*node_, "/folder"), 200);
    EXPECT_EQ(ft._EXIST(*node_, "/folder/file.txt"), 200);
    EXPECT_EQ(ft._EXIST(*node_, "/folder/none.txt"), 400);

    CNbxNode wrong(*node_);
    wrong.password = "nope";
    EXPECT_EQ(ft._CHECK_ONLINE(wrong), 401);
    CNbxNode moved(*node_);
    moved.root_dir = "/gone/";
    EXPECT_EQ(ft._CHECK_ONLINE(moved), 404);
    CNbxNode nowhere(*node_);
    nowhere.nbx_proxy = "http://127.0.0.1:1";
    EXPECT_EQ(ft._CHECK_ONLINE(nowhere), 400);
}

TEST_F(WebDavTest, SessionsStreamBlockByBlock) {
    const std::string data = RandomBytes(45000, 7);
    WriteFile(OnServer("/stream.bin"), data);
    CNbxFileTransferService ft;
    std::uint64_t total = 0;
    ASSERT_EQ(ft._DOWNLOAD_SESSION_OPEN("/stream.bin", *node_, &total), 200);
    EXPECT_EQ(total, 45000u);
    std::string got;
    std::vector<std::size_t> blocks;
    char buffer[20000];
    for (;;) {
        std::size_t n = 0;
        ASSERT_EQ(ft._DOWNLOAD_SESSION_READ(buffer, sizeof buffer, &n), 200);
        if (n == 0) {
            break;
        }
        blocks.push_back(n);
        got.append(buffer, n);
        if (n < sizeof buffer) {
            break;
        }
    }
    EXPECT_EQ(ft._SESSION_CLOSE(false), 200);
    EXPECT_EQ(blocks, (std::vector<std::size_t>{20000, 20000, 5000}));
    EXPECT_EQ(got, data);

    ASSERT_EQ(ft._UPLOAD_SESSION_OPEN("/streamed.bin", *node_, data.size()), 200);
    for (std::size_t pos = 0; pos < data.size(); pos += 20000) {
        std::size_t written = 0;
        const std::size_t n = std::min<std::size_t>(20000, data.size() - pos);
        ASSERT_EQ(ft._UPLOAD_SESSION_WRITE(data.data() + pos, n, &written), 200);
        EXPECT_EQ(written, n);
    }
    EXPECT_EQ(ft._SESSION_CLOSE(true), 200);
    EXPECT_EQ(ReadFile(OnServer("/streamed.bin")), data);
    EXPECT_EQ(ft._SESSION_CLOSE(false), 200) << "closing without a session is harmless";
}

TEST_F(WebDavTest, UploadSessionAbandonedBeforeItsEndLeavesNoFile) {
    CNbxFileTransferService ft;
    const std::string block = RandomBytes(20000, 3);
    ASSERT_EQ(ft._UPLOAD_SESSION_OPEN("/partial.bin", *node_, 100000), 200);
    std::size_t written = 0;
    ASSERT_EQ(ft._UPLOAD_SESSION_WRITE(block.data(), block.size(), &written), 200);
    EXPECT_EQ(ft._SESSION_CLOSE(false), 200);
    // The server notices the broken body a moment later.
    for (int i = 0; i < 50 && fs::exists(OnServer("/partial.bin")); ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    EXPECT_FALSE(fs::exists(OnServer("/partial.bin")));

    CNbxFileTransferService again;
    ASSERT_EQ(again._UPLOAD_SESSION_OPEN("/short.bin", *node_, 100000), 200);
    ASSERT_EQ(again._UPLOAD_SESSION_WRITE(block.data(), block.size(), &written), 200);
    EXPECT_NE(again._SESSION_CLOSE(true), 200) << "a committed body shorter than announced fails";
    EXPECT_FALSE(fs::exists(OnServer("/short.bin")));
}

// Aborts from another thread once the transfer is under way, as the progress dialog does.
class AbortingProgress : public CNbxComnProgressDlg {
public:
    explicit AbortingProgress(CNbxFileTransferService& ft) : ft_(ft) {}
    void SetFileName(const std::string&) override {}
    void SetSpeedText(const std::string&) override {}
    void SetCountText(const std::string&) override {}
    void SetTotalRange(int) override {}
    void SetFileRange(std::uint64_t) override {}
    void SetFilePos(std::uint64_t bytes) override {
        if (bytes >= 1000000 && !started_.exchange(true)) {
            aborter_ = std::thread([this] { ft_.Abort(); });
        }
        last = bytes;
    }
    void SetTotalPos(int) override {}
    void ShowProgress() override {}
    void HideProgress() override {}
    bool IsProgressShown() override { return true; }
    bool IsProgressWindow() override { return true; }
    ~AbortingProgress() override {
        if (aborter_.joinable()) {
            aborter_.join();
        }
    }
    std::uint64_t last = 0;

private:
    CNbxFileTransferService& ft_;
    std::atomic<bool> started_{false};
    std::thread aborter_;
};

TEST_F(WebDavTest, AbortStopsARunningTransfer) {
    constexpr std::uint64_t kBig = 1ull << 30;
    std::ofstream{OnServer("/big.bin")}.close();
    fs::resize_file(OnServer("/big.bin"), kBig);  // sparse
    CNbxFileTransferService ft;
    AbortingProgress progress(ft);
    ft.SetProgressDlg(&progress);
    EXPECT_EQ(ft._DOWNLOAD(*node_, "/big.bin", Root() + "/big.bin"), 0);
    EXPECT_LT(progress.last, kBig);
    EXPECT_NE(Log().find("INFO: CNbxFtWebDav::_DOWNLOAD(): CNbxFtWebDav::IsAborted() returned "
                         "TRUE.\r\n"),
              std::string::npos);
    EXPECT_EQ(ft._DOWNLOAD(*node_, "/big.bin", Root() + "/again.bin"), 0)
        << "an aborted object stays aborted";

    const std::string local = Root() + "/up.bin";
    std::ofstream{local}.close();
    fs::resize_file(local, kBig);
    CNbxFileTransferService up;
    AbortingProgress upProgress(up);
    up.SetProgressDlg(&upProgress);
    EXPECT_EQ(up._UPLOAD(*node_, local, "/up.bin"), 0);
    EXPECT_LT(upProgress.last, kBig);
}

TEST_F(WebDavTest, FileBeyondFourGibibytesDownloadsWhole) {
    constexpr std::uint64_t kSize = (4ull << 30) + 4321;
    { std::ofstream out(OnServer("/huge.bin")); }
    fs::resize_file(OnServer("/huge.bin"), kSize);  // sparse on the server side
    {
        std::fstream tail(OnServer("/huge.bin"), std::ios::in | std::ios::out | std::ios::binary);
        tail.seekp(static_cast<std::streamoff>(kSize - 4));
        tail << "TAIL";
    }
    CNbxFileSystemService service;
    const auto entries = List(service, "/");
    EXPECT_EQ(entries.at("huge.bin").second, kSize) << "the listed size is not cut to 32 bits";

    CNbxFileTransferService ft;
    const std::string local = Root() + "/huge.bin";
    ASSERT_EQ(ft._DOWNLOAD(*node_, "/huge.bin", local), 200);
    EXPECT_EQ(fs::file_size(local), kSize);
    std::ifstream in(local, std::ios::binary);
    in.seekg(static_cast<std::streamoff>(kSize - 4));
    char tail[5] = {};
    in.read(tail, 4);
    EXPECT_STREQ(tail, "TAIL");
}

class ThumbnailDecoder : public IImageDecoder {
public:
    struct Bitmap : CNbxBitmap {
        int w, h;
        Bitmap(int w, int h) : w(w), h(h) {}
        int Width() const override { return w; }
        int Height() const override { return h; }
    };
    // Reads the size out of a PNG header; anything else is not a picture.
    std::unique_ptr<CNbxBitmap> Decode(const unsigned char* data, std::size_t size) override {
        if (size < 24 || std::memcmp(data, "\x89PNG\r\n\x1a\n", 8) != 0) {
            return nullptr;
        }
        auto be = [&](int at) {
            return data[at] << 24 | data[at + 1] << 16 | data[at + 2] << 8 | data[at + 3];
        };
        return std::make_unique<Bitmap>(be(16), be(20));
    }
};

TEST_F(WebDavTest, ThumbnailsOnlyForWorkstations) {
    std::string png("\x89PNG\r\n\x1a\n\0\0\0\rIHDR\0\0\0\x60\0\0\0\x40", 24);
    png += RandomBytes(45000 - png.size(), 9);
    WriteFile(OnServer("/pic.png"), png);
    ThumbnailDecoder decoder;
    SetImageDecoder(&decoder);
    CNbxNode workstation(*node_);
    workstation.node_type = NodeType::ServiceNode;
    workstation.device_type = DeviceKind::Workstation;
    CNbxFileTransferService ft;
    auto bitmap = ft._THUMBNAIL(workstation, "/pic.png");
    ASSERT_NE(bitmap, nullptr);
    EXPECT_EQ(bitmap->Width(), 96);
    EXPECT_EQ(bitmap->Height(), 64);
    EXPECT_NE(
        server_->AccessLogWith("/share/pic.png?cx=96&cy=96").find("/share/pic.png?cx=96&cy=96"),
        std::string::npos);

    for (int kind : {0, 1, 5, 7, 8}) {
        CNbxNode other(workstation);
        other.device_type = kind;
        EXPECT_EQ(ft._THUMBNAIL(other, "/pic.png"), nullptr) << kind;
    }
    WriteFile(OnServer("/not-a-picture.png"), "text");
    EXPECT_EQ(ft._THUMBNAIL(workstation, "/not-a-picture.png"), nullptr);
    SetImageDecoder(nullptr);
}

TEST(SecondWebDavServerTest, ListingReadsTheSameEntries) {
    WebDavServer server(WebDavServer::Kind::kLighttpd, {"share"}, {{"demo", "s3cret"}});
    ASSERT_TRUE(server.Started());
    const std::string base = server.DataDir() + "/share/";
    fs::create_directories(base + "sub folder");
    for (const std::string& name : kOddNames) {
        WriteFile(base + name, name);
    }
    const CNbxNode node(NodeSettings{.nbx_proxy = server.BaseUrl(),
                                     .node_name = "share",
                                     .login = "demo",
                                     .password = "s3cret"});
    CNbxFileSystemService service;
    ASSERT_EQ(service._LIST(node, "/"), 200);
    std::map<std::string, bool> names;
    for (const CNbxFile* f = service.GetFirst(); f != nullptr; f = service.GetNext()) {
        names[f->name] = f->isFolder;
    }
    EXPECT_TRUE(names.at("/share/"));
    EXPECT_TRUE(names.at("/share/sub folder/"));
    for (const std::string& name : kOddNames) {
        ASSERT_TRUE(names.count("/share/" + name)) << name;
        EXPECT_FALSE(names["/share/" + name]);
    }
}

}  // namespace
