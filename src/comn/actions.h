#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "comn/comn_action.h"
#include "platform/event.h"
#include "remotefs/ft_service.h"

// Re-lists the frame's location; the frame's function returns once it has (it blocks the
// engine, as the listing must follow the change it shows).
class CNbxComnActionRefresh : public CNbxComnAction {
public:
    explicit CNbxComnActionRefresh(std::function<void()> refreshLocation);
    int RunMainAction() override;

private:
    std::function<void()> refresh_;
};

class CNbxComnActionCreate : public CNbxComnAction {
public:
    CNbxComnActionCreate(const CNbxNode* target, std::string folder);
    int RunMainAction() override;
};

class CNbxComnActionDelete : public CNbxComnAction {
public:
    CNbxComnActionDelete(const CNbxNode* target, std::string path);
    int RunMainAction() override;
};

// Removes an empty local folder (left over after its files were uploaded and deleted).
class CNbxComnActionDelLocalDir : public CNbxComnAction {
public:
    explicit CNbxComnActionDelLocalDir(std::string localFolder);
    int RunMainAction() override;
};

class CNbxComnActionCopyWithinNode : public CNbxComnAction {
public:
    CNbxComnActionCopyWithinNode(const CNbxNode* node, std::string target, std::string source);
    int RunMainAction() override;
};

// Also a rename.
class CNbxComnActionMoveWithinNode : public CNbxComnAction {
public:
    CNbxComnActionMoveWithinNode(const CNbxNode* node, std::string target, std::string source);
    int RunMainAction() override;
};

// A transfer action owns the transfer service it runs, so Abort can reach it.
class CNbxComnTransferAction : public CNbxComnProgressAction {
public:
    void Abort() override { transfer->Abort(); }

protected:
    using CNbxComnProgressAction::CNbxComnProgressAction;
    std::unique_ptr<CNbxFileTransferService> transfer = std::make_unique<CNbxFileTransferService>();
};

class CNbxComnActionUpload : public CNbxComnTransferAction {
public:
    CNbxComnActionUpload(const CNbxNode* target, std::string remotePath, std::string localPath,
                         std::string displayName);
    int RunMainAction() override;
};

// Uploads, then deletes the local file; a failed upload keeps it, and a folder is never
// deleted here.
class CNbxComnActionUpldLocalDel : public CNbxComnActionUpload {
public:
    using CNbxComnActionUpload::CNbxComnActionUpload;
    int RunMainAction() override;
};

// Streams a file from one node to another through one block of memory; nothing is stored
// locally and memory does not grow with the file.
class CNbxComnActionCopyNodeToNode : public CNbxComnTransferAction {
public:
    CNbxComnActionCopyNodeToNode(const CNbxNode* target, std::string targetPath,
                                 const CNbxNode* source, std::string sourcePath,
                                 std::string displayName);
    int RunMainAction() override;
    void Abort() override;

protected:
    std::unique_ptr<CNbxFileTransferService> destination_ =
        std::make_unique<CNbxFileTransferService>();
};

// The copy, then the source's deletion; a copy that failed (a refused upload included)
// keeps the source.
class CNbxComnActionMoveNodeToNode : public CNbxComnActionCopyNodeToNode {
public:
    using CNbxComnActionCopyNodeToNode::CNbxComnActionCopyNodeToNode;
    int RunMainAction() override;
};

// The meeting point of a streamed download and its reader on another thread. Both hold it,
// so a reader that gives up part-way leaves the action nothing freed to write to: the action
// reads into the channel's own buffer, and sees that it was abandoned.
class SessionDownloadChannel {
public:
    // Statuses of the exchange.
    static constexpr int kMore = 1000;
    static constexpr int kComplete = 0;
    static constexpr int kAborted = 100;
    static constexpr int kError = 10;

    // Reader: waits until the session is open (kMore) or failed; the file size comes with it.
    int WaitOpened(std::chrono::milliseconds timeout, std::uint64_t* fileSize);
    // Reader: asks for up to `size` bytes; the status after the answer, the bytes in `data`.
    // A time-out abandons the channel and gives kAborted.
    int Read(char* data, std::size_t size, std::size_t* read, std::chrono::milliseconds timeout);
    // Reader: stops reading; the action ends its session at its next look.
    void Abandon() { abandoned_ = true; }

private:
    friend class CNbxComnActionSessionDownload;
    nbx::Event request_{nbx::Event::Reset::Auto};
    nbx::Event reply_{nbx::Event::Reset::Auto};
    std::atomic<int> status_{kMore};
    std::atomic<bool> abandoned_{false};
    // Written by the reader before `request_`, by the action before `reply_`.
    std::size_t requestSize_ = 0;
    std::vector<char> buffer_;
    std::size_t bytesRead_ = 0;
    std::uint64_t fileSize_ = 0;
};

// Serves a reader on another thread chunk by chunk from a download session.
class CNbxComnActionSessionDownload : public CNbxComnTransferAction {
public:
    CNbxComnActionSessionDownload(const CNbxNode* source, std::string sourcePath,
                                  std::string displayName,
                                  std::shared_ptr<SessionDownloadChannel> channel);
    int RunMainAction() override;

private:
    int End(int status, int result);
    std::shared_ptr<SessionDownloadChannel> channel_;
};
