#include "support/webdav_server.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>
#include <chrono>
#include <filesystem>
#include <thread>

#include "support/test_support.h"

namespace nbx::test {

namespace {

const char* Script(WebDavServer::Kind kind) {
    switch (kind) {
        case WebDavServer::Kind::kApache:
            return "/start-apache";
        case WebDavServer::Kind::kLighttpd:
            return "/start-lighttpd";
        case WebDavServer::Kind::kNginx:
            return "/start-nginx";
        case WebDavServer::Kind::kRclone:
            return "/start-rclone";
    }
    return "";
}

}  // namespace

const std::vector<WebDavServer::Kind>& WebDavServer::AllKinds() {
    static const std::vector<Kind> kinds = {Kind::kApache, Kind::kLighttpd, Kind::kNginx,
                                            Kind::kRclone};
    return kinds;
}

WebDavServer::WebDavServer(Kind kind, const std::vector<std::string>& nodes,
                           const std::vector<User>& users, const std::string& parent) {
    // Not under $TMPDIR: TempHome points that into a private folder, and as root the server's
    // worker user has to reach the data folder.
    std::string pattern = parent + "/nbx-dav-XXXXXX";
    if (::mkdtemp(pattern.data()) == nullptr || ::chmod(pattern.c_str(), 0755) != 0) {
        error_ = "cannot make a folder under " + parent;
        return;
    }
    root_ = pattern;
    std::error_code ec;
    for (const std::string& node : nodes) {
        std::filesystem::create_directories(DataDir() + "/" + node, ec);
    }
    std::filesystem::create_directories(DataDir(), ec);

    const std::string script = std::string(NBX_WEBDAV_SCRIPTS) + Script(kind);
    std::vector<std::string> argv = {script,
                                     "--data",
                                     DataDir(),
                                     "--state",
                                     StateDir(),
                                     "--watch-pid",
                                     std::to_string(::getpid())};
    for (const User& user : users) {
        argv.push_back("--user");
        argv.push_back(user.name + ":" + user.password);
    }
    Child child = Spawn(argv);
    for (std::string line = ReadLine(child); !line.empty(); line = ReadLine(child)) {
        if (line.starts_with("port=")) {
            port_ = std::stoi(line.substr(5));
        } else if (line.starts_with("pid=")) {
            pid_ = std::stoi(line.substr(4));
        }
    }
    const int status = Wait(child);
    if (status != 0 || port_ <= 0 || pid_ <= 0) {
        error_ = script + " exited with " + std::to_string(status) + "; its error log ends:\n" +
                 FileTail(StateDir() + "/error.log");
        Stop();
    }
}

WebDavServer::~WebDavServer() {
    Stop();
    if (!root_.empty() && !::testing::Test::HasFailure()) {
        std::error_code ec;
        std::filesystem::remove_all(root_, ec);
    }
}

::testing::AssertionResult WebDavServer::Started() const {
    if (error_.empty()) {
        return ::testing::AssertionSuccess();
    }
    return ::testing::AssertionFailure() << error_;
}

std::string WebDavServer::AccessLogWith(const std::string& needle) const {
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    std::string log = ReadFile(StateDir() + "/access.log");
    while (log.find(needle) == std::string::npos && std::chrono::steady_clock::now() < until) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        log = ReadFile(StateDir() + "/access.log");
    }
    return log;
}

std::string WebDavServer::Name(Kind kind) {
    switch (kind) {
        case Kind::kApache:
            return "Apache";
        case Kind::kLighttpd:
            return "Lighttpd";
        case Kind::kNginx:
            return "Nginx";
        case Kind::kRclone:
            return "Rclone";
    }
    return "";
}

void WebDavServer::Stop() {
    if (pid_ <= 0) {
        return;
    }
    ::kill(pid_, SIGTERM);
    // lighttpd looks at its signals only when its event loop wakes, which an idle one does once a
    // second; a connection wakes it at once.
    if (port_ > 0) {
        const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_port = htons(uint16_t(port_));
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        ::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
        ::close(fd);
    }
    // Apache lets its workers finish first; give it a while, then insist.
    AwaitEndOrKill(pid_, std::chrono::seconds(10));
    pid_ = -1;
}

}  // namespace nbx::test
