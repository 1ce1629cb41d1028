#include "platform/file_lock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>
#include <cerrno>

namespace nbx {

FileLock::FileLock(std::string path) : path_(std::move(path)) {}

FileLock::~FileLock() {
    if (fd_ >= 0) {
        ::close(fd_);  // also releases the lock
    }
}

bool FileLock::OpenFile() {
    if (fd_ < 0) {
        // Close-on-exec: a child holding the descriptor would otherwise hold the lock with it.
        fd_ = ::open(path_.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    }
    return fd_ >= 0;
}

bool FileLock::TakeFile(bool wait) {
    if (!OpenFile()) {
        return false;
    }
    int rc;
    do {
        rc = ::flock(fd_, LOCK_EX | (wait ? 0 : LOCK_NB));
    } while (rc != 0 && errno == EINTR);
    return rc == 0;
}

bool FileLock::Lock() {
    local_.lock();
    if (depth_ == 0 && !TakeFile(true)) {
        local_.unlock();
        return false;
    }
    ++depth_;
    return true;
}

bool FileLock::TryLock() {
    if (!local_.try_lock()) {
        return false;
    }
    if (depth_ == 0 && !TakeFile(false)) {
        local_.unlock();
        return false;
    }
    ++depth_;
    return true;
}

void FileLock::Unlock() {
    if (--depth_ == 0) {
        ::flock(fd_, LOCK_UN);
    }
    local_.unlock();
}

}  // namespace nbx
