#pragma once

#include <sys/types.h>
#include <cstdint>
#include <ctime>
#include <string>
#include <vector>

// Whether other programs are using a local file, as the monitor of an opened file asks it.
namespace nbx {

// What is read of a file: enough to tell that it was changed, or replaced by another.
struct FileStatus {
    timespec creation{};  // the birth time where the file system keeps one, else the change time
    timespec modification{};
    timespec access{};
    std::uint64_t size = 0;
    mode_t mode = 0;
    std::uint64_t device = 0;  // with the inode, which file it is
    std::uint64_t inode = 0;
    std::string fullName;
};

// False when the status cannot be read; errno says why.
bool ReadFileStatus(const std::string& path, FileStatus* status);

// True when no process, this one included, has the file open or mapped. Asked through a write
// lease, which the kernel grants only on a file that nobody else has open, and which counts
// every holder: other users', sandboxed ones and mappings without a descriptor. Where leases are
// refused (a file system without them, a file of another owner), the descriptors under
// /proc/*/fd answer instead; they show only processes this user may inspect. A file that
// cannot be opened is asked the same way.
bool FileIsFree(const std::string& path);

// The processes that have a descriptor open on the file, this one included, from /proc/*/fd.
// Processes that this user may not inspect and mappings without a descriptor are not seen.
std::vector<pid_t> ProcessesHoldingFile(const std::string& path);

// Notices that a write of one file has completed: closed after writing, or another file renamed
// onto its name (as editors save), from inotify on its folder, so a replaced file is still seen.
// One thread owns and polls it.
class FileWriteWatch {
public:
    explicit FileWriteWatch(const std::string& path);
    ~FileWriteWatch();
    FileWriteWatch(const FileWriteWatch&) = delete;
    FileWriteWatch& operator=(const FileWriteWatch&) = delete;

    // False when inotify refused the watch (its per-user limits): nothing is ever noticed then.
    bool Active() const { return fd_ >= 0; }
    // True once a write has completed since the watch began. Takes in what has arrived and
    // never waits; a lost event (the queue overflowed) counts as a completed write.
    bool WriteCompleted();

private:
    int fd_ = -1;
    std::string name_;
    bool completed_ = false;
};

}  // namespace nbx
