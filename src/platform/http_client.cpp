#include "platform/http_client.h"

#include <curl/curl.h>
#include <strings.h>
#include <algorithm>
#include <cstring>
#include <functional>
#include <mutex>

namespace nbx::http {

namespace {

using Clock = std::chrono::steady_clock;

std::mutex g_tlsMutex;
TlsSettings g_tls;

void GlobalInit() {
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

// Lets the body of a Request or a caller's source feed the read callback alike.
class StringSource : public BodySource {
public:
    explicit StringSource(const std::string& text) : text_(text) {}
    long long Read(char* data, std::size_t capacity) override {
        const std::size_t n = std::min(capacity, text_.size() - pos_);
        std::memcpy(data, text_.data() + pos_, n);
        pos_ += n;
        return static_cast<long long>(n);
    }

private:
    const std::string& text_;
    std::size_t pos_ = 0;
};

}  // namespace

void SetDefaultTls(TlsSettings settings) {
    std::lock_guard lock(g_tlsMutex);
    g_tls = std::move(settings);
}

TlsSettings DefaultTls() {
    std::lock_guard lock(g_tlsMutex);
    return g_tls;
}

std::string Response::HeaderValue(std::string_view name) const {
    for (const auto& [n, v] : headers) {
        if (n.size() == name.size() && ::strncasecmp(n.data(), name.data(), n.size()) == 0) {
            return v;
        }
    }
    return {};
}

// One request on the client's multi handle. The calling thread drives it with Drive(); the
// callbacks below run inside that call, on that thread.
struct Transfer {
    Transfer(Client& owner, const Request& req) : client(owner), request(req) {}
    ~Transfer() { Finish(); }

    Client& client;
    Request request;
    CURL* easy = nullptr;
    curl_slist* headerList = nullptr;
    char errorBuffer[CURL_ERROR_SIZE] = {};
    bool added = false;
    bool done = false;
    CURLcode code = CURLE_OK;
    Error failure = Error::None;  // set by our own checks (abort, time-out, sink, source)
    std::string failureText;

    Response response;
    bool headersDone = false;
    std::uint64_t bodyBytes = 0;

    // Response body: straight into a sink in whole blocks, or held for a session reader.
    BodySink* sink = nullptr;
    bool begun = false;
    std::string block;
    std::string inbox;
    std::size_t inboxPos = 0;  // what the reader has taken from the front of `inbox`
    std::size_t Unread() const { return inbox.size() - inboxPos; }

    // Request body: from a source, or from a session writer's outbox.
    BodySource* source = nullptr;
    std::unique_ptr<StringSource> ownSource;
    std::string outbox;
    std::size_t outPos = 0;
    std::uint64_t sent = 0;
    bool readPaused = false;

    Clock::time_point lastProgress = Clock::now();

    bool HasBody() const { return request.contentLength.has_value(); }
    std::uint64_t BodyLength() const { return request.contentLength.value_or(0); }

    void Fail(Error error, std::string text) {
        if (failure == Error::None) {
            failure = error;
            failureText = std::move(text);
        }
    }

    bool Start();
    void Drive(const std::function<bool()>& enough);
    void Finish();
    Result MakeResult();

    static std::size_t OnHeader(char* data, std::size_t size, std::size_t count, void* self);
    static std::size_t OnWrite(char* data, std::size_t size, std::size_t count, void* self);
    static std::size_t OnRead(char* data, std::size_t size, std::size_t count, void* self);
};

bool Transfer::Start() {
    if (client.IsAborted()) {
        Fail(Error::Aborted, "the transfer was aborted");
        return false;
    }
    if (request.url.rfind("http://", 0) != 0 && request.url.rfind("https://", 0) != 0) {
        Fail(Error::BadUrl, "not an http or https URL: " + request.url);
        return false;
    }
    easy = curl_easy_init();
    if (easy == nullptr) {
        Fail(Error::Transport, "curl_easy_init() failed");
        return false;
    }
    curl_easy_setopt(easy, CURLOPT_PRIVATE, this);
    curl_easy_setopt(easy, CURLOPT_URL, request.url.c_str());
    curl_easy_setopt(easy, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(easy, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(easy, CURLOPT_ERRORBUFFER, errorBuffer);
    curl_easy_setopt(easy, CURLOPT_FOLLOWLOCATION, 0L);
    curl_easy_setopt(easy, CURLOPT_BUFFERSIZE, 65536L);
    curl_easy_setopt(easy, CURLOPT_CONNECTTIMEOUT_MS,
                     static_cast<long>(request.connectTimeout.count()));
    if (!request.userAgent.empty()) {
        curl_easy_setopt(easy, CURLOPT_USERAGENT, request.userAgent.c_str());
    }

    const TlsSettings tls = request.tls.value_or(DefaultTls());
    curl_easy_setopt(easy, CURLOPT_SSL_VERIFYPEER, tls.verifyPeer ? 1L : 0L);
    curl_easy_setopt(easy, CURLOPT_SSL_VERIFYHOST, tls.verifyPeer ? 2L : 0L);
    if (!tls.caBundle.empty()) {
        curl_easy_setopt(easy, CURLOPT_CAINFO, tls.caBundle.c_str());
    }

    if (request.basicAuth) {
        curl_easy_setopt(easy, CURLOPT_HTTPAUTH, static_cast<long>(CURLAUTH_BASIC));
        curl_easy_setopt(easy, CURLOPT_USERNAME, request.basicAuth->first.c_str());
        curl_easy_setopt(easy, CURLOPT_PASSWORD, request.basicAuth->second.c_str());
    }

    if (request.method == "HEAD") {
        curl_easy_setopt(easy, CURLOPT_NOBODY, 1L);
    } else if (request.method != "GET" || HasBody()) {
        curl_easy_setopt(easy, CURLOPT_CUSTOMREQUEST, request.method.c_str());
    }
    if (HasBody()) {
        // An upload of known size: Content-Length, never chunked.
        curl_easy_setopt(easy, CURLOPT_UPLOAD, 1L);
        curl_easy_setopt(easy, CURLOPT_INFILESIZE_LARGE,
                         static_cast<curl_off_t>(request.contentLength.value()));
        curl_easy_setopt(easy, CURLOPT_READFUNCTION, &Transfer::OnRead);
        curl_easy_setopt(easy, CURLOPT_READDATA, this);
    }

    for (const auto& [name, value] : request.headers) {
        const std::string line = value.empty() ? name + ";" : name + ": " + value;
        headerList = curl_slist_append(headerList, line.c_str());
    }
    headerList = curl_slist_append(headerList, "Expect:");
    curl_easy_setopt(easy, CURLOPT_HTTPHEADER, headerList);

    curl_easy_setopt(easy, CURLOPT_HEADERFUNCTION, &Transfer::OnHeader);
    curl_easy_setopt(easy, CURLOPT_HEADERDATA, this);
    curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, &Transfer::OnWrite);
    curl_easy_setopt(easy, CURLOPT_WRITEDATA, this);

    if (curl_multi_add_handle(static_cast<CURLM*>(client.multi_), easy) != CURLM_OK) {
        Fail(Error::Transport, "curl_multi_add_handle() failed");
        return false;
    }
    added = true;
    return true;
}

void Transfer::Drive(const std::function<bool()>& enough) {
    auto* multi = static_cast<CURLM*>(client.multi_);
    lastProgress = Clock::now();
    while (!done && !enough()) {
        if (client.IsAborted()) {
            Fail(Error::Aborted, "the transfer was aborted");
            Finish();
            return;
        }
        int running = 0;
        curl_multi_perform(multi, &running);
        int left = 0;
        while (CURLMsg* msg = curl_multi_info_read(multi, &left)) {
            if (msg->msg == CURLMSG_DONE && msg->easy_handle == easy) {
                done = true;
                code = msg->data.result;
            }
        }
        if (done || enough()) {
            break;
        }
        // A stall counts only once the request is on its way; before that the connect
        // time-out applies.
        curl_off_t pretransfer = 0;
        curl_easy_getinfo(easy, CURLINFO_PRETRANSFER_TIME_T, &pretransfer);
        if (pretransfer > 0) {
            const bool sending = HasBody() && sent < BodyLength() && !readPaused;
            const auto limit = sending ? request.sendTimeout : request.receiveTimeout;
            if (Clock::now() - lastProgress > limit) {
                Fail(Error::Timeout, std::string(sending ? "send" : "receive") +
                                         " time-out: nothing moved for " +
                                         std::to_string(limit.count()) + " ms");
                Finish();
                return;
            }
        }
        curl_multi_poll(multi, nullptr, 0, 100, nullptr);
    }
}

void Transfer::Finish() {
    if (added) {
        curl_multi_remove_handle(static_cast<CURLM*>(client.multi_), easy);
        added = false;
    }
    if (easy != nullptr) {
        curl_easy_cleanup(easy);
        easy = nullptr;
    }
    if (headerList != nullptr) {
        curl_slist_free_all(headerList);
        headerList = nullptr;
    }
    if (!done) {
        done = true;
        code = CURLE_ABORTED_BY_CALLBACK;
    }
}

Result Transfer::MakeResult() {
    Result result;
    result.response = response;
    result.bodyBytes = bodyBytes;
    if (failure != Error::None) {
        result.error = failure;
        result.message = failureText;
        return result;
    }
    if (!done || code == CURLE_OK) {
        return result;
    }
    result.message = errorBuffer[0] != '\0' ? errorBuffer : curl_easy_strerror(code);
    switch (code) {
        case CURLE_OPERATION_TIMEDOUT:
            result.error = Error::Timeout;
            break;
        case CURLE_URL_MALFORMAT:
        case CURLE_UNSUPPORTED_PROTOCOL:
            result.error = Error::BadUrl;
            break;
        default:
            result.error = Error::Transport;
            break;
    }
    return result;
}

std::size_t Transfer::OnHeader(char* data, std::size_t size, std::size_t count, void* self) {
    auto* t = static_cast<Transfer*>(self);
    const std::size_t n = size * count;
    std::string_view line(data, n);
    t->lastProgress = Clock::now();
    if (line.rfind("HTTP/", 0) == 0) {
        // A new status line (after a 1xx, say) starts the header block afresh.
        t->response = Response{};
        t->headersDone = false;
    }
    t->response.rawHeaders.append(line);
    while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) {
        line.remove_suffix(1);
    }
    if (line.empty()) {
        long status = 0;
        curl_easy_getinfo(t->easy, CURLINFO_RESPONSE_CODE, &status);
        if (status >= 200) {
            t->response.status = static_cast<int>(status);
            curl_off_t length = -1;
            curl_easy_getinfo(t->easy, CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &length);
            if (length >= 0) {
                t->response.contentLength = static_cast<std::uint64_t>(length);
            }
            t->headersDone = true;
        }
        return n;
    }
    const auto colon = line.find(':');
    if (colon != std::string_view::npos && line.rfind("HTTP/", 0) != 0) {
        std::string_view value = line.substr(colon + 1);
        while (!value.empty() && (value.front() == ' ' || value.front() == '\t')) {
            value.remove_prefix(1);
        }
        t->response.headers.emplace_back(std::string(line.substr(0, colon)), std::string(value));
    }
    return n;
}

std::size_t Transfer::OnWrite(char* data, std::size_t size, std::size_t count, void* self) {
    auto* t = static_cast<Transfer*>(self);
    const std::size_t n = size * count;
    if (t->client.IsAborted()) {
        t->Fail(Error::Aborted, "the transfer was aborted");
        return 0;
    }
    if (t->sink == nullptr) {
        // A session reader: the transfer is only driven while the reader wants more, so what
        // waits here is bounded by what one drive reads; the rest stays in the socket.
        t->inbox.append(data, n);
    } else {
        if (!t->begun) {
            t->begun = true;
            if (!t->sink->Begin(t->response)) {
                t->Fail(Error::Sink, "the response was refused");
                return 0;
            }
        }
        for (std::size_t pos = 0; pos < n;) {
            const std::size_t take = std::min(n - pos, kBlockSize - t->block.size());
            t->block.append(data + pos, take);
            pos += take;
            if (t->block.size() == kBlockSize) {
                if (!t->sink->Write(t->block.data(), t->block.size())) {
                    t->Fail(Error::Sink, "the response body could not be stored");
                    return 0;
                }
                t->block.clear();
            }
        }
    }
    t->bodyBytes += n;
    t->lastProgress = Clock::now();
    return n;
}

std::size_t Transfer::OnRead(char* data, std::size_t size, std::size_t count, void* self) {
    auto* t = static_cast<Transfer*>(self);
    const std::size_t capacity = std::min<std::uint64_t>(size * count, t->BodyLength() - t->sent);
    if (t->client.IsAborted()) {
        t->Fail(Error::Aborted, "the transfer was aborted");
        return CURL_READFUNC_ABORT;
    }
    if (capacity == 0) {
        return 0;
    }
    std::size_t n = 0;
    if (t->source != nullptr) {
        const long long got = t->source->Read(data, capacity);
        if (got < 0 || (got == 0 && t->sent < t->BodyLength())) {
            t->Fail(Error::Source, got < 0 ? "the request body could not be read"
                                           : "the request body ended before its length");
            return CURL_READFUNC_ABORT;
        }
        n = static_cast<std::size_t>(got);
    } else {
        if (t->outPos == t->outbox.size()) {
            t->readPaused = true;
            return CURL_READFUNC_PAUSE;
        }
        n = std::min(capacity, t->outbox.size() - t->outPos);
        std::memcpy(data, t->outbox.data() + t->outPos, n);
        t->outPos += n;
    }
    t->sent += n;
    t->lastProgress = Clock::now();
    return n;
}

Client::Client() {
    GlobalInit();
    multi_ = curl_multi_init();
}

Client::~Client() {
    curl_multi_cleanup(static_cast<CURLM*>(multi_));
}

void Client::Abort() {
    aborted_.store(true);
    curl_multi_wakeup(static_cast<CURLM*>(multi_));
}

Result Client::Perform(const Request& request, BodySink* sink, BodySource* source) {
    Transfer t(*this, request);
    DropSink discard;
    t.sink = sink != nullptr ? sink : &discard;
    if (!request.body.empty() && !request.contentLength) {
        t.request.contentLength = request.body.size();
    }
    if (t.HasBody()) {
        if (source == nullptr) {
            t.ownSource = std::make_unique<StringSource>(t.request.body);
            source = t.ownSource.get();
        }
        t.source = source;
    }
    if (t.Start()) {
        t.Drive([] { return false; });
        if (t.done && t.code == CURLE_OK && !t.block.empty() &&
            !t.sink->Write(t.block.data(), t.block.size())) {
            t.Fail(Error::Sink, "the response body could not be stored");
        }
    }
    t.Finish();
    return t.MakeResult();
}

DownloadSession::DownloadSession(Client& client) : client_(client) {}
DownloadSession::~DownloadSession() {
    Close();
}

Result DownloadSession::Open(const Request& request) {
    transfer_ = std::make_unique<Transfer>(client_, request);
    Transfer& t = *transfer_;
    if (t.Start()) {
        t.Drive([&t] { return t.headersDone; });
    }
    if (t.headersDone) {
        // The answer is there; a failure of its body is the business of the reads.
        Result result;
        result.response = t.response;
        return result;
    }
    Result result = t.MakeResult();
    if (result.Ok()) {
        result.error = Error::Transport;
        result.message = "the connection ended without an answer";
    }
    return result;
}

Result DownloadSession::Read(char* data, std::size_t capacity, std::size_t& size) {
    size = 0;
    if (!transfer_) {
        Result result;
        result.error = Error::Transport;
        result.message = "no download session is open";
        return result;
    }
    Transfer& t = *transfer_;
    if (t.Unread() < capacity) {
        t.Drive([&t, capacity] { return t.Unread() >= capacity; });
    }
    Result result = t.MakeResult();
    if (!result.Ok()) {
        return result;
    }
    size = std::min(capacity, t.Unread());
    std::memcpy(data, t.inbox.data() + t.inboxPos, size);
    t.inboxPos += size;
    // One network burst can be megabytes: move what is left only once most of it is read.
    if (t.inboxPos == t.inbox.size()) {
        t.inbox.clear();
        t.inboxPos = 0;
    } else if (t.inboxPos > t.inbox.size() / 2) {
        t.inbox.erase(0, t.inboxPos);
        t.inboxPos = 0;
    }
    return result;
}

void DownloadSession::Close() {
    transfer_.reset();
}

UploadSession::UploadSession(Client& client) : client_(client) {}
UploadSession::~UploadSession() {
    transfer_.reset();
}

Result UploadSession::Open(const Request& request) {
    transfer_ = std::make_unique<Transfer>(client_, request);
    Transfer& t = *transfer_;
    if (!t.HasBody()) {
        t.Fail(Error::Source, "an upload session needs the length of its body");
    } else if (t.Start()) {
        // Connected and the headers sent once curl asks for the first body bytes.
        t.Drive([&t] { return t.readPaused || t.headersDone; });
    }
    return t.MakeResult();
}

Result UploadSession::Write(const char* data, std::size_t size) {
    if (!transfer_) {
        Result result;
        result.error = Error::Source;
        result.message = "no upload session is open";
        return result;
    }
    Transfer& t = *transfer_;
    if (t.sent + size > t.BodyLength()) {
        t.Fail(Error::Source, "more bytes written than the upload announced");
        return t.MakeResult();
    }
    if (t.done || t.headersDone) {
        Result result = t.MakeResult();
        if (result.Ok()) {
            result.error = Error::Transport;
            result.message = "the server answered before the upload was complete";
        }
        return result;
    }
    t.outbox.assign(data, size);
    t.outPos = 0;
    if (t.readPaused && t.easy != nullptr) {
        t.readPaused = false;
        curl_easy_pause(t.easy, CURLPAUSE_CONT);
    }
    t.Drive(
        [&t] { return t.outPos == t.outbox.size() && (t.readPaused || t.sent == t.BodyLength()); });
    Result result = t.MakeResult();
    if (result.Ok() && t.outPos < t.outbox.size()) {
        result.error = Error::Transport;
        result.message = "the server answered before the upload was complete";
    }
    return result;
}

Result UploadSession::Close(bool commit) {
    if (!transfer_) {
        return {};
    }
    Transfer& t = *transfer_;
    Result result;
    if (!commit) {
        t.Finish();
    } else if (t.sent < t.BodyLength() && !t.done) {
        t.Fail(Error::Source, "the upload was closed before its body was complete");
        t.Finish();
        result = t.MakeResult();
    } else {
        if (t.readPaused && t.easy != nullptr) {
            t.readPaused = false;
            curl_easy_pause(t.easy, CURLPAUSE_CONT);
        }
        t.Drive([] { return false; });
        result = t.MakeResult();
    }
    transfer_.reset();
    return result;
}

}  // namespace nbx::http
