#pragma once
// An exclusive lock on a lock file, shared by every thread and process that opens the same file: while
// one holder has it, the others wait. Released when the object goes.

#include <chrono>
#include <filesystem>
#include <stop_token>

namespace orvane {

class FileLock {
public:
    /// Opens `path` (creating it and its folder when needed) and waits until the lock is this object's.
    /// Throws CancellationError when `stop` is triggered while waiting, std::system_error or
    /// std::filesystem::filesystem_error when the file cannot be made or locked.
    explicit FileLock(const std::filesystem::path& path, std::stop_token stop = {},
                      std::chrono::milliseconds pollInterval = std::chrono::milliseconds(50));
    ~FileLock();
    FileLock(const FileLock&) = delete;
    FileLock& operator=(const FileLock&) = delete;

private:
    int file_ = -1;
};

} // namespace orvane
