// The servers that the HTTP and WebDAV client tests talk to, checked with plain sockets and the
// curl tool, so that a failing client test points at the client and not at its server.

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>
#include <algorithm>
#include <cctype>
#include <chrono>
#include <ctime>
#include <filesystem>
#include <memory>
#include <regex>
#include <sstream>
#include <thread>

#include "support/raw_http_server.h"
#include "support/test_support.h"
#include "support/webdav_server.h"

using namespace std::chrono_literals;
using nbx::test::HttpResponse;
using nbx::test::RawHttpServer;
using nbx::test::RawReply;
using nbx::test::WebDavServer;

namespace nbx::test {

// Names the server in test output instead of its bytes.
void PrintTo(WebDavServer::Kind kind, std::ostream* out) {
    *out << WebDavServer::Name(kind);
}

}  // namespace nbx::test

namespace {

const std::string kAlice = "alice:secret";
const std::string kBob = "bob:pa:ss word";

struct Answer {
    int code = 0;
    std::string body;
};

// Runs curl with the given arguments; its exit status and what it wrote to standard output.
std::pair<int, std::string> Curl(std::vector<std::string> args) {
    // -q: no ~/.curlrc; --noproxy: a proxy from the environment must not see loopback traffic.
    args.insert(args.begin(), {NBX_CURL_TOOL, "-q", "-s", "--noproxy", "*", "--max-time", "60"});
    nbx::test::Child child = nbx::test::Spawn(args);
    std::string out;
    char buffer[65536];
    ssize_t n;
    while ((n = ::read(child.out, buffer, sizeof buffer)) > 0) {
        out.append(buffer, size_t(n));
    }
    const int status = nbx::test::Wait(child);
    return {status, out};
}

Answer Request(std::vector<std::string> args) {
    args.push_back("-w");
    args.push_back("\n%{http_code}");
    const auto [status, out] = Curl(args);
    const size_t end = out.rfind('\n');
    if (status != 0 || end == std::string::npos) {
        return {};
    }
    return {std::stoi(out.substr(end + 1)), out.substr(0, end)};
}

size_t Count(const std::string& text, const std::string& what) {
    size_t count = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) {
        ++count;
    }
    return count;
}

std::string Lower(std::string s) {
    std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return std::tolower(c); });
    return s;
}

class Socket {
public:
    explicit Socket(int port) : fd_(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0)) {
        const timeval timeout{.tv_sec = 5, .tv_usec = 0};
        ::setsockopt(fd_, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_port = htons(uint16_t(port));
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        connected_ = ::connect(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    }
    ~Socket() { ::close(fd_); }
    Socket(const Socket&) = delete;
    Socket& operator=(const Socket&) = delete;

    bool Connected() const { return connected_; }

    void Send(std::string_view bytes) {
        while (!bytes.empty()) {
            const ssize_t n = ::send(fd_, bytes.data(), bytes.size(), MSG_NOSIGNAL);
            ASSERT_GT(n, 0);
            bytes.remove_prefix(size_t(n));
        }
    }
    // Up to max bytes of what comes next; empty at the end or after 5 s of silence.
    std::string ReadSome(size_t max = 65536) {
        std::string buffer(max, '\0');
        const ssize_t n = ::recv(fd_, buffer.data(), max, 0);
        buffer.resize(n > 0 ? size_t(n) : 0);
        return buffer;
    }
    std::string ReadExactly(size_t size) {
        std::string out;
        for (std::string part;
             out.size() < size && !(part = ReadSome(size - out.size())).empty();) {
            out += part;
        }
        return out;
    }
    std::string ReadToEnd() {
        std::string out;
        for (std::string part; !(part = ReadSome()).empty();) {
            out += part;
        }
        return out;
    }
    bool QuietFor(std::chrono::milliseconds time) {
        pollfd p{fd_, POLLIN, 0};
        return ::poll(&p, 1, int(time.count())) == 0;
    }

private:
    int fd_;
    bool connected_ = false;
};

bool Alive(pid_t pid) {
    return nbx::test::ProcessAlive(pid);
}

// The elements of a prop, each whole and in order of their text, blanks between them dropped.
std::string SortedProperties(const std::string& prop) {
    std::vector<std::string> elements;
    size_t start = std::string::npos;
    int depth = 0;
    for (size_t at = prop.find('<'); at != std::string::npos; at = prop.find('<', at + 1)) {
        const size_t end = prop.find('>', at);
        if (end == std::string::npos) {
            break;
        }
        if (depth == 0) {
            start = at;
        }
        if (prop[at + 1] == '/') {
            --depth;
        } else if (prop[end - 1] != '/') {
            ++depth;
        }
        if (depth == 0) {
            elements.push_back(prop.substr(start, end + 1 - start));
        }
    }
    std::sort(elements.begin(), elements.end());
    std::string out;
    for (const std::string& element : elements) {
        out += element;
    }
    return out;
}

// The responses of a multistatus, sorted (the listing order follows the file system), with what
// differs from one run to the next blanked out or put in order: times, etags, the order of
// Apache's namespace declarations and of rclone's properties.
std::vector<std::string> Responses(const std::string& multistatus) {
    static const std::regex changing("<([A-Za-z0-9]+:)(creationdate|getetag)>[^<]*<");
    std::string text = std::regex_replace(multistatus, changing, "<$1$2>*<");
    for (size_t at = text.find("<D:prop>"); at != std::string::npos;
         at = text.find("<D:prop>", at + 1)) {
        const size_t end = text.find("</D:prop>", at);
        if (end == std::string::npos) {
            break;
        }
        const std::string sorted = SortedProperties(text.substr(at + 8, end - at - 8));
        text.replace(at + 8, end - at - 8, sorted);
    }
    std::vector<std::string> out;
    for (size_t at = text.find("<D:response"); at != std::string::npos;
         at = text.find("<D:response", at + 1)) {
        const size_t tag_end = text.find('>', at);
        std::vector<std::string> attributes;
        std::istringstream tag(text.substr(at + 11, tag_end - at - 11));
        for (std::string attribute; tag >> attribute;) {
            attributes.push_back(attribute);
        }
        std::sort(attributes.begin(), attributes.end());
        std::string response = "<D:response";
        for (const std::string& attribute : attributes) {
            response += " " + attribute;
        }
        out.push_back(response + text.substr(tag_end, text.find("</D:response>", at) - tag_end));
    }
    std::sort(out.begin(), out.end());
    return out;
}

// How the servers differ where these tests look; one row each.
struct ServerTraits {
    bool refusesPutInNoUpload;     // rclone has no per-path rules
    bool servesDepthInfinity;      // nginx answers PROPFIND Depth infinity with 403
    bool listsHugeFoldersQuickly;  // rclone takes minutes over 100,000 entries
};

ServerTraits TraitsOf(WebDavServer::Kind kind) {
    switch (kind) {
        case WebDavServer::Kind::kApache:
            return {true, true, true};
        case WebDavServer::Kind::kLighttpd:
            return {true, true, true};
        case WebDavServer::Kind::kNginx:
            return {true, false, true};
        case WebDavServer::Kind::kRclone:
            return {false, true, false};
    }
    return {};
}

}  // namespace

class DavServerTest : public nbx::test::TempHome,
                      public ::testing::WithParamInterface<WebDavServer::Kind> {
protected:
    void SetUp() override {
        TempHome::SetUp();
        server_ = std::make_unique<WebDavServer>(
            GetParam(), std::vector<std::string>{"share", "other"},
            std::vector<WebDavServer::User>{{"alice", "secret"}, {"bob", "pa:ss word"}});
        ASSERT_TRUE(server_->Started());
    }
    void TearDown() override {
        server_.reset();
        TempHome::TearDown();
    }

    std::string Url(const std::string& path) const { return server_->BaseUrl() + path; }
    std::string Share(const std::string& relative) const {
        return server_->DataDir() + "/share/" + relative;
    }

    std::unique_ptr<WebDavServer> server_;
};

TEST_P(DavServerTest, PutAndGetNeedALogin) {
    EXPECT_EQ(Request({Url("/share/")}).code, 401);
    EXPECT_EQ(Request({"-u", "alice:wrong", Url("/share/")}).code, 401);

    // Folders and files put in place on disk after the start, as whoever runs the tests, are the
    // server's to write to and delete.
    const std::string source = Root() + "/source.txt";
    nbx::test::WriteFile(source, "first version\n");
    std::filesystem::create_directories(Share("later made/deeper"));
    EXPECT_EQ(Request({"-u", kAlice, "-T", source, Url("/share/later%20made/deeper/new.txt")}).code,
              201);
    EXPECT_EQ(nbx::test::ReadFile(Share("later made/deeper/new.txt")), "first version\n");

    nbx::test::WriteFile(Share("put in place.txt"), "old");
    nbx::test::WriteFile(source, "second");
    const int replaced =
        Request({"-u", kBob, "-T", source, Url("/share/put%20in%20place.txt")}).code;
    EXPECT_TRUE(replaced == 204 || replaced == 201 || replaced == 200) << replaced;
    const Answer got = Request({"-u", kBob, Url("/share/put%20in%20place.txt")});
    EXPECT_EQ(got.code, 200);
    EXPECT_EQ(got.body, "second");

    EXPECT_EQ(Request({"-u", kAlice, "-X", "DELETE", Url("/share/later%20made/")}).code, 204);
    EXPECT_FALSE(std::filesystem::exists(Share("later made")));
}

TEST_P(DavServerTest, PropfindListsAFolderOneOrAllLevelsDeep) {
    std::filesystem::create_directories(Share("写真 フォルダ/inner"));
    nbx::test::WriteFile(Share("報告書 2024.txt"), "hello\n");

    const Answer one = Request({"-u", kAlice, "-X", "PROPFIND", "-H", "Depth: 1", Url("/share/")});
    EXPECT_EQ(one.code, 207);
    EXPECT_EQ(Count(one.body, "<D:href>"), 3u) << one.body;
    EXPECT_NE(
        Lower(one.body).find("/share/%e5%86%99%e7%9c%9f%20%e3%83%95%e3%82%a9%e3%83%ab%e3%83%80/"),
        std::string::npos)
        << one.body;

    const Answer all =
        Request({"-u", kAlice, "-X", "PROPFIND", "-H", "Depth: infinity", Url("/share/")});
    if (!TraitsOf(GetParam()).servesDepthInfinity) {
        EXPECT_EQ(all.code, 403);
        return;
    }
    EXPECT_EQ(all.code, 207);
    EXPECT_EQ(Count(all.body, "<D:href>"), 4u) << all.body;
}

TEST_P(DavServerTest, PutBelowNoUploadIsRefused) {
    if (!TraitsOf(GetParam()).refusesPutInNoUpload) {
        GTEST_SKIP() << WebDavServer::Name(GetParam()) << " has no per-path rules";
    }
    std::filesystem::create_directories(Share("no-upload"));
    const std::string source = Root() + "/source.txt";
    nbx::test::WriteFile(source, "data");

    EXPECT_EQ(Request({"-u", kAlice, "-T", source, Url("/share/no-upload/x.txt")}).code, 403);
    EXPECT_FALSE(std::filesystem::exists(Share("no-upload/x.txt")));
    EXPECT_EQ(
        Request({"-u", kAlice, "-X", "PROPFIND", "-H", "Depth: 1", Url("/share/no-upload/")}).code,
        207)
        << "reading there is allowed";
    EXPECT_EQ(Request({"-u", kAlice, "-T", source, Url("/share/no-uploads.txt")}).code, 201)
        << "only that folder refuses";
}

TEST_P(DavServerTest, KeepsTheConnectionAlive) {
    nbx::test::WriteFile(Share("a.txt"), "a");
    const auto [status, out] = Curl({"-u", kAlice, "-o", "/dev/null", Url("/share/a.txt"), "-o",
                                     "/dev/null", Url("/share/a.txt"), "-w", "%{num_connects},"});
    EXPECT_EQ(status, 0);
    EXPECT_EQ(out, "1,0,") << "the second request went over the first connection";
}

TEST_P(DavServerTest, ListsAHundredThousandEntries) {
    if (!TraitsOf(GetParam()).listsHugeFoldersQuickly) {
        GTEST_SKIP() << WebDavServer::Name(GetParam()) << " is too slow for this";
    }
    server_ = std::make_unique<WebDavServer>(GetParam(), std::vector<std::string>{"share"},
                                             std::vector<WebDavServer::User>{{"alice", "secret"}},
                                             "/dev/shm");
    ASSERT_TRUE(server_->Started());
    const int entries = 100000;
    std::filesystem::create_directories(Share("many"));
    for (int i = 0; i < entries; ++i) {
        const int fd = ::creat(Share("many/entry " + std::to_string(i)).c_str(), 0644);
        ASSERT_GE(fd, 0);
        ::close(fd);
    }
    const std::string answer = Root() + "/answer.xml";
    const auto [status, out] = Curl({"-u", kAlice, "-X", "PROPFIND", "-H", "Depth: 1", "-o", answer,
                                     "-w", "%{http_code}", Url("/share/many/")});
    EXPECT_EQ(status, 0);
    EXPECT_EQ(out, "207");
    EXPECT_EQ(Count(nbx::test::ReadFile(answer), "<D:href>"), size_t(entries) + 1);
}

// tests/fixtures/<server>-propfind.xml was made this way; this keeps it true to the server.
TEST_P(DavServerTest, SavedPropfindSampleIsWhatTheServerAnswers) {
    std::filesystem::create_directories(Share("写真 フォルダ"));
    nbx::test::WriteFile(Share("報告書 2024.txt"), "hello\n");
    std::tm when{.tm_sec = 2, .tm_min = 7, .tm_hour = 9, .tm_mday = 5, .tm_mon = 2, .tm_year = 124};
    const timespec times[2] = {{::timegm(&when), 0}, {::timegm(&when), 0}};
    for (const std::string& path : {Share("報告書 2024.txt"), Share("写真 フォルダ"), Share("")}) {
        ASSERT_EQ(::utimensat(AT_FDCWD, path.c_str(), times, 0), 0) << path;
    }

    const Answer live = Request({"-u", kAlice, "-X", "PROPFIND", "-H", "Depth: 1", Url("/share/")});
    ASSERT_EQ(live.code, 207);
    const std::string saved =
        nbx::test::ReadFile(std::string(NBX_FIXTURES_DIR) + "/" +
                            Lower(WebDavServer::Name(GetParam())) + "-propfind.xml");
    ASSERT_FALSE(saved.empty());
    EXPECT_EQ(Responses(live.body), Responses(saved));
    EXPECT_EQ(live.body.substr(0, live.body.find("<D:response")),
              saved.substr(0, saved.find("<D:response")));
}

TEST_P(DavServerTest, StopsWhenDestroyed) {
    const pid_t pid = server_->Pid();
    const int port = server_->Port();
    ASSERT_TRUE(Alive(pid));
    server_.reset();
    EXPECT_FALSE(Alive(pid));
    EXPECT_FALSE(Socket(port).Connected());
}

INSTANTIATE_TEST_SUITE_P(Servers, DavServerTest, ::testing::ValuesIn(WebDavServer::AllKinds()),
                         [](const auto& info) { return WebDavServer::Name(info.param); });

TEST(RawHttpServerTest, RecordsRequestsByteForByteAndKeepsTheConnectionWhenAsked) {
    RawHttpServer server({{.bytes = HttpResponse(201, "made", "X-A: 1\r\n"), .keep_open = true},
                          {.bytes = HttpResponse(404)}});
    const std::string first =
        "PUT /a%20b?x=1 HTTP/1.1\r\nHost: 127.0.0.1\r\nX-Odd:  spaced out \r\n"
        "Content-Length: 5\r\n\r\nhello";
    const std::string second =
        "POST /c HTTP/1.1\r\ntransfer-encoding: chunked\r\n\r\n"
        "3;x=1\r\nabc\r\n2\r\nde\r\n0\r\nTrailer: t\r\n\r\n";
    const std::string not_found = "HTTP/1.1 404 Not Found\r\nContent-Length: 0\r\n\r\n";
    {
        Socket client(server.Port());
        client.Send(first + second);  // both at once: the second waits in the buffer
        EXPECT_EQ(client.ReadToEnd(),
                  "HTTP/1.1 201 Created\r\nX-A: 1\r\nContent-Length: 4\r\n\r\nmade" + not_found);
    }
    std::vector<nbx::test::RawRequest> requests = server.Requests();
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(requests[0].raw, first);
    EXPECT_EQ(requests[0].method, "PUT");
    EXPECT_EQ(requests[0].target, "/a%20b?x=1");
    EXPECT_EQ(requests[0].body, "hello");
    EXPECT_EQ(requests[0].Header("x-odd"), "spaced out");
    EXPECT_EQ(requests[0].Header("Range"), "");
    EXPECT_EQ(requests[1].raw, second);
    EXPECT_EQ(requests[1].body, "abcde");
    EXPECT_EQ(requests[1].Header("Transfer-Encoding"), "chunked");
    for (const auto& request : requests) {
        EXPECT_TRUE(request.complete);
        EXPECT_EQ(request.connection, 1);
    }

    Socket again(server.Port());
    again.Send("GET / HTTP/1.1\r\n\r\n");
    EXPECT_EQ(again.ReadToEnd(), not_found) << "the last reply repeats";
    EXPECT_EQ(server.Requests().back().connection, 2);
    EXPECT_EQ(server.Connections(), 2);
}

TEST(RawHttpServerTest, CutsADownloadShort) {
    const std::string cut = "HTTP/1.1 200 OK\r\nContent-Length: 100\r\n\r\n" + std::string(10, 'x');
    RawHttpServer server({{.bytes = cut}});
    Socket client(server.Port());
    client.Send("GET /file HTTP/1.1\r\n\r\n");
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(client.ReadToEnd(), cut);
    EXPECT_LT(std::chrono::steady_clock::now() - start, 1s) << "the end came at once";

    const int partial_file = 18;  // curl's own word for a body that ended early
    EXPECT_EQ(Curl({"-o", "/dev/null", server.BaseUrl() + "/file"}).first, partial_file);
}

TEST(RawHttpServerTest, AnswersSlowlyInBlocks) {
    const std::string answer = HttpResponse(200, "0123456789");
    RawHttpServer server({{.bytes = answer, .block = 10, .pause = 60ms}});
    Socket client(server.Port());
    client.Send("GET / HTTP/1.1\r\n\r\n");
    const auto start = std::chrono::steady_clock::now();
    const std::string head = client.ReadSome();
    EXPECT_LE(head.size(), 10u);
    EXPECT_EQ(head + client.ReadToEnd(), answer);
    const size_t blocks = (answer.size() + 9) / 10;
    EXPECT_GE(std::chrono::steady_clock::now() - start, (blocks - 1) * 60ms);
}

TEST(RawHttpServerTest, StalledConnectionsEndWhenTheServerGoes) {
    auto server = std::make_unique<RawHttpServer>(std::vector<RawReply>{{.stall = true}});
    EXPECT_EQ(Curl({"--max-time", "0.3", server->BaseUrl() + "/"}).first, 28) << "curl timed out";

    Socket asked(server->Port());
    asked.Send("GET /slow HTTP/1.1\r\n\r\n");
    Socket silent(server->Port());  // connected, sends nothing
    EXPECT_TRUE(asked.QuietFor(200ms));
    EXPECT_EQ(server->Requests().size(), 2u);

    const auto start = std::chrono::steady_clock::now();
    server.reset();
    EXPECT_LT(std::chrono::steady_clock::now() - start, 1s);
    EXPECT_EQ(asked.ReadToEnd(), "") << "closed without a word";
}

TEST(RawHttpServerTest, AnswersBeforeTheBodyOffersContinueAndKeepsCutRequests) {
    RawHttpServer server(
        {{.bytes = HttpResponse(403, "no"), .before_body = true}, {.bytes = HttpResponse(201)}});
    {
        Socket refused(server.Port());
        refused.Send("PUT /big HTTP/1.1\r\nContent-Length: 1000000\r\n\r\n");
        EXPECT_EQ(refused.ReadToEnd(), HttpResponse(403, "no"));
    }
    {
        Socket polite(server.Port());
        polite.Send("PUT /small HTTP/1.1\r\nExpect: 100-continue\r\nContent-Length: 5\r\n\r\n");
        EXPECT_EQ(polite.ReadExactly(25), "HTTP/1.1 100 Continue\r\n\r\n");
        polite.Send("hello");
        EXPECT_EQ(polite.ReadToEnd(), HttpResponse(201));
    }
    const std::string cut = "PUT /cut HTTP/1.1\r\nContent-Length: 10\r\n\r\nabc";
    {
        Socket gone(server.Port());
        gone.Send(cut);
        EXPECT_TRUE(gone.QuietFor(50ms));
    }
    for (int i = 0; i < 200 && server.Requests().size() < 3; ++i) {
        std::this_thread::sleep_for(10ms);
    }
    const std::vector<nbx::test::RawRequest> requests = server.Requests();
    ASSERT_EQ(requests.size(), 3u);
    EXPECT_FALSE(requests[0].complete);
    EXPECT_EQ(requests[0].body, "");
    EXPECT_TRUE(requests[1].complete);
    EXPECT_EQ(requests[1].body, "hello");
    EXPECT_FALSE(requests[2].complete);
    EXPECT_EQ(requests[2].raw, cut);
}
