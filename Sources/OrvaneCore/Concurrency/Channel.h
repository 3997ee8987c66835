#pragma once
// An unbounded, thread-safe queue that one side fills and closes and the other side drains: the
// asynchronous streams of the downloader are built on it. Items pushed before `close()` are still
// delivered; after that, `pop` reports the end with an empty optional.

#include "OrvaneCore/Errors/CancellationError.h"

#include <condition_variable>
#include <deque>
#include <mutex>
#include <optional>
#include <stop_token>
#include <utility>

namespace orvane {

template <class T> class Channel {
public:
    Channel() = default;
    Channel(const Channel&) = delete;
    Channel& operator=(const Channel&) = delete;

    /// Appends an item; returns false (and drops the item) when the channel is already closed.
    bool push(T item) {
        {
            std::lock_guard lock(mutex_);
            if (closed_) {
                return false;
            }
            items_.push_back(std::move(item));
        }
        ready_.notify_one();
        return true;
    }

    /// Ends the stream: waiting and later pops get the remaining items, then an empty optional.
    void close() {
        {
            std::lock_guard lock(mutex_);
            closed_ = true;
        }
        ready_.notify_all();
    }

    bool isClosed() const {
        std::lock_guard lock(mutex_);
        return closed_;
    }

    /// Blocks until an item arrives (returned) or the channel is closed and drained (empty optional).
    std::optional<T> pop() { return pop(std::stop_token{}); }

    /// As `pop()`, but throws CancellationError when a stop is requested while it waits.
    std::optional<T> pop(std::stop_token token) {
        std::unique_lock lock(mutex_);
        if (!ready_.wait(lock, token, [&] { return !items_.empty() || closed_; })) {
            throw CancellationError();
        }
        return takeFront();
    }

    /// The next item if one is waiting, without blocking.
    std::optional<T> tryPop() {
        std::lock_guard lock(mutex_);
        return takeFront();
    }

private:
    std::optional<T> takeFront() {
        if (items_.empty()) {
            return std::nullopt;
        }
        std::optional<T> item(std::move(items_.front()));
        items_.pop_front();
        return item;
    }

    mutable std::mutex mutex_;
    std::condition_variable_any ready_;
    std::deque<T> items_;
    bool closed_ = false;
};

} // namespace orvane
