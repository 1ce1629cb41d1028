#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

// The one HTTP client of the program, over libcurl.
//
// A request is sent exactly as described: its verb, its headers in the order given, a body of
// known length (always with Content-Length, never chunked, never "Expect: 100-continue"), Basic
// credentials when asked for. Redirects are answered, not followed. HTTPS is verified against
// the system's CA store or the configured bundle unless verification is switched off
// explicitly. Time-outs: the connect time-out covers name resolution and the connection; the
// send and receive time-outs are stall time-outs (no byte moved for that long).
//
// Threads: a client belongs to the thread that calls Perform or drives its session; only
// Abort may be called from any other thread, at any time while the client exists. An abort
// wakes a waiting transfer at once and makes every later call of that client fail with
// Error::Aborted: an aborted client is not reused.
namespace nbx::http {

inline constexpr std::size_t kBlockSize = 20000;

struct TlsSettings {
    std::string caBundle;  // a PEM file of CAs used instead of the system store; empty: system
    bool verifyPeer = true;
};
// The settings every new request uses; set once at start-up from the deployment profile.
void SetDefaultTls(TlsSettings settings);
TlsSettings DefaultTls();

using Header = std::pair<std::string, std::string>;

struct Request {
    std::string method = "GET";
    std::string url;
    std::vector<Header> headers;  // sent in this order, after the ones curl must send itself
    std::optional<std::pair<std::string, std::string>> basicAuth;  // login, password (UTF-8)
    std::string userAgent;                                         // empty: no User-Agent
    std::chrono::milliseconds connectTimeout{60000};
    std::chrono::milliseconds sendTimeout{60000};
    std::chrono::milliseconds receiveTimeout{60000};
    // The body: `body` as it is, or, when `contentLength` is set, that many bytes that the
    // caller supplies (a BodySource for Perform, writes for an UploadSession).
    std::string body;
    std::optional<std::uint64_t> contentLength;
    std::optional<TlsSettings> tls;  // unset: DefaultTls()
};

enum class Error {
    None,       // an answer arrived (whatever its status)
    BadUrl,     // not an absolute http or https URL
    Aborted,    // Abort() was called
    Timeout,    // connect, send or receive time-out
    Transport,  // connection refused or broken, TLS refused, an answer cut short, ...
    Sink,       // the sink refused a block
    Source,     // the body source failed or delivered too few bytes
};

struct Response {
    int status = 0;
    std::vector<Header> headers;  // in order, names as sent
    std::string rawHeaders;       // the header block as received, status line first
    std::optional<std::uint64_t> contentLength;
    std::string HeaderValue(std::string_view name) const;  // first match, case-insensitive; or ""
};

struct Result {
    Error error = Error::None;
    std::string message;  // why it failed, for the log
    Response response;
    std::uint64_t bodyBytes = 0;  // response body bytes handed to the sink or read
    bool Ok() const { return error == Error::None; }
};

// Receives the response body in blocks of kBlockSize bytes (the last one may be shorter).
class BodySink {
public:
    virtual ~BodySink() = default;
    // Once the answer's headers are in, before its first block; false stops the transfer.
    virtual bool Begin(const Response& /*response*/) { return true; }
    virtual bool Write(const char* data, std::size_t size) = 0;  // false stops the transfer
};

// Supplies a request body; Read returns the bytes put into `data` (0 at the end), or -1.
class BodySource {
public:
    virtual ~BodySource() = default;
    virtual long long Read(char* data, std::size_t capacity) = 0;
};

// Takes the body and keeps none of it.
class DropSink : public BodySink {
public:
    bool Write(const char*, std::size_t) override { return true; }
};

class StringSink : public BodySink {
public:
    bool Write(const char* data, std::size_t size) override {
        text.append(data, size);
        return true;
    }
    std::string text;
};

struct Transfer;  // one running request, driven by the calling thread

class Client {
public:
    Client();
    ~Client();
    Client(const Client&) = delete;
    Client& operator=(const Client&) = delete;

    // Sends the request and hands the whole response body to `sink` (may be null to drop it).
    Result Perform(const Request& request, BodySink* sink, BodySource* source = nullptr);

    // Any thread: the running or next transfer of this client ends with Error::Aborted.
    void Abort();
    bool IsAborted() const { return aborted_.load(); }

private:
    friend class DownloadSession;
    friend class UploadSession;
    friend struct Transfer;
    void* multi_;  // CURLM*, alive as long as the client so that Abort can always wake it
    std::atomic<bool> aborted_{false};
};

// A GET (or any request without a body) whose body the caller reads block by block. Nothing
// beyond one block and one network read is held in memory, whatever the size of the file.
class DownloadSession {
public:
    explicit DownloadSession(Client& client);
    ~DownloadSession();  // ends the transfer without waiting for the rest
    DownloadSession(const DownloadSession&) = delete;
    DownloadSession& operator=(const DownloadSession&) = delete;

    // Sends the request and waits for the response's headers.
    Result Open(const Request& request);
    // Fills `data` with up to `capacity` bytes; fewer only at the end of the body. `size` is
    // 0 at the end. An answer that breaks off or ends before its Content-Length is an error.
    Result Read(char* data, std::size_t capacity, std::size_t& size);
    void Close();

private:
    Client& client_;
    std::unique_ptr<Transfer> transfer_;
};

// A request whose body of announced length the caller writes block by block.
class UploadSession {
public:
    explicit UploadSession(Client& client);
    ~UploadSession();  // abandons the request: the server sees the body end early
    UploadSession(const UploadSession&) = delete;
    UploadSession& operator=(const UploadSession&) = delete;

    // `request.contentLength` must be set. Connects and sends the headers.
    Result Open(const Request& request);
    // Hands the bytes to the request; returns once they are sent (or the transfer failed).
    Result Write(const char* data, std::size_t size);
    // Commit: waits for the answer (its status is in the result); the body must be complete.
    // Without commit the request is abandoned and nothing is waited for.
    Result Close(bool commit);

private:
    Client& client_;
    std::unique_ptr<Transfer> transfer_;
};

}  // namespace nbx::http
