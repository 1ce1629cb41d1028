#pragma once

#include <cstdint>
#include <functional>
#include <initializer_list>
#include <optional>
#include <string>
#include <vector>

#include "platform/http_client.h"
#include "remotefs/nbx_file.h"

// Results of the file-system operations: 200 success, the server's status when it was not
// accepted, and these.
namespace FsResult {
inline constexpr int kOk = 200;
inline constexpr int kTimedOut = 408;       // a listing whose answer did not come in time
inline constexpr int kLocalFailure = -1;    // the request could not be made, or a bad answer
inline constexpr int kTransportError = -2;  // a listing whose connection failed
}  // namespace FsResult

// How a listing is waited for; one per service, shared by both of its implementations.
class CNbxListingWait {
public:
    virtual ~CNbxListingWait() = default;

    // Called between the slices of a listing's wait, on the waiting thread; the window puts
    // its event processing here. A listing started from inside it is refused.
    void SetWaitHook(std::function<void()> hook) { waitHook_ = std::move(hook); }

    // How long a listing waits for its answer, in 1 ms rounds (tests shorten it).
    void SetListWaitRounds(int rounds) { listWaitRounds_ = rounds; }

    // The most bytes a listing's answer may have; a larger one fails (tests lower it).
    static constexpr std::uint64_t kListAnswerCap = 256ull << 20;
    void SetListAnswerCap(std::uint64_t bytes) { listAnswerCap_ = bytes; }

protected:
    std::function<void()> waitHook_;
    int listWaitRounds_ = 10000;
    std::uint64_t listAnswerCap_ = kListAnswerCap;
    bool listing_ = false;
};

// The five operations that both remote file systems implement. Targets are URLs for WebDAV
// and escaped paths for the cloud disk. The listing goes into the CNbxFileProvider base,
// which the service shares between both implementations.
class CNbxFileSystemInterface : public virtual CNbxFileProvider, public virtual CNbxListingWait {
public:
    ~CNbxFileSystemInterface() override = default;

    virtual int _LIST(const std::string& target, const std::string& login,
                      const std::string& password) = 0;
    virtual int _CREATE(const std::string& target, const std::string& login,
                        const std::string& password) = 0;
    virtual int _DELETE(const std::string& target, const std::string& login,
                        const std::string& password) = 0;
    virtual int _COPY(const std::string& source, const std::string& destination,
                      const std::string& login, const std::string& password) = 0;
    virtual int _MOVE(const std::string& source, const std::string& destination,
                      const std::string& login, const std::string& password) = 0;

protected:
    struct FsRequest {
        const char* className;  // for the log records
        const char* operation;  // "_LIST", "_CREATE", ...
        std::string method;
        std::string url;
        std::vector<nbx::http::Header> headers;  // after "Content-Type: text/xml"
        std::string body;
        std::optional<std::pair<std::string, std::string>> basicAuth;
        std::vector<int> accepted;
        bool listing = false;  // waited for on a worker with the listing's bound
        nbx::http::BodySink* answerSink = nullptr;  // takes the answer instead of `answer`
    };
    // Sends the request as every file-system operation does and gives 200 for an accepted
    // status, with the answer in `answer` or the request's sink; otherwise the result to
    // return, logged. The sink is written on another thread while a listing waits.
    int SendFsRequest(const FsRequest& request, std::string* answer);
};
