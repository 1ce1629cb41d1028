#pragma once

#include <gtest/gtest.h>
#include <sys/types.h>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace nbx::test {

// The development service (devservice/start) in a fresh folder under /tmp, with its own
// certificates and the given accounts. Each account's cloud disk is the folder
// DataDir()/LOGIN: put files there and check what the client did straight on disk. The service
// is stopped by its pid when this goes, and its folder removed unless the test failed.
class DevService {
public:
    struct Account {
        std::string login;  // a mail address
        std::string password;
    };
    struct Options {
        bool testHooks = true;
        bool rogueCert = false;  // serve the self-signed certificate that CaFile() did not sign
        // The account service's devices and folders, as the lines of its seed file
        // (devservice/account_service.h); "@web" and "@disk" name the service's own hosts.
        std::string seed;
    };

    // One request as the service received it.
    struct RecordedRequest {
        std::string method;
        std::string target;                                        // as sent, still percent-encoded
        std::vector<std::pair<std::string, std::string>> headers;  // in order, names as sent
        std::string head;  // request line and headers through the blank line, byte for byte
        int status = 0;    // what the service answered
        std::uint64_t bodyLength = 0;  // body bytes received
        std::optional<std::uint64_t> announcedLength;
        bool bodyComplete = false;  // all announced bytes arrived
        std::string bodyFirst;      // the first 64 KiB of the body
        std::string bodyLast;       // the last 64 KiB of the body
        std::string body;           // the whole body, when it is at most 128 KiB
        // For an upload: the bytes before the file's and after them, and the file's length.
        std::optional<std::string> uploadHead;
        std::optional<std::string> uploadTail;
        std::optional<std::uint64_t> uploadFileLength;

        // The first header of that name (any case), or "".
        std::string Header(std::string_view name) const;
    };

    explicit DevService(const std::vector<Account>& accounts, Options options);
    explicit DevService(const std::vector<Account>& accounts) : DevService(accounts, Options{}) {}
    ~DevService();
    DevService(const DevService&) = delete;
    DevService& operator=(const DevService&) = delete;

    // Whether the service came up, and why not: ASSERT_TRUE(service.Started()).
    ::testing::AssertionResult Started() const;

    int DiskPort() const { return diskPort_; }
    std::string DiskHost() const { return "127.0.0.1:" + std::to_string(diskPort_); }
    std::string DiskUrl() const { return "https://" + DiskHost(); }
    std::string CaFile() const { return StateDir() + "/certs/ca.pem"; }
    std::string RogueCertFile() const { return StateDir() + "/certs/rogue.pem"; }
    std::string DataDir() const { return root_ + "/data"; }
    std::string DiskDir(const std::string& login) const { return DataDir() + "/" + login; }
    // Certificates, the service's log (service.log) and its pid file.
    std::string StateDir() const { return root_ + "/state"; }
    pid_t Pid() const { return pid_; }
    int HooksPort() const { return hooksPort_; }  // 0 without test hooks
    // The plain-HTTP port of the push endpoint, the folders' redirect and the devices' nodes.
    int WebPort() const { return webPort_; }
    std::string WebHost() const { return "127.0.0.1:" + std::to_string(webPort_); }

    // The test hooks; each fails the test when the service does not take the call.
    // The last request the API answered, or nothing before the first.
    std::optional<RecordedRequest> LastRequest() const;
    // The next getList that passes authentication answers with this status and body text.
    void SetNextListing(int status, const std::string& body) const;
    // The next get that passes authentication answers with this status and no body.
    void SetNextGetStatus(int status) const;
    // The next call of the account service answers with this status and body after a delay.
    void SetNextAccountAnswer(int status, const std::string& body, int delayMs = 0) const;
    // Forgets the last request and the answers not yet used.
    void ResetHooks() const;

private:
    void Hook(const std::string& path, const std::string& body = "") const;
    void Stop();

    std::string root_;
    std::string error_;
    int diskPort_ = 0;
    int hooksPort_ = 0;
    int webPort_ = 0;
    pid_t pid_ = -1;
};

}  // namespace nbx::test
