#include "platform/file_use.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <unistd.h>
#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdlib>
#include <cstring>

namespace nbx {

namespace {

timespec ToTimespec(const statx_timestamp& t) {
    timespec value{};
    value.tv_sec = t.tv_sec;
    value.tv_nsec = t.tv_nsec;
    return value;
}

bool IsNumber(const char* text) {
    if (*text == '\0') {
        return false;
    }
    for (; *text != '\0'; ++text) {
        if (*text < '0' || *text > '9') {
            return false;
        }
    }
    return true;
}

bool ProcessHolds(const std::string& fdFolder, const std::string& target) {
    DIR* fds = ::opendir(fdFolder.c_str());
    if (fds == nullptr) {
        return false;  // gone, or another user's
    }
    bool holds = false;
    char link[PATH_MAX];
    while (const dirent* entry = ::readdir(fds)) {
        if (entry->d_name[0] == '.') {
            continue;
        }
        // readlink, not stat: stat would reach into the file system of every descriptor, and
        // a hung network mount would hang the caller.
        const ssize_t n = ::readlinkat(::dirfd(fds), entry->d_name, link, sizeof link);
        if (n == static_cast<ssize_t>(target.size()) && std::memcmp(link, target.data(), n) == 0) {
            holds = true;
            break;
        }
    }
    ::closedir(fds);
    return holds;
}

}  // namespace

bool ReadFileStatus(const std::string& path, FileStatus* status) {
    struct statx st {};
    if (::statx(AT_FDCWD, path.c_str(), AT_STATX_SYNC_AS_STAT, STATX_BASIC_STATS | STATX_BTIME,
                &st) != 0) {
        return false;
    }
    status->creation = ToTimespec((st.stx_mask & STATX_BTIME) != 0 ? st.stx_btime : st.stx_ctime);
    status->modification = ToTimespec(st.stx_mtime);
    status->access = ToTimespec(st.stx_atime);
    status->size = st.stx_size;
    status->mode = st.stx_mode;
    status->device = (static_cast<std::uint64_t>(st.stx_dev_major) << 32) | st.stx_dev_minor;
    status->inode = st.stx_ino;
    status->fullName = path;
    return true;
}

std::vector<pid_t> ProcessesHoldingFile(const std::string& path) {
    std::vector<pid_t> holders;
    char resolved[PATH_MAX];
    if (::realpath(path.c_str(), resolved) == nullptr) {
        return holders;
    }
    const std::string target = resolved;
    DIR* proc = ::opendir("/proc");
    if (proc == nullptr) {
        return holders;
    }
    while (const dirent* entry = ::readdir(proc)) {
        if (IsNumber(entry->d_name) &&
            ProcessHolds(std::string("/proc/") + entry->d_name + "/fd", target)) {
            holders.push_back(static_cast<pid_t>(std::atol(entry->d_name)));
        }
    }
    ::closedir(proc);
    return holders;
}

bool FileIsFree(const std::string& path) {
    // O_NONBLOCK: a lease held by another program refuses the open instead of waiting for it.
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOATIME);
    if (fd < 0 && errno == EPERM) {
        fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);  // O_NOATIME: owner only
    }
    if (fd < 0) {
        if (errno == EWOULDBLOCK) {
            return false;
        }
        return ProcessesHoldingFile(path).empty();
    }
    // Someone opening the file in the moment the lease is held breaks it, which the kernel
    // signals to this process: SIGURG is ignored unless handled, the default SIGIO would end it.
    ::fcntl(fd, F_SETSIG, SIGURG);
    const int taken = ::fcntl(fd, F_SETLEASE, F_WRLCK);
    const int error = errno;
    if (taken == 0) {
        ::fcntl(fd, F_SETLEASE, F_UNLCK);
    }
    ::close(fd);
    if (taken == 0) {
        return true;
    }
    if (error == EAGAIN) {
        return false;
    }
    return ProcessesHoldingFile(path).empty();
}

FileWriteWatch::FileWriteWatch(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    const std::string folder = slash == std::string::npos ? "."
                               : slash == 0               ? "/"
                                                          : path.substr(0, slash);
    name_ = slash == std::string::npos ? path : path.substr(slash + 1);
    fd_ = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (fd_ >= 0 &&
        ::inotify_add_watch(fd_, folder.c_str(), IN_CLOSE_WRITE | IN_MOVED_TO | IN_ONLYDIR) < 0) {
        ::close(fd_);
        fd_ = -1;
    }
}

FileWriteWatch::~FileWriteWatch() {
    if (fd_ >= 0) {
        ::close(fd_);
    }
}

bool FileWriteWatch::WriteCompleted() {
    if (fd_ < 0) {
        return completed_;
    }
    alignas(inotify_event) char buffer[4096];
    for (;;) {
        const ssize_t n = ::read(fd_, buffer, sizeof buffer);
        if (n <= 0) {
            break;
        }
        for (ssize_t at = 0; at < n;) {
            const auto* event = reinterpret_cast<const inotify_event*>(buffer + at);
            if ((event->mask & IN_Q_OVERFLOW) != 0 || (event->len > 0 && name_ == event->name)) {
                completed_ = true;
            }
            at += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
        }
    }
    return completed_;
}

}  // namespace nbx
