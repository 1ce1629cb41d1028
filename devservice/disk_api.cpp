#include "disk_api.h"

#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

#include <charconv>
#include <memory>

#include "disk_store.h"
#include "http_text.h"
#include "multipart.h"
#include "thumbnail.h"

namespace nbx::dev {

namespace fs = std::filesystem;

namespace {

constexpr std::size_t kMaxFolderPart = 64 * 1024;
constexpr int kMaxThumbnailWidth = 4096;

void Answer(httplib::Response& response, const Outcome& outcome) {
    response.status = outcome.status;
    if (outcome.Ok()) {
        response.set_content("{\"resultCode\":0}", "application/json");
    } else {
        response.set_content("{\"resultCode\":" + std::to_string(outcome.status) +
                                 ",\"message\":" + JsonString(outcome.message) + "}",
                             "application/json");
    }
}

// What every GET call shares: the account and the decoded query; false once answered.
struct Call {
    std::optional<std::string> login;
    QueryArgs args;

    bool Parse(const DiskApiContext& context, const httplib::Request& request,
               httplib::Response& response) {
        login = context.accounts.Authenticate(request);
        if (!login) {
            RefuseCredentials(response);
            return false;
        }
        auto parsed = ParseQuery(request.target);
        if (!parsed) {
            Answer(response, {400, "a query argument is badly percent-encoded"});
            return false;
        }
        args = std::move(*parsed);
        return true;
    }

    // The argument, or an answered 400.
    std::optional<std::string> Need(std::string_view name, httplib::Response& response) const {
        auto value = QueryValue(args, name);
        if (!value) {
            Answer(response, {400, "the argument " + std::string(name) + " is missing"});
        }
        return value;
    }
};

std::string ListingJson(const std::vector<DiskItem>& items) {
    std::string json = "{\"resultCode\":0,\"response\":{\"items\":[";
    for (size_t i = 0; i < items.size(); ++i) {
        const DiskItem& item = items[i];
        json += i == 0 ? "" : ",";
        json += "{\"name\":" + JsonString(item.name) + ",\"prop\":{\"actualsize\":\"" +
                std::to_string(item.size) + "\",\"contenttype\":" + JsonString(item.contentType) +
                ",\"datetime\":" + JsonString(item.datetime) + "}}";
    }
    return json + "]}}";
}

void ServeFile(httplib::Response& response, const fs::path& file, std::uint64_t size) {
    const std::string type = ContentTypeOf(file.filename().native());
    if (size == 0) {
        // httplib sends no Content-Length for a provider of no bytes.
        return response.set_content("", type);
    }
    const int fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        return Answer(response, {500, "cannot open the file"});
    }
    // One buffer for the whole answer, whatever its size.
    auto buffer = std::make_shared<std::vector<char>>(64 * 1024);
    response.set_content_provider(
        size_t(size), type,
        [fd, buffer](size_t offset, size_t length, httplib::DataSink& sink) {
            const ssize_t n =
                ::pread(fd, buffer->data(), std::min(length, buffer->size()), off_t(offset));
            return n > 0 && sink.write(buffer->data(), size_t(n));
        },
        [fd](bool) { ::close(fd); });
}

// The parts of an upload: "path" (the folder) first, then "file" into a temporary file in that
// folder, renamed into place only once the whole body has arrived.
class UploadReceiver final : public MultipartParser::Handler {
public:
    explicit UploadReceiver(const Disk& disk) : disk_(disk) {}
    ~UploadReceiver() { Discard(); }

    bool PartBegin(std::string_view headers, std::uint64_t dataBegin) override {
        const std::string disposition = Disposition(headers);
        const auto name = HeaderParameter(disposition, "name");
        part_ = Part::kOther;
        if (name == "path") {
            part_ = Part::kFolder;
            folder_.emplace();
        } else if (name == "file" && !fileBegin_) {
            return BeginFile(disposition, dataBegin);
        }
        return true;
    }

    bool PartData(const char* data, std::size_t size) override {
        if (part_ == Part::kFolder) {
            if (folder_->size() + size > kMaxFolderPart) {
                return Stop({400, "the path part is too long"});
            }
            folder_->append(data, size);
        } else if (part_ == Part::kFile) {
            for (std::size_t done = 0; done < size;) {
                const ssize_t n = ::write(fd_, data + done, size - done);
                if (n < 0) {
                    return Stop({500, "cannot write the file"});
                }
                done += size_t(n);
            }
        }
        return true;
    }

    bool PartEnd(std::uint64_t dataEnd) override {
        if (part_ == Part::kFile) {
            fileEnd_ = dataEnd;
        }
        part_ = Part::kOther;
        return true;
    }

    // After the whole body: the file goes into place.
    Outcome Commit() {
        if (!fileEnd_) {
            return {400, "the body has no file part"};
        }
        const bool closed = ::close(fd_) == 0;
        fd_ = -1;
        std::error_code ec;
        if (closed) {
            fs::rename(temp_, target_, ec);
        }
        if (!closed || ec) {
            Discard();
            return {500, "cannot put the file in place"};
        }
        temp_.clear();
        return {};
    }

    void Discard() {
        if (fd_ >= 0) {
            ::close(fd_);
            fd_ = -1;
        }
        if (!temp_.empty()) {
            std::error_code ec;
            fs::remove(temp_, ec);
            temp_.clear();
        }
    }

    const std::optional<Outcome>& Failure() const { return failure_; }
    std::optional<std::uint64_t> FileBegin() const { return fileBegin_; }
    std::optional<std::uint64_t> FileEnd() const { return fileEnd_; }

private:
    enum class Part { kOther, kFolder, kFile };

    static std::string Disposition(std::string_view headers) {
        while (!headers.empty()) {
            const size_t end = headers.find("\r\n");
            const std::string_view line = headers.substr(0, end);
            headers = end == std::string_view::npos ? std::string_view() : headers.substr(end + 2);
            constexpr std::string_view kName = "content-disposition:";
            if (line.size() >= kName.size()) {
                std::string start(line.substr(0, kName.size()));
                for (char& c : start) {
                    c = char(std::tolower(static_cast<unsigned char>(c)));
                }
                if (start == kName) {
                    return std::string(line.substr(kName.size()));
                }
            }
        }
        return "";
    }

    // Names are sent unquoted inside the quotes, so the name runs to the line's last quote.
    static std::optional<std::string> FileName(std::string_view disposition) {
        const size_t at = disposition.find("filename=\"");
        const size_t end = disposition.rfind('"');
        if (at == std::string_view::npos || end < at + 10) {
            return std::nullopt;
        }
        return std::string(disposition.substr(at + 10, end - at - 10));
    }

    bool BeginFile(const std::string& disposition, std::uint64_t dataBegin) {
        if (!folder_) {
            return Stop({400, "the path part must come before the file part"});
        }
        const auto name = FileName(disposition);
        if (!name) {
            return Stop({400, "the file part has no file name"});
        }
        if (Outcome target = disk_.UploadTarget(*folder_, *name, target_); !target.Ok()) {
            return Stop(target);
        }
        std::string temp = (target_.parent_path() / kUploadTempPrefix).native() + "XXXXXX";
        fd_ = ::mkstemp(temp.data());
        if (fd_ < 0) {
            return Stop({500, "cannot make a file in the folder"});
        }
        ::fchmod(fd_, 0644);
        temp_ = temp;
        part_ = Part::kFile;
        fileBegin_ = dataBegin;
        return true;
    }

    bool Stop(Outcome outcome) {
        failure_ = std::move(outcome);
        return false;
    }

    const Disk& disk_;
    Part part_ = Part::kOther;
    std::optional<std::string> folder_;
    fs::path target_;
    fs::path temp_;
    int fd_ = -1;
    std::optional<std::uint64_t> fileBegin_;
    std::optional<std::uint64_t> fileEnd_;
    std::optional<Outcome> failure_;
};

void Upload(const DiskApiContext& context, const httplib::Request& request,
            httplib::Response& response) {
    RequestBody* body = RequestBody::Current();
    const auto login = context.accounts.Authenticate(request);
    if (!login) {
        body->Drain();
        return RefuseCredentials(response);
    }
    if (!request.has_header("Content-Length")) {
        return Answer(response, {411, "an upload needs a Content-Length"});
    }
    const std::string type = request.get_header_value("Content-Type");
    const auto boundary = HeaderParameter(type, "boundary");
    if (!type.starts_with("multipart/form-data") || !boundary || boundary->empty()) {
        body->Drain();
        return Answer(response, {400, "an upload is multipart/form-data with a boundary"});
    }

    const Disk disk(context.data / *login);
    UploadReceiver receiver(disk);
    MultipartParser parser(*boundary, receiver);
    const auto block = std::make_unique<char[]>(256 * 1024);
    bool parsing = true;
    long long n;
    while ((n = body->Read(block.get(), 256 * 1024)) > 0) {
        // After a failure the rest is still read, so the answer reaches the client.
        parsing = parsing && parser.Feed(block.get(), size_t(n));
    }
    body->MarkFile(receiver.FileBegin(), receiver.FileEnd());
    if (n < 0) {
        receiver.Discard();
        return Answer(response, {400, "the body ended before its announced length"});
    }
    if (receiver.Failure()) {
        receiver.Discard();
        return Answer(response, *receiver.Failure());
    }
    if (!parsing || !parser.Finished()) {
        receiver.Discard();
        return Answer(response, {400, "not a complete multipart body: " + parser.Error()});
    }
    Answer(response, receiver.Commit());
}

}  // namespace

void RegisterDiskApi(RecordingSslServer& server, DiskApiContext settings) {
    // Kept by the routes, which live as long as the server.
    const auto shared = std::make_shared<const DiskApiContext>(std::move(settings));
    const auto disk = [shared](const Call& call) { return Disk(shared->data / *call.login); };

    server.Get("/nxapi/getList/?", [shared, disk](const httplib::Request& request,
                                                  httplib::Response& response) {
        Call call;
        std::optional<std::string> path;
        if (!call.Parse(*shared, request, response) || !(path = call.Need("path", response))) {
            return;
        }
        if (shared->hooks != nullptr) {
            if (auto canned = shared->hooks->NextListing()) {
                response.status = canned->status;
                response.set_content(canned->body, canned->contentType);
                return;
            }
        }
        std::vector<DiskItem> items;
        const Outcome listed = disk(call).List(*path, items);
        if (!listed.Ok()) {
            return Answer(response, listed);
        }
        response.set_content(ListingJson(items), "application/json");
    });

    server.Get("/nxapi/mkdir/?", [shared, disk](const httplib::Request& request,
                                                httplib::Response& response) {
        Call call;
        std::optional<std::string> path;
        if (call.Parse(*shared, request, response) && (path = call.Need("path", response))) {
            Answer(response, disk(call).MakeFolder(*path));
        }
    });

    server.Get("/nxapi/delete/?", [shared, disk](const httplib::Request& request,
                                                 httplib::Response& response) {
        Call call;
        std::optional<std::string> path;
        if (call.Parse(*shared, request, response) && (path = call.Need("path", response))) {
            Answer(response, disk(call).Remove(*path));
        }
    });

    for (const bool move : {false, true}) {
        server.Get(
            move ? "/nxapi/move/?" : "/nxapi/copy/?",
            [shared, disk, move](const httplib::Request& request, httplib::Response& response) {
                Call call;
                std::optional<std::string> source;
                std::optional<std::string> destination;
                if (!call.Parse(*shared, request, response) ||
                    !(source = call.Need("srcpath", response)) ||
                    !(destination = call.Need("destpath", response))) {
                    return;
                }
                Answer(response, move ? disk(call).Move(*source, *destination)
                                      : disk(call).Copy(*source, *destination));
            });
    }

    server.Get("/nxapi/get/?", [shared, disk](const httplib::Request& request,
                                              httplib::Response& response) {
        Call call;
        std::optional<std::string> path;
        if (!call.Parse(*shared, request, response) || !(path = call.Need("path", response))) {
            return;
        }
        if (shared->hooks != nullptr) {
            if (const auto status = shared->hooks->NextGetStatus()) {
                response.status = *status;
                if (*status >= 300 && *status < 400) {
                    response.set_header("Location", "/");
                }
                return;
            }
        }
        fs::path file;
        std::uint64_t size = 0;
        if (Outcome found = disk(call).File(*path, file, size); !found.Ok()) {
            return Answer(response, found);
        }
        const auto cx = QueryValue(call.args, "cx");
        if (cx && IsPicture(file.filename().native())) {
            int width = 0;
            if (std::from_chars(cx->data(), cx->data() + cx->size(), width).ec != std::errc{} ||
                width < 1 || width > kMaxThumbnailWidth) {
                return Answer(response, {400, "cx is a width from 1 to 4096"});
            }
            const auto png = ScaledPng(file, width);
            if (!png) {
                return Answer(response, {415, "not a picture this service can scale"});
            }
            return response.set_content(*png, "image/png");
        }
        ServeFile(response, file, size);
    });

    server.Post("/nxapi/upLoad/?",
                [shared](const httplib::Request& request, httplib::Response& response,
                         const httplib::ContentReader&) { Upload(*shared, request, response); });
}

}  // namespace nbx::dev
