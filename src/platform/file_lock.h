#pragma once

#include <mutex>
#include <string>

namespace nbx {

// A lock shared by every process of the user, held on a lock file with flock(): the kernel drops
// it when the holder dies, so a crashed process never leaves it taken. Like a named mutex it is
// recursive for the thread that holds it, and it also excludes the other threads of this process.
// The lock file is created (0600) on first use and left in place.
class FileLock {
public:
    explicit FileLock(std::string path);
    ~FileLock();
    FileLock(const FileLock&) = delete;
    FileLock& operator=(const FileLock&) = delete;

    // Waits without limit. False only when the lock file cannot be opened.
    bool Lock();
    // False when another process or thread holds it, or the file cannot be opened.
    bool TryLock();
    void Unlock();

    const std::string& Path() const { return path_; }

private:
    bool OpenFile();
    bool TakeFile(bool wait);

    const std::string path_;
    std::recursive_mutex local_;
    int depth_ = 0;  // guarded by local_
    int fd_ = -1;    // guarded by local_
};

class FileLockGuard {
public:
    explicit FileLockGuard(FileLock& lock) : lock_(lock), held_(lock.Lock()) {}
    ~FileLockGuard() {
        if (held_) {
            lock_.Unlock();
        }
    }
    FileLockGuard(const FileLockGuard&) = delete;
    FileLockGuard& operator=(const FileLockGuard&) = delete;
    bool Held() const { return held_; }

private:
    FileLock& lock_;
    const bool held_;
};

}  // namespace nbx
