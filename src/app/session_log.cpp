#include "app/session_log.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>
#include <atomic>
#include <cerrno>
#include <mutex>

#include "app/control_text.h"
#include "platform/xdg.h"

namespace {

// The process-wide state of the log; the mutex makes write-and-flush one step per record.
std::mutex g_mutex;
int g_fd = -1;
bool g_enabled = false;
std::atomic<int> g_minimumLevel{0};

constexpr const char* kPrefixes[] = {"DEBUG: ", "INFO: ", "WARNING: ", "ERROR: ", "FATAL: "};

}  // namespace

std::string SessionLogPath(const char* fileName) {
    const std::string folder = nbx::xdg::StateDir();
    return folder.empty() ? std::string() : folder + "/" + fileName;
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
    // One record is one line: only its own line end is written as such; every other control
    // character, above all a line feed inside a server's name, is shown escaped. No part of the
    // program writes a record of several lines on purpose.
    std::string_view text = message;
    if (!text.empty() && text.back() == '\n') {
        text.remove_suffix(1);
        if (!text.empty() && text.back() == '\r') {
            text.remove_suffix(1);
        }
    }
    record += ShowControlCharacters(text);
    record += "\r\n";

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
