#include "remotefs/fs_interface.h"

#include <algorithm>
#include <memory>
#include <thread>

#include "app/session_log.h"
#include "platform/event.h"
#include "platform/format.h"

using nbx::StrPrintf;
using namespace std::chrono_literals;

namespace {

// What a listing's worker shares with the waiting thread; owned by both, so a waiter that
// gives up never leaves the worker with freed state.
struct ListJob {
    nbx::http::Client client;
    nbx::http::Request request;
    nbx::http::StringSink text;
    nbx::http::BodySink* sink = &text;
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
        auto job = std::make_shared<ListJob>();
        job->request = std::move(request);
        if (fs.answerSink != nullptr) {
            job->sink = fs.answerSink;  // alive until the worker is joined below
        }
        std::thread worker([job] {
            job->result = job->client.Perform(job->request, job->sink);
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
        result = std::move(job->result);
        if (answer != nullptr) {
            *answer = std::move(job->text.text);
        }
    } else {
        nbx::http::Client client;
        nbx::http::StringSink sink;
        result = client.Perform(request, fs.answerSink != nullptr ? fs.answerSink : &sink);
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
