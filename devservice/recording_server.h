#pragma once

#include <httplib.h>
#include <openssl/ssl.h>

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

// A server (HTTPS, or plain HTTP) that keeps, for every request, the bytes the client sent: the
// request line and headers exactly as they came (httplib itself keeps headers sorted by name), and
// the first and last 64 KiB of the body with its length. Handlers that stream a body of any size
// themselves (an upload) read it through RequestBody::Current() instead of httplib's content
// reader, which would insist on parsing multipart bodies itself.
//
// Threads: httplib runs each connection on one worker thread from the handshake to the close,
// so "the current request" is per thread. The finished record is handed to the record sink
// just before the answer is written, so a client that has its answer always finds its request
// recorded.
namespace nbx::dev {

inline constexpr std::size_t kRecordedBodyEdge = 64 * 1024;

struct RequestRecord {
    std::string head;  // request line and headers through the blank line, byte for byte
    std::string method;
    std::string target;
    std::uint64_t bodyLength = 0;            // body bytes received
    std::optional<std::uint64_t> announced;  // Content-Length, when there was one
    std::string bodyFirst;                   // the first kRecordedBodyEdge bytes
    std::string bodyLast;                    // the last kRecordedBodyEdge bytes
    int status = 0;                          // what the server answered
    // For an upload: where in the body the file's bytes began and ended.
    std::optional<std::uint64_t> fileBegin;
    std::optional<std::uint64_t> fileEnd;

    bool BodyComplete() const { return bodyLength == announced.value_or(0); }
};

// The body of the request being handled on this thread, read straight from the connection.
class RequestBody {
public:
    // Null outside a handler of a recording server.
    static RequestBody* Current();

    // Up to `capacity` bytes of what is left of the announced body; 0 once it has all been
    // read, -1 when the connection broke or stalled before that.
    virtual long long Read(char* data, std::size_t capacity) = 0;
    // Reads and drops what is left; false when the body did not arrive whole. A body left
    // unread closes the connection after the answer, so draining keeps it alive.
    bool Drain();
    // Where in the body an upload's file bytes began and ended, for the record.
    virtual void MarkFile(std::optional<std::uint64_t> begin, std::optional<std::uint64_t> end) = 0;

protected:
    ~RequestBody() = default;
};

// One of httplib's servers (plain or TLS) that records every request.
template <typename Base>
class Recording : public Base {
public:
    using RecordSink = std::function<void(RequestRecord record)>;

    template <typename... Args>
    explicit Recording(RecordSink sink, Args&&... args);

private:
    // Replaces httplib's own connection loop; runs on a worker thread per connection.
    bool process_and_close_socket(socket_t sock) override;

    RecordSink sink_;
};

class RecordingSslServer : public Recording<httplib::SSLServer> {
public:
    RecordingSslServer(const std::string& certFile, const std::string& keyFile, RecordSink sink);
};

// The same over plain HTTP.
class RecordingServer : public Recording<httplib::Server> {
public:
    explicit RecordingServer(RecordSink sink);
};

extern template class Recording<httplib::SSLServer>;
extern template class Recording<httplib::Server>;

}  // namespace nbx::dev
