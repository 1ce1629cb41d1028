#include "account/nimbex_api.h"

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <utility>

#include "base/session_log.h"
#include "platform/format.h"
#include "platform/http_client.h"
#include "platform/url.h"

using nbx::StrPrintf;

namespace {

constexpr const char* kAccountPath = "/xv/xvnode/api/getegid.jsp";
constexpr const char* kAccountsPath = "/xv/xvnode/api/getnode2.jsp";
constexpr const char* kPushPath = "/cgi-bin/nimbex/apnsapi.cgi";
constexpr std::size_t kMaxValue = 255;
constexpr std::size_t kMaxBaseUrl = 259;
// An account's answers are a few lines; anything far larger is not one.
constexpr std::size_t kMaxAnswer = 1 << 20;

class CappedSink : public nbx::http::BodySink {
public:
    bool Write(const char* data, std::size_t size) override {
        if (text.size() + size > kMaxAnswer) {
            return false;
        }
        text.append(data, size);
        return true;
    }
    std::string text;
};

const char* ErrorName(nbx::http::Error error) {
    switch (error) {
        case nbx::http::Error::None:
            return "none";
        case nbx::http::Error::BadUrl:
            return "not an http or https URL";
        case nbx::http::Error::Aborted:
            return "aborted";
        case nbx::http::Error::Timeout:
            return "time-out";
        case nbx::http::Error::Transport:
            return "connection or TLS failure";
        case nbx::http::Error::Sink:
            return "answer too large";
        case nbx::http::Error::Source:
            return "request body failure";
    }
    return "unknown";
}

void LogFailure(const char* operation, const nbx::http::Result& result) {
    WriteLog(LogLevel::Error,
             StrPrintf("CNimbexApi::%s() failed with error: \"%08lx\", with msg: \"%s\", with src: "
                       "\"%s\", with desc: \"%s\"",
                       operation, static_cast<unsigned long>(result.error), result.message.c_str(),
                       "nbx::http::Client", ErrorName(result.error)));
}

bool AsksForBasic(const nbx::http::Response& response) {
    for (const auto& [name, value] : response.headers) {
        std::string lower;
        for (const char c : name + ":" + value) {
            lower += char(std::tolower(static_cast<unsigned char>(c)));
        }
        if (lower.starts_with("www-authenticate:") && lower.find("basic") != std::string::npos) {
            return true;
        }
    }
    return false;
}

nbx::http::Request BaseRequest(const DeploymentProfile& profile,
                               const CNimbexApi::Timeouts& timeouts) {
    nbx::http::Request request;
    request.connectTimeout = timeouts.connect;
    request.sendTimeout = timeouts.send;
    request.receiveTimeout = timeouts.receive;
    request.tls = nbx::http::TlsSettings{profile.caBundle, profile.verifyPeer};
    return request;
}

// The common procedure of the three form posts: 200 with the answer's text, the status of any
// other answer, or -1. The credentials answer an authentication challenge only; they are not
// sent unasked.
int PostForm(const char* operation, const DeploymentProfile& profile,
             const CNimbexApi::Timeouts& timeouts, const std::string& url, const std::string& body,
             const std::string& user, const std::string& password, std::string& text) {
    nbx::http::Request request = BaseRequest(profile, timeouts);
    request.method = "POST";
    request.url = url;
    request.headers = {{"Content-Length", std::to_string(body.size())},
                       {"Content-Type", "application/x-www-form-urlencoded"}};
    request.body = body;

    CappedSink sink;
    nbx::http::Result result;
    {
        nbx::http::Client client;
        result = client.Perform(request, &sink);
    }
    if (result.Ok() && result.response.status == 401 && AsksForBasic(result.response)) {
        request.basicAuth = {{user, password}};
        sink.text.clear();
        nbx::http::Client client;
        result = client.Perform(request, &sink);
    }
    if (!result.Ok()) {
        LogFailure(operation, result);
        return -1;
    }
    if (result.response.status != 200) {
        WriteLog(LogLevel::Error,
                 StrPrintf("CNimbexApi::%s(): IServerXMLHTTPRequestPtr::send() failed with "
                           "status: \"%d\"",
                           operation, result.response.status));
        return result.response.status;
    }
    text = std::move(sink.text);
    return 200;
}

void LogAnswer(const char* operation, const std::string& text) {
    WriteLogLines(LogLevel::Debug, StrPrintf("CNimbexApi::%s(): IXMLHttpRequest::GetresponseText() "
                                             "returned:\n**********\n%s\n**********",
                                             operation, text.c_str()));
}

// The device's password never reaches the log: each "password=" value is masked.
std::string MaskDevicePassword(const std::string& text) {
    std::string out = text;
    std::size_t at = 0;
    while ((at = out.find("password=", at)) != std::string::npos) {
        const bool starts = at == 0 || std::isspace(static_cast<unsigned char>(out[at - 1]));
        at += 9;
        if (!starts) {
            continue;
        }
        std::size_t end = at;
        while (end < out.size() && !std::isspace(static_cast<unsigned char>(out[end]))) {
            ++end;
        }
        if (end > at) {
            out.replace(at, end - at, "********");
            at += 8;
        }
    }
    return out;
}

// The blank-separated words of a text, as a formatted scan reads them; nothing when one is
// longer than a value may be.
bool Words(const std::string& text, std::vector<std::string>& words) {
    words.clear();
    std::size_t at = 0;
    while (true) {
        while (at < text.size() && std::isspace(static_cast<unsigned char>(text[at]))) {
            ++at;
        }
        if (at >= text.size()) {
            return true;
        }
        std::size_t end = at;
        while (end < text.size() && !std::isspace(static_cast<unsigned char>(text[end]))) {
            ++end;
        }
        if (end - at > kMaxValue) {
            return false;
        }
        words.push_back(text.substr(at, end - at));
        at = end;
    }
}

// A node name from the service names one path segment, never a way out of it.
bool UsableNodeName(const std::string& name) {
    if (name == "." || name == "..") {
        return false;
    }
    for (const char c : name) {
        if (c == '/' || static_cast<unsigned char>(c) < 0x20 || c == 0x7F) {
            return false;
        }
    }
    return true;
}

}  // namespace

std::string DeviceToken(int deviceType) {
    switch (deviceType) {
        case DeviceKind::Handset:
            return "khandset";
        case DeviceKind::LegacyHandset:
            return "klegacy";
        case DeviceKind::Smartphone:
            return "ksmartphone";
        case DeviceKind::Appliance:
            return "kappliance";
        case DeviceKind::VirtualServer:
            return "kvserver";
        case DeviceKind::Workstation:
            return "kworkstation";
        case DeviceKind::Tablet:
            return "ktablet";
        case DeviceKind::PictureFrame:
            return "kframe";
        case DeviceKind::Disk:
            return "disk";
        default:
            return "";
    }
}

int DeviceTypeOfListedToken(const std::string& token) {
    // "klegacy" names a device the node list does not offer.
    if (token.empty() || token == "klegacy") {
        return 0;
    }
    for (int type = DeviceKind::Handset; type <= DeviceKind::Disk; ++type) {
        if (DeviceToken(type) == token) {
            return type;
        }
    }
    return 0;
}

std::string FormEncode(const std::string& value) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string out;
    for (const char c : value) {
        const auto byte = static_cast<unsigned char>(c);
        if (std::isalnum(byte) != 0 || c == '-' || c == '.' || c == '_' || c == '~') {
            out += c;
        } else {
            out += '%';
            out += kHex[byte >> 4];
            out += kHex[byte & 0xF];
        }
    }
    return out;
}

std::string ServiceHostUrl(const std::string& host, int defaultPort) {
    // A colon after an IPv6 address's closing bracket, or any colon in a name, starts a port.
    const std::size_t bracket = host.rfind(']');
    const std::size_t colon = host.rfind(':');
    const bool hasPort =
        colon != std::string::npos && (bracket == std::string::npos || colon > bracket);
    return "http://" + host + (hasPort ? "" : ":" + std::to_string(defaultPort));
}

std::string PushApiUrl(const DeploymentProfile& profile) {
    return ServiceHostUrl(profile.pushApiHost, 8081) + kPushPath;
}

std::string CompleteProxyUrl(const std::string& proxy, int deviceType,
                             const DeploymentProfile& profile) {
    const bool disk = deviceType == DeviceKind::Disk;
    if (proxy.empty()) {
        return disk ? profile.defaultDiskBaseUrl : profile.defaultNodeBaseUrl;
    }
    if (disk) {
        return "https://" + proxy;
    }
    return "http://" + proxy + (proxy.find(':') == std::string::npos ? ":8081" : "");
}

std::string CompleteProxyUrl(const std::string& proxy, int deviceType) {
    return CompleteProxyUrl(proxy, deviceType, GetDeploymentProfile());
}

CNimbexApi::CNimbexApi() : CNimbexApi(GetDeploymentProfile()) {}

CNimbexApi::CNimbexApi(DeploymentProfile profile) : profile_(std::move(profile)) {}

int CNimbexApi::GetElAccount(const std::string& mailAddress, const std::string& password,
                             int deviceType, std::string& egid, std::string& devicePassword,
                             std::string& snhost, std::string& brk, std::string& proxy) {
    WriteLog(LogLevel::Info, "CNimbexApi::GetElAccount() invoked...");
    if (deviceType < DeviceKind::Handset || deviceType > DeviceKind::Disk) {
        WriteLog(LogLevel::Error,
                 StrPrintf("CNimbexApi::GetElAccount(): invalid device type: \"%d\"", deviceType));
        return -1;
    }
    const std::string body = "mail_addr=" + FormEncode(mailAddress) +
                             "&password=" + FormEncode(password) +
                             "&suffix=" + FormEncode(DeviceToken(deviceType));
    std::string text;
    const int status = PostForm("GetElAccount", profile_, timeouts,
                                "https://" + profile_.accountApiHost + kAccountPath, body,
                                mailAddress, password, text);
    if (status != 200) {
        return status;
    }
    LogAnswer("GetElAccount", MaskDevicePassword(text));

    char values[7][kMaxValue + 1] = {};
    // A NUL inside the answer ends it here, as for any C text.
    const int read =
        std::sscanf(text.c_str(),
                    "egid=%255s\npassword=%255s\nsnhost=%255s\nbrk=%255s\nproxy=%255s\n"
                    "location=%255s\nredirect=%255s\n",
                    values[0], values[1], values[2], values[3], values[4], values[5], values[6]);
    if (read < 7) {
        WriteLog(LogLevel::Error, "CNimbexApi::GetElAccount(): sscanf() failed!");
        return -1;
    }
    egid = values[0];
    devicePassword = values[1];
    snhost = values[2];
    brk = values[3];
    proxy = values[4];
    return 200;
}

int CNimbexApi::GetElAccounts(const std::string& mailAddress, const std::string& password,
                              std::vector<std::unique_ptr<CNbxNode>>& nodes) {
    nodes.clear();
    WriteLog(LogLevel::Info, "CNimbexApi::GetElAccounts() invoked...");
    const std::string body =
        "mail_addr=" + FormEncode(mailAddress) + "&password=" + FormEncode(password);
    std::string text;
    const int status = PostForm("GetElAccounts", profile_, timeouts,
                                "https://" + profile_.accountApiHost + kAccountsPath, body,
                                mailAddress, password, text);
    if (status != 200) {
        return status;
    }
    LogAnswer("GetElAccounts", text);

    std::vector<std::string> values;
    std::size_t at = 0;
    // Text after the last line feed is not a line.
    for (std::size_t end; (end = text.find('\n', at)) != std::string::npos; at = end + 1) {
        std::string line = text.substr(at, end - at);
        for (char& c : line) {
            c = c == ',' ? '\n' : c;
        }
        if (!Words(line, values) || values.size() < 5) {
            continue;
        }
        const int type = DeviceTypeOfListedToken(values[2]);
        if (type == 0) {
            continue;
        }
        const bool disk = type == DeviceKind::Disk;
        if (!disk && !UsableNodeName(values[0])) {
            continue;
        }
        NodeSettings settings;
        settings.node_type = NodeType::ServiceNode;
        settings.device_type = type;
        settings.nbx_proxy = values[3];
        settings.node_name = disk ? std::string() : values[0];
        settings.login = values[1];
        settings.password = std::strtol(values[4].c_str(), nullptr, 10) != 0 ? password : "";
        settings.root_dir = "/";
        settings.title_name = disk ? values[1] : values[0];
        nodes.push_back(std::make_unique<CNbxNode>(std::move(settings)));
    }
    return 200;
}

int CNimbexApi::GetElRedirect(const std::string& address, std::string& baseUrl) {
    WriteLog(LogLevel::Info,
             StrPrintf("CNimbexApi::GetElRedirect() with arg: \"%s\" invoked...", address.c_str()));
    nbx::http::Request request = BaseRequest(profile_, timeouts);
    request.method = "HEAD";
    request.url = address;
    request.headers = {{"Content-Type", "text/plain"}};
    nbx::http::Result result;
    {
        nbx::http::Client client;
        result = client.Perform(request, nullptr);
    }
    if (!result.Ok()) {
        LogFailure("GetElRedirect", result);
        return -1;
    }
    if (result.response.status != 301) {
        WriteLog(LogLevel::Error,
                 StrPrintf("CNimbexApi::GetElRedirect(): IWinHttpRequest::send() failed with "
                           "status: \"%d\"",
                           result.response.status));
        return -1;
    }
    const std::string location = result.response.HeaderValue("Location");
    WriteLogLines(LogLevel::Debug,
                  StrPrintf("CNimbexApi::GetElRedirect(): IWinHttpRequest::GetResponseHeader() "
                            "returned:\n**********\n%s\n**********",
                            location.c_str()));
    const auto parts = nbx::url::SplitUrl(location);
    if (!parts || (parts->scheme != "http" && parts->scheme != "https")) {
        WriteLog(LogLevel::Error, "CNimbexApi::GetElRedirect(): AfxParseURL() failed!");
        return -1;
    }
    std::string host = parts->host;
    if (parts->port != 0 && parts->port != 80) {
        host = StrPrintf("%s:%d", host.c_str(), parts->port);
    }
    baseUrl = (parts->scheme == "https" ? "https://" : "http://") + host;
    if (baseUrl.size() > kMaxBaseUrl) {
        baseUrl.resize(kMaxBaseUrl);
    }
    return 200;
}

int CNimbexApi::NotifyNimbex(const std::string& login, const std::string& password,
                             const std::string& nodeName) {
    WriteLog(LogLevel::Info, "CNimbexApi::NotifyNimbex() invoked...");
    const std::string body = "mail_addr=" + FormEncode(login) +
                             "&password=" + FormEncode(password) + "&node=" + FormEncode(nodeName);
    std::string text;
    return PostForm("NotifyNimbex", profile_, timeouts, PushApiUrl(profile_), body, login, password,
                    text);
}
