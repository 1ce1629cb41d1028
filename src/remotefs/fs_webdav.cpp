#include "remotefs/fs_webdav.h"

#include <string_view>

#include "base/session_log.h"
#include "base/text_helpers.h"
#include "platform/format.h"
#include "platform/url.h"
#include "remotefs/multistatus.h"

using nbx::StrPrintf;

namespace {

constexpr const char* kClass = "CNbxFsWebDav";

bool EndsWithSlash(const std::string& s) {
    return !s.empty() && s.back() == '/';
}

// The path an href names, decoded exactly, segment by segment so that an escaped "/" is
// seen; empty with the reason in `problem` when a segment cannot stand for one name. An href
// that is an absolute URL gives its path and query, undecoded, to decode.
std::string HrefPath(const std::string& href, std::string& problem) {
    const auto parts = nbx::url::SplitUrl(href);
    const std::string raw = parts ? parts->object : href;
    std::string path;
    std::size_t start = 0;
    while (start <= raw.size()) {
        std::size_t end = raw.find('/', start);
        if (end == std::string::npos) {
            end = raw.size();
        }
        const std::string segment = DecodeUrlPath(std::string_view(raw).substr(start, end - start));
        if (!segment.empty()) {
            problem = EntryNameProblem(segment);
            if (!problem.empty()) {
                return {};
            }
        }
        path += segment;
        if (end < raw.size()) {
            path += '/';
        }
        start = end + 1;
    }
    return path;
}

}  // namespace

int CNbxFsWebDav::_LIST(const std::string& url, const std::string& login,
                        const std::string& password) {
    WriteLog(LogLevel::Info,
             StrPrintf("CNbxFsWebDav::_LIST() with arg: \"%s\" invoked...", url.c_str()));
    Clear();
    nbx::remotefs::MultistatusParser parser;
    const int result = SendFsRequest({.className = kClass,
                                      .operation = "_LIST",
                                      .method = "PROPFIND",
                                      .url = url,
                                      .headers = {{"Depth", EndsWithSlash(url) ? "1" : "0"}},
                                      .body = kPropfindBody,
                                      .basicAuth = std::make_pair(login, password),
                                      .accepted = {200, 207},
                                      .listing = true,
                                      .answerSink = &parser},
                                     nullptr);
    if (result != FsResult::kOk) {
        return result;
    }
    std::vector<nbx::remotefs::DavResponse> responses;
    nbx::xml::ParseError error;
    if (!parser.Finish(responses, error)) {
        WriteLog(LogLevel::Error,
                 StrPrintf("CNbxFsWebDav::_LIST(): IXMLDOMDocument::loadXML() failed with err "
                           "code: \"%X\", with reason: \"%s\"",
                           static_cast<unsigned>(error.code), error.reason.c_str()));
        return FsResult::kLocalFailure;
    }
    for (const nbx::remotefs::DavResponse& r : responses) {
        std::string href;
        if (r.href) {
            WriteLog(LogLevel::Debug, "Href File: " + *r.href);
            std::string problem;
            href = HrefPath(*r.href, problem);
            if (!problem.empty()) {
                // Any plain path made from it would address another resource.
                WriteLog(LogLevel::Warning,
                         StrPrintf("CNbxFsWebDav::_LIST(): entry \"%s\" left out: %s",
                                   r.href->c_str(), problem.c_str()));
                NoteLeftOut();
                continue;
            }
        }
        if (r.contentLength) {
            WriteLog(LogLevel::Debug, "Content Length: " + *r.contentLength);
        }
        if (r.contentType) {
            WriteLog(LogLevel::Debug, "Content Type: " + *r.contentType);
        }
        if (r.lastModified) {
            WriteLog(LogLevel::Debug, "Modify Time: " + *r.lastModified);
        }
        if (r.isFolder) {
            WriteLog(LogLevel::Debug, "Folder: TRUE");
        }
        Add(std::make_unique<CNbxFile>(CNbxFile::Decoded{href}, r.isFolder,
                                       r.lastModified.value_or(""), r.contentType.value_or(""),
                                       ParseSize(r.contentLength.value_or(""))));
        WriteLog(LogLevel::Debug, "----------");
    }
    return FsResult::kOk;
}

int CNbxFsWebDav::_CREATE(const std::string& url, const std::string& login,
                          const std::string& password) {
    WriteLog(LogLevel::Info,
             StrPrintf("CNbxFsWebDav::_CREATE() with arg: \"%s\" invoked...", url.c_str()));
    return SendFsRequest({.className = kClass,
                          .operation = "_CREATE",
                          .method = "MKCOL",
                          .url = url,
                          .basicAuth = std::make_pair(login, password),
                          .accepted = {200, 201}},
                         nullptr);
}

int CNbxFsWebDav::_DELETE(const std::string& url, const std::string& login,
                          const std::string& password) {
    WriteLog(LogLevel::Info,
             StrPrintf("CNbxFsWebDav::_DELETE() with arg: \"%s\" invoked...", url.c_str()));
    return SendFsRequest({.className = kClass,
                          .operation = "_DELETE",
                          .method = "DELETE",
                          .url = url,
                          .headers = {{"Depth", EndsWithSlash(url) ? "infinity" : "0"}},
                          .basicAuth = std::make_pair(login, password),
                          .accepted = {200, 204, 207}},
                         nullptr);
}

int CNbxFsWebDav::_COPY(const std::string& source, const std::string& destination,
                        const std::string& login, const std::string& password) {
    return CopyOrMove("_COPY", source, destination, login, password);
}

int CNbxFsWebDav::_MOVE(const std::string& source, const std::string& destination,
                        const std::string& login, const std::string& password) {
    return CopyOrMove("_MOVE", source, destination, login, password);
}

int CNbxFsWebDav::CopyOrMove(const char* operation, const std::string& source,
                             const std::string& destination, const std::string& login,
                             const std::string& password) {
    WriteLog(LogLevel::Info,
             StrPrintf("CNbxFsWebDav::%s() with src arg: \"%s\", with dst arg: \"%s\" invoked...",
                       operation, source.c_str(), destination.c_str()));
    if (source == destination) {
        return FsResult::kOk;  // onto itself: nothing to send
    }
    // A MOVE takes everything below its source along; it may only say Depth infinity, and nginx
    // and rclone answer anything else with 400. A COPY of a file keeps its Depth 0.
    const bool move = std::string_view(operation) == "_MOVE";
    return SendFsRequest({.className = kClass,
                          .operation = operation,
                          .method = std::string(operation + 1),
                          .url = source,
                          .headers = {{"Depth", move || EndsWithSlash(source) ? "infinity" : "0"},
                                      {"Overwrite", "T"},
                                      {"Destination", destination}},
                          .basicAuth = std::make_pair(login, password),
                          .accepted = {200, 201, 204, 207}},
                         nullptr);
}
