#pragma once
// One value guarded by its own lock, for the fields of result objects shared between threads.
// Copies share the lock but hold independent values. It encodes and decodes exactly like the bare
// value (nlohmann-json finds `to_json`/`from_json` below), so wrapped fields keep their JSON form.

#include "OrvaneCore/Concurrency/UnfairLock.h"

#include <concepts>
#include <memory>
#include <utility>

namespace orvane {

template <class Value> class PropertyLock {
public:
    PropertyLock() requires std::default_initializable<Value> : PropertyLock(Value{}) {}
    PropertyLock(Value wrappedValue)
        : lock_(std::make_shared<UnfairLock>()), value_(std::move(wrappedValue)) {}

    PropertyLock(const PropertyLock& other) : lock_(other.lock_), value_(other.get()) {}
    PropertyLock(PropertyLock&& other) : lock_(other.lock_), value_(other.take()) {}
    // Assignment replaces the value only; this wrapper keeps its lock so concurrent readers stay guarded.
    PropertyLock& operator=(const PropertyLock& other) {
        if (this != &other) {
            set(other.get());
        }
        return *this;
    }
    PropertyLock& operator=(PropertyLock&& other) {
        if (this != &other) {
            set(other.take());
        }
        return *this;
    }

    /// A copy of the value, read under the lock.
    Value get() const {
        return lock_->withLock([&] { return value_; });
    }

    /// Replaces the value under the lock; the old value is destroyed after the lock is released.
    void set(Value newValue) {
        lock_->withLock([&] {
            using std::swap;
            swap(value_, newValue);
        });
    }

    /// Read-modify-write as one critical section: `change(Value&)` runs with the lock held, so concurrent
    /// modifications never lose each other's updates. Thread rule: `change` must not touch this wrapper.
    template <class Change> decltype(auto) modify(Change&& change) {
        return lock_->withLock([&]() -> decltype(auto) { return std::forward<Change>(change)(value_); });
    }

private:
    Value take() {
        return lock_->withLock([&] { return std::move(value_); });
    }

    std::shared_ptr<UnfairLock> lock_;
    Value value_;
};

template <class Json, class Value> void to_json(Json& json, const PropertyLock<Value>& wrapper) {
    json = wrapper.get();
}

template <class Json, class Value> void from_json(const Json& json, PropertyLock<Value>& wrapper) {
    wrapper.set(json.template get<Value>());
}

} // namespace orvane
