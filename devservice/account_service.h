#pragma once

#include <chrono>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "accounts.h"
#include "http_text.h"
#include "recording_server.h"
#include "test_hooks.h"

// The account service: over HTTPS (beside the cloud-disk API) the device lookup
// POST /xv/xvnode/api/getegid.jsp and the node list POST /xv/xvnode/api/getnode2.jsp; over
// plain HTTP (the web port) the push endpoint POST /cgi-bin/nimbex/apnsapi.cgi that wakes a
// sleeping handset, the shared folders' redirect (HEAD /NODE/... answers 301 to the folder's
// host) and the WebDAV node of every device whose proxy is the web host itself, which answers
// 504 while its handset sleeps and 200 once it is awake.
//
// Forms are application/x-www-form-urlencoded ("+" is a blank, %XX a byte). A call whose mail
// address and password name no account answers 403 "error=authentication"; a device or node
// the account lacks 404; a form that cannot be decoded 400.
//
// The devices and folders come from a seed file, one record a line, fields split by blanks
// (blank lines and lines starting with "#" are skipped):
//
//   device LOGIN TOKEN NODE_NAME PROXY FLAG EGID DEVICE_PASSWORD BRK [sleep=MS]
//   folder NODE_NAME BASE_URL
//
// A device belongs to the account LOGIN; TOKEN is its kind ("khandset", "disk", or any other
// token, which the service hands out as it is); PROXY is host[:port], or "@web" for the web
// port and "@disk" for the HTTPS port of this service; FLAG is the password flag of its line in
// the node list. With sleep=MS the device sleeps until a push wakes it, and its node answers
// MS milliseconds after that push. A folder's redirect answers with BASE_URL followed by the
// path asked for.
namespace nbx::dev {

struct SeedDevice {
    std::string login;
    std::string token;
    std::string nodeName;
    std::string proxy;
    std::string flag;
    std::string egid;
    std::string devicePassword;
    std::string brk;
    std::optional<int> sleepMs;
};

struct SeedFolder {
    std::string nodeName;
    std::string baseUrl;
};

class AccountSeed {
public:
    bool Load(const std::string& path, std::string& error);
    // "@web" and "@disk" in proxies become these hosts.
    void SetHosts(const std::string& webHost, const std::string& diskHost);

    const std::vector<SeedDevice>& Devices() const { return devices_; }
    const std::vector<SeedFolder>& Folders() const { return folders_; }

    // Wake-ups, any thread.
    void Wake(const std::string& nodeName);
    // Whether the device's node answers now: awake, or woken long enough ago.
    bool Answers(const SeedDevice& device) const;

private:
    std::vector<SeedDevice> devices_;
    std::vector<SeedFolder> folders_;
    mutable std::mutex mutex_;
    std::map<std::string, std::chrono::steady_clock::time_point> woken_;
};

struct AccountServiceContext {
    const Accounts& accounts;  // outlive the servers
    AccountSeed& seed;
    TestHooks* hooks;  // null without --test-hooks
};

void RegisterAccountApi(RecordingSslServer& server, AccountServiceContext context);
void RegisterWebService(RecordingServer& server, AccountServiceContext context);

// The name=value pairs of a form body, decoded; nothing when one is badly encoded.
std::optional<QueryArgs> ParseForm(std::string_view body);

}  // namespace nbx::dev
