#pragma once

#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "base/deployment_profile.h"
#include "nodes/nbx_node.h"

// The client of the service's account web API: the device node of an account for a device kind,
// the nodes of an account, where a shared-folder address redirects to, and the wake-up of a
// sleeping node. Each call is one blocking request on the caller's thread; nothing is kept
// between calls. Results: 200 on success, the server's status when it answered another, -1 for
// every local failure (no answer, an answer that cannot be read, an invalid argument).
//
// The hosts and the TLS settings come from the deployment profile. Certificates are verified
// (against the profile's CA bundle, or not at all when the profile says so), and the form
// values are form-encoded so that "&", "=", "+" and "%" reach the service intact.
class CNimbexApi {
public:
    struct Timeouts {
        // Name resolution and connection together (10 s each).
        std::chrono::milliseconds connect{20000};
        std::chrono::milliseconds send{60000};
        std::chrono::milliseconds receive{60000};
    };

    CNimbexApi();  // this process's deployment profile
    explicit CNimbexApi(DeploymentProfile profile);

    // The device node of the account for a device_type from 1 to 9; the five values are set
    // only on success.
    int GetElAccount(const std::string& mailAddress, const std::string& password, int deviceType,
                     std::string& egid, std::string& devicePassword, std::string& snhost,
                     std::string& brk, std::string& proxy);
    // The account's nodes in the order the service lists them; `nodes` is emptied first and
    // filled on success. Lines that cannot be read or name an unsupported device are skipped.
    int GetElAccounts(const std::string& mailAddress, const std::string& password,
                      std::vector<std::unique_ptr<CNbxNode>>& nodes);
    // Where `address` redirects to (it must answer 301): the location's scheme, host and port
    // (":port" unless it is 0 or 80), never its path, cut to 259 characters.
    int GetElRedirect(const std::string& address, std::string& baseUrl);
    // Asks the service to wake the node.
    int NotifyNimbex(const std::string& login, const std::string& password,
                     const std::string& nodeName);

    Timeouts timeouts;

private:
    DeploymentProfile profile_;
};

// The device token of a device_type that the device lookup takes, or "" outside 1 to 9.
std::string DeviceToken(int deviceType);
// The device_type of a token in a node list line, or 0 for a line that is skipped.
int DeviceTypeOfListedToken(const std::string& token);

// The base URL of a node from the proxy the service gave for it: an empty proxy gives the
// profile's default disk or node base URL; the disk is "https://" + proxy; any other device
// "http://" + proxy, with ":8081" when the proxy has no port.
std::string CompleteProxyUrl(const std::string& proxy, int deviceType,
                             const DeploymentProfile& profile);
std::string CompleteProxyUrl(const std::string& proxy, int deviceType);

// "http://" + host, with ":" + defaultPort unless the host carries a port of its own (the
// development service runs on free ports).
std::string ServiceHostUrl(const std::string& host, int defaultPort);
// The push endpoint: "http://" + PushApiHost (port 8081 unless it has one) + the script.
std::string PushApiUrl(const DeploymentProfile& profile);

// The value form-encoded: letters, digits, "-", ".", "_" and "~" as they are, every other byte
// as %XX.
std::string FormEncode(const std::string& value);
