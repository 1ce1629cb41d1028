#include "remotefs/ft_http.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <cerrno>
#include <cstring>
#include <functional>
#include <optional>

#include "base/session_log.h"
#include "platform/format.h"
#include "platform/url.h"
#include "remotefs/nbx_file.h"

using nbx::StrPrintf;
using namespace std::chrono_literals;

namespace {

constexpr std::size_t kBlock = nbx::http::kBlockSize;

std::string Describe(const nbx::http::Result& r) {
    return r.message;
}

// A name for a record: control characters as \xNN, so that a name cannot break the log's lines.
std::string Printable(const std::string& text) {
    std::string out;
    for (const char c : text) {
        const auto u = static_cast<unsigned char>(c);
        if (u < 0x20 || u == 0x7F) {
            out += StrPrintf("\\x%02X", u);
        } else {
            out += c;
        }
    }
    return out;
}

// Writes the body of a 200 answer into the local file, block by block, with the checks and
// reports of every download; anything else stops the transfer before the file is touched.
class FileSink : public nbx::http::BodySink {
public:
    FileSink(CNbxFileTransferInterface& owner, std::function<int()> open,
             std::function<void(std::uint64_t)> announce, std::function<void(std::size_t)> report)
        : owner_(owner),
          open_(std::move(open)),
          announce_(std::move(announce)),
          report_(std::move(report)) {}
    ~FileSink() override { Close(); }

    bool Begin(const nbx::http::Response& response) override {
        status = response.status;
        if (status != 200) {
            return false;
        }
        // Only now that the answer is known good may an existing file give way to it.
        fd_ = open_();
        if (fd_ < 0) {
            openFailed = true;
            return false;
        }
        announce_(response.contentLength.value_or(0));
        return true;
    }
    // True when the file was never opened or closed cleanly.
    bool Close() {
        const int fd = fd_;
        fd_ = -1;
        return fd < 0 || ::close(fd) == 0;
    }

    bool Write(const char* data, std::size_t size) override {
        if (owner_.IsAborted()) {
            aborted = true;
            return false;
        }
        for (std::size_t done = 0; done < size;) {
            const ssize_t n = ::write(fd_, data + done, size - done);
            if (n < 0 && errno == EINTR) {
                continue;
            }
            if (n <= 0) {
                fileError = std::strerror(errno);
                return false;
            }
            done += static_cast<std::size_t>(n);
        }
        report_(size);
        return true;
    }

    int status = 0;
    bool aborted = false;
    bool openFailed = false;
    std::string fileError;

private:
    CNbxFileTransferInterface& owner_;
    std::function<int()> open_;
    int fd_ = -1;
    std::function<void(std::uint64_t)> announce_;
    std::function<void(std::size_t)> report_;
};

// Reads the local file for an upload in blocks, counting and reporting each one.
class FileSource : public nbx::http::BodySource {
public:
    FileSource(CNbxFileTransferInterface& owner, int fd, const std::string& head,
               const std::string& tail, std::function<void(std::size_t)> report)
        : owner_(owner), fd_(fd), head_(head), tail_(tail), report_(std::move(report)) {}

    long long Read(char* data, std::size_t capacity) override {
        if (owner_.IsAborted()) {
            aborted = true;
            return -1;
        }
        if (headPos_ < head_.size()) {
            return Copy(head_, headPos_, data, capacity);
        }
        if (fileDone_) {
            return Copy(tail_, tailPos_, data, capacity);
        }
        const std::size_t want = std::min(capacity, kBlock);
        ssize_t n;
        do {
            n = ::read(fd_, data, want);
        } while (n < 0 && errno == EINTR);
        if (n < 0) {
            fileError = std::strerror(errno);
            return -1;
        }
        if (n > 0) {
            report_(static_cast<std::size_t>(n));
            return n;
        }
        fileDone_ = true;
        return Copy(tail_, tailPos_, data, capacity);
    }

    bool aborted = false;
    std::string fileError;

private:
    static long long Copy(const std::string& from, std::size_t& pos, char* data,
                          std::size_t capacity) {
        const std::size_t n = std::min(capacity, from.size() - pos);
        std::memcpy(data, from.data() + pos, n);
        pos += n;
        return static_cast<long long>(n);
    }

    CNbxFileTransferInterface& owner_;
    int fd_;
    const std::string& head_;
    const std::string& tail_;
    std::size_t headPos_ = 0;
    std::size_t tailPos_ = 0;
    bool fileDone_ = false;
    std::function<void(std::size_t)> report_;
};

}  // namespace

bool IsHttpUrl(const std::string& url) {
    const auto parts = nbx::url::SplitUrl(url);
    return parts && (parts->scheme == "http" || parts->scheme == "https");
}

void CNbxFtHttp::Record(int level, std::string text) const {
    // The texts are written once, as the WebDAV family has them; the other family's records
    // are the same with its own names.
    if (std::string_view(className_) != "CNbxFtWebDav") {
        for (const auto& [from, to] :
             {std::pair<std::string, std::string>{"CCNbxFtWebDav", UploadClassName()},
              {"CNbxFtWebDav", className_}}) {
            for (auto at = text.find(from); at != std::string::npos;
                 at = text.find(from, at + to.size())) {
                text.replace(at, from.size(), to);
            }
        }
    }
    WriteLog(level, text);
}

nbx::http::Request MakeTransferRequest(const std::string& method, const std::string& url,
                                       const std::string& login, const std::string& password,
                                       bool probe) {
    nbx::http::Request request;
    request.method = method;
    request.url = url;
    request.userAgent = kTransferUserAgent;
    request.headers.push_back(BasicAuthorization(login, password));
    request.connectTimeout = probe ? 10000ms : 60000ms;
    request.sendTimeout = 60000ms;
    request.receiveTimeout = 60000ms;
    return request;
}

struct CNbxFtHttp::Session {
    explicit Session(CNbxFtHttp& owner) : active(owner, client) {}
    nbx::http::Client client;
    ActiveClient active;  // an Abort wakes the session's transfer while it waits
    std::unique_ptr<nbx::http::DownloadSession> download;
    std::unique_ptr<nbx::http::UploadSession> upload;
    std::optional<std::uint64_t> expected;  // the download's announced length
    std::string tail;                       // what a committing close sends after the blocks
};

CNbxFtHttp::CNbxFtHttp(const char* className) : CNbxFileTransferInterface(className) {}

int CNbxFtHttp::SettleProbe(nbx::http::Client&, const std::string&, const std::string&,
                            const std::string&, int status) const {
    return status;
}

CNbxFtHttp::~CNbxFtHttp() {
    if (session_) {
        _SESSION_CLOSE(false);
    }
}

int CNbxFtHttp::_DOWNLOAD(const std::string& target, const std::string& localPath,
                          const std::string& login, const std::string& password, bool probe) {
    const std::string url = DownloadUrl(target);
    Record(LogLevel::Info,
           StrPrintf("CNbxFtWebDav::_DOWNLOAD() with src arg: \"%s\", with dst arg: \"%s\" "
                     "invoked...",
                     url.c_str(), localPath.c_str()));
    if (!IsHttpUrl(url)) {
        Record(LogLevel::Error,
               StrPrintf("CNbxFtWebDav::_DOWNLOAD(): AfxParseURL() failed with arg: \"%s\"",
                         url.c_str()));
        return FtResult::kRefused;
    }
    nbx::http::Client client;
    ActiveClient active(*this, client);

    if (probe) {
        StatusSink stop;  // the status is all a probe wants, never the body
        const nbx::http::Result r =
            client.Perform(MakeTransferRequest(ProbeMethod(), url, login, password, true), &stop);
        if (!r.Ok() && !(r.error == nbx::http::Error::Sink && stop.status != 0)) {
            Record(LogLevel::Error,
                   StrPrintf("CNbxFtWebDav::_DOWNLOAD() failed with error msg: \"%s\"",
                             Describe(r).c_str()));
            return FtResult::kRefused;
        }
        return MapProbe(SettleProbe(client, url, login, password, r.response.status));
    }

    // A link at the target is never followed: neither its mode nor what it points to changes.
    auto openTarget = [&]() -> int {
        struct stat st {};
        if (::lstat(localPath.c_str(), &st) == 0 && S_ISREG(st.st_mode) &&
            (st.st_mode & S_IWUSR) == 0 &&
            ::fchmodat(AT_FDCWD, localPath.c_str(), (st.st_mode & 07777) | S_IWUSR,
                       AT_SYMLINK_NOFOLLOW) != 0) {
            Record(LogLevel::Error,
                   StrPrintf("CNbxFtWebDav::_DOWNLOAD(): CFile::GetStatus()/CFile::SetStatus() "
                             "failed with arg: \"%s\"",
                             localPath.c_str()));
            Record(LogLevel::Error, std::strerror(errno));
        }
        const int fd =
            ::open(localPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC, 0644);
        if (fd < 0) {
            Record(LogLevel::Error,
                   StrPrintf("CNbxFtWebDav::_DOWNLOAD(): CFile::Open() failed with arg: \"%s\"",
                             localPath.c_str()));
        }
        return fd;
    };

    TransferCounters counters;
    FileSink sink(
        *this, openTarget,
        [&](std::uint64_t total) {
            counters.total = total;
            AnnounceTotal(total);
            counters.windowStart = TickCount();
        },
        [&](std::size_t block) {
            ReportBlock(counters, block,
                        "CNbxFtWebDav::_DOWNLOAD(): Downloaded: %llu / %llu Speed: %s");
        });
    const nbx::http::Result r =
        client.Perform(MakeTransferRequest("GET", url, login, password, false), &sink);
    const bool closed = sink.Close();
    if (sink.openFailed) {
        return FtResult::kLocalFailure;
    }

    if (sink.aborted || r.error == nbx::http::Error::Aborted) {
        Record(LogLevel::Info,
               "CNbxFtWebDav::_DOWNLOAD(): CNbxFtWebDav::IsAborted() returned TRUE.");
        return FtResult::kAborted;
    }
    if (r.response.status != 200 && (r.Ok() || r.error == nbx::http::Error::Sink) &&
        sink.fileError.empty()) {
        Record(LogLevel::Error,
               StrPrintf("CNbxFtWebDav::_DOWNLOAD(): CHttpFile::SendRequest() failed with error: "
                         "\"%d\"",
                         r.response.status));
        return FtResult::kRefused;
    }
    if (!sink.fileError.empty() || !closed) {
        Record(LogLevel::Error,
               StrPrintf("CNbxFtWebDav::_DOWNLOAD() failed with error msg: \"%s\"",
                         sink.fileError.empty() ? std::strerror(errno) : sink.fileError.c_str()));
        return FtResult::kLocalFailure;
    }
    if (!r.Ok()) {
        Record(LogLevel::Error, StrPrintf("CNbxFtWebDav::_DOWNLOAD() failed with error msg: \"%s\"",
                                          Describe(r).c_str()));
        return FtResult::kNetworkFailure;
    }
    if (r.response.contentLength && r.bodyBytes != *r.response.contentLength) {
        // The connection ended early without the transport noticing: the file is not whole.
        Record(LogLevel::Error,
               StrPrintf("CNbxFtWebDav::_DOWNLOAD() failed with error msg: \"the answer ended "
                         "after %llu of %llu bytes\"",
                         static_cast<unsigned long long>(r.bodyBytes),
                         static_cast<unsigned long long>(*r.response.contentLength)));
        return FtResult::kNetworkFailure;
    }
    return FtResult::kOk;
}

int CNbxFtHttp::_UPLOAD(const std::string& localPath, const std::string& target,
                        const std::string& login, const std::string& password) {
    Record(LogLevel::Info,
           StrPrintf("CNbxFtWebDav::_UPLOAD() with src arg: \"%s\", with dst arg: \"%s\" "
                     "invoked...",
                     localPath.c_str(), target.c_str()));
    if (!CarriesName(target)) {
        Record(LogLevel::Error,
               StrPrintf("CCNbxFtWebDav::_UPLOAD(): the name cannot be carried in the upload: "
                         "\"%s\"",
                         Printable(target).c_str()));
        return FtResult::kRefused;
    }
    const std::string url = UploadUrl(target);
    if (!IsHttpUrl(url)) {
        Record(LogLevel::Error,
               StrPrintf("CCNbxFtWebDav::_UPLOAD(): AfxParseURL() failed with arg: \"%s\"",
                         url.c_str()));
        return FtResult::kRefused;
    }
    const int fd = ::open(localPath.c_str(), O_RDONLY | O_CLOEXEC);
    struct stat st {};
    if (fd < 0 || ::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        if (fd >= 0) {
            ::close(fd);
        }
        Record(LogLevel::Error,
               StrPrintf("CCNbxFtWebDav::_UPLOAD(): CFile::Open() failed with arg: \"%s\"",
                         localPath.c_str()));
        return FtResult::kLocalFailure;
    }
    nbx::http::Client client;
    ActiveClient active(*this, client);
    TransferCounters counters;
    counters.total = static_cast<std::uint64_t>(st.st_size);
    AnnounceTotal(counters.total);
    counters.windowStart = TickCount();
    Framing framing;
    FrameUpload(target, framing);
    FileSource source(*this, fd, framing.head, framing.tail, [&](std::size_t block) {
        ReportBlock(counters, block, "CCNbxFtWebDav::_UPLOAD(): Uploaded: %llu / %llu Speed: %s");
    });
    nbx::http::Request request = MakeTransferRequest(UploadMethod(), url, login, password, false);
    request.headers.insert(request.headers.end(), framing.headers.begin(), framing.headers.end());
    request.contentLength = framing.head.size() + counters.total + framing.tail.size();
    const nbx::http::Result r = client.Perform(request, nullptr, &source);
    ::close(fd);

    if (source.aborted || r.error == nbx::http::Error::Aborted) {
        Record(LogLevel::Info,
               "CCNbxFtWebDav::_UPLOAD(): CNbxFtWebDav::IsAborted() returned TRUE.");
        return FtResult::kAborted;
    }
    if (!source.fileError.empty() || r.error == nbx::http::Error::Source) {
        Record(LogLevel::Error,
               StrPrintf("CCNbxFtWebDav::_UPLOAD() failed with error msg: \"%s\"",
                         source.fileError.empty() ? r.message.c_str() : source.fileError.c_str()));
        return FtResult::kLocalFailure;
    }
    if (!r.Ok()) {
        Record(LogLevel::Error, StrPrintf("CCNbxFtWebDav::_UPLOAD() failed with error msg: \"%s\"",
                                          Describe(r).c_str()));
        return FtResult::kNetworkFailure;
    }
    if (r.response.status < 200 || r.response.status > 299) {
        Record(LogLevel::Error,
               StrPrintf("CCNbxFtWebDav::_UPLOAD(): the server refused the upload with status: "
                         "\"%d\"",
                         r.response.status));
        return FtResult::kRefused;
    }
    return FtResult::kOk;
}

int CNbxFtHttp::_DOWNLOAD_SESSION_OPEN(const std::string& target, const std::string& login,
                                       const std::string& password, std::uint64_t* size) {
    const std::string url = DownloadUrl(target);
    Record(LogLevel::Info,
           StrPrintf("CNbxFtWebDav::_DOWNLOAD_SESSION_OPEN() with src arg: \"%s\" invoked...",
                     url.c_str()));
    if (!IsHttpUrl(url)) {
        Record(LogLevel::Error,
               StrPrintf("CNbxFtWebDav::_DOWNLOAD_SESSION_OPEN(): AfxParseURL() failed with "
                         "arg: \"%s\"",
                         url.c_str()));
        return FtResult::kRefused;
    }
    session_ = std::make_unique<Session>(*this);
    session_->download = std::make_unique<nbx::http::DownloadSession>(session_->client);
    const nbx::http::Result r =
        session_->download->Open(MakeTransferRequest("GET", url, login, password, false));
    if (r.error == nbx::http::Error::Aborted) {
        Record(LogLevel::Info,
               "CNbxFtWebDav::_DOWNLOAD_SESSION_OPEN(): CNbxFtWebDav::IsAborted() "
               "returned TRUE.");
        _SESSION_CLOSE(false);
        return FtResult::kAborted;
    }
    if (!r.Ok()) {
        Record(LogLevel::Error,
               StrPrintf("CNbxFtWebDav::_DOWNLOAD_SESSION_OPEN() failed with error msg: \"%s\"",
                         Describe(r).c_str()));
        _SESSION_CLOSE(false);
        return FtResult::kNetworkFailure;
    }
    session_counters_ = TransferCounters{};
    session_counters_.total = r.response.contentLength.value_or(0);
    AnnounceTotal(session_counters_.total);
    if (size != nullptr) {
        *size = session_counters_.total;
    }
    if (r.response.status != 200) {
        Record(LogLevel::Error,
               StrPrintf("CNbxFtWebDav::_DOWNLOAD_SESSION_OPEN(): CHttpFile::SendRequest() "
                         "failed with error: \"%d\"",
                         r.response.status));
        _SESSION_CLOSE(false);
        return FtResult::kRefused;
    }
    session_->expected = r.response.contentLength;
    return FtResult::kOk;
}

int CNbxFtHttp::_DOWNLOAD_SESSION_READ(char* buffer, std::size_t capacity, std::size_t* read) {
    Record(LogLevel::Info, "CNbxFtWebDav::_DOWNLOAD_SESSION_READ() invoked...");
    if (read != nullptr) {
        *read = 0;
    }
    if (!session_ || !session_->download) {
        Record(LogLevel::Error,
               "CNbxFtWebDav::_DOWNLOAD_SESSION_READ() failed with error msg: "
               "\"no download session is open\"");
        return FtResult::kNetworkFailure;
    }
    if (session_counters_.windowStart == 0) {
        session_counters_.windowStart = TickCount();
    }
    std::size_t got = 0;
    const nbx::http::Result r = session_->download->Read(buffer, capacity, got);
    if (r.error == nbx::http::Error::Aborted || (r.Ok() && got > 0 && IsAborted())) {
        if (read != nullptr) {
            *read = got;
        }
        Record(LogLevel::Info,
               "CNbxFtWebDav::_DOWNLOAD_SESSION_READ(): CNbxFtWebDav::IsAborted() "
               "returned TRUE.");
        _SESSION_CLOSE(false);
        return FtResult::kAborted;
    }
    if (!r.Ok()) {
        Record(LogLevel::Error,
               StrPrintf("CNbxFtWebDav::_DOWNLOAD_SESSION_READ() failed with error msg: \"%s\"",
                         Describe(r).c_str()));
        _SESSION_CLOSE(false);
        return FtResult::kNetworkFailure;
    }
    if (got == 0) {
        if (session_->expected && session_counters_.done != *session_->expected) {
            Record(LogLevel::Error,
                   StrPrintf("CNbxFtWebDav::_DOWNLOAD_SESSION_READ() failed with error msg: "
                             "\"the answer ended after %llu of %llu bytes\"",
                             static_cast<unsigned long long>(session_counters_.done),
                             static_cast<unsigned long long>(*session_->expected)));
            _SESSION_CLOSE(false);
            return FtResult::kNetworkFailure;
        }
        return FtResult::kOk;  // the end of the data
    }
    if (read != nullptr) {
        *read = got;
    }
    ReportBlock(session_counters_, got,
                "CNbxFtWebDav::_DOWNLOAD_SESSION_READ(): Downloaded: %llu / %llu Speed: %s");
    return FtResult::kOk;
}

int CNbxFtHttp::_UPLOAD_SESSION_OPEN(const std::string& target, const std::string& login,
                                     const std::string& password, std::uint64_t size) {
    Record(LogLevel::Info,
           StrPrintf("CNbxFtWebDav::_UPLOAD_SESSION_OPEN() with dst arg: \"%s\" invoked...",
                     target.c_str()));
    if (!CarriesName(target)) {
        Record(LogLevel::Error,
               StrPrintf("CNbxFtWebDav::_UPLOAD_SESSION_OPEN(): the name cannot be carried in the "
                         "upload: \"%s\"",
                         Printable(target).c_str()));
        return FtResult::kRefused;
    }
    const std::string url = UploadUrl(target);
    if (!IsHttpUrl(url)) {
        Record(LogLevel::Error,
               StrPrintf("CNbxFtWebDav::_UPLOAD_SESSION_OPEN(): AfxParseURL() failed with arg: "
                         "\"%s\"",
                         url.c_str()));
        return FtResult::kRefused;
    }
    session_counters_ = TransferCounters{};
    session_counters_.total = size;
    AnnounceTotal(size);
    session_ = std::make_unique<Session>(*this);
    session_->upload = std::make_unique<nbx::http::UploadSession>(session_->client);
    Framing framing;
    FrameUpload(target, framing);
    nbx::http::Request request = MakeTransferRequest(UploadMethod(), url, login, password, false);
    request.headers.insert(request.headers.end(), framing.headers.begin(), framing.headers.end());
    request.contentLength = framing.head.size() + size + framing.tail.size();
    nbx::http::Result r = session_->upload->Open(request);
    if (r.Ok() && !framing.head.empty()) {
        r = session_->upload->Write(framing.head.data(), framing.head.size());
    }
    session_->tail = framing.tail;
    if (!r.Ok()) {
        Record(LogLevel::Error,
               StrPrintf("CNbxFtWebDav::_UPLOAD_SESSION_OPEN() failed with error msg: \"%s\"",
                         Describe(r).c_str()));
        _SESSION_CLOSE(false);
        return r.error == nbx::http::Error::Aborted ? FtResult::kAborted
                                                    : FtResult::kNetworkFailure;
    }
    return FtResult::kOk;
}

int CNbxFtHttp::_UPLOAD_SESSION_WRITE(const char* buffer, std::size_t count, std::size_t* written) {
    Record(LogLevel::Info, "CNbxFtWebDav::_UPLOAD_SESSION_WRITE() invoked...");
    if (written != nullptr) {
        *written = 0;
    }
    if (!session_ || !session_->upload) {
        Record(LogLevel::Error,
               "CCNbxFtWebDav::_UPLOAD_SESSION_WRITE() failed with error msg: "
               "\"no upload session is open\"");
        return FtResult::kNetworkFailure;
    }
    if (session_counters_.windowStart == 0) {
        session_counters_.windowStart = TickCount();
    }
    const nbx::http::Result r = session_->upload->Write(buffer, count);
    if (r.error == nbx::http::Error::Aborted || IsAborted()) {
        Record(LogLevel::Info,
               "CCNbxFtWebDav::_UPLOAD_SESSION_WRITE(): "
               "CNbxFtWebDav::IsAborted() returned TRUE.");
        _SESSION_CLOSE(false);
        return FtResult::kAborted;
    }
    if (!r.Ok()) {
        Record(LogLevel::Error,
               StrPrintf("CCNbxFtWebDav::_UPLOAD_SESSION_WRITE() failed with error msg: \"%s\"",
                         Describe(r).c_str()));
        _SESSION_CLOSE(false);
        return FtResult::kNetworkFailure;
    }
    if (written != nullptr) {
        *written = count;
    }
    ReportBlock(session_counters_, count,
                "CCNbxFtWebDav::_UPLOAD_SESSION_WRITE(): Uploaded: %llu / %llu Speed: %s");
    return FtResult::kOk;
}

int CNbxFtHttp::_SESSION_CLOSE(bool commit) {
    Record(LogLevel::Info, "CNbxFtWebDav::_SESSION_CLOSE() invoked...");
    int result = FtResult::kOk;
    if (session_ && session_->upload) {
        const bool finish = commit && !IsAborted();
        nbx::http::Result r;
        if (finish && !session_->tail.empty()) {
            r = session_->upload->Write(session_->tail.data(), session_->tail.size());
        }
        if (r.Ok()) {
            r = session_->upload->Close(finish);
        } else {
            session_->upload->Close(false);
        }
        if (finish && !r.Ok()) {
            Record(LogLevel::Error,
                   StrPrintf("CCNbxFtWebDav::_SESSION_CLOSE() failed with error msg: \"%s\"",
                             Describe(r).c_str()));
            result = r.error == nbx::http::Error::Aborted ? FtResult::kAborted
                                                          : FtResult::kNetworkFailure;
        } else if (finish && (r.response.status < 200 || r.response.status > 299)) {
            Record(LogLevel::Error,
                   StrPrintf("CCNbxFtWebDav::_SESSION_CLOSE(): the server refused the upload "
                             "with status: \"%d\"",
                             r.response.status));
            result = FtResult::kRefused;
        }
    }
    session_.reset();
    session_counters_ = TransferCounters{};
    return result;
}
