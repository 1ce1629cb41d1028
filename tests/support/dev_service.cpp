#include "support/dev_service.h"

#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>
#include <chrono>
#include <filesystem>
#include <thread>

#include "platform/http_client.h"
#include "support/test_support.h"

namespace nbx::test {

namespace {

// The fields of /last-request: "NAME LENGTH\n", the bytes, "\n".
std::vector<std::pair<std::string, std::string>> Fields(const std::string& text) {
    std::vector<std::pair<std::string, std::string>> fields;
    size_t at = 0;
    while (at < text.size()) {
        const size_t space = text.find(' ', at);
        const size_t end = text.find('\n', at);
        if (space == std::string::npos || end == std::string::npos || space > end) {
            break;
        }
        const size_t length = std::stoull(text.substr(space + 1, end - space - 1));
        fields.emplace_back(text.substr(at, space - at), text.substr(end + 1, length));
        at = end + 1 + length + 1;
    }
    return fields;
}

}  // namespace

std::string DevService::RecordedRequest::Header(std::string_view name) const {
    for (const auto& [key, value] : headers) {
        if (key.size() == name.size() &&
            std::equal(key.begin(), key.end(), name.begin(), [](char a, char b) {
                return std::tolower(static_cast<unsigned char>(a)) ==
                       std::tolower(static_cast<unsigned char>(b));
            })) {
            return value;
        }
    }
    return "";
}

DevService::DevService(const std::vector<Account>& accounts, Options options) {
    std::string pattern = "/tmp/nbx-devservice-XXXXXX";
    if (::mkdtemp(pattern.data()) == nullptr) {
        error_ = "cannot make a folder under /tmp";
        return;
    }
    root_ = pattern;
    std::vector<std::string> argv = {std::string(NBX_DEVSERVICE_SCRIPTS) + "/start",
                                     "--program",
                                     NBX_DEVSERVICE_PROGRAM,
                                     "--data",
                                     DataDir(),
                                     "--state",
                                     StateDir(),
                                     "--watch-pid",
                                     std::to_string(::getpid())};
    for (const Account& account : accounts) {
        argv.push_back("--account");
        argv.push_back(account.login + ":" + account.password);
    }
    if (options.testHooks) {
        argv.push_back("--test-hooks");
    }
    if (!options.seed.empty()) {
        const std::string seed = root_ + "/seed";
        WriteFile(seed, options.seed);
        argv.push_back("--seed");
        argv.push_back(seed);
    }
    if (options.rogueCert) {
        argv.push_back("--cert");
        argv.push_back("rogue");
    }
    Child child = Spawn(argv);
    for (std::string line = ReadLine(child); !line.empty(); line = ReadLine(child)) {
        if (line.starts_with("disk_port=")) {
            diskPort_ = std::stoi(line.substr(10));
        } else if (line.starts_with("web_port=")) {
            webPort_ = std::stoi(line.substr(9));
        } else if (line.starts_with("hooks_port=")) {
            hooksPort_ = std::stoi(line.substr(11));
        } else if (line.starts_with("pid=")) {
            pid_ = std::stoi(line.substr(4));
        }
    }
    const int status = Wait(child);
    if (status != 0 || diskPort_ <= 0 || pid_ <= 0 || (options.testHooks && hooksPort_ <= 0)) {
        error_ = "devservice/start exited with " + std::to_string(status) + "; its log ends:\n" +
                 FileTail(StateDir() + "/service.log");
        Stop();
    } else if (options.testHooks) {
        // The start script's own probe is not the test's.
        ResetHooks();
    }
}

DevService::~DevService() {
    Stop();
    if (!root_.empty() && !::testing::Test::HasFailure()) {
        std::error_code ec;
        std::filesystem::remove_all(root_, ec);
    }
}

::testing::AssertionResult DevService::Started() const {
    if (error_.empty()) {
        return ::testing::AssertionSuccess();
    }
    return ::testing::AssertionFailure() << error_;
}

void DevService::Stop() {
    if (pid_ <= 0) {
        return;
    }
    ::kill(pid_, SIGTERM);
    // Requests in flight are finished first; give them a while, then insist.
    AwaitEndOrKill(pid_, std::chrono::seconds(10));
    pid_ = -1;
}

void DevService::Hook(const std::string& path, const std::string& body) const {
    http::Client client;
    http::Request request;
    request.method = "POST";
    request.url = "http://127.0.0.1:" + std::to_string(hooksPort_) + path;
    request.body = body;
    http::StringSink sink;
    const http::Result result = client.Perform(request, &sink);
    EXPECT_TRUE(result.Ok()) << path << ": " << result.message;
    EXPECT_EQ(result.response.status, 204) << path << ": " << sink.text;
}

std::optional<DevService::RecordedRequest> DevService::LastRequest() const {
    http::Client client;
    http::Request request;
    request.url = "http://127.0.0.1:" + std::to_string(hooksPort_) + "/last-request";
    http::StringSink sink;
    const http::Result result = client.Perform(request, &sink);
    EXPECT_TRUE(result.Ok()) << result.message;
    if (!result.Ok() || result.response.status != 200) {
        return std::nullopt;
    }
    RecordedRequest recorded;
    for (const auto& [name, value] : Fields(sink.text)) {
        if (name == "method") {
            recorded.method = value;
        } else if (name == "target") {
            recorded.target = value;
        } else if (name == "head") {
            recorded.head = value;
        } else if (name == "status") {
            recorded.status = std::stoi(value);
        } else if (name == "body_length") {
            recorded.bodyLength = std::stoull(value);
        } else if (name == "announced_length") {
            recorded.announcedLength = std::stoull(value);
        } else if (name == "body_complete") {
            recorded.bodyComplete = value == "1";
        } else if (name == "body_first") {
            recorded.bodyFirst = value;
        } else if (name == "body_last") {
            recorded.bodyLast = value;
        } else if (name == "upload_head") {
            recorded.uploadHead = value;
        } else if (name == "upload_tail") {
            recorded.uploadTail = value;
        } else if (name == "upload_file_length") {
            recorded.uploadFileLength = std::stoull(value);
        }
    }
    // The header lines between the request line and the blank line.
    size_t at = recorded.head.find("\r\n");
    while (at != std::string::npos && at + 2 < recorded.head.size()) {
        const size_t end = recorded.head.find("\r\n", at + 2);
        const std::string line = recorded.head.substr(at + 2, end - at - 2);
        if (line.empty()) {
            break;
        }
        const size_t colon = line.find(':');
        const size_t value = line.find_first_not_of(" \t", colon + 1);
        recorded.headers.emplace_back(line.substr(0, colon),
                                      value == std::string::npos ? "" : line.substr(value));
        at = end;
    }
    if (recorded.bodyLength <= recorded.bodyFirst.size() + recorded.bodyLast.size()) {
        const size_t overlap =
            recorded.bodyFirst.size() + recorded.bodyLast.size() - size_t(recorded.bodyLength);
        recorded.body = recorded.bodyFirst + recorded.bodyLast.substr(overlap);
    }
    return recorded;
}

void DevService::SetNextListing(int status, const std::string& body) const {
    Hook("/next-listing?status=" + std::to_string(status), body);
}

void DevService::SetNextGetStatus(int status) const {
    Hook("/next-get-status?status=" + std::to_string(status));
}

void DevService::SetNextAccountAnswer(int status, const std::string& body, int delayMs) const {
    Hook("/next-account-answer?status=" + std::to_string(status) +
             "&delay_ms=" + std::to_string(delayMs),
         body);
}

void DevService::ResetHooks() const {
    Hook("/reset");
}

}  // namespace nbx::test
