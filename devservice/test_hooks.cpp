#include "test_hooks.h"

#include <charconv>

#include "http_text.h"

namespace nbx::dev {

void TestHooks::Record(RequestRecord record) {
    std::lock_guard lock(mutex_);
    last_ = std::move(record);
}

std::optional<RequestRecord> TestHooks::LastRequest() const {
    std::lock_guard lock(mutex_);
    return last_;
}

void TestHooks::QueueListing(CannedAnswer answer) {
    std::lock_guard lock(mutex_);
    listings_.push_back(std::move(answer));
}

std::optional<CannedAnswer> TestHooks::NextListing() {
    std::lock_guard lock(mutex_);
    if (listings_.empty()) {
        return std::nullopt;
    }
    CannedAnswer answer = std::move(listings_.front());
    listings_.pop_front();
    return answer;
}

void TestHooks::QueueGetStatus(int status) {
    std::lock_guard lock(mutex_);
    getStatuses_.push_back(status);
}

std::optional<int> TestHooks::NextGetStatus() {
    std::lock_guard lock(mutex_);
    if (getStatuses_.empty()) {
        return std::nullopt;
    }
    const int status = getStatuses_.front();
    getStatuses_.pop_front();
    return status;
}

void TestHooks::QueueAccountAnswer(CannedAnswer answer) {
    std::lock_guard lock(mutex_);
    accountAnswers_.push_back(std::move(answer));
}

std::optional<CannedAnswer> TestHooks::NextAccountAnswer() {
    std::lock_guard lock(mutex_);
    if (accountAnswers_.empty()) {
        return std::nullopt;
    }
    CannedAnswer answer = std::move(accountAnswers_.front());
    accountAnswers_.pop_front();
    return answer;
}

void TestHooks::Reset() {
    std::lock_guard lock(mutex_);
    accountAnswers_.clear();
    last_.reset();
    listings_.clear();
    getStatuses_.clear();
}

std::string FormatRecord(const RequestRecord& record) {
    std::string out;
    const auto field = [&out](std::string_view name, std::string_view value) {
        out.append(name).append(" ").append(std::to_string(value.size())).append("\n");
        out.append(value).append("\n");
    };
    field("method", record.method);
    field("target", record.target);
    field("head", record.head);
    field("status", std::to_string(record.status));
    field("body_length", std::to_string(record.bodyLength));
    if (record.announced) {
        field("announced_length", std::to_string(*record.announced));
    }
    field("body_complete", record.BodyComplete() ? "1" : "0");
    field("body_first", record.bodyFirst);
    field("body_last", record.bodyLast);
    if (record.fileBegin) {
        field("upload_head", std::string_view(record.bodyFirst).substr(0, *record.fileBegin));
        if (record.fileEnd && record.bodyLength - *record.fileEnd <= record.bodyLast.size()) {
            const std::uint64_t tail = record.bodyLength - *record.fileEnd;
            field("upload_tail",
                  std::string_view(record.bodyLast).substr(record.bodyLast.size() - size_t(tail)));
            field("upload_file_length", std::to_string(*record.fileEnd - *record.fileBegin));
        }
    }
    return out;
}

namespace {

std::optional<int> StatusArgument(const httplib::Request& request) {
    const auto args = ParseQuery(request.target);
    const auto text = args ? QueryValue(*args, "status") : std::nullopt;
    int status = 0;
    if (!text ||
        std::from_chars(text->data(), text->data() + text->size(), status).ec != std::errc{} ||
        status < 100 || status > 599) {
        return std::nullopt;
    }
    return status;
}

// The hooks are also called with empty bodies and no Content-Length, which httplib would
// refuse for a POST before any handler ran.
using Hook =
    std::function<void(const httplib::Request&, const std::string& body, httplib::Response&)>;
void Post(httplib::Server& server, const std::string& path, Hook hook) {
    server.Post(path, [hook](const httplib::Request& request, httplib::Response& response,
                             const httplib::ContentReader& reader) {
        std::string body;
        if (request.has_header("Content-Length") || request.has_header("Transfer-Encoding")) {
            reader([&body](const char* data, size_t size) {
                body.append(data, size);
                return true;
            });
        }
        hook(request, body, response);
    });
}

void BadStatus(httplib::Response& response) {
    response.status = 400;
    response.set_content("give status=N, from 100 to 599\n", "text/plain");
}

}  // namespace

void RegisterTestHooks(httplib::Server& server, TestHooks& hooks) {
    server.Get("/last-request", [&hooks](const httplib::Request&, httplib::Response& response) {
        const auto record = hooks.LastRequest();
        if (!record) {
            response.status = 404;
            response.set_content("no request yet\n", "text/plain");
            return;
        }
        response.set_content(FormatRecord(*record), "application/octet-stream");
    });
    Post(server, "/next-listing",
         [&hooks](const httplib::Request& request, const std::string& body,
                  httplib::Response& response) {
             const auto status = StatusArgument(request);
             if (!status) {
                 return BadStatus(response);
             }
             const auto args = ParseQuery(request.target);
             hooks.QueueListing(
                 {*status, body, QueryValue(*args, "content_type").value_or("application/json")});
             response.status = 204;
         });
    Post(
        server, "/next-get-status",
        [&hooks](const httplib::Request& request, const std::string&, httplib::Response& response) {
            const auto status = StatusArgument(request);
            if (!status) {
                return BadStatus(response);
            }
            hooks.QueueGetStatus(*status);
            response.status = 204;
        });
    Post(server, "/next-account-answer",
         [&hooks](const httplib::Request& request, const std::string& body,
                  httplib::Response& response) {
             const auto status = StatusArgument(request);
             const auto args = ParseQuery(request.target);
             int delay = 0;
             const auto delayText = args ? QueryValue(*args, "delay_ms") : std::nullopt;
             if (!status ||
                 (delayText &&
                  (std::from_chars(delayText->data(), delayText->data() + delayText->size(), delay)
                           .ec != std::errc{} ||
                   delay < 0 || delay > 600000))) {
                 response.status = 400;
                 response.set_content("give status=N, from 100 to 599, and delay_ms from 0\n",
                                      "text/plain");
                 return;
             }
             hooks.QueueAccountAnswer(
                 {*status, body, QueryValue(*args, "content_type").value_or("text/plain"), delay});
             response.status = 204;
         });
    Post(server, "/reset",
         [&hooks](const httplib::Request&, const std::string&, httplib::Response& response) {
             hooks.Reset();
             response.status = 204;
         });
}

}  // namespace nbx::dev
