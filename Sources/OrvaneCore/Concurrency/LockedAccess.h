#pragma once
// The plain getter and setter of a field that its owner guards, together with other fields, by one mutex:
// a copy taken under the lock, or a new value stored under it. Accessors that read or change several
// fields at once keep locking the mutex themselves.

#include <mutex>
#include <utility>

namespace orvane {

template <class Value> Value lockedCopy(std::mutex& mutex, const Value& field) {
    std::lock_guard lock(mutex);
    return field;
}

template <class Value, class NewValue> void lockedStore(std::mutex& mutex, Value& field, NewValue&& value) {
    std::lock_guard lock(mutex);
    field = std::forward<NewValue>(value);
}

} // namespace orvane
