#include "remotefs/fs_interface.h"

#include <algorithm>
#include <memory>
#include <thread>

#include "base/session_log.h"
#include "platform/event.h"
#include "platform/format.h"

using nbx::StrPrintf;
using namespace std::chrono_literals;

namespace {

// Hands an answer on until it grows past the cap, and then stops the transfer.
class CappedSink : public nbx::http::BodySink {
public:
    CappedSink(nbx::http::BodySink& sink, std::uint64_t cap) : sink_(sink), cap_(cap) {}
    bool Begin(const nbx::http::Response& response) override { return sink_.Begin(response); }
    bool Write(const char* data, std::size_t size) override {
        received_ += size;
        if (received_ > cap_) {
            overCap = true;
            return false;
        }
        return sink_.Write(data, size);
    }
    bool overCap = false;

private:
    nbx::http::BodySink& sink_;
    std::uint64_t cap_;
    std::uint64_t received_ = 0;
};

// What a listing's worker shares with the waiting thread; owned by both, so a waiter that
// gives up never leaves the worker with freed state.
struct ListJob {
    ListJob(nbx::http::BodySink* answerSink, std::uint64_t cap)
        : capped(answerSink != nullptr ? *answerSink : text, cap) {}
    nbx::http::Client client;
    nbx::http::Request request;
    nbx::http::StringSink text;
    CappedSink capped;
    nbx::http::Result result;
    nbx::Event done{nbx::Event::Reset::Manual};
};

}  // namespace

int CNbxFileSystemInterface::SendFsRequest(const FsRequest& fs, std::string* answer) {
    nbx::http::Request request;
    request.method = fs.method;
    request.url = fs.url;
    request.headers.emplace_back("Content-Type", "text/xml");
    request.headers.insert(request.headers.end(), fs.headers.begin(), fs.headers.end());
    request.body = fs.body;
    request.basicAuth = fs.basicAuth;
    request.connectTimeout = 10000ms;
    request.sendTimeout = 60000ms;
    request.receiveTimeout = 60000ms;

    nbx::http::Result result;
    if (fs.listing) {
        if (listing_) {
            WriteLog(LogLevel::Warning,
                     StrPrintf("%s::%s(): a listing is already running on this service!",
                               fs.className, fs.operation));
            return FsResult::kLocalFailure;
        }
        listing_ = true;
        // The request's sink is alive until the worker is joined below.
        auto job = std::make_shared<ListJob>(fs.answerSink, listAnswerCap_);
        job->request = std::move(request);
        std::thread worker([job] {
            job->result = job->client.Perform(job->request, &job->capped);
            job->done.Set();
        });
        bool arrived = false;
        for (int round = 0; round < std::max(listWaitRounds_, 1); ++round) {
            if (job->done.Wait(1ms)) {
                arrived = true;
                break;
            }
            if (waitHook_) {
                waitHook_();
            }
        }
        if (!arrived) {
            job->client.Abort();  // wakes the worker at once
        }
        worker.join();
        listing_ = false;
        if (!arrived) {
            return FsResult::kTimedOut;
        }
        if (job->capped.overCap) {
            WriteLog(LogLevel::Error,
                     StrPrintf("%s::%s() failed with error msg: \"the answer is larger than %llu "
                               "bytes\"",
                               fs.className, fs.operation,
                               static_cast<unsigned long long>(listAnswerCap_)));
            return FsResult::kLocalFailure;
        }
        result = std::move(job->result);
        if (answer != nullptr) {
            *answer = std::move(job->text.text);
        }
    } else {
        // An answer no one asked for is dropped as it comes, whatever its size.
        nbx::http::Client client;
        nbx::http::StringSink sink;
        nbx::http::DropSink drop;
        nbx::http::BodySink* target = fs.answerSink;
        if (target == nullptr) {
            target = answer != nullptr ? static_cast<nbx::http::BodySink*>(&sink) : &drop;
        }
        result = client.Perform(request, target);
        if (answer != nullptr) {
            *answer = std::move(sink.text);
        }
    }

    if (!result.Ok()) {
        WriteLog(LogLevel::Error,
                 StrPrintf("%s::%s() failed with error: \"%08lx\", with msg: \"%s\", with src: "
                           "\"%s\", with desc: \"%s\"",
                           fs.className, fs.operation, static_cast<unsigned long>(result.error),
                           result.message.c_str(), "nbx::http::Client", result.message.c_str()));
        // A listing sees a failed connection as a status of the transport's own range.
        return fs.listing ? FsResult::kTransportError : FsResult::kLocalFailure;
    }
    const int status = result.response.status;
    if (std::find(fs.accepted.begin(), fs.accepted.end(), status) != fs.accepted.end()) {
        return FsResult::kOk;
    }
    WriteLogLines(
        LogLevel::Error,
        StrPrintf("%s::%s(): IServerXMLHTTPRequestPtr::send() failed with status: \"%d\" "
                  "with response headers:\n%s",
                  fs.className, fs.operation, status, result.response.rawHeaders.c_str()));
    return fs.listing && status >= 12000 ? FsResult::kTransportError : status;
}
