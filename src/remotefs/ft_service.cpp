#include "remotefs/ft_service.h"

#include "app/session_log.h"
#include "app/text_helpers.h"
#include "nodes/nbx_node.h"
#include "platform/format.h"
#include "remotefs/nbx_file.h"

namespace {

bool IsDisk(const CNbxNode& node) {
    return node.device_type == DeviceKind::Disk;
}

}  // namespace

int CNbxFileTransferService::NoDisk(const char* operation) {
    WriteLog(LogLevel::Error,
             nbx::StrPrintf("CNbxFileTransferService::%s(): the cloud disk is not supported yet!",
                            operation));
    return FtResult::kRefused;
}

int CNbxFileTransferService::_CHECK_ONLINE(const CNbxNode& node) {
    WriteLog(LogLevel::Info, "CNbxFileTransferInterface::_CHECK_ONLINE() invoked...");
    if (IsDisk(node)) {
        return NoDisk("_CHECK_ONLINE");
    }
    return CNbxFtWebDav::_DOWNLOAD(ComposeNodeUrl(node, node.root_dir), std::string(), node.login,
                                   node.password, true);
}

int CNbxFileTransferService::_EXIST(const CNbxNode& node, const std::string& path) {
    if (IsDisk(node)) {
        return NoDisk("_EXIST");
    }
    return CNbxFtWebDav::_EXIST(ComposeNodeUrl(node, path), node.login, node.password);
}

int CNbxFileTransferService::_DOWNLOAD(const CNbxNode& node, const std::string& remotePath,
                                       const std::string& localPath) {
    if (IsDisk(node)) {
        return NoDisk("_DOWNLOAD");
    }
    return CNbxFtWebDav::_DOWNLOAD(ComposeNodeUrl(node, remotePath), localPath, node.login,
                                   node.password, false);
}

int CNbxFileTransferService::_UPLOAD(const CNbxNode& node, const std::string& localPath,
                                     const std::string& remotePath) {
    if (IsDisk(node)) {
        return NoDisk("_UPLOAD");
    }
    return CNbxFtWebDav::_UPLOAD(localPath, ComposeNodeUrl(node, remotePath), node.login,
                                 node.password);
}

int CNbxFileTransferService::_DOWNLOAD_SESSION_OPEN(const std::string& remotePath,
                                                    const CNbxNode& node, std::uint64_t* size) {
    sessionDeviceType_ = node.device_type;
    if (IsDisk(node)) {
        return NoDisk("_DOWNLOAD_SESSION_OPEN");
    }
    return CNbxFtWebDav::_DOWNLOAD_SESSION_OPEN(ComposeNodeUrl(node, remotePath), node.login,
                                                node.password, size);
}

int CNbxFileTransferService::_UPLOAD_SESSION_OPEN(const std::string& remotePath,
                                                  const CNbxNode& node, std::uint64_t size) {
    sessionDeviceType_ = node.device_type;
    if (IsDisk(node)) {
        return NoDisk("_UPLOAD_SESSION_OPEN");
    }
    return CNbxFtWebDav::_UPLOAD_SESSION_OPEN(ComposeNodeUrl(node, remotePath), node.login,
                                              node.password, size);
}

std::unique_ptr<CNbxBitmap> CNbxFileTransferService::_THUMBNAIL(const CNbxNode& node,
                                                                const std::string& remotePath) {
    if (node.device_type != DeviceKind::Workstation) {
        return nullptr;  // the disk's thumbnails come with the disk; other kinds have none
    }
    const std::string url =
        nbx::StrPrintf("%s/%s%s?cx=%d&cy=%d", node.nbx_proxy.c_str(), node.node_name.c_str(),
                       EscapeUrlText(remotePath).c_str(), kThumbnailSize, kThumbnailSize);
    return CNbxFtWebDav::_THUMBNAIL(url, node.login, node.password, kThumbnailSize, kThumbnailSize);
}
