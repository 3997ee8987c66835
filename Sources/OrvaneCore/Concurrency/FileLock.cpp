#include "OrvaneCore/Concurrency/FileLock.h"

#include "OrvaneCore/Errors/CancellationError.h"

#include <cerrno>
#include <condition_variable>
#include <fcntl.h>
#include <mutex>
#include <sys/file.h>
#include <system_error>
#include <unistd.h>

namespace orvane {

namespace {

/// Pauses for `interval`; false when `stop` was triggered instead.
bool pause(const std::stop_token& stop, std::chrono::milliseconds interval) {
    std::mutex mutex;
    std::condition_variable_any wake;
    std::unique_lock lock(mutex);
    wake.wait_for(lock, stop, interval, [] { return false; });
    return !stop.stop_requested();
}

} // namespace

FileLock::FileLock(const std::filesystem::path& path, std::stop_token stop,
                   std::chrono::milliseconds pollInterval) {
    if (path.has_parent_path()) {
        std::filesystem::create_directories(path.parent_path());
    }
    file_ = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    if (file_ < 0) {
        throw std::system_error(errno, std::generic_category(), "cannot open the lock file " + path.string());
    }
    // Polled rather than blocking, so that a stop ends the wait.
    while (::flock(file_, LOCK_EX | LOCK_NB) != 0) {
        const int error = errno;
        if (error == EINTR) {
            continue;
        }
        if (error != EWOULDBLOCK || !pause(stop, pollInterval)) {
            ::close(file_);
            if (error != EWOULDBLOCK) {
                throw std::system_error(error, std::generic_category(), "cannot lock " + path.string());
            }
            throw CancellationError();
        }
    }
}

FileLock::~FileLock() {
    ::close(file_); // closing the only descriptor releases the lock
}

} // namespace orvane
