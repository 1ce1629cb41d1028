#pragma once

#include <gtest/gtest.h>
#include <sys/types.h>
#include <string>
#include <vector>

namespace nbx::test {

// A real WebDAV server from devservice/webdav, in a fresh folder under parent (/tmp unless
// said; /dev/shm, in memory, makes trees of many thousand files quick to build), with Basic
// authentication for the given users. Each node gets a folder DataDir()/NODE, served at
// BaseUrl()/NODE/; put files there, and read what the client did, straight on disk. PUT below
// NODE/no-upload/ is refused with 403 (make that folder when a test needs it), except by rclone,
// which has no such rule (devservice/webdav/README.md lists how the servers differ). The server is
// stopped by its pid when this goes, and its folder removed unless the test failed.
class WebDavServer {
public:
    enum class Kind { kApache, kLighttpd, kNginx, kRclone };
    // Every kind, for tests that run against each server.
    static const std::vector<Kind>& AllKinds();
    struct User {
        std::string name;
        std::string password;
    };

    WebDavServer(Kind kind, const std::vector<std::string>& nodes, const std::vector<User>& users,
                 const std::string& parent = "/tmp");
    ~WebDavServer();
    WebDavServer(const WebDavServer&) = delete;
    WebDavServer& operator=(const WebDavServer&) = delete;

    // Whether the server came up, and why not: ASSERT_TRUE(server.Started()).
    ::testing::AssertionResult Started() const;

    int Port() const { return port_; }
    pid_t Pid() const { return pid_; }
    std::string BaseUrl() const { return "http://127.0.0.1:" + std::to_string(port_); }
    std::string DataDir() const { return root_ + "/data"; }
    // Configuration, logs (error.log, access.log) and the pid file.
    std::string StateDir() const { return root_ + "/state"; }
    // The access log once it holds needle, or as it stands after a few seconds. The server
    // writes a request's record only after the client has its answer, so a test that reads
    // the log right after a request must wait for it.
    std::string AccessLogWith(const std::string& needle) const;

    // "Apache", "Lighttpd", "Nginx" or "Rclone", for test names.
    static std::string Name(Kind kind);

private:
    void Stop();

    std::string root_;
    std::string error_;
    int port_ = 0;
    pid_t pid_ = -1;
};

}  // namespace nbx::test
