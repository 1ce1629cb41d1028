// The folder trees that the transfers walk: a local folder and a folder of the current node.
#include <sys/stat.h>

#include <QApplication>
#include <QCursor>
#include <cerrno>
#include <filesystem>
#include <set>

#include "base/session_log.h"
#include "platform/format.h"
#include "remotefs/fs_interface.h"
#include "remotefs/fs_service.h"
#include "remotefs/nbx_file.h"
#include "ui/explorer_frame.h"
#include "ui/folder_mode.h"

using nbx::StrPrintf;

// ---- folder trees for transfers -------------------------------------------------------------

namespace {

using Visited = std::set<std::pair<dev_t, ino_t>>;

int WalkLocalDir(std::vector<std::string>& folders, std::vector<std::string>& files,
                 const std::string& folder, bool recursive, Visited& visited) {
    namespace fs = std::filesystem;
    folders.push_back(folder);
    // A link that leads back up the tree would be walked for ever: each folder once.
    struct stat info {};
    if (::stat(folder.c_str(), &info) == 0 && !visited.emplace(info.st_dev, info.st_ino).second) {
        return 0;
    }
    std::error_code error;
    fs::directory_iterator it(folder, error);
    if (error) {
        WriteLog(LogLevel::Error,
                 StrPrintf("CTerraPaneView::ListLocalDir(): FindFirstFile() failed with arg: "
                           "\"%s\"!",
                           (folder + "/*.*").c_str()));
        // Unlike the end of an empty folder, this loses its whole content: the caller is told.
        return error.value() != 0 ? error.value() : EIO;
    }
    std::vector<std::string> subfolders;
    for (; it != fs::directory_iterator(); it.increment(error)) {
        const std::string name = it->path().filename().string();
        if (name.empty() || name.front() == '.') {
            continue;
        }
        const std::string path = StrPrintf("%s/%s", folder.c_str(), name.c_str());
        std::error_code kindError;
        if (it->is_directory(kindError)) {
            subfolders.push_back(path);
        } else {
            files.push_back(path);
        }
    }
    if (error) {
        WriteLog(LogLevel::Error,
                 StrPrintf("CTerraPaneView::ListLocalDir(): GetLastError returned: \"%X\"",
                           static_cast<unsigned>(error.value())));
        return error.value();
    }
    if (!recursive) {
        return 0;
    }
    for (const std::string& subfolder : subfolders) {
        if (const int result = WalkLocalDir(folders, files, subfolder, true, visited)) {
            return result;
        }
    }
    return 0;
}

}  // namespace

int CTerraPaneView::ListLocalDir(std::vector<std::string>& folders, std::vector<std::string>& files,
                                 const std::string& folder, bool recursive) {
    Visited visited;
    return WalkLocalDir(folders, files, folder, recursive, visited);
}

int CFolderMode::ListRemoteDir(std::vector<std::string>& folders, std::vector<std::string>& files,
                               std::vector<std::uint64_t>& sizes, const std::string& folder,
                               const std::string& base, bool recursive) {
    std::size_t walked = 0;
    return WalkRemoteDir(folders, files, sizes, folder, base, recursive, 0, walked);
}

int CFolderMode::WalkRemoteDir(std::vector<std::string>& folders, std::vector<std::string>& files,
                               std::vector<std::uint64_t>& sizes, const std::string& folderIn,
                               const std::string& base, bool recursive, int depth,
                               std::size_t& walked) {
    std::string folder = folderIn;
    if (folder.empty() || folder.back() != '/') {
        folder += '/';
    }
    // A server whose folders lead into themselves would be walked without end.
    if (depth > CTerraPaneView::kMaxRemoteTreeDepth ||
        ++walked > CTerraPaneView::kMaxRemoteTreeFolders) {
        WriteLog(LogLevel::Error,
                 StrPrintf("CTerraPaneView::ListRemoteDir(): the folder tree is deeper than %d "
                           "levels or holds more than %zu folders with arg: \"%s%s\"",
                           CTerraPaneView::kMaxRemoteTreeDepth,
                           CTerraPaneView::kMaxRemoteTreeFolders, base.c_str(), folder.c_str()));
        return FsResult::kLocalFailure;
    }
    folders.push_back(folder);
    std::vector<std::string> subfolders;
    int result = ListRemoteFolder(folder, base);
    if (result == FsResult::kOk) {
        result = CollectRemoteChildren(files, sizes, subfolders, folder, base);
    }
    if (result != FsResult::kOk || !recursive) {
        return result;
    }
    for (const std::string& subfolder : subfolders) {
        result = WalkRemoteDir(folders, files, sizes, subfolder, base, true, depth + 1, walked);
        if (result != FsResult::kOk) {
            return result;
        }
    }
    return FsResult::kOk;
}

// One folder of the tree listed into the frame's file-system service, refused while the
// listing of the view waits.
int CFolderMode::ListRemoteFolder(const std::string& folder, const std::string& base) {
    const CNbxNode* node = Frame().CurrentNode();
    if (node == nullptr || listing_) {
        WriteLog(LogLevel::Error,
                 StrPrintf("CTerraPaneView::ListRemoteDir(): CNbxFileSystemService::_LIST() "
                           "failed with arg: \"%s%s\"",
                           base.c_str(), folder.c_str()));
        return FsResult::kLocalFailure;
    }
    CNbxFileSystemService& fileSystem = Frame().FileSystem();
    InstallListingWaitHook();
    int result;
    {
        const BusyCursor busy;
        const ListingGuard guard(listing_);
        result = fileSystem._LIST(*node, base + folder);
    }
    if (result != FsResult::kOk) {
        WriteLog(LogLevel::Error,
                 StrPrintf("CTerraPaneView::ListRemoteDir(): CNbxFileSystemService::_LIST() "
                           "failed with arg: \"%s%s\"",
                           base.c_str(), folder.c_str()));
        return result;
    }
    if (fileSystem.LeftOutCount() > 0) {
        WriteLog(LogLevel::Error,
                 StrPrintf("CTerraPaneView::ListRemoteDir(): the server listed a name that "
                           "cannot be a local file name with arg: \"%s%s\"",
                           base.c_str(), folder.c_str()));
        return FsResult::kLocalFailure;
    }
    return FsResult::kOk;
}

// The files and subfolders of the listed folder, paths relative to `base`.
int CFolderMode::CollectRemoteChildren(std::vector<std::string>& files,
                                       std::vector<std::uint64_t>& sizes,
                                       std::vector<std::string>& subfolders,
                                       const std::string& folder, const std::string& base) {
    CNbxFileSystemService& fileSystem = Frame().FileSystem();
    const CNbxNode* node = Frame().CurrentNode();
    const std::string prefix = (node->node_name.empty() ? "" : "/" + node->node_name) + base;
    for (const CNbxFile* entry = fileSystem.GetFirst(); entry != nullptr;
         entry = fileSystem.GetNext()) {
        // Only what lies in the listed folder; an answer naming anything else is ignored.
        if (entry->name.compare(0, prefix.size(), prefix) != 0) {
            continue;
        }
        std::string relative = entry->name.substr(prefix.size());
        if (relative.compare(0, folder.size(), folder) != 0) {
            continue;
        }
        std::string child = relative.substr(folder.size());
        if (!child.empty() && child.back() == '/') {
            child.pop_back();
        }
        if (child.empty() && relative.size() <= folder.size()) {
            continue;  // the listed folder itself
        }
        // Each child becomes a local path below the drop target: a name that is no single
        // segment of one would lead elsewhere, so the whole tree is refused.
        if (!IsSafeChildName(child)) {
            WriteLog(LogLevel::Error,
                     StrPrintf("CTerraPaneView::ListRemoteDir(): the server listed a name that "
                               "cannot be a local file name with arg: \"%s\"",
                               entry->name.c_str()));
            return FsResult::kLocalFailure;
        }
        if (entry->isFolder) {
            subfolders.push_back(folder + child + "/");
        } else {
            files.push_back(folder + child);
            sizes.push_back(entry->size);
        }
    }
    return FsResult::kOk;
}
