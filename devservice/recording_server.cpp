#include "recording_server.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <openssl/err.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/time.h>

#include <algorithm>
#include <charconv>
#include <chrono>
#include <climits>
#include <cstring>
#include <type_traits>
#include <utility>

namespace nbx::dev {

namespace {

constexpr size_t kMaxRequestLine = 16 * 1024;

bool WaitFor(int fd, short events, int milliseconds) {
    pollfd p{fd, events, 0};
    int n;
    do {
        n = ::poll(&p, 1, milliseconds);
    } while (n < 0 && errno == EINTR);
    return n > 0;
}

int Milliseconds(time_t sec, time_t usec) {
    return int(std::min<long long>(INT_MAX, (long long)sec * 1000 + usec / 1000));
}

void Address(int fd, bool peer, std::string& ip, int& port) {
    sockaddr_storage address{};
    socklen_t size = sizeof address;
    const int rc = peer ? ::getpeername(fd, reinterpret_cast<sockaddr*>(&address), &size)
                        : ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &size);
    if (rc != 0) {
        return;
    }
    char text[INET6_ADDRSTRLEN] = {};
    if (address.ss_family == AF_INET) {
        const auto* in = reinterpret_cast<const sockaddr_in*>(&address);
        ::inet_ntop(AF_INET, &in->sin_addr, text, sizeof text);
        port = ntohs(in->sin_port);
    } else if (address.ss_family == AF_INET6) {
        const auto* in = reinterpret_cast<const sockaddr_in6*>(&address);
        ::inet_ntop(AF_INET6, &in->sin6_addr, text, sizeof text);
        port = ntohs(in->sin6_port);
    }
    ip = text;
}

// One TLS connection as httplib's stream, recording what it reads request by request.
class Connection final : public httplib::Stream, public RequestBody {
public:
    Connection(SSL* ssl, int fd, int readTimeoutMs, int writeTimeoutMs)
        : ssl_(ssl), fd_(fd), readTimeoutMs_(readTimeoutMs), writeTimeoutMs_(writeTimeoutMs) {}

    bool is_readable() const override {
        return fed_ < feed_.size() || Pending() || WaitFor(fd_, POLLIN, readTimeoutMs_);
    }
    bool is_writable() const override { return !broken_ && WaitFor(fd_, POLLOUT, writeTimeoutMs_); }

    ssize_t read(char* ptr, size_t size) override {
        if (!inBody_ && !lineRead_) {
            ReadRequestLine();
        }
        if (fed_ < feed_.size()) {
            const size_t n = std::min(size, feed_.size() - fed_);
            std::memcpy(ptr, feed_.data() + fed_, n);
            fed_ += n;
            return ssize_t(n);
        }
        return ReadRecorded(ptr, size);
    }

    ssize_t ReadRecorded(char* ptr, size_t size) {
        if (broken_ || !is_readable()) {
            broken_ = true;
            return -1;
        }
        if (ssl_ == nullptr) {
            ssize_t n;
            do {
                n = ::recv(fd_, ptr, size, 0);
            } while (n < 0 && errno == EINTR);
            if (n <= 0) {
                broken_ = n < 0;
                return n;
            }
            Keep(ptr, size_t(n));
            return n;
        }
        ERR_clear_error();
        const int n = SSL_read(ssl_, ptr, int(std::min<size_t>(size, INT_MAX)));
        if (n <= 0) {
            const bool closed = SSL_get_error(ssl_, n) == SSL_ERROR_ZERO_RETURN;
            broken_ = !closed;
            ERR_clear_error();
            return closed ? 0 : -1;
        }
        Keep(ptr, size_t(n));
        return n;
    }

    ssize_t write(const char* ptr, size_t size) override {
        size_t done = 0;
        while (!broken_ && done < size && ssl_ == nullptr) {
            const ssize_t n = ::send(fd_, ptr + done, size - done, MSG_NOSIGNAL);
            if (n < 0 && errno == EINTR) {
                continue;
            }
            if (n <= 0) {
                broken_ = true;
                return -1;
            }
            done += size_t(n);
        }
        while (!broken_ && done < size) {
            ERR_clear_error();
            const int n = SSL_write(ssl_, ptr + done, int(std::min<size_t>(size - done, INT_MAX)));
            if (n <= 0) {
                broken_ = true;
                ERR_clear_error();
                return -1;
            }
            done += size_t(n);
        }
        return broken_ ? -1 : ssize_t(size);
    }

    void get_remote_ip_and_port(std::string& ip, int& port) const override {
        Address(fd_, true, ip, port);
    }
    void get_local_ip_and_port(std::string& ip, int& port) const override {
        Address(fd_, false, ip, port);
    }
    socket_t socket() const override { return fd_; }

    long long Read(char* data, std::size_t capacity) override {
        if (!record_.announced) {
            return -1;
        }
        const std::uint64_t left = *record_.announced - record_.bodyLength;
        if (left == 0) {
            return 0;
        }
        const ssize_t n = read(data, size_t(std::min<std::uint64_t>(capacity, left)));
        return n > 0 ? n : -1;
    }

    void MarkFile(std::optional<std::uint64_t> begin, std::optional<std::uint64_t> end) override {
        record_.fileBegin = begin;
        record_.fileEnd = end;
    }

    bool Broken() const { return broken_; }

    // Between requests: whether the next one has begun to arrive within the keep-alive time.
    bool NextRequestArrives(int keepAliveMs, const std::atomic<socket_t>& listening) const {
        if (Pending()) {
            return true;
        }
        // In short steps, so that a stopping server is not held up by idle connections.
        for (int waited = 0; waited < keepAliveMs && listening != INVALID_SOCKET; waited += 100) {
            if (WaitFor(fd_, POLLIN, std::min(100, keepAliveMs - waited))) {
                return true;
            }
        }
        return false;
    }

    // httplib turns away a target with a second "?", which the client leaves unescaped in
    // query values; it gets the line with those as %3F, the record the line as it came.
    void ReadRequestLine() {
        lineRead_ = true;
        std::string line;
        char c;
        while (line.size() < kMaxRequestLine && !line.ends_with("\r\n") &&
               ReadRecorded(&c, 1) == 1) {
            line += c;
        }
        const size_t target = line.find(' ');
        const size_t query = line.find('?', target);
        size_t end = line.find(' ', target + 1);
        if (target != std::string::npos && query != std::string::npos && query < end) {
            for (size_t at = line.find('?', query + 1); at != std::string::npos && at < end;
                 at = line.find('?', at + 3), end += 2) {
                line.replace(at, 1, "%3F");
            }
        }
        feed_ = std::move(line);
        fed_ = 0;
    }

    // httplib has read the request line and headers.
    void HeadDone(const httplib::Request& request) {
        inBody_ = true;
        record_.head.swap(pending_);
        pending_.clear();
        const std::string_view line(record_.head.data(),
                                    std::min(record_.head.find("\r\n"), record_.head.size()));
        const size_t blank = line.find(' ');
        record_.method = std::string(line.substr(0, blank));
        if (blank != std::string_view::npos) {
            const std::string_view rest = line.substr(blank + 1);
            record_.target = std::string(rest.substr(0, rest.rfind(' ')));
        }
        const std::string length = request.get_header_value("Content-Length");
        std::uint64_t value = 0;
        if (!length.empty() &&
            std::from_chars(length.data(), length.data() + length.size(), value).ec ==
                std::errc{}) {
            record_.announced = value;
        } else if (!request.has_header("Transfer-Encoding")) {
            record_.announced = 0;
        }
    }

    // Once per request, before its answer goes out (or when it ended without one).
    template <typename Sink>
    void Commit(int status, const Sink& sink) {
        if (committed_) {
            return;
        }
        committed_ = true;
        if (!inBody_) {
            record_.head.swap(pending_);
        }
        record_.status = status;
        if (record_.bodyLast.size() > kRecordedBodyEdge) {
            record_.bodyLast.erase(0, record_.bodyLast.size() - kRecordedBodyEdge);
        }
        if (sink) {
            sink(record_);
        }
    }

    bool BodyLeftUnread() const {
        return !record_.announced || record_.bodyLength < *record_.announced;
    }
    bool Started() const { return inBody_ || !pending_.empty(); }
    // httplib answers a head it cannot parse without reading the rest of it.
    bool HeadRead() const { return inBody_; }

    void Reset() {
        record_ = RequestRecord{};
        pending_.clear();
        inBody_ = false;
        committed_ = false;
        lineRead_ = false;
        feed_.clear();
        fed_ = 0;
    }

private:
    bool Pending() const { return ssl_ != nullptr && SSL_pending(ssl_) > 0; }

    void Keep(const char* data, size_t size) {
        if (!inBody_) {
            pending_.append(data, size);
            return;
        }
        record_.bodyLength += size;
        if (record_.bodyFirst.size() < kRecordedBodyEdge) {
            record_.bodyFirst.append(data,
                                     std::min(size, kRecordedBodyEdge - record_.bodyFirst.size()));
        }
        // Trimmed in batches, so that keeping the end costs little per block.
        record_.bodyLast.append(data, size);
        if (record_.bodyLast.size() > 2 * kRecordedBodyEdge) {
            record_.bodyLast.erase(0, record_.bodyLast.size() - kRecordedBodyEdge);
        }
    }

    SSL* ssl_;
    int fd_;
    int readTimeoutMs_;
    int writeTimeoutMs_;
    bool broken_ = false;
    RequestRecord record_;
    std::string pending_;  // the head as it arrives
    bool inBody_ = false;
    bool committed_ = false;
    bool lineRead_ = false;
    std::string feed_;  // the request line as httplib reads it
    size_t fed_ = 0;
};

thread_local Connection* tCurrent = nullptr;

}  // namespace

RequestBody* RequestBody::Current() {
    return tCurrent;
}

bool RequestBody::Drain() {
    char block[16384];
    long long n;
    while ((n = Read(block, sizeof block)) > 0) {
    }
    return n == 0;
}

template <typename Base>
template <typename... Args>
Recording<Base>::Recording(RecordSink sink, Args&&... args)
    : Base(std::forward<Args>(args)...), sink_(std::move(sink)) {
    this->set_post_routing_handler([this](const httplib::Request&, httplib::Response& response) {
        if (tCurrent != nullptr) {
            tCurrent->Commit(response.status, sink_);
        }
    });
}

template <typename Base>
bool Recording<Base>::process_and_close_socket(socket_t sock) {
    // Blocking reads and writes end after these times, so a client that stops halfway through
    // a record does not hold its worker thread for good.
    const timeval readTimeout{this->read_timeout_sec_, suseconds_t(this->read_timeout_usec_)};
    const timeval writeTimeout{this->write_timeout_sec_, suseconds_t(this->write_timeout_usec_)};
    ::setsockopt(sock, SOL_SOCKET, SO_RCVTIMEO, &readTimeout, sizeof readTimeout);
    ::setsockopt(sock, SOL_SOCKET, SO_SNDTIMEO, &writeTimeout, sizeof writeTimeout);

    constexpr bool kTls = std::is_base_of_v<httplib::SSLServer, Base>;
    bool ok = false;
    SSL* ssl = nullptr;
    bool ready = !kTls;
    if constexpr (kTls) {
        ssl = SSL_new(this->ssl_context());
        ERR_clear_error();
        ready = ssl != nullptr && SSL_set_fd(ssl, sock) == 1 && SSL_accept(ssl) == 1;
    }
    if (ready) {
        Connection connection(ssl, sock,
                              Milliseconds(this->read_timeout_sec_, this->read_timeout_usec_),
                              Milliseconds(this->write_timeout_sec_, this->write_timeout_usec_));
        const int keepAliveMs = Milliseconds(this->keep_alive_timeout_sec_, 0);
        for (size_t count = this->keep_alive_max_count_; count > 0; --count) {
            if (this->svr_sock_ == INVALID_SOCKET ||
                !connection.NextRequestArrives(keepAliveMs, this->svr_sock_)) {
                break;
            }
            bool closed = false;
            tCurrent = &connection;
            ok = this->process_request(connection, count == 1, closed,
                                       [&](httplib::Request& request) {
                                           if constexpr (kTls) {
                                               request.ssl = ssl;
                                           }
                                           connection.HeadDone(request);
                                       });
            if (connection.Started()) {
                connection.Commit(0, sink_);
            }
            tCurrent = nullptr;
            // A body or head nobody read would be taken for the next request.
            const bool unread =
                connection.Started() && (!connection.HeadRead() || connection.BodyLeftUnread());
            connection.Reset();
            if (!ok || closed || unread || connection.Broken()) {
                break;
            }
        }
        if (kTls && ok && !connection.Broken()) {
            SSL_shutdown(ssl);
        }
    }
    if constexpr (kTls) {
        ERR_clear_error();
        SSL_free(ssl);
    }
    ::shutdown(sock, SHUT_RDWR);
    ::close(sock);
    return ok;
}

RecordingSslServer::RecordingSslServer(const std::string& certFile, const std::string& keyFile,
                                       RecordSink sink)
    : Recording<httplib::SSLServer>(std::move(sink), certFile.c_str(), keyFile.c_str()) {}

RecordingServer::RecordingServer(RecordSink sink) : Recording<httplib::Server>(std::move(sink)) {}

template class Recording<httplib::SSLServer>;
template class Recording<httplib::Server>;

}  // namespace nbx::dev
