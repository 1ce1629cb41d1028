#include "disk_store.h"

#include <sys/stat.h>

#include <algorithm>
#include <ctime>

namespace nbx::dev {

namespace fs = std::filesystem;

namespace {

Outcome Fail(int status, std::string message) {
    return {status, std::move(message)};
}

bool IsFolder(const fs::path& place) {
    std::error_code ec;
    return fs::is_directory(place, ec);
}

bool Exists(const fs::path& place) {
    std::error_code ec;
    return fs::exists(fs::symlink_status(place, ec));
}

// Whether `inner` is `outer` or lies somewhere below it.
bool Within(const fs::path& inner, const fs::path& outer) {
    const std::string& a = inner.native();
    const std::string& b = outer.native();
    return a == b || (a.size() > b.size() && a.compare(0, b.size(), b) == 0 && a[b.size()] == '/');
}

std::string Datetime(const fs::path& place) {
    struct stat st {};
    if (::stat(place.c_str(), &st) != 0) {
        return "";
    }
    std::tm tm{};
    ::gmtime_r(&st.st_mtime, &tm);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &tm);
    return text;
}

}  // namespace

std::optional<fs::path> Disk::Resolve(std::string_view path) const {
    if (path.empty() || path[0] != '/' || path.find('\0') != std::string_view::npos) {
        return std::nullopt;
    }
    fs::path place = root_;
    while (!path.empty()) {
        const size_t slash = path.find('/');
        const std::string_view part = path.substr(0, slash);
        path = slash == std::string_view::npos ? std::string_view() : path.substr(slash + 1);
        if (part.empty()) {
            continue;
        }
        if (part == "." || part == "..") {
            return std::nullopt;
        }
        place /= std::string(part);
    }
    return place;
}

Outcome Disk::Existing(std::string_view path, fs::path& place) const {
    const auto resolved = Resolve(path);
    if (!resolved) {
        return Fail(400, "not a path on the disk: " + std::string(path));
    }
    if (!Exists(*resolved)) {
        return Fail(404, "no such file or folder: " + std::string(path));
    }
    place = *resolved;
    return {};
}

Outcome Disk::List(std::string_view path, std::vector<DiskItem>& items) const {
    fs::path folder;
    if (Outcome found = Existing(path, folder); !found.Ok()) {
        return found;
    }
    if (!IsFolder(folder)) {
        return Fail(409, "not a folder: " + std::string(path));
    }
    std::error_code ec;
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
        const std::string name = it->path().filename().native();
        if (name.starts_with(kUploadTempPrefix)) {
            continue;
        }
        std::error_code statEc;
        const fs::file_status status = it->status(statEc);
        if (statEc) {
            continue;  // a dangling link
        }
        DiskItem item;
        item.name = name;
        item.folder = fs::is_directory(status);
        item.size = item.folder ? 0 : it->file_size(statEc);
        item.datetime = Datetime(it->path());
        item.contentType = item.folder ? "httpd/unix-directory" : ContentTypeOf(name);
        items.push_back(std::move(item));
    }
    if (ec) {
        return Fail(500, "cannot read the folder: " + ec.message());
    }
    std::sort(items.begin(), items.end(),
              [](const DiskItem& a, const DiskItem& b) { return a.name < b.name; });
    return {};
}

Outcome Disk::MakeFolder(std::string_view path) const {
    const auto place = Resolve(path);
    if (!place) {
        return Fail(400, "not a path on the disk: " + std::string(path));
    }
    if (*place == root_ || Exists(*place)) {
        return Fail(409, "already there: " + std::string(path));
    }
    if (!IsFolder(place->parent_path())) {
        return Fail(409, "no folder to make it in: " + std::string(path));
    }
    std::error_code ec;
    if (!fs::create_directory(*place, ec)) {
        return Fail(500, "cannot make the folder: " + ec.message());
    }
    return {};
}

Outcome Disk::Remove(std::string_view path) const {
    fs::path place;
    if (Outcome found = Existing(path, place); !found.Ok()) {
        return found;
    }
    if (place == root_) {
        return Fail(409, "the disk itself cannot be deleted");
    }
    std::error_code ec;
    fs::remove_all(place, ec);
    return ec ? Fail(500, "cannot delete: " + ec.message()) : Outcome{};
}

Outcome Disk::Copy(std::string_view source, std::string_view destinationFolder) const {
    fs::path from;
    if (Outcome found = Existing(source, from); !found.Ok()) {
        return found;
    }
    const auto folder = Resolve(destinationFolder);
    if (!folder) {
        return Fail(400, "not a path on the disk: " + std::string(destinationFolder));
    }
    if (!IsFolder(*folder)) {
        return Fail(409, "no such destination folder: " + std::string(destinationFolder));
    }
    if (from == root_) {
        return Fail(409, "the disk itself cannot be copied");
    }
    return Replace(from, *folder / from.filename(), false);
}

Outcome Disk::Move(std::string_view source, std::string_view destination) const {
    fs::path from;
    if (Outcome found = Existing(source, from); !found.Ok()) {
        return found;
    }
    const auto to = Resolve(destination);
    if (!to) {
        return Fail(400, "not a path on the disk: " + std::string(destination));
    }
    if (from == root_) {
        return Fail(409, "the disk itself cannot be moved");
    }
    if (destination.ends_with('/')) {
        if (!IsFolder(*to)) {
            return Fail(409, "no such destination folder: " + std::string(destination));
        }
        return Replace(from, *to / from.filename(), true);
    }
    if (*to == root_ || !IsFolder(to->parent_path())) {
        return Fail(409, "no folder to move it into: " + std::string(destination));
    }
    return Replace(from, *to, true);
}

Outcome Disk::Replace(const fs::path& from, const fs::path& to, bool move) const {
    if (to == from) {
        return Fail(409, "it is there already");
    }
    if (Within(to, from)) {
        return Fail(409, "a folder cannot go into itself");
    }
    if (Within(from, to)) {
        return Fail(409, "it would replace a folder that holds it");
    }
    std::error_code ec;
    if (Exists(to)) {
        fs::remove_all(to, ec);
    }
    if (!ec && move) {
        fs::rename(from, to, ec);
    } else if (!ec) {
        fs::copy(from, to, fs::copy_options::recursive | fs::copy_options::copy_symlinks, ec);
    }
    return ec ? Fail(500, std::string(move ? "cannot move: " : "cannot copy: ") + ec.message())
              : Outcome{};
}

Outcome Disk::File(std::string_view path, fs::path& file, std::uint64_t& size) const {
    if (Outcome found = Existing(path, file); !found.Ok()) {
        return found;
    }
    if (IsFolder(file)) {
        return Fail(501, "a folder cannot be downloaded");
    }
    std::error_code ec;
    size = fs::file_size(file, ec);
    return ec ? Fail(500, "cannot read the file: " + ec.message()) : Outcome{};
}

Outcome Disk::UploadTarget(std::string_view folder, std::string_view name, fs::path& target) const {
    const auto place = Resolve(folder);
    if (!place) {
        return Fail(400, "not a path on the disk: " + std::string(folder));
    }
    if (!IsFolder(*place)) {
        return Fail(409, "no such folder: " + std::string(folder));
    }
    if (name.empty() || name == "." || name == ".." || name.find('/') != std::string_view::npos ||
        name.find('\0') != std::string_view::npos) {
        return Fail(400, "not a file name: " + std::string(name));
    }
    target = *place / std::string(name);
    if (IsFolder(target)) {
        return Fail(409, "a folder of that name is there");
    }
    return {};
}

std::string ContentTypeOf(std::string_view name) {
    static const std::pair<std::string_view, std::string_view> kTypes[] = {
        {".txt", "text/plain"},        {".html", "text/html"},      {".htm", "text/html"},
        {".css", "text/css"},          {".csv", "text/csv"},        {".xml", "application/xml"},
        {".json", "application/json"}, {".pdf", "application/pdf"}, {".zip", "application/zip"},
        {".jpg", "image/jpeg"},        {".jpeg", "image/jpeg"},     {".png", "image/png"},
        {".gif", "image/gif"},         {".bmp", "image/bmp"},       {".mp3", "audio/mpeg"},
        {".mp4", "video/mp4"},
    };
    std::string lower(name);
    for (char& c : lower) {
        c = char(std::tolower(static_cast<unsigned char>(c)));
    }
    for (const auto& [extension, type] : kTypes) {
        if (lower.ends_with(extension)) {
            return std::string(type);
        }
    }
    return "application/octet-stream";
}

}  // namespace nbx::dev
