#pragma once
// A weak reference that can be handed to other threads: callbacks and tasks reach an object through
// it without keeping that object alive. The reference itself is read and replaced atomically.

#include <atomic>
#include <memory>

namespace orvane {

template <class T> class WeakSendableWrapper {
public:
    explicit WeakSendableWrapper(const std::shared_ptr<T>& value = nullptr)
        : value_(std::weak_ptr<T>(value)) {}

    /// The object while something else keeps it alive, else null.
    std::shared_ptr<T> value() const { return value_.load().lock(); }
    void setValue(const std::shared_ptr<T>& value) { value_.store(std::weak_ptr<T>(value)); }

private:
    std::atomic<std::weak_ptr<T>> value_;
};

} // namespace orvane
