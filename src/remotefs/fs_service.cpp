#include "remotefs/fs_service.h"

#include "base/session_log.h"
#include "base/text_helpers.h"
#include "nodes/nbx_node.h"
#include "platform/format.h"

namespace {

bool IsDisk(const CNbxNode& node) {
    return node.device_type == DeviceKind::Disk;
}

std::string WithoutTrailingSlash(const std::string& path) {
    return !path.empty() && path.back() == '/' ? path.substr(0, path.size() - 1) : path;
}

std::string LastComponent(const std::string& path) {
    const std::string trimmed = WithoutTrailingSlash(path);
    const auto slash = trimmed.find_last_of('/');
    return slash == std::string::npos ? trimmed : trimmed.substr(slash + 1);
}

bool Refused(const char* operation, const std::string& path) {
    return RefuseRemotePath("CNbxFileSystemService", operation, path);
}

}  // namespace

std::string DiskCopyDestination(const std::string& destination) {
    const std::string trimmed = WithoutTrailingSlash(destination);
    const auto slash = trimmed.find_last_of('/');
    return slash == std::string::npos ? std::string() : trimmed.substr(0, slash + 1);
}

std::string DiskMoveDestination(const std::string& source, const std::string& destination) {
    return LastComponent(source) != LastComponent(destination) ? destination
                                                               : DiskCopyDestination(destination);
}

int CNbxFileSystemService::_LIST(const CNbxNode& node, const std::string& path) {
    if (Refused("_LIST", path)) {
        return FsResult::kLocalFailure;
    }
    if (IsDisk(node)) {
        return CNbxFsDiskApi::_LIST(EscapeUrlPath(path), node.login, node.password);
    }
    return CNbxFsWebDav::_LIST(ComposeNodeUrl(node, path), node.login, node.password);
}

int CNbxFileSystemService::_CREATE(const CNbxNode& node, const std::string& path) {
    if (Refused("_CREATE", path)) {
        return FsResult::kLocalFailure;
    }
    if (IsDisk(node)) {
        return CNbxFsDiskApi::_CREATE(EscapeUrlPath(path), node.login, node.password);
    }
    return CNbxFsWebDav::_CREATE(ComposeNodeUrl(node, path), node.login, node.password);
}

int CNbxFileSystemService::_DELETE(const CNbxNode& node, const std::string& path) {
    if (Refused("_DELETE", path)) {
        return FsResult::kLocalFailure;
    }
    if (IsDisk(node)) {
        return CNbxFsDiskApi::_DELETE(EscapeUrlPath(path), node.login, node.password);
    }
    return CNbxFsWebDav::_DELETE(ComposeNodeUrl(node, path), node.login, node.password);
}

int CNbxFileSystemService::_COPY(const CNbxNode& node, const std::string& source,
                                 const std::string& destination) {
    if (Refused("_COPY", source) || Refused("_COPY", destination)) {
        return FsResult::kLocalFailure;
    }
    if (IsDisk(node)) {
        return CNbxFsDiskApi::_COPY(EscapeUrlPath(source),
                                    EscapeUrlPath(DiskCopyDestination(destination)), node.login,
                                    node.password);
    }
    return CNbxFsWebDav::_COPY(ComposeNodeUrl(node, source), ComposeNodeUrl(node, destination),
                               node.login, node.password);
}

int CNbxFileSystemService::_MOVE(const CNbxNode& node, const std::string& source,
                                 const std::string& destination) {
    if (Refused("_MOVE", source) || Refused("_MOVE", destination)) {
        return FsResult::kLocalFailure;
    }
    if (IsDisk(node)) {
        return CNbxFsDiskApi::_MOVE(EscapeUrlPath(source),
                                    EscapeUrlPath(DiskMoveDestination(source, destination)),
                                    node.login, node.password);
    }
    return CNbxFsWebDav::_MOVE(ComposeNodeUrl(node, source), ComposeNodeUrl(node, destination),
                               node.login, node.password);
}
