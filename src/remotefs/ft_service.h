#pragma once

#include <memory>
#include <string>

#include "remotefs/ft_diskapi.h"
#include "remotefs/ft_webdav.h"

class CNbxNode;

// Transfers for one user of one thread (an action, a thumbnail request, a probe): chooses the
// implementation by the node's device_type (9: the cloud disk; anything else: WebDAV) and
// turns plain remote paths into what it expects. Session reads, writes and the close go to
// the implementation that opened the session. Abort stops whichever is running.
class CNbxFileTransferService : public CNbxFtWebDav, public CNbxFtDiskApi {
public:
    int _CHECK_ONLINE(const CNbxNode& node);
    int _EXIST(const CNbxNode& node, const std::string& path);
    int _DOWNLOAD(const CNbxNode& node, const std::string& remotePath,
                  const std::string& localPath);
    int _UPLOAD(const CNbxNode& node, const std::string& localPath, const std::string& remotePath);
    int _DOWNLOAD_SESSION_OPEN(const std::string& remotePath, const CNbxNode& node,
                               std::uint64_t* size);
    int _UPLOAD_SESSION_OPEN(const std::string& remotePath, const CNbxNode& node,
                             std::uint64_t size);
    int _DOWNLOAD_SESSION_READ(char* buffer, std::size_t capacity, std::size_t* read) override;
    int _UPLOAD_SESSION_WRITE(const char* buffer, std::size_t count, std::size_t* written) override;
    int _SESSION_CLOSE(bool commit) override;
    // The node's picture at the path, 96 × 96 at most, for the kinds of node that make them.
    std::unique_ptr<CNbxBitmap> _THUMBNAIL(const CNbxNode& node, const std::string& remotePath);

    void Abort();  // both implementations
    bool IsAborted() const { return CNbxFtWebDav::IsAborted(); }
    void SetProgressDlg(CNbxComnProgressDlg* dialog);

    static constexpr int kThumbnailSize = 96;

private:
    bool SessionOnDisk() const { return sessionDeviceType_ == 9; }
    int sessionDeviceType_ = 0;
};
