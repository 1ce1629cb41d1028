#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/http_client.h"
#include "remotefs/image_decoder.h"
#include "remotefs/progress.h"

// Results of the transfers: 200 success, 0 aborted, and these failures.
namespace FtResult {
inline constexpr int kOk = 200;
inline constexpr int kAborted = 0;
inline constexpr int kRefused = 400;        // bad URL, or the server did not answer as asked
inline constexpr int kLocalFailure = -1;    // a local file could not be opened, read or written
inline constexpr int kNetworkFailure = -2;  // the transfer failed after the request was sent
}  // namespace FtResult

// Speed in bytes per second as the progress dialog shows it ("1.50 KB/s").
std::string FormatSpeed(float bytesPerSecond);

// The counters of one transfer for its progress and speed reports.
struct TransferCounters {
    std::uint64_t total = 0;
    std::uint64_t done = 0;
    std::uint64_t windowBytes = 0;
    std::int64_t windowStart = 0;  // ms tick; 0: not begun
    std::int64_t lastTick = 0;
};

std::int64_t TickCount();  // milliseconds of a steady clock, never 0

// Moves file contents between local files and one kind of node, block by block, and answers
// whether a node or path is there. One object serves one thread, except Abort, which any
// thread may call: the running transfer stops after its current block (a transfer waiting for
// the network is woken at once) and every later one returns 0. An aborted object is not reused.
class CNbxFileTransferInterface {
public:
    virtual ~CNbxFileTransferInterface();

    virtual int _CHECK_ONLINE(const std::string& target, const std::string& login,
                              const std::string& password);
    virtual int _EXIST(const std::string& target, const std::string& login,
                       const std::string& password);
    virtual int _DOWNLOAD(const std::string& source, const std::string& localPath,
                          const std::string& login, const std::string& password, bool probe) = 0;
    virtual int _UPLOAD(const std::string& localPath, const std::string& destination,
                        const std::string& login, const std::string& password) = 0;
    virtual int _DOWNLOAD_SESSION_OPEN(const std::string& source, const std::string& login,
                                       const std::string& password, std::uint64_t* size) = 0;
    virtual int _DOWNLOAD_SESSION_READ(char* buffer, std::size_t capacity, std::size_t* read) = 0;
    virtual int _UPLOAD_SESSION_OPEN(const std::string& destination, const std::string& login,
                                     const std::string& password, std::uint64_t size) = 0;
    virtual int _UPLOAD_SESSION_WRITE(const char* buffer, std::size_t count,
                                      std::size_t* written) = 0;
    virtual int _SESSION_CLOSE(bool commit) = 0;
    // The picture at the target, decoded; nullptr when it cannot be had.
    virtual std::unique_ptr<CNbxBitmap> _THUMBNAIL(const std::string& target,
                                                   const std::string& login,
                                                   const std::string& password, int width,
                                                   int height);

    void Abort();
    bool IsAborted() const { return aborted_.load(); }

    CNbxComnProgressDlg* progressDlg = nullptr;  // not owned; null: no reports

protected:
    explicit CNbxFileTransferInterface(const char* className) : className_(className) {}

    // The client of the running transfer, known to Abort so that it can wake it.
    class ActiveClient {
    public:
        ActiveClient(CNbxFileTransferInterface& owner, nbx::http::Client& client);
        ~ActiveClient();

    private:
        CNbxFileTransferInterface& owner_;
        nbx::http::Client& client_;
    };

    // Announces a transfer's total to the progress dialog.
    void AnnounceTotal(std::uint64_t total);
    // Counts a block, reports speed and position, and writes the progress record, whose
    // format takes the bytes done, the total and the speed text.
    void ReportBlock(TransferCounters& counters, std::size_t block, const char* recordFormat);
    bool ReportingProgress() { return progressDlg != nullptr && progressDlg->IsProgressWindow(); }

    const char* className_;
    TransferCounters session_counters_;  // of the streaming session

private:
    std::atomic<bool> aborted_{false};
    std::mutex activeMutex_;
    std::vector<nbx::http::Client*> active_;  // guarded by activeMutex_
};
