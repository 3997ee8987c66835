#pragma once
// Fans one producer's states out to any number of subscribers, each reading its own unbounded stream.
// A subscriber first receives the latest state (or the initial state when nothing was broadcast yet),
// then every later state in broadcast order. Thread-safe.

#include "OrvaneCore/Concurrency/Channel.h"
#include "OrvaneCore/System/Uuid.h"

#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <utility>

namespace orvane {

template <class T> class Broadcaster {
public:
    using Stream = std::shared_ptr<Channel<T>>;

    /// `initialState` is asked only when a subscriber arrives before the first broadcast.
    explicit Broadcaster(std::function<std::optional<T>()> initialState)
        : initialState_(std::move(initialState)) {}

    /// Subscribers still reading see the end of their stream instead of waiting for ever.
    ~Broadcaster() {
        for (auto& [id, subscriber] : continuations_) {
            if (auto stream = subscriber.lock()) {
                stream->close();
            }
        }
    }

    Broadcaster(const Broadcaster&) = delete;
    Broadcaster& operator=(const Broadcaster&) = delete;

    /// Records the state as the latest and delivers it to every subscriber.
    void broadcast(T state) {
        std::lock_guard lock(mutex_);
        latestState_ = state;
        // Delivery happens under the lock, so every subscriber sees the same order and no newer state
        // can overtake a subscriber's first one.
        for (auto it = continuations_.begin(); it != continuations_.end();) {
            if (auto stream = it->second.lock()) {
                stream->push(state);
                ++it;
            } else {
                // The subscriber dropped its stream: that ends its subscription.
                it = continuations_.erase(it);
            }
        }
    }

    /// A new stream whose first item is already in it when this returns.
    Stream subscribe() {
        auto stream = std::make_shared<Channel<T>>();
        std::optional<T> initial;
        {
            std::lock_guard lock(mutex_);
            if (latestState_) {
                return registerLocked(stream, *latestState_);
            }
        }
        // The initial-state function is the caller's code: never run it under the lock.
        if (initialState_) {
            initial = initialState_();
        }
        std::lock_guard lock(mutex_);
        if (latestState_) {
            return registerLocked(stream, *latestState_);
        }
        if (initial) {
            return registerLocked(stream, *initial);
        }
        continuations_.emplace(Uuid(), stream);
        return stream;
    }

    std::optional<T> latestState() const {
        std::lock_guard lock(mutex_);
        return latestState_;
    }

    /// Subscribers whose stream is still held by someone.
    std::size_t subscriberCount() const {
        std::lock_guard lock(mutex_);
        std::size_t count = 0;
        for (const auto& [id, subscriber] : continuations_) {
            count += subscriber.expired() ? 0 : 1;
        }
        return count;
    }

private:
    Stream registerLocked(const Stream& stream, const T& first) {
        stream->push(first);
        continuations_.emplace(Uuid(), stream);
        return stream;
    }

    std::function<std::optional<T>()> initialState_;
    mutable std::mutex mutex_;
    std::optional<T> latestState_;
    std::map<Uuid, std::weak_ptr<Channel<T>>> continuations_;
};

} // namespace orvane
