#include "remotefs/ft_interface.h"

#include <atomic>
#include <cstdio>
#include <vector>

#include "base/session_log.h"
#include "platform/format.h"

using nbx::StrPrintf;

namespace {

std::atomic<IImageDecoder*> g_decoder{nullptr};

constexpr std::size_t kThumbnailBlock = 20000;

}  // namespace

void SetImageDecoder(IImageDecoder* decoder) {
    g_decoder = decoder;
}
IImageDecoder* GetImageDecoder() {
    return g_decoder;
}

std::string FormatSpeed(float bytesPerSecond) {
    static constexpr const char* kUnits[] = {"%.2f B/s", "%.2f KB/s", "%.2f MB/s", "%.2f TB/s"};
    float x = bytesPerSecond;
    int unit = 0;
    while (unit < 3 && (x > 700 || x / 1024 > 1)) {
        x /= 1024;
        ++unit;
    }
    char text[64];
    std::snprintf(text, sizeof text, kUnits[unit], static_cast<double>(x));
    return text;
}

std::int64_t TickCount() {
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count() + 1;
}

CNbxFileTransferInterface::~CNbxFileTransferInterface() = default;

CNbxFileTransferInterface::ActiveClient::ActiveClient(CNbxFileTransferInterface& owner,
                                                      nbx::http::Client& client)
    : owner_(owner), client_(client) {
    std::lock_guard lock(owner_.activeMutex_);
    owner_.active_.push_back(&client);
    if (owner_.IsAborted()) {
        client.Abort();
    }
}

CNbxFileTransferInterface::ActiveClient::~ActiveClient() {
    // Only this client goes: a session's client stays known while whole-file calls come and go
    // beside it, and a new session's while the one it replaces is torn down.
    std::lock_guard lock(owner_.activeMutex_);
    std::erase(owner_.active_, &client_);
}

void CNbxFileTransferInterface::Abort() {
    WriteLog(LogLevel::Info, "CNbxFileTransferInterface::Abort() invoked...");
    aborted_.store(true);
    std::lock_guard lock(activeMutex_);
    for (nbx::http::Client* client : active_) {
        client->Abort();
    }
}

void CNbxFileTransferInterface::AnnounceTotal(std::uint64_t total) {
    if (ReportingProgress()) {
        progressDlg->SetFileRange(total);
        progressDlg->SetFilePos(0);
        progressDlg->SetSpeedText("N/A");
    }
}

void CNbxFileTransferInterface::ReportBlock(TransferCounters& c, std::size_t block,
                                            const char* recordFormat) {
    c.done += block;
    c.windowBytes += block;
    const std::int64_t now = TickCount();
    if (c.windowStart == 0) {
        c.windowStart = now;
    }
    const std::int64_t elapsed = now - c.windowStart;
    // A window of 0 ms has no meaningful speed yet: show it as the bytes of that instant.
    const float seconds = elapsed > 0 ? static_cast<float>(elapsed) / 1000.0f : 1.0f;
    const std::string speed = FormatSpeed(static_cast<float>(c.windowBytes) / seconds);
    if (elapsed >= 500) {
        c.windowStart = now;
        c.windowBytes = 0;
        if (ReportingProgress()) {
            progressDlg->SetSpeedText(speed);
        }
    }
    c.lastTick = now;
    WriteLog(LogLevel::Debug, StrPrintf(recordFormat, static_cast<unsigned long long>(c.done),
                                        static_cast<unsigned long long>(c.total), speed.c_str()));
    if (ReportingProgress()) {
        progressDlg->SetFilePos(c.done);
    }
}

int CNbxFileTransferInterface::_CHECK_ONLINE(const std::string& target, const std::string& login,
                                             const std::string& password) {
    WriteLog(LogLevel::Info, "CNbxFileTransferInterface::_CHECK_ONLINE() invoked...");
    return _DOWNLOAD(target, std::string(), login, password, true);
}

int CNbxFileTransferInterface::_EXIST(const std::string& target, const std::string& login,
                                      const std::string& password) {
    WriteLog(LogLevel::Info,
             StrPrintf("CNbxFileTransferInterface::_EXIST() with arg: \"%s\" invoked...",
                       target.c_str()));
    const bool slash = !target.empty() && target.back() == '/';
    const std::string folder = slash ? target : target + "/";
    const std::string file = slash ? target.substr(0, target.size() - 1) : target;
    if (_DOWNLOAD(folder, std::string(), login, password, true) == FtResult::kOk ||
        _DOWNLOAD(file, std::string(), login, password, true) == FtResult::kOk) {
        return FtResult::kOk;
    }
    return FtResult::kRefused;
}

std::unique_ptr<CNbxBitmap> CNbxFileTransferInterface::_THUMBNAIL(const std::string& target,
                                                                  const std::string& login,
                                                                  const std::string& password,
                                                                  int /*width*/, int /*height*/) {
    progressDlg = nullptr;
    std::uint64_t total = 0;
    if (_DOWNLOAD_SESSION_OPEN(target, login, password, &total) != FtResult::kOk) {
        _SESSION_CLOSE(false);
        return nullptr;
    }
    // A thumbnail is small; an answer that says otherwise is not one.
    constexpr std::uint64_t kMaxThumbnail = 64ull << 20;
    if (total > kMaxThumbnail) {
        _SESSION_CLOSE(false);
        return nullptr;
    }
    std::vector<unsigned char> data(static_cast<std::size_t>(total));
    std::size_t filled = 0;
    while (filled < data.size()) {
        const std::size_t want = std::min(kThumbnailBlock, data.size() - filled);
        std::size_t got = 0;
        if (_DOWNLOAD_SESSION_READ(reinterpret_cast<char*>(data.data() + filled), want, &got) !=
            FtResult::kOk) {
            _SESSION_CLOSE(false);
            return nullptr;
        }
        filled += got;
        if (got < kThumbnailBlock) {
            break;
        }
    }
    _SESSION_CLOSE(false);
    IImageDecoder* decoder = GetImageDecoder();
    if (decoder == nullptr || filled == 0) {
        return nullptr;
    }
    return decoder->Decode(data.data(), filled);
}
