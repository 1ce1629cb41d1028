#include "remotefs/nbx_file.h"

#include <limits>

#include "base/session_log.h"
#include "base/text_helpers.h"
#include "nodes/nbx_node.h"
#include "platform/format.h"

CNbxFile::CNbxFile(const std::string& name, bool isFolder, std::string modifiedTime,
                   std::string contentType, std::uint64_t size)
    : name(name.empty() ? std::string() : UnescapeUrlText(name)),
      modifiedTime(modifiedTime),
      modifiedTimeCopy(std::move(modifiedTime)),
      contentType(std::move(contentType)),
      size(size),
      isFolder(isFolder) {}

CNbxFile::CNbxFile(Decoded path, bool isFolder, std::string modifiedTime, std::string contentType,
                   std::uint64_t size)
    : name(std::move(path.path)),
      modifiedTime(modifiedTime),
      modifiedTimeCopy(std::move(modifiedTime)),
      contentType(std::move(contentType)),
      size(size),
      isFolder(isFolder) {}

const CNbxFile* CNbxFileProvider::GetFirst() {
    cursor_ = 0;
    if (entries_.empty()) {
        return nullptr;
    }
    cursor_ = 1;
    return entries_.front().get();
}

const CNbxFile* CNbxFileProvider::GetNext() {
    if (cursor_ < GetCount()) {
        return entries_[cursor_++].get();
    }
    return nullptr;
}

std::string Base64Encode(std::string_view bytes) {
    static constexpr char kAlphabet[] =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    out.reserve((bytes.size() + 2) / 3 * 4);
    std::size_t i = 0;
    for (; i + 2 < bytes.size(); i += 3) {
        const unsigned v = static_cast<unsigned char>(bytes[i]) << 16 |
                           static_cast<unsigned char>(bytes[i + 1]) << 8 |
                           static_cast<unsigned char>(bytes[i + 2]);
        out += kAlphabet[v >> 18];
        out += kAlphabet[(v >> 12) & 63];
        out += kAlphabet[(v >> 6) & 63];
        out += kAlphabet[v & 63];
    }
    if (i < bytes.size()) {
        const bool two = i + 1 < bytes.size();
        const unsigned v = static_cast<unsigned char>(bytes[i]) << 16 |
                           (two ? static_cast<unsigned char>(bytes[i + 1]) << 8 : 0);
        out += kAlphabet[v >> 18];
        out += kAlphabet[(v >> 12) & 63];
        out += two ? kAlphabet[(v >> 6) & 63] : '=';
        out += '=';
    }
    return out;
}

std::string MakeBasicCredentials(const std::string& login, const std::string& password) {
    return Base64Encode(login + ":" + password);
}

nbx::http::Header BasicAuthorization(const std::string& login, const std::string& password) {
    return {"Authorization", "Basic " + MakeBasicCredentials(login, password)};
}

std::string ComposeNodeUrl(const CNbxNode& node, const std::string& path) {
    return node.nbx_proxy + "/" + node.node_name + EscapeUrlPath(path);
}

std::string EntryNameProblem(std::string_view name) {
    if (name.empty()) {
        return "an empty name";
    }
    if (name == "." || name == "..") {
        return "the name \"" + std::string(name) + "\"";
    }
    if (name.find('/') != std::string_view::npos) {
        return "a \"/\" inside a name";
    }
    if (name.find('\0') != std::string_view::npos) {
        return "a NUL byte inside a name";
    }
    return {};
}

bool RefuseRemotePath(const char* className, const char* operation, const std::string& path) {
    const std::string problem = RemotePathProblem(path);
    if (problem.empty()) {
        return false;
    }
    WriteLog(LogLevel::Error, nbx::StrPrintf("%s::%s(): the path \"%s\" cannot be sent: %s",
                                             className, operation, path.c_str(), problem.c_str()));
    return true;
}

std::string RemotePathProblem(std::string_view path) {
    std::size_t start = 0;
    while (start <= path.size()) {
        std::size_t end = path.find('/', start);
        if (end == std::string_view::npos) {
            end = path.size();
        }
        const std::string_view segment = path.substr(start, end - start);
        if (!segment.empty()) {
            std::string problem = EntryNameProblem(segment);
            if (!problem.empty()) {
                return problem;
            }
        }
        start = end + 1;
    }
    return {};
}

bool IsSafeChildName(std::string_view name) {
    if (name.empty() || name == "." || name == "..") {
        return false;
    }
    for (const char ch : name) {
        const auto byte = static_cast<unsigned char>(ch);
        if (ch == '/' || byte < 0x20 || byte == 0x7F) {
            return false;
        }
    }
    return true;
}

std::uint64_t ParseSize(std::string_view text) {
    std::uint64_t value = 0;
    constexpr std::uint64_t kMax = std::numeric_limits<std::uint64_t>::max();
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t' || text.front() == '\r' ||
                             text.front() == '\n')) {
        text.remove_prefix(1);
    }
    for (const char c : text) {
        if (c < '0' || c > '9') {
            break;
        }
        const unsigned digit = static_cast<unsigned>(c - '0');
        if (value > (kMax - digit) / 10) {
            return kMax;
        }
        value = value * 10 + digit;
    }
    return value;
}
