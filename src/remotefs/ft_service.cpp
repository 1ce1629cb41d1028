#include "remotefs/ft_service.h"

#include "base/session_log.h"
#include "base/text_helpers.h"
#include "nodes/nbx_node.h"
#include "platform/format.h"
#include "remotefs/nbx_file.h"

namespace {

bool IsDisk(const CNbxNode& node) {
    return node.device_type == DeviceKind::Disk;
}

bool Refused(const char* operation, const std::string& path) {
    return RefuseRemotePath("CNbxFileTransferService", operation, path);
}

}  // namespace

void CNbxFileTransferService::Abort() {
    CNbxFtWebDav::Abort();
    CNbxFtDiskApi::Abort();
}

void CNbxFileTransferService::SetProgressDlg(CNbxComnProgressDlg* dialog) {
    CNbxFtWebDav::progressDlg = dialog;
    CNbxFtDiskApi::progressDlg = dialog;
}

int CNbxFileTransferService::_CHECK_ONLINE(const CNbxNode& node) {
    if (Refused("_CHECK_ONLINE", node.root_dir)) {
        return FtResult::kRefused;
    }
    WriteLog(LogLevel::Info, "CNbxFileTransferInterface::_CHECK_ONLINE() invoked...");
    if (IsDisk(node)) {
        return CNbxFtDiskApi::_DOWNLOAD(EscapeUrlPath(node.root_dir), std::string(), node.login,
                                        node.password, true);
    }
    return CNbxFtWebDav::_DOWNLOAD(ComposeNodeUrl(node, node.root_dir), std::string(), node.login,
                                   node.password, true);
}

int CNbxFileTransferService::_EXIST(const CNbxNode& node, const std::string& path) {
    if (Refused("_EXIST", path)) {
        return FtResult::kRefused;
    }
    if (IsDisk(node)) {
        return CNbxFtDiskApi::_EXIST(EscapeUrlPath(path), node.login, node.password);
    }
    return CNbxFtWebDav::_EXIST(ComposeNodeUrl(node, path), node.login, node.password);
}

int CNbxFileTransferService::_DOWNLOAD(const CNbxNode& node, const std::string& remotePath,
                                       const std::string& localPath) {
    if (Refused("_DOWNLOAD", remotePath)) {
        return FtResult::kRefused;
    }
    if (IsDisk(node)) {
        return CNbxFtDiskApi::_DOWNLOAD(EscapeUrlPath(remotePath), localPath, node.login,
                                        node.password, false);
    }
    return CNbxFtWebDav::_DOWNLOAD(ComposeNodeUrl(node, remotePath), localPath, node.login,
                                   node.password, false);
}

int CNbxFileTransferService::_UPLOAD(const CNbxNode& node, const std::string& localPath,
                                     const std::string& remotePath) {
    if (Refused("_UPLOAD", remotePath)) {
        return FtResult::kRefused;
    }
    if (IsDisk(node)) {
        return CNbxFtDiskApi::_UPLOAD(localPath, remotePath, node.login, node.password);
    }
    return CNbxFtWebDav::_UPLOAD(localPath, ComposeNodeUrl(node, remotePath), node.login,
                                 node.password);
}

int CNbxFileTransferService::_DOWNLOAD_SESSION_OPEN(const std::string& remotePath,
                                                    const CNbxNode& node, std::uint64_t* size) {
    if (Refused("_DOWNLOAD_SESSION_OPEN", remotePath)) {
        return FtResult::kRefused;
    }
    sessionDeviceType_ = node.device_type;
    if (IsDisk(node)) {
        return CNbxFtDiskApi::_DOWNLOAD_SESSION_OPEN(EscapeUrlPath(remotePath), node.login,
                                                     node.password, size);
    }
    return CNbxFtWebDav::_DOWNLOAD_SESSION_OPEN(ComposeNodeUrl(node, remotePath), node.login,
                                                node.password, size);
}

int CNbxFileTransferService::_UPLOAD_SESSION_OPEN(const std::string& remotePath,
                                                  const CNbxNode& node, std::uint64_t size) {
    if (Refused("_UPLOAD_SESSION_OPEN", remotePath)) {
        return FtResult::kRefused;
    }
    sessionDeviceType_ = node.device_type;
    if (IsDisk(node)) {
        return CNbxFtDiskApi::_UPLOAD_SESSION_OPEN(remotePath, node.login, node.password, size);
    }
    return CNbxFtWebDav::_UPLOAD_SESSION_OPEN(ComposeNodeUrl(node, remotePath), node.login,
                                              node.password, size);
}

int CNbxFileTransferService::_DOWNLOAD_SESSION_READ(char* buffer, std::size_t capacity,
                                                    std::size_t* read) {
    return SessionOnDisk() ? CNbxFtDiskApi::_DOWNLOAD_SESSION_READ(buffer, capacity, read)
                           : CNbxFtWebDav::_DOWNLOAD_SESSION_READ(buffer, capacity, read);
}

int CNbxFileTransferService::_UPLOAD_SESSION_WRITE(const char* buffer, std::size_t count,
                                                   std::size_t* written) {
    return SessionOnDisk() ? CNbxFtDiskApi::_UPLOAD_SESSION_WRITE(buffer, count, written)
                           : CNbxFtWebDav::_UPLOAD_SESSION_WRITE(buffer, count, written);
}

int CNbxFileTransferService::_SESSION_CLOSE(bool commit) {
    return SessionOnDisk() ? CNbxFtDiskApi::_SESSION_CLOSE(commit)
                           : CNbxFtWebDav::_SESSION_CLOSE(commit);
}

std::unique_ptr<CNbxBitmap> CNbxFileTransferService::_THUMBNAIL(const CNbxNode& node,
                                                                const std::string& remotePath) {
    if (Refused("_THUMBNAIL", remotePath)) {
        return nullptr;
    }
    sessionDeviceType_ = node.device_type;
    if (IsDisk(node)) {
        const std::string target =
            nbx::StrPrintf("%s&cx=%d", EscapeUrlPath(remotePath).c_str(), kThumbnailSize);
        return CNbxFtDiskApi::_THUMBNAIL(target, node.login, node.password, kThumbnailSize,
                                         kThumbnailSize);
    }
    if (node.device_type != DeviceKind::Workstation) {
        return nullptr;
    }
    const std::string url =
        nbx::StrPrintf("%s/%s%s?cx=%d&cy=%d", node.nbx_proxy.c_str(), node.node_name.c_str(),
                       EscapeUrlPath(remotePath).c_str(), kThumbnailSize, kThumbnailSize);
    return CNbxFtWebDav::_THUMBNAIL(url, node.login, node.password, kThumbnailSize, kThumbnailSize);
}
