#pragma once
// A published property of a main-thread object: a value plus the subscribers told after each change.
// Main thread only: it takes no lock, so values and subscriber lists are touched from one thread.

#include <cstdint>
#include <functional>
#include <map>
#include <utility>

namespace velmora {

template <class T> class Observable {
public:
    using Subscriber = std::function<void(const T&)>;
    using SubscriptionId = std::uint64_t;

    explicit Observable(T initial = T{}) : value_(std::move(initial)) {}
    Observable(const Observable&) = delete;
    Observable& operator=(const Observable&) = delete;

    const T& value() const { return value_; }

    /// Stores the value, then tells every subscriber, in subscription order; every write counts as a
    /// change, as a published property announces each assignment. A subscriber removed while others are
    /// being told is not called afterwards; one added meanwhile hears only later changes.
    void set(T newValue) {
        value_ = std::move(newValue);
        const SubscriptionId last = nextId_;
        for (auto it = subscribers_.begin(); it != subscribers_.end() && it->first < last;) {
            const SubscriptionId id = it->first;
            Subscriber subscriber = it->second; // a copy: the subscriber may unsubscribe itself
            subscriber(value_);
            it = subscribers_.upper_bound(id);
        }
    }

    /// Observing does not change the value, so it works on a const property.
    SubscriptionId subscribe(Subscriber subscriber) const {
        const SubscriptionId id = nextId_++;
        subscribers_.emplace(id, std::move(subscriber));
        return id;
    }

    /// Unknown or already removed ids are ignored.
    void unsubscribe(SubscriptionId id) const { subscribers_.erase(id); }

    std::size_t subscriberCount() const { return subscribers_.size(); }

private:
    T value_;
    mutable std::map<SubscriptionId, Subscriber> subscribers_;
    mutable SubscriptionId nextId_ = 0;
};

} // namespace velmora
