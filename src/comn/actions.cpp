#include "comn/actions.h"

#include <sys/stat.h>
#include <unistd.h>
#include <cerrno>
#include <cstring>

#include "base/session_log.h"
#include "platform/format.h"
#include "remotefs/fs_service.h"

using nbx::StrPrintf;
using namespace std::chrono_literals;

namespace {

constexpr std::size_t kChunk = 20000;

bool IsDirectory(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

}  // namespace

CNbxComnActionRefresh::CNbxComnActionRefresh(std::function<void()> refreshLocation)
    : CNbxComnAction(nullptr, nullptr, {}, {}), refresh_(std::move(refreshLocation)) {}

int CNbxComnActionRefresh::RunMainAction() {
    if (refresh_) {
        refresh_();
    }
    return ActionResult::Success;
}

CNbxComnActionCreate::CNbxComnActionCreate(const CNbxNode* target, std::string folder)
    : CNbxComnAction(target, nullptr, std::move(folder), {}) {}

int CNbxComnActionCreate::RunMainAction() {
    return fileSystemService == nullptr
               ? ActionResult::Error
               : MapFileSystemResult(fileSystemService->_CREATE(targetNode, targetPath));
}

CNbxComnActionDelete::CNbxComnActionDelete(const CNbxNode* target, std::string path)
    : CNbxComnAction(target, nullptr, std::move(path), {}) {}

int CNbxComnActionDelete::RunMainAction() {
    return fileSystemService == nullptr
               ? ActionResult::Error
               : MapFileSystemResult(fileSystemService->_DELETE(targetNode, targetPath));
}

CNbxComnActionDelLocalDir::CNbxComnActionDelLocalDir(std::string localFolder)
    : CNbxComnAction(nullptr, nullptr, std::move(localFolder), {}) {}

int CNbxComnActionDelLocalDir::RunMainAction() {
    return ::rmdir(targetPath.c_str()) == 0 ? ActionResult::Success : ActionResult::Error;
}

CNbxComnActionCopyWithinNode::CNbxComnActionCopyWithinNode(const CNbxNode* node, std::string target,
                                                           std::string source)
    : CNbxComnAction(node, node, std::move(target), std::move(source)) {}

int CNbxComnActionCopyWithinNode::RunMainAction() {
    return fileSystemService == nullptr
               ? ActionResult::Error
               : MapFileSystemResult(fileSystemService->_COPY(sourceNode, sourcePath, targetPath));
}

CNbxComnActionMoveWithinNode::CNbxComnActionMoveWithinNode(const CNbxNode* node, std::string target,
                                                           std::string source)
    : CNbxComnAction(node, node, std::move(target), std::move(source)) {}

int CNbxComnActionMoveWithinNode::RunMainAction() {
    return fileSystemService == nullptr
               ? ActionResult::Error
               : MapFileSystemResult(fileSystemService->_MOVE(sourceNode, sourcePath, targetPath));
}

CNbxComnActionUpload::CNbxComnActionUpload(const CNbxNode* target, std::string remotePath,
                                           std::string localPath, std::string displayName)
    : CNbxComnTransferAction(target, nullptr, std::move(remotePath), std::move(localPath),
                             std::move(displayName)) {}

int CNbxComnActionUpload::RunMainAction() {
    transfer->SetProgressDlg(progressDlg);
    return MapTransferResult(transfer->_UPLOAD(targetNode, sourcePath, targetPath));
}

int CNbxComnActionUpldLocalDel::RunMainAction() {
    const int r = CNbxComnActionUpload::RunMainAction();
    if (r == ActionResult::Success && !IsDirectory(sourcePath) &&
        ::unlink(sourcePath.c_str()) != 0) {
        WriteLog(LogLevel::Error,
                 StrPrintf("CUploadAndLocalDelItem::Run(): CFile::Remove() failed with arg: "
                           "\"%s\", with error: \"%s\"",
                           sourcePath.c_str(), std::strerror(errno)));
    }
    return r;
}

CNbxComnActionCopyNodeToNode::CNbxComnActionCopyNodeToNode(const CNbxNode* target,
                                                           std::string targetPath,
                                                           const CNbxNode* source,
                                                           std::string sourcePath,
                                                           std::string displayName)
    : CNbxComnTransferAction(target, source, std::move(targetPath), std::move(sourcePath),
                             std::move(displayName)) {}

void CNbxComnActionCopyNodeToNode::Abort() {
    transfer->Abort();
    destination_->Abort();
}

int CNbxComnActionCopyNodeToNode::RunMainAction() {
    CNbxFileTransferService& from = *transfer;
    CNbxFileTransferService& to = *destination_;
    from.SetProgressDlg(nullptr);
    to.SetProgressDlg(progressDlg);
    auto closeBoth = [&](int result) {
        from._SESSION_CLOSE(false);
        to._SESSION_CLOSE(false);
        return MapTransferResult(result);
    };

    std::uint64_t size = 0;
    int r = from._DOWNLOAD_SESSION_OPEN(sourcePath, sourceNode, &size);
    if (r != 200) {
        from._SESSION_CLOSE(false);
        return MapTransferResult(r);
    }
    r = to._UPLOAD_SESSION_OPEN(targetPath, targetNode, size);
    if (r != 200) {
        return closeBoth(r);
    }
    std::vector<char> buffer(kChunk);
    for (;;) {
        std::size_t got = 0;
        r = from._DOWNLOAD_SESSION_READ(buffer.data(), buffer.size(), &got);
        if (r != 200) {
            return closeBoth(r);
        }
        if (got == 0) {
            break;
        }
        std::size_t written = 0;
        r = to._UPLOAD_SESSION_WRITE(buffer.data(), got, &written);
        if (r != 200) {
            return closeBoth(r);
        }
        if (got < buffer.size()) {
            break;
        }
    }
    from._SESSION_CLOSE(false);
    return MapTransferResult(to._SESSION_CLOSE(true));
}

int CNbxComnActionMoveNodeToNode::RunMainAction() {
    const int r = CNbxComnActionCopyNodeToNode::RunMainAction();
    if (r == ActionResult::Success && (fileSystemService == nullptr ||
                                       fileSystemService->_DELETE(sourceNode, sourcePath) != 200)) {
        WriteLog(LogLevel::Error,
                 StrPrintf("CNbxComnActionMoveNodeToNode::RunMainAction(): "
                           "CNbxFileSystemService::_DELETE() failed with arg: \"%s\"",
                           sourcePath.c_str()));
    }
    return r;
}

int SessionDownloadChannel::WaitOpened(std::chrono::milliseconds timeout, std::uint64_t* fileSize) {
    if (!reply_.Wait(timeout)) {
        Abandon();
        return kAborted;
    }
    if (fileSize != nullptr) {
        *fileSize = fileSize_;
    }
    return status_;
}

int SessionDownloadChannel::Read(char* data, std::size_t size, std::size_t* read,
                                 std::chrono::milliseconds timeout) {
    *read = 0;
    if (status_ != kMore) {
        return status_;
    }
    requestSize_ = size;
    request_.Set();
    if (!reply_.Wait(timeout)) {
        Abandon();
        return kAborted;
    }
    *read = std::min(bytesRead_, size);
    std::memcpy(data, buffer_.data(), *read);
    return status_;
}

CNbxComnActionSessionDownload::CNbxComnActionSessionDownload(
    const CNbxNode* source, std::string sourcePath, std::string displayName,
    std::shared_ptr<SessionDownloadChannel> channel)
    : CNbxComnTransferAction(nullptr, source, {}, std::move(sourcePath), std::move(displayName)),
      channel_(std::move(channel)) {}

int CNbxComnActionSessionDownload::End(int status, int result) {
    transfer->_SESSION_CLOSE(false);
    channel_->status_ = status;
    channel_->reply_.Set();
    return result;
}

int CNbxComnActionSessionDownload::RunMainAction() {
    SessionDownloadChannel& c = *channel_;
    transfer->SetProgressDlg(progressDlg);
    std::uint64_t size = 0;
    const int opened = transfer->_DOWNLOAD_SESSION_OPEN(sourcePath, sourceNode, &size);
    c.fileSize_ = size;
    if (opened != 200) {
        return End(opened == 0 ? SessionDownloadChannel::kAborted : SessionDownloadChannel::kError,
                   MapTransferResult(opened));
    }
    c.status_ = SessionDownloadChannel::kMore;
    c.reply_.Set();

    std::uint64_t total = 0;
    auto stopped = [&] {
        if (c.abandoned_) {
            transfer->Abort();
        }
        return transfer->IsAborted();
    };
    do {
        while (!c.request_.Wait(100ms)) {
            if (stopped()) {
                return End(SessionDownloadChannel::kAborted, ActionResult::Aborted);
            }
        }
        c.bytesRead_ = 0;
        if (stopped()) {
            return End(SessionDownloadChannel::kAborted, ActionResult::Aborted);
        }
        c.buffer_.resize(c.requestSize_);
        std::size_t got = 0;
        const int r = transfer->_DOWNLOAD_SESSION_READ(c.buffer_.data(), c.buffer_.size(), &got);
        c.bytesRead_ = got;
        total += got;
        if (r != 200) {
            return End(r == 0 ? SessionDownloadChannel::kAborted : SessionDownloadChannel::kError,
                       MapTransferResult(r));
        }
        // The end of the data ends every file; an announced size ends it no later. A size of 0
        // may be an answer without a length, which must be read to its end.
        const bool more = got > 0 && (size == 0 || total < size);
        c.status_ = more ? SessionDownloadChannel::kMore : SessionDownloadChannel::kComplete;
        c.reply_.Set();
        if (!more) {
            break;
        }
    } while (true);
    transfer->_SESSION_CLOSE(false);
    c.status_ = SessionDownloadChannel::kComplete;
    return stopped() ? ActionResult::Aborted : ActionResult::Success;
}
