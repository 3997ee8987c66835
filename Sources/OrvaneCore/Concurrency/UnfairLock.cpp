#include "OrvaneCore/Concurrency/UnfairLock.h"

#include <stdexcept>

namespace orvane {

void UnfairLock::lock() {
    if (owner_.load(std::memory_order_relaxed) == std::this_thread::get_id()) {
        throw std::logic_error("UnfairLock is not recursive: this thread already holds it");
    }
    mutex_.lock();
    owner_.store(std::this_thread::get_id(), std::memory_order_relaxed);
}

void UnfairLock::unlock() {
    owner_.store(std::thread::id{}, std::memory_order_relaxed);
    mutex_.unlock();
}

} // namespace orvane
