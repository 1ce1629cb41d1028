#include "support/raw_http_server.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>
#include <algorithm>
#include <cerrno>
#include <charconv>
#include <stdexcept>

namespace nbx::test {

namespace {

constexpr size_t kMaxHead = 1 << 20;

enum class Ready { kYes, kStop, kTimeout };

// Waits for fd (or only for the stop signal when fd is -1). Errors and hang-ups count as ready,
// so that the next read or write is the one to report them.
Ready WaitFor(int fd, short events, int wake, int timeout_ms) {
    pollfd fds[2] = {{wake, POLLIN, 0}, {fd, events, 0}};
    for (;;) {
        const int n = ::poll(fds, fd >= 0 ? 2 : 1, timeout_ms);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n < 0 || fds[0].revents != 0) {
            return Ready::kStop;
        }
        return n == 0 ? Ready::kTimeout : Ready::kYes;
    }
}

std::string_view Trim(std::string_view s) {
    const size_t begin = s.find_first_not_of(" \t");
    if (begin == std::string_view::npos) {
        return {};
    }
    return s.substr(begin, s.find_last_not_of(" \t") - begin + 1);
}

bool SameLetters(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (size_t i = 0; i < a.size(); ++i) {
        const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; };
        if (lower(a[i]) != lower(b[i])) {
            return false;
        }
    }
    return true;
}

std::string FindHeader(std::string_view raw, std::string_view name) {
    const size_t head_end = raw.find("\r\n\r\n");
    std::string_view head = raw.substr(0, head_end);
    size_t at = head.find("\r\n");
    while (at != std::string_view::npos) {
        const size_t begin = at + 2;
        const size_t end = head.find("\r\n", begin);
        const std::string_view line =
            head.substr(begin, end == head.npos ? head.npos : end - begin);
        const size_t colon = line.find(':');
        if (colon != line.npos && SameLetters(Trim(line.substr(0, colon)), name)) {
            return std::string(Trim(line.substr(colon + 1)));
        }
        at = end;
    }
    return {};
}

// Decodes the chunks that are complete from in[pos] on, moving pos past them. 1 once the last
// chunk and its trailers are in, 0 while more is needed, -1 for a broken chunk size.
int DecodeChunks(const std::string& in, size_t& pos, std::string& body) {
    for (;;) {
        const size_t eol = in.find("\r\n", pos);
        if (eol == std::string::npos) {
            return 0;
        }
        std::string_view size_text = std::string_view(in).substr(pos, eol - pos);
        size_text = Trim(size_text.substr(0, size_text.find(';')));
        size_t size = 0;
        const auto [end, ec] =
            std::from_chars(size_text.data(), size_text.data() + size_text.size(), size, 16);
        if (ec != std::errc() || end != size_text.data() + size_text.size() || size_text.empty()) {
            return -1;
        }
        if (size == 0) {
            const size_t trailers_end = in.find("\r\n\r\n", eol);
            if (trailers_end == std::string::npos) {
                return 0;
            }
            pos = trailers_end + 4;
            return 1;
        }
        if (in.size() < eol + 2 + size + 2) {
            return 0;
        }
        body.append(in, eol + 2, size);
        pos = eol + 2 + size + 2;
    }
}

// One accepted connection: a non-blocking socket whose every wait also ends when the server
// stops.
class Connection {
public:
    Connection(int fd, int wake) : fd_(fd), wake_(wake) {}
    ~Connection() { ::close(fd_); }
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    // Appends what arrives next to in; false at the end of the input, on an error or on stop.
    bool ReadMore() {
        char buffer[65536];
        for (;;) {
            const ssize_t n = ::recv(fd_, buffer, sizeof buffer, 0);
            if (n > 0) {
                in.append(buffer, size_t(n));
                return true;
            }
            if (n == 0) {
                return false;
            }
            if (errno == EINTR) {
                continue;
            }
            if (errno != EAGAIN || WaitFor(fd_, POLLIN, wake_, -1) != Ready::kYes) {
                return false;
            }
        }
    }

    bool Send(std::string_view bytes) {
        while (!bytes.empty()) {
            const ssize_t n = ::send(fd_, bytes.data(), bytes.size(), MSG_NOSIGNAL);
            if (n > 0) {
                bytes.remove_prefix(size_t(n));
            } else if (n < 0 && errno == EINTR) {
                continue;
            } else if (n < 0 && errno == EAGAIN) {
                if (WaitFor(fd_, POLLOUT, wake_, -1) != Ready::kYes) {
                    return false;
                }
            } else {
                return false;
            }
        }
        return true;
    }

    bool Pause(std::chrono::milliseconds pause) {
        return pause.count() <= 0 || WaitFor(-1, 0, wake_, int(pause.count())) == Ready::kTimeout;
    }

    // A stalled server: takes in whatever comes and answers nothing, until the peer or the
    // server gives up.
    void HoldUntilClosed() {
        while (ReadMore()) {
            in.clear();
        }
    }

    // Sends the end of the output, then reads on for a moment before closing, so the peer gets
    // the answer instead of a reset for data it was still sending.
    void LingerAndClose() {
        ::shutdown(fd_, SHUT_WR);
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(2);
        char buffer[65536];
        for (;;) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                deadline - std::chrono::steady_clock::now());
            if (left.count() <= 0 ||
                WaitFor(fd_, POLLIN, wake_, int(left.count())) != Ready::kYes ||
                ::recv(fd_, buffer, sizeof buffer, 0) <= 0) {
                return;
            }
        }
    }

    std::string in;

private:
    int fd_;
    int wake_;
};

const char* Reason(int status) {
    switch (status) {
        case 100:
            return "Continue";
        case 200:
            return "OK";
        case 201:
            return "Created";
        case 204:
            return "No Content";
        case 206:
            return "Partial Content";
        case 207:
            return "Multi-Status";
        case 301:
            return "Moved Permanently";
        case 302:
            return "Found";
        case 304:
            return "Not Modified";
        case 400:
            return "Bad Request";
        case 401:
            return "Unauthorized";
        case 403:
            return "Forbidden";
        case 404:
            return "Not Found";
        case 405:
            return "Method Not Allowed";
        case 409:
            return "Conflict";
        case 412:
            return "Precondition Failed";
        case 413:
            return "Content Too Large";
        case 416:
            return "Range Not Satisfiable";
        case 423:
            return "Locked";
        case 500:
            return "Internal Server Error";
        case 502:
            return "Bad Gateway";
        case 503:
            return "Service Unavailable";
        case 507:
            return "Insufficient Storage";
        default:
            return "Status";
    }
}

}  // namespace

std::string HttpResponse(int status, std::string_view body, std::string_view headers) {
    std::string out = "HTTP/1.1 " + std::to_string(status) + " " + Reason(status) + "\r\n";
    out += headers;
    out += "Content-Length: " + std::to_string(body.size()) + "\r\n\r\n";
    out += body;
    return out;
}

std::string RawRequest::Header(std::string_view name) const {
    return FindHeader(raw, name);
}

RawHttpServer::RawHttpServer(std::vector<RawReply> replies)
    : replies_(replies.begin(), replies.end()) {
    listen_fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (listen_fd_ < 0 || ::bind(listen_fd_, reinterpret_cast<sockaddr*>(&address), length) != 0 ||
        ::listen(listen_fd_, 64) != 0 ||
        ::getsockname(listen_fd_, reinterpret_cast<sockaddr*>(&address), &length) != 0 ||
        ::pipe2(wake_, O_CLOEXEC) != 0) {
        const int error = errno;
        if (listen_fd_ >= 0) {
            ::close(listen_fd_);
        }
        throw std::runtime_error("raw HTTP server: cannot listen on 127.0.0.1: " +
                                 std::to_string(error));
    }
    port_ = ntohs(address.sin_port);
    acceptor_ = std::thread(&RawHttpServer::AcceptLoop, this);
}

RawHttpServer::~RawHttpServer() {
    if (::write(wake_[1], "x", 1) < 0) {
        // Nothing to do: the pipe is ours and empty, so this does not fail.
    }
    acceptor_.join();
    ::close(listen_fd_);
    ::close(wake_[0]);
    ::close(wake_[1]);
}

void RawHttpServer::Add(RawReply reply) {
    std::lock_guard lock(mutex_);
    replies_.push_back(std::move(reply));
}

std::vector<RawRequest> RawHttpServer::Requests() const {
    std::lock_guard lock(mutex_);
    return requests_;
}

int RawHttpServer::Connections() const {
    std::lock_guard lock(mutex_);
    return connections_;
}

RawReply RawHttpServer::NextReply() {
    std::lock_guard lock(mutex_);
    if (!replies_.empty()) {
        last_ = std::move(replies_.front());
        replies_.pop_front();
    }
    return last_;
}

void RawHttpServer::Record(RawRequest request) {
    std::lock_guard lock(mutex_);
    requests_.push_back(std::move(request));
}

void RawHttpServer::AcceptLoop() {
    std::vector<std::thread> workers;
    while (WaitFor(listen_fd_, POLLIN, wake_[0], -1) == Ready::kYes) {
        const int fd = ::accept4(listen_fd_, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
        if (fd < 0) {
            if (errno == EAGAIN || errno == EINTR || errno == ECONNABORTED) {
                continue;
            }
            break;
        }
        int connection;
        {
            std::lock_guard lock(mutex_);
            connection = ++connections_;
        }
        workers.emplace_back(&RawHttpServer::Serve, this, fd, connection);
    }
    for (std::thread& worker : workers) {
        worker.join();
    }
}

void RawHttpServer::Serve(int fd, int connection_number) {
    Connection connection(fd, wake_[0]);
    std::string& in = connection.in;
    for (;;) {
        size_t head_end;
        while ((head_end = in.find("\r\n\r\n")) == std::string::npos) {
            if (in.size() > kMaxHead || !connection.ReadMore()) {
                if (!in.empty()) {
                    Record({.connection = connection_number, .raw = in});
                }
                return;
            }
        }
        head_end += 4;

        RawRequest request{.connection = connection_number};
        const std::string_view request_line = std::string_view(in).substr(0, in.find("\r\n"));
        const size_t space = request_line.find(' ');
        request.method = std::string(request_line.substr(0, space));
        if (space != std::string_view::npos) {
            const std::string_view rest = request_line.substr(space + 1);
            request.target = std::string(rest.substr(0, rest.find(' ')));
        }
        const std::string head = in.substr(0, head_end);
        const bool chunked =
            FindHeader(head, "Transfer-Encoding").find("chunked") != std::string::npos;
        const std::string length_text = FindHeader(head, "Content-Length");
        size_t length = 0;
        std::from_chars(length_text.data(), length_text.data() + length_text.size(), length);
        const bool has_body = chunked || length > 0;

        const RawReply reply = NextReply();
        size_t end = head_end;
        bool complete = !has_body;
        if (!reply.before_body && has_body) {
            if (SameLetters(FindHeader(head, "Expect"), "100-continue") &&
                !connection.Send("HTTP/1.1 100 Continue\r\n\r\n")) {
                return;
            }
            if (chunked) {
                size_t pos = head_end;
                int state;
                while ((state = DecodeChunks(in, pos, request.body)) == 0 &&
                       connection.ReadMore()) {
                }
                complete = state == 1;
                end = complete ? pos : in.size();
            } else {
                while (in.size() < head_end + length && connection.ReadMore()) {
                }
                complete = in.size() >= head_end + length;
                end = std::min(in.size(), head_end + length);
                request.body = in.substr(head_end, end - head_end);
            }
        }
        request.raw = in.substr(0, end);
        request.complete = complete;
        in.erase(0, end);
        Record(std::move(request));
        if (!complete && !reply.before_body) {
            return;  // the peer went, or the server is stopping
        }

        if (reply.stall) {
            connection.HoldUntilClosed();
            return;
        }
        std::string_view rest = reply.bytes;
        do {
            const size_t n = reply.block > 0 ? std::min(reply.block, rest.size()) : rest.size();
            if (!connection.Pause(reply.pause) || !connection.Send(rest.substr(0, n))) {
                return;
            }
            rest.remove_prefix(n);
        } while (!rest.empty());
        if (reply.hold) {
            connection.HoldUntilClosed();
            return;
        }
        if (!reply.keep_open || reply.before_body) {
            connection.LingerAndClose();
            return;
        }
    }
}

}  // namespace nbx::test
