#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// One account's cloud disk: the folder DATA/<login>, addressed by absolute API paths such as
// "/docs/a.txt" or "/docs/" (decoded, UTF-8). Every operation answers with an HTTP status:
// 400 for a path that is not absolute or leaves the disk (".." and "." components), 404 when
// the path named does not exist, 409 when the operation cannot be done as things stand (a
// destination folder that is missing or a file, a folder that already exists, the disk root
// itself, a folder copied or moved into itself), 500 when the file system failed.
namespace nbx::dev {

struct Outcome {
    int status = 200;
    std::string message;
    bool Ok() const { return status == 200; }
};

struct DiskItem {
    std::string name;
    bool folder = false;
    std::uint64_t size = 0;
    std::string datetime;  // UTC modification time, "YYYY-MM-DD HH:MM:SS"
    std::string contentType;
};

// Uploads land in files of this prefix first; listings leave them out.
inline constexpr std::string_view kUploadTempPrefix = ".nbx-upload-";

class Disk {
public:
    explicit Disk(std::filesystem::path root) : root_(std::move(root)) {}

    // The place an API path names (the root for "/"), or nothing for a bad path.
    std::optional<std::filesystem::path> Resolve(std::string_view path) const;

    // The entries of a folder, by name.
    Outcome List(std::string_view path, std::vector<DiskItem>& items) const;
    Outcome MakeFolder(std::string_view path) const;
    // A file, or a folder with everything in it.
    Outcome Remove(std::string_view path) const;
    // Into the destination folder, under the source's name, replacing what is there.
    Outcome Copy(std::string_view source, std::string_view destinationFolder) const;
    // A destination ending in "/" is the folder to move into; any other is the full new path.
    // What is there already is replaced.
    Outcome Move(std::string_view source, std::string_view destination) const;
    // A file to download; 501 for a folder, which cannot be downloaded.
    Outcome File(std::string_view path, std::filesystem::path& file, std::uint64_t& size) const;
    // Where an upload of that name into that folder goes.
    Outcome UploadTarget(std::string_view folder, std::string_view name,
                         std::filesystem::path& target) const;

private:
    Outcome Existing(std::string_view path, std::filesystem::path& place) const;
    Outcome Replace(const std::filesystem::path& source, const std::filesystem::path& target,
                    bool move) const;

    std::filesystem::path root_;
};

// The content type a file of that name is listed and served with.
std::string ContentTypeOf(std::string_view name);

}  // namespace nbx::dev
