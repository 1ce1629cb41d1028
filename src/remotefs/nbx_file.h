#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/http_client.h"

class CNbxNode;

// One entry of a folder listing, immutable once made. `name` is the entry's full path as the
// server reported it, decoded; a folder's path may end in "/".
class CNbxFile {
public:
    CNbxFile(const std::string& name, bool isFolder, std::string modifiedTime,
             std::string contentType, std::uint64_t size);
    // An entry whose path is already decoded exactly, as listings make them: the stored-text
    // decoding above turns "+" into a blank and drops low bytes, so its result could name
    // another resource.
    struct Decoded {
        std::string path;
    };
    CNbxFile(Decoded path, bool isFolder, std::string modifiedTime, std::string contentType,
             std::uint64_t size);
    virtual ~CNbxFile() = default;

    const std::string name;
    const std::string modifiedTime;      // as the server sent it; empty when unknown
    const std::string modifiedTimeCopy;  // the same text
    const std::string contentType;
    const std::uint64_t size;
    const bool isFolder;
};

// The entries of one listing in the server's order. Filled and read on one thread.
class CNbxFileProvider {
public:
    virtual ~CNbxFileProvider() = default;

    void Clear() {  // the cursor stays where it was
        entries_.clear();
        leftOut_ = 0;
    }
    void Add(std::unique_ptr<CNbxFile> entry) { entries_.push_back(std::move(entry)); }
    // Entries of the listing that no plain path can name, left out of it; a walk of a tree
    // that must be whole fails on them.
    void NoteLeftOut() { ++leftOut_; }
    int LeftOutCount() const { return leftOut_; }
    int GetCount() const { return static_cast<int>(entries_.size()); }
    const CNbxFile* GetFirst();
    const CNbxFile* GetNext();

private:
    std::vector<std::unique_ptr<CNbxFile>> entries_;
    int cursor_ = 0;
    int leftOut_ = 0;
};

std::string Base64Encode(std::string_view bytes);
// login ":" password, both whole and in UTF-8, Base64-encoded.
std::string MakeBasicCredentials(const std::string& login, const std::string& password);
// The "Authorization" header with the Basic credentials.
nbx::http::Header BasicAuthorization(const std::string& login, const std::string& password);
// nbx_proxy "/" node_name and the path escaped for the wire: the URL of a path on a WebDAV node.
std::string ComposeNodeUrl(const CNbxNode& node, const std::string& path);

// Why a plain remote path cannot be sent as it is, or empty when it can: a "." or ".."
// segment would be resolved by the client or the server into another folder, and a NUL byte
// cannot be in a name. Empty segments ("a//b") are left to the server.
std::string RemotePathProblem(std::string_view path);
// True, after the error record "CLASS::OPERATION(): the path ... cannot be sent: ...", when
// RemotePathProblem finds one; the caller then sends nothing.
bool RefuseRemotePath(const char* className, const char* operation, const std::string& path);
// Why one listed name cannot stand for one entry of its folder, or empty when it can: it is
// empty, "." or "..", or holds "/" or NUL.
std::string EntryNameProblem(std::string_view name);
// Whether a name that a server lists as a child of a folder can stand as one segment of a
// local path: not empty, neither "." nor "..", and without "/" (a decoded "%2F" among them),
// NUL or any other control character. Other names must not be made into local paths.
bool IsSafeChildName(std::string_view name);

// A size sent as decimal text: the leading digits, saturating at the largest value; 0 when
// the text does not start with a digit.
std::uint64_t ParseSize(std::string_view text);
