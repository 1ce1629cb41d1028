// The development service's cloud-disk API, driven over HTTPS by the program's own HTTP client.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <algorithm>
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "base/text_helpers.h"
#include "platform/http_client.h"
#include "support/dev_service.h"
#include "support/test_support.h"

namespace nbx::test {
namespace {

namespace fs = std::filesystem;

const DevService::Account kAlice{"alice@example.net", "s3cret:with a colon"};
const DevService::Account kBob{"bob@example.org", "hunter2"};

// An upload body as the client lays it out around the file's bytes.
std::string UploadHead(const std::string& folder, const std::string& name) {
    return "-----NbXsHeLlBoUnDaRy\r\n"
           "Content-Disposition: form-data; name=\"path\"\r\n\r\n" +
           folder +
           "\r\n-----NbXsHeLlBoUnDaRy\r\n"
           "Content-Disposition: form-data; name=\"file\"; filename=\"" +
           name + "\"\r\n\r\n";
}
const std::string kUploadTail = "\r\n-----NbXsHeLlBoUnDaRy--\r\n";
const http::Header kMultipart{"Content-Type", "multipart/form-data; boundary=---NbXsHeLlBoUnDaRy"};

std::string Query(const std::string& call, const std::string& path) {
    return "/nxapi/" + call + "/?path=" + EscapeUrlText(path);
}

// Bytes that differ from block to block, to be made again when checking.
class NoiseSource : public http::BodySource {
public:
    NoiseSource(std::string head, std::uint64_t size, std::string tail)
        : head_(std::move(head)), tail_(std::move(tail)), size_(size) {}

    long long Read(char* data, std::size_t capacity) override {
        std::size_t n = 0;
        while (n < capacity) {
            if (at_ < head_.size()) {
                data[n++] = head_[at_++];
            } else if (at_ < head_.size() + size_) {
                data[n++] = Next();
                ++at_;
            } else if (at_ < head_.size() + size_ + tail_.size()) {
                data[n++] = tail_[at_++ - head_.size() - size_];
            } else {
                break;
            }
        }
        return (long long)n;
    }

    char Next() {
        state_ ^= state_ << 13;
        state_ ^= state_ >> 7;
        state_ ^= state_ << 17;
        return char(state_ >> 24);
    }

private:
    std::string head_;
    std::string tail_;
    std::uint64_t size_;
    std::uint64_t at_ = 0;
    std::uint64_t state_ = 0x9E3779B97F4A7C15ull;
};

// A 24-bit BMP of that size with a colour ramp.
std::string Bmp(int width, int height) {
    const int row = (width * 3 + 3) / 4 * 4;
    std::string bmp;
    const auto le = [&bmp](std::uint32_t value, int bytes) {
        for (int i = 0; i < bytes; ++i) {
            bmp += char((value >> (8 * i)) & 0xFF);
        }
    };
    bmp += "BM";
    le(54 + row * height, 4);
    le(0, 4);
    le(54, 4);
    le(40, 4);
    le(width, 4);
    le(height, 4);
    le(1, 2);
    le(24, 2);
    le(0, 4);
    le(row * height, 4);
    le(2835, 4);
    le(2835, 4);
    le(0, 4);
    le(0, 4);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            bmp += char(x * 255 / width);
            bmp += char(y * 255 / height);
            bmp += char(128);
        }
        bmp.append(size_t(row - width * 3), '\0');
    }
    return bmp;
}

long VmHwmKiB(pid_t pid) {
    const std::string status = ReadFile("/proc/" + std::to_string(pid) + "/status");
    const size_t at = status.find("VmHWM:");
    return at == std::string::npos ? -1 : std::stol(status.substr(at + 6));
}

class DevServiceTest : public ::testing::Test {
protected:
    struct Answer {
        http::Result result;
        std::string body;
        int Status() const { return result.response.status; }
    };

    void SetUp() override { ASSERT_TRUE(service_.Started()); }

    http::Request Request(const std::string& target,
                          const std::optional<DevService::Account>& account = kAlice) const {
        http::Request request;
        request.url = service_.DiskUrl() + target;
        request.tls = http::TlsSettings{.caBundle = service_.CaFile(), .verifyPeer = true};
        if (account) {
            request.basicAuth = {{account->login, account->password}};
        }
        return request;
    }

    Answer Send(const http::Request& request, http::BodySource* source = nullptr) const {
        http::Client client;
        http::StringSink sink;
        Answer answer{client.Perform(request, &sink, source), ""};
        answer.body = std::move(sink.text);
        EXPECT_TRUE(answer.result.Ok()) << request.url << ": " << answer.result.message;
        return answer;
    }

    Answer Call(const std::string& target,
                const std::optional<DevService::Account>& account = kAlice) const {
        return Send(Request(target, account));
    }

    Answer Upload(const std::string& body, const std::vector<http::Header>& headers = {kMultipart},
                  const DevService::Account& account = kAlice) const {
        http::Request request = Request("/nxapi/upLoad/", account);
        request.method = "POST";
        request.headers = headers;
        request.body = body;
        return Send(request);
    }

    // Alice's disk on the file system.
    std::string Disk(const std::string& path = "") const {
        return service_.DiskDir(kAlice.login) + path;
    }
    // A file, or with a name ending in "/" a folder, on Alice's disk.
    void Put(const std::string& path, const std::string& content = "") const {
        if (path.ends_with('/')) {
            fs::create_directories(Disk(path));
            return;
        }
        fs::create_directories(fs::path(Disk(path)).parent_path());
        WriteFile(Disk(path), content);
    }
    // The names in a folder of Alice's disk, uploads in progress included.
    std::vector<std::string> Names(const std::string& folder) const {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(Disk(folder))) {
            names.push_back(entry.path().filename().native());
        }
        std::sort(names.begin(), names.end());
        return names;
    }

    DevService service_{{kAlice, kBob}};
};

TEST_F(DevServiceTest, ListsAFolderAsJsonWithFoldersMarked) {
    Put("/docs/a.txt", "hello");
    Put("/docs/b c.png", "png");
    Put("/docs/sub/");
    Put("/docs/.nbx-upload-Ab12Cd", "an upload still on its way");
    for (const char* name : {"a.txt", "b c.png", "sub"}) {
        const timespec times[2] = {{1700000000, 0}, {1700000000, 0}};
        ASSERT_EQ(::utimensat(AT_FDCWD, Disk(std::string("/docs/") + name).c_str(), times, 0), 0);
    }

    const Answer answer = Call(Query("getList", "/docs/"));
    EXPECT_EQ(answer.Status(), 200);
    EXPECT_EQ(answer.result.response.HeaderValue("Content-Type"), "application/json");
    EXPECT_EQ(answer.body,
              R"({"resultCode":0,"response":{"items":[)"
              R"({"name":"a.txt","prop":{"actualsize":"5","contenttype":"text/plain",)"
              R"("datetime":"2023-11-14 22:13:20"}},)"
              R"({"name":"b c.png","prop":{"actualsize":"3","contenttype":"image/png",)"
              R"("datetime":"2023-11-14 22:13:20"}},)"
              R"({"name":"sub","prop":{"actualsize":"0","contenttype":"httpd/unix-directory",)"
              R"("datetime":"2023-11-14 22:13:20"}}]}})");

    // Each account has a disk of its own.
    EXPECT_EQ(Call(Query("getList", "/"), kBob).body,
              R"({"resultCode":0,"response":{"items":[]}})");
    EXPECT_EQ(Call(Query("getList", "/docs/"), kBob).Status(), 404);
}

TEST_F(DevServiceTest, RefusesRequestsWithoutValidCredentials) {
    Put("/up/");
    const struct {
        const char* label;
        std::optional<DevService::Account> account;
    } rows[] = {
        {"no credentials", std::nullopt},
        {"wrong password", DevService::Account{kAlice.login, "s3cret"}},
        {"unknown login", DevService::Account{"eve@example.net", kAlice.password}},
        {"another account's password", DevService::Account{kAlice.login, kBob.password}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.label);
        const Answer listed = Call(Query("getList", "/"), row.account);
        EXPECT_EQ(listed.Status(), 401);
        EXPECT_EQ(listed.result.response.HeaderValue("WWW-Authenticate"), "Basic realm=\"Nimbex\"");
        if (row.account) {
            const Answer uploaded = Upload(UploadHead("/up/", "a.txt") + "data" + kUploadTail,
                                           {kMultipart}, *row.account);
            EXPECT_EQ(uploaded.Status(), 401);
        }
    }
    EXPECT_TRUE(Names("/up/").empty());

    http::Request garbled = Request(Query("getList", "/"), std::nullopt);
    garbled.headers = {{"Authorization", "Basic !!not base64!!"}};
    EXPECT_EQ(Send(garbled).Status(), 401);
}

TEST_F(DevServiceTest, OperationsChangeTheDiskOrSayWhyNot) {
    // Each row works in a folder of its own, "{}" in its target; a setup path ending in "/" is a
    // folder, and so is an expected path ending in "/".
    const struct {
        const char* label;
        std::vector<std::string> setup;
        std::string target;
        int status;
        std::vector<std::string> present;
        std::vector<std::string> absent;
    } rows[] = {
        {"mkdir", {}, "/nxapi/mkdir/?path={}new", 200, {"new/"}, {}},
        {"mkdir of a folder that is there", {"d/"}, "/nxapi/mkdir/?path={}d", 409, {"d/"}, {}},
        {"mkdir without its parent", {}, "/nxapi/mkdir/?path={}x%2Fy", 409, {}, {"x"}},
        {"delete a file", {"a.txt"}, "/nxapi/delete/?path={}a.txt", 200, {}, {"a.txt"}},
        {"delete a whole folder", {"d/e/f.txt"}, "/nxapi/delete/?path={}d%2F", 200, {}, {"d"}},
        {"delete what is not there", {}, "/nxapi/delete/?path={}a.txt", 404, {}, {}},
        {"copy a file",
         {"a.txt", "d/"},
         "/nxapi/copy/?srcpath={}a.txt&destpath={}d%2F",
         200,
         {"a.txt", "d/a.txt"},
         {}},
        {"copy a folder tree",
         {"s/t/u.txt", "d/"},
         "/nxapi/copy/?srcpath={}s%2F&destpath={}d%2F",
         200,
         {"s/t/u.txt", "d/s/t/u.txt"},
         {}},
        {"copy over what is there",
         {"s/u.txt", "d/s"},
         "/nxapi/copy/?srcpath={}s%2F&destpath={}d%2F",
         200,
         {"d/s/u.txt"},
         {}},
        {"copy what is not there",
         {"d/"},
         "/nxapi/copy/?srcpath={}a.txt&destpath={}d%2F",
         404,
         {},
         {"d/a.txt"}},
        {"copy into a missing folder",
         {"a.txt"},
         "/nxapi/copy/?srcpath={}a.txt&destpath={}d%2F",
         409,
         {"a.txt"},
         {"d"}},
        {"copy a folder into itself",
         {"s/"},
         "/nxapi/copy/?srcpath={}s%2F&destpath={}s%2F",
         409,
         {"s/"},
         {"s/s"}},
        {"move into a folder",
         {"a.txt", "d/"},
         "/nxapi/move/?srcpath={}a.txt&destpath={}d%2F",
         200,
         {"d/a.txt"},
         {"a.txt"}},
        {"move to a new name",
         {"a.txt"},
         "/nxapi/move/?srcpath={}a.txt&destpath={}b.txt",
         200,
         {"b.txt"},
         {"a.txt"}},
        {"rename a folder",
         {"s/t.txt"},
         "/nxapi/move/?srcpath={}s%2F&destpath={}u",
         200,
         {"u/t.txt"},
         {"s"}},
        {"move what is not there",
         {"d/"},
         "/nxapi/move/?srcpath={}a.txt&destpath={}d%2F",
         404,
         {},
         {"d/a.txt"}},
        {"move into a missing folder",
         {"a.txt"},
         "/nxapi/move/?srcpath={}a.txt&destpath={}d%2F",
         409,
         {"a.txt"},
         {}},
        {"move a folder below itself",
         {"s/t/"},
         "/nxapi/move/?srcpath={}s%2F&destpath={}s%2Ft%2F",
         409,
         {"s/t/"},
         {}},
        {"list what is not there", {}, "/nxapi/getList/?path={}d%2F", 404, {}, {}},
        {"list a file", {"a.txt"}, "/nxapi/getList/?path={}a.txt", 409, {}, {}},
        {"get what is not there", {}, "/nxapi/get/?path={}a.txt", 404, {}, {}},
        {"get a folder", {"d/"}, "/nxapi/get/?path={}d%2F", 501, {}, {}},
        {"a path leaving the disk", {}, "/nxapi/getList/?path={}..%2F..%2F", 400, {}, {}},
        {"a relative path", {}, "/nxapi/mkdir/?path=new", 400, {}, {}},
        {"an argument missing", {"a.txt"}, "/nxapi/copy/?srcpath={}a.txt", 400, {"a.txt"}, {}},
        {"a bad percent sign", {}, "/nxapi/mkdir/?path={}%2Gx", 400, {}, {}},
        {"deleting the disk itself", {}, "/nxapi/delete/?path=%2F", 409, {}, {}},
    };
    int n = 0;
    for (const auto& row : rows) {
        SCOPED_TRACE(row.label);
        const std::string folder = "/r" + std::to_string(++n) + "/";
        Put(folder);
        for (const std::string& path : row.setup) {
            Put(folder + path, "x");
        }
        std::string target = row.target;
        for (size_t at; (at = target.find("{}")) != std::string::npos;) {
            target.replace(at, 2, EscapeUrlText(folder));
        }

        const Answer answer = Call(target);
        EXPECT_EQ(answer.Status(), row.status);
        if (row.status == 200) {
            EXPECT_EQ(answer.body, R"({"resultCode":0})");
        } else {
            EXPECT_TRUE(answer.body.starts_with(R"({"resultCode":)" + std::to_string(row.status) +
                                                R"(,"message":")"))
                << answer.body;
        }
        for (const std::string& path : row.present) {
            EXPECT_TRUE(path.ends_with('/') ? fs::is_directory(Disk(folder + path))
                                            : fs::is_regular_file(Disk(folder + path)))
                << path;
        }
        for (const std::string& path : row.absent) {
            EXPECT_FALSE(fs::exists(Disk(folder + path))) << path;
        }
    }
}

TEST_F(DevServiceTest, GetAnswersTheFileWithItsLength) {
    std::string bytes;
    for (int i = 0; i < 300000; ++i) {
        bytes += char(i * 7 % 256);
    }
    Put("/f.bin", bytes);
    Put("/empty.txt", "");
    for (const std::string& file : {std::string("/f.bin"), std::string("/empty.txt")}) {
        SCOPED_TRACE(file);
        const Answer answer = Call(Query("get", file));
        EXPECT_EQ(answer.Status(), 200);
        EXPECT_EQ(answer.result.response.contentLength, fs::file_size(Disk(file)));
        EXPECT_EQ(answer.body, ReadFile(Disk(file)));
    }
}

TEST_F(DevServiceTest, ScalesPicturesForThumbnails) {
    Put("/p/wide.bmp", Bmp(300, 150));
    Put("/p/SMALL.BMP", Bmp(40, 30));
    Put("/p/broken.jpg", "not a picture");
    Put("/p/notes.txt", "text stays text");
    const struct {
        const char* target;
        int status;
        int width;  // of the PNG answered; 0: not a PNG
        int height;
    } rows[] = {
        {"/nxapi/get/?path=%2Fp%2Fwide.bmp&cx=96", 200, 96, 48},
        {"/nxapi/get/?path=%2Fp%2FSMALL.BMP&cx=96", 200, 40, 30},
        {"/nxapi/get/?path=%2Fp%2Fbroken.jpg&cx=96", 415, 0, 0},
        {"/nxapi/get/?path=%2Fp%2Fwide.bmp&cx=0", 400, 0, 0},
        {"/nxapi/get/?path=%2Fp%2Fnotes.txt&cx=96", 200, 0, 0},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.target);
        const Answer answer = Call(row.target);
        EXPECT_EQ(answer.Status(), row.status);
        if (row.width == 0) {
            continue;
        }
        EXPECT_EQ(answer.result.response.HeaderValue("Content-Type"), "image/png");
        ASSERT_GE(answer.body.size(), 24u);
        EXPECT_EQ(answer.body.substr(0, 8), "\x89PNG\r\n\x1a\n");
        const auto be32 = [&](size_t at) {
            return int(static_cast<unsigned char>(answer.body[at])) << 24 |
                   int(static_cast<unsigned char>(answer.body[at + 1])) << 16 |
                   int(static_cast<unsigned char>(answer.body[at + 2])) << 8 |
                   int(static_cast<unsigned char>(answer.body[at + 3]));
        };
        EXPECT_EQ(be32(16), row.width);
        EXPECT_EQ(be32(20), row.height);
    }
    EXPECT_EQ(Call("/nxapi/get/?path=%2Fp%2Fnotes.txt&cx=96").body, "text stays text");
}

TEST_F(DevServiceTest, UploadLandsOnDiskAndIsRecordedByteForByte) {
    Put("/up/");
    // Delimiter-like text inside the file is the file's, and so are bytes of every value.
    std::string content =
        "first line\r\n-----NbXsHeLlBoUnDaRyX\r\n-----NbXsHeLlBoUnDaR\r\n---NbXsHeLlBoUnDaRy--\r\n";
    for (int i = 0; i < 256; ++i) {
        content += char(i);
    }
    const std::string head = UploadHead("/up/", "report 1.txt");

    const Answer answer = Upload(head + content + kUploadTail);
    EXPECT_EQ(answer.Status(), 200);
    EXPECT_EQ(answer.body, R"({"resultCode":0})");
    EXPECT_EQ(ReadFile(Disk("/up/report 1.txt")), content);
    EXPECT_EQ(Names("/up/"), std::vector<std::string>{"report 1.txt"});

    const auto recorded = service_.LastRequest();
    ASSERT_TRUE(recorded);
    EXPECT_EQ(recorded->method, "POST");
    EXPECT_EQ(recorded->target, "/nxapi/upLoad/");
    EXPECT_EQ(recorded->Header("Content-Type"), kMultipart.second);
    EXPECT_EQ(recorded->uploadHead, head);
    EXPECT_EQ(recorded->uploadTail, kUploadTail);
    EXPECT_EQ(recorded->uploadFileLength, content.size());
    EXPECT_EQ(recorded->body, head + content + kUploadTail);
    EXPECT_TRUE(recorded->bodyComplete);
    EXPECT_EQ(recorded->status, 200);

    // A second upload of that name replaces the file.
    EXPECT_EQ(Upload(head + "new" + kUploadTail).Status(), 200);
    EXPECT_EQ(ReadFile(Disk("/up/report 1.txt")), "new");
}

TEST_F(DevServiceTest, RefusesUploadsItCannotTake) {
    Put("/up/");
    const std::string filePartOnly =
        "-----NbXsHeLlBoUnDaRy\r\nContent-Disposition: form-data; name=\"file\"; "
        "filename=\"a.txt\"\r\n\r\ndata" +
        kUploadTail;
    const struct {
        const char* label;
        std::string body;
        std::vector<http::Header> headers;
        int status;
    } rows[] = {
        {"a folder that is not there",
         UploadHead("/nope/", "a.txt") + "data" + kUploadTail,
         {kMultipart},
         409},
        {"a name that leaves the folder",
         UploadHead("/up/", "..") + "data" + kUploadTail,
         {kMultipart},
         400},
        {"a name with a slash",
         UploadHead("/up/", "a/b.txt") + "data" + kUploadTail,
         {kMultipart},
         400},
        {"no path part", filePartOnly, {kMultipart}, 400},
        {"no closing delimiter", UploadHead("/up/", "a.txt") + "data", {kMultipart}, 400},
        {"not multipart",
         UploadHead("/up/", "a.txt") + "data" + kUploadTail,
         {{"Content-Type", "application/octet-stream"}},
         400},
        {"the bytes alone", "data", {kMultipart}, 400},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.label);
        EXPECT_EQ(Upload(row.body, row.headers).Status(), row.status);
        EXPECT_TRUE(Names("/up/").empty());
    }
    EXPECT_FALSE(fs::exists(Disk("/a.txt")));
}

TEST_F(DevServiceTest, LargeUploadIsStreamedToDisk) {
    constexpr std::uint64_t kSize = 200ull << 20;
    Put("/big/");
    const std::string head = UploadHead("/big/", "noise.bin");
    NoiseSource source(head, kSize, kUploadTail);
    http::Request request = Request("/nxapi/upLoad/");
    request.method = "POST";
    request.headers = {kMultipart};
    request.contentLength = head.size() + kSize + kUploadTail.size();
    request.receiveTimeout = std::chrono::minutes(5);

    EXPECT_EQ(Send(request, &source).Status(), 200);

    // The service held a few blocks of it at a time, never the file.
    const long hwm = VmHwmKiB(service_.Pid());
    EXPECT_GT(hwm, 0);
    EXPECT_LT(hwm, long(kSize / 1024 / 3)) << "VmHWM " << hwm << " KiB";

    ASSERT_EQ(fs::file_size(Disk("/big/noise.bin")), kSize);
    NoiseSource expected("", kSize, "");
    std::ifstream in(Disk("/big/noise.bin"), std::ios::binary);
    std::vector<char> block(1 << 20);
    std::uint64_t mismatches = 0;
    while (in.read(block.data(), std::streamsize(block.size())) || in.gcount() > 0) {
        for (std::streamsize i = 0; i < in.gcount(); ++i) {
            mismatches += block[size_t(i)] != expected.Next();
        }
    }
    EXPECT_EQ(mismatches, 0u);

    const auto recorded = service_.LastRequest();
    ASSERT_TRUE(recorded);
    EXPECT_EQ(recorded->bodyLength, head.size() + kSize + kUploadTail.size());
    EXPECT_EQ(recorded->uploadHead, head);
    EXPECT_EQ(recorded->uploadTail, kUploadTail);
    EXPECT_EQ(recorded->uploadFileLength, kSize);
    EXPECT_EQ(recorded->bodyFirst.size(), 64u * 1024);
    EXPECT_TRUE(recorded->bodyLast.ends_with(kUploadTail));
}

TEST_F(DevServiceTest, UploadCutShortLeavesNoFile) {
    Put("/up/keep.txt", "the old file");
    const std::string head = UploadHead("/up/", "keep.txt");
    const std::string content(100000, 'n');
    const struct {
        const char* label;
        std::size_t sent;  // bytes of the body that go out before the connection is dropped
    } rows[] = {
        {"in the middle of the file", head.size() + content.size() / 2},
        {"after the file, before the tail", head.size() + content.size()},
        {"in the middle of the tail", head.size() + content.size() + 5},
    };
    const std::string body = head + content + kUploadTail;
    for (const auto& row : rows) {
        SCOPED_TRACE(row.label);
        service_.ResetHooks();
        {
            http::Client client;
            http::UploadSession session(client);
            http::Request request = Request("/nxapi/upLoad/");
            request.method = "POST";
            request.headers = {kMultipart};
            request.contentLength = body.size();
            ASSERT_TRUE(session.Open(request).Ok());
            ASSERT_TRUE(session.Write(body.data(), row.sent).Ok());
            session.Close(false);
        }
        // The service records the request once it has cleaned up after it.
        std::optional<DevService::RecordedRequest> recorded;
        for (int i = 0; i < 500 && !recorded; ++i) {
            recorded = service_.LastRequest();
            if (!recorded) {
                std::this_thread::sleep_for(std::chrono::milliseconds(20));
            }
        }
        ASSERT_TRUE(recorded);
        EXPECT_EQ(recorded->target, "/nxapi/upLoad/");
        EXPECT_FALSE(recorded->bodyComplete);
        EXPECT_EQ(recorded->bodyLength, row.sent);
        EXPECT_EQ(recorded->uploadHead, head);
        EXPECT_EQ(Names("/up/"), std::vector<std::string>{"keep.txt"});
        EXPECT_EQ(ReadFile(Disk("/up/keep.txt")), "the old file");
    }
}

TEST_F(DevServiceTest, NamesWithBlanksAmpersandsEqualsAndJapaneseRoundTrip) {
    const std::string folder = "/日本 & = x/";
    const std::string name = "a b&c=d 日本.txt";
    ASSERT_EQ(Call(Query("mkdir", folder)).Status(), 200);
    ASSERT_TRUE(fs::is_directory(Disk(folder)));

    ASSERT_EQ(Upload(UploadHead(folder, name) + "contents" + kUploadTail).Status(), 200);
    EXPECT_EQ(ReadFile(Disk(folder + name)), "contents");
    EXPECT_NE(Call(Query("getList", folder)).body.find("\"name\":\"" + name + "\""),
              std::string::npos);
    EXPECT_EQ(Call(Query("get", folder + name)).body, "contents");

    ASSERT_EQ(Call(Query("mkdir", "/コピー=&/")).Status(), 200);
    EXPECT_EQ(Call("/nxapi/copy/?srcpath=" + EscapeUrlText(folder + name) +
                   "&destpath=" + EscapeUrlText("/コピー=&/"))
                  .Status(),
              200);
    EXPECT_EQ(ReadFile(Disk("/コピー=&/" + name)), "contents");
    EXPECT_EQ(Call("/nxapi/move/?srcpath=" + EscapeUrlText(folder + name) +
                   "&destpath=" + EscapeUrlText(folder + "b=&?#.txt"))
                  .Status(),
              200);
    EXPECT_EQ(ReadFile(Disk(folder + "b=&?#.txt")), "contents");
    // The client leaves "?" unescaped; the record keeps the target as it came.
    const auto moved = service_.LastRequest();
    ASSERT_TRUE(moved);
    EXPECT_TRUE(moved->target.ends_with("destpath=" + EscapeUrlText(folder + "b=&?#.txt")));
    EXPECT_EQ(Call(Query("delete", folder)).Status(), 200);
    EXPECT_FALSE(fs::exists(Disk(folder)));
}

TEST_F(DevServiceTest, HooksSetTheNextAnswersAndShowTheLastRequest) {
    Put("/f.txt", "file");
    EXPECT_FALSE(service_.LastRequest());

    // Queued listings go out once each, in order, to requests that pass authentication.
    const std::string odd = "/* a comment */ {\"response\": {\"items\": {\"b\": 1}}";
    service_.SetNextListing(200, odd);
    service_.SetNextListing(500, "not JSON at all");
    EXPECT_EQ(Call(Query("getList", "/"), std::nullopt).Status(), 401);
    const Answer first = Call(Query("getList", "/"));
    EXPECT_EQ(first.Status(), 200);
    EXPECT_EQ(first.body, odd);
    const Answer second = Call(Query("getList", "/"));
    EXPECT_EQ(second.Status(), 500);
    EXPECT_EQ(second.body, "not JSON at all");
    EXPECT_TRUE(Call(Query("getList", "/")).body.starts_with(R"({"resultCode":0,)"));

    for (const int status : {200, 302, 404, 501}) {
        SCOPED_TRACE(status);
        service_.SetNextGetStatus(status);
        const Answer got = Call(Query("get", "/f.txt"));
        EXPECT_EQ(got.Status(), status);
        EXPECT_EQ(got.body, "");
    }
    EXPECT_EQ(Call(Query("get", "/f.txt")).body, "file");

    // Headers as they were sent: in their order, not sorted, and the target still encoded.
    http::Request request = Request(Query("getList", "/"));
    request.headers = {{"Content-Type", "text/xml"}, {"X-Second", "2"}, {"X-First", "1"}};
    Send(request);
    const auto recorded = service_.LastRequest();
    ASSERT_TRUE(recorded);
    EXPECT_EQ(recorded->method, "GET");
    EXPECT_EQ(recorded->target, "/nxapi/getList/?path=/");
    EXPECT_TRUE(recorded->head.starts_with("GET /nxapi/getList/?path=/ HTTP/1.1\r\n"));
    EXPECT_TRUE(recorded->head.ends_with("\r\n\r\n"));
    std::vector<std::string> names;
    for (const auto& [key, value] : recorded->headers) {
        if (key.starts_with("X-") || key == "Content-Type") {
            names.push_back(key + ": " + value);
        }
    }
    EXPECT_EQ(names,
              (std::vector<std::string>{"Content-Type: text/xml", "X-Second: 2", "X-First: 1"}));
    EXPECT_TRUE(recorded->Header("Authorization").starts_with("Basic "));
    EXPECT_EQ(recorded->status, 200);
    EXPECT_EQ(recorded->bodyLength, 0u);

    service_.ResetHooks();
    EXPECT_FALSE(service_.LastRequest());
}

TEST(DevServiceTlsTest, ClientTrustingOnlyTheCaRefusesTheRogueCertificate) {
    DevService service({kAlice}, {.testHooks = false, .rogueCert = true});
    ASSERT_TRUE(service.Started());
    EXPECT_EQ(service.HooksPort(), 0);

    const auto call = [&service](const std::string& trusted) {
        http::Client client;
        http::Request request;
        request.url = service.DiskUrl() + Query("getList", "/");
        request.tls = http::TlsSettings{.caBundle = trusted, .verifyPeer = true};
        request.basicAuth = {{kAlice.login, kAlice.password}};
        return client.Perform(request, nullptr);
    };
    const http::Result refused = call(service.CaFile());
    EXPECT_EQ(refused.error, http::Error::Transport) << refused.message;
    // The certificate itself is sound: trusted, it is taken.
    const http::Result taken = call(service.RogueCertFile());
    EXPECT_TRUE(taken.Ok()) << taken.message;
    EXPECT_EQ(taken.response.status, 200);
}

}  // namespace
}  // namespace nbx::test
