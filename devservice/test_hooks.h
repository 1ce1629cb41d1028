#pragma once

#include <httplib.h>

#include <deque>
#include <mutex>
#include <optional>
#include <string>

#include "recording_server.h"

// What tests see of and set in the service, on a plain-HTTP port of its own (only with
// --test-hooks), so that asking never overwrites the request a test wants to look at:
//
//   GET  /last-request                       the last request the service answered (404
//                                            before the first); fields, each a line
//                                            "NAME LENGTH" then LENGTH bytes then "\n"
//   POST /next-listing?status=N[&content_type=T]   the next getList that passes authentication
//                                            answers N with the request body as it is
//   POST /next-get-status?status=N           the next get that passes authentication answers N
//                                            with an empty body
//   POST /next-account-answer?status=N[&delay_ms=M][&content_type=T]   the next call of the
//                                            account service (getegid.jsp, getnode2.jsp,
//                                            apnsapi.cgi, a folder's redirect) answers N with the
//                                            request body as it is, after M ms (default 0)
//   POST /reset                              forgets the last request and every queued answer
//
// Queued answers are used once each, in the order they were set.
namespace nbx::dev {

struct CannedAnswer {
    int status = 200;
    std::string body;
    std::string contentType;
    int delayMs = 0;  // waited before answering
};

class TestHooks {
public:
    void Record(RequestRecord record);
    std::optional<RequestRecord> LastRequest() const;

    void QueueListing(CannedAnswer answer);
    std::optional<CannedAnswer> NextListing();
    void QueueGetStatus(int status);
    std::optional<int> NextGetStatus();
    void QueueAccountAnswer(CannedAnswer answer);
    std::optional<CannedAnswer> NextAccountAnswer();
    void Reset();

private:
    mutable std::mutex mutex_;
    std::optional<RequestRecord> last_;
    std::deque<CannedAnswer> listings_;
    std::deque<int> getStatuses_;
    std::deque<CannedAnswer> accountAnswers_;
};

// The fields of /last-request, in this order: method, target, head, status, body_length,
// announced_length (when the request had one), body_complete ("1" or "0"), body_first and
// body_last (the first and last 64 KiB of the body), and for an upload upload_head (the bytes
// before the file's), upload_tail (the bytes after them, once the file's end was found) and
// upload_file_length.
std::string FormatRecord(const RequestRecord& record);

void RegisterTestHooks(httplib::Server& server, TestHooks& hooks);

}  // namespace nbx::dev
