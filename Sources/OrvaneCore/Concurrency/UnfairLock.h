#pragma once
// A plain, non-recursive mutual-exclusion lock with a scoped `withLock`. Taking it again on the thread
// that already holds it throws instead of deadlocking, so a misuse shows up at once.

#include <atomic>
#include <mutex>
#include <thread>
#include <utility>

namespace orvane {

class UnfairLock {
public:
    UnfairLock() = default;
    UnfairLock(const UnfairLock&) = delete;
    UnfairLock& operator=(const UnfairLock&) = delete;

    /// Runs `body` with the lock held and returns its result; the lock is released also when it throws.
    /// Thread rule: `body` must not take this lock again.
    template <class Body> decltype(auto) withLock(Body&& body) {
        std::lock_guard<UnfairLock> guard(*this);
        return std::forward<Body>(body)();
    }

    /// BasicLockable, so the lock also works with std::lock_guard and std::unique_lock.
    void lock();
    void unlock();

private:
    std::mutex mutex_;
    // Only the holder ever writes its own id here, so a thread that reads its own id holds the lock.
    std::atomic<std::thread::id> owner_{};
};

} // namespace orvane
