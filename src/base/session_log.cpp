#include "base/session_log.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>
#include <atomic>
#include <cerrno>
#include <mutex>

#include "base/control_text.h"
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

namespace {

std::string_view WithoutLineEnd(std::string_view text) {
    if (!text.empty() && text.back() == '\n') {
        text.remove_suffix(1);
        if (!text.empty() && text.back() == '\r') {
            text.remove_suffix(1);
        }
    }
    return text;
}

void Write(int level, std::string_view message, bool lines) {
    if (level < g_minimumLevel) {
        return;
    }
    std::string record;
    record.reserve(message.size() + 16);
    if (level >= LogLevel::Debug && level <= LogLevel::Fatal) {
        record += kPrefixes[level];
    }
    // One record is one line: only its own line end is written as such; every other control
    // character, above all a line feed inside a server's name, is shown escaped. A record of
    // lines keeps its line breaks, and its later lines are indented, so that none of them
    // (a server's header line "ERROR: ..." among them) reads as a record of its own.
    std::string_view text = WithoutLineEnd(message);
    if (!lines) {
        record += ShowControlCharacters(text);
    } else {
        while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) {
            text.remove_suffix(1);  // a block's empty lines at its end
        }
        for (bool first = true;; first = false) {
            const std::size_t end = text.find('\n');
            std::string_view line = text.substr(0, end);
            if (!line.empty() && line.back() == '\r') {
                line.remove_suffix(1);
            }
            record += first ? "" : "\r\n  ";
            record += ShowControlCharacters(line);
            if (end == std::string_view::npos) {
                break;
            }
            text.remove_prefix(end + 1);
        }
    }
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

}  // namespace

void WriteLog(int level, std::string_view message) {
    Write(level, message, false);
}

void WriteLogLines(int level, std::string_view message) {
    Write(level, message, true);
}

void CloseSessionLog() {
    std::lock_guard lock(g_mutex);
    if (g_fd >= 0) {
        ::fsync(g_fd);
        ::close(g_fd);
        g_fd = -1;
    }
}
