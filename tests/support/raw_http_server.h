#pragma once

#include <chrono>
#include <cstddef>
#include <deque>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

namespace nbx::test {

// What the raw server does with one request. The default sends nothing and closes.
struct RawReply {
    std::string bytes;                   // sent exactly as they are
    std::size_t block = 0;               // the bytes go out in blocks of this size (0: at once),
    std::chrono::milliseconds pause{0};  // each after this pause
    bool stall = false;        // send nothing and hold the connection until the server goes
    bool before_body = false;  // answer as soon as the headers are in, without reading the body
    bool keep_open = false;    // then read the next request on this connection instead of closing
    bool hold = false;         // after the bytes, hold the connection until the server goes
};

// A complete answer: status line, the extra header lines (each ending in \r\n), a
// Content-Length for the body, and the body.
std::string HttpResponse(int status, std::string_view body = "", std::string_view headers = "");

// One request as the server read it.
struct RawRequest {
    int connection = 0;  // 1 for the first connection accepted, 2 for the next, ...
    std::string raw;     // request line, headers and body, byte for byte
    std::string method;
    std::string target;
    std::string body;       // without the chunked framing
    bool complete = false;  // false when the peer stopped mid-request or before_body cut it

    // The first header of that name (any case), without the blanks around it; empty if none.
    std::string Header(std::string_view name) const;
};

// An HTTP/1.1 server on 127.0.0.1 and a free port, on threads of its own, for tests that need a
// peer that misbehaves on purpose. Each request takes the next reply in the queue; once the
// queue is empty the last reply is used again. A request with "Expect: 100-continue" gets
// "100 Continue" before its body is read, unless its reply is before_body. The destructor ends
// every connection, stalled or not, and joins every thread.
class RawHttpServer {
public:
    explicit RawHttpServer(std::vector<RawReply> replies = {});
    ~RawHttpServer();
    RawHttpServer(const RawHttpServer&) = delete;
    RawHttpServer& operator=(const RawHttpServer&) = delete;

    void Add(RawReply reply);

    int Port() const { return port_; }
    std::string BaseUrl() const { return "http://127.0.0.1:" + std::to_string(port_); }
    // Every request so far, in the order they were read in full.
    std::vector<RawRequest> Requests() const;
    int Connections() const;

private:
    void AcceptLoop();
    void Serve(int fd, int connection);
    RawReply NextReply();
    void Record(RawRequest request);

    int listen_fd_ = -1;
    int wake_[2] = {-1, -1};  // written once to stop; never read, so it stays readable
    int port_ = 0;
    std::thread acceptor_;

    mutable std::mutex mutex_;
    std::deque<RawReply> replies_;
    RawReply last_;
    std::vector<RawRequest> requests_;
    int connections_ = 0;
};

}  // namespace nbx::test
