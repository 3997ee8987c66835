#pragma once
// A value that lives inside a shared, heap-allocated lock: every copy of a Protected sees the same
// value (the engine's model holders use it so a loaded model is visible through every copy).

#include "OrvaneCore/Concurrency/UnfairLock.h"

#include <concepts>
#include <memory>
#include <utility>

namespace orvane {

template <class Value> class Protected {
public:
    Protected() requires std::default_initializable<Value> : Protected(Value{}) {}
    Protected(Value wrappedValue) : storage_(std::make_shared<Storage>(std::move(wrappedValue))) {}

    /// A copy of the value, read under the lock.
    Value get() const {
        return storage_->lock.withLock([&] { return storage_->value; });
    }

    /// Stores a new value under the lock; the old one is released after the lock is dropped.
    void set(Value newValue) {
        storage_->lock.withLock([&] {
            using std::swap;
            swap(storage_->value, newValue);
        });
    }

    /// Read-modify-write as one critical section: `change(Value&)` runs with the lock held.
    /// Thread rule: `change` must not touch this Protected (or a copy of it).
    template <class Change> decltype(auto) modify(Change&& change) {
        return storage_->lock.withLock(
            [&]() -> decltype(auto) { return std::forward<Change>(change)(storage_->value); });
    }

private:
    struct Storage {
        explicit Storage(Value v) : value(std::move(v)) {}
        UnfairLock lock;
        Value value;
    };
    std::shared_ptr<Storage> storage_;
};

} // namespace orvane
