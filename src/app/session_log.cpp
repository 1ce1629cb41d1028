#include "app/session_log.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>
#include <atomic>
#include <cerrno>
#include <mutex>

#include "platform/xdg.h"

namespace {

// The process-wide state of the log; the mutex makes write-and-flush one step per record.
std::mutex g_mutex;
int g_fd = -1;
bool g_enabled = false;
std::atomic<int> g_minimumLevel{0};

constexpr const char* kPrefixes[] = {"DEBUG: ", "INFO: ", "WARNING: ", "ERROR: ", "FATAL: "};

}  // namespace

std::string SessionLogPath() {
    const std::string folder = nbx::xdg::StateDir();
    return folder.empty() ? std::string() : folder + "/" + kSessionLogFileName;
}

bool OpenSessionLog(const std::string& path) {
    std::lock_guard lock(g_mutex);
    if (g_fd >= 0 || path.empty()) {
        return false;
    }
    // Opened without O_TRUNC: the lock has to be ours before the previous contents go.
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0600);
    if (fd < 0) {
        return false;
    }
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0 || ::ftruncate(fd, 0) != 0) {
        ::close(fd);
        return false;
    }
    g_fd = fd;
    g_enabled = true;
    g_minimumLevel = 0;
    return true;
}

void SetMinimumLogLevel(int level) {
    g_minimumLevel = level;
}

void WriteLog(int level, std::string_view message) {
    if (level < g_minimumLevel) {
        return;
    }
    std::string record;
    record.reserve(message.size() + 16);
    if (level >= LogLevel::Debug && level <= LogLevel::Fatal) {
        record += kPrefixes[level];
    }
    // Line feeds become CR LF; a CR LF the caller wrote already stays as it is.
    for (std::size_t i = 0; i < message.size(); ++i) {
        if (message[i] == '\n' && (i == 0 || message[i - 1] != '\r')) {
            record += '\r';
        }
        record += message[i];
    }
    if (message.empty() || message.back() != '\n') {
        record += "\r\n";
    }

    std::lock_guard lock(g_mutex);
    if (!g_enabled || g_fd < 0) {
        return;
    }
    const char* data = record.data();
    std::size_t left = record.size();
    while (left > 0) {
        const ssize_t n = ::write(g_fd, data, left);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            return;  // a full disk loses the record, never the caller
        }
        data += n;
        left -= static_cast<std::size_t>(n);
    }
}

void CloseSessionLog() {
    std::lock_guard lock(g_mutex);
    if (g_fd >= 0) {
        ::fsync(g_fd);
        ::close(g_fd);
        g_fd = -1;
    }
}
