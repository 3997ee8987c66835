#pragma once
// A half-precision array whose backing buffer cannot be made.

#include <cstddef>
#include <functional>
#include <stdexcept>

namespace orvane {

class MLMultiArrayCreationError : public std::runtime_error {
public:
    enum class Kind { pixelBufferFailed };

    explicit MLMultiArrayCreationError(Kind kind = Kind::pixelBufferFailed);

    Kind kind() const { return kind_; }
    bool operator==(const MLMultiArrayCreationError& other) const { return kind_ == other.kind_; }

private:
    Kind kind_;
};

} // namespace orvane

template <> struct std::hash<orvane::MLMultiArrayCreationError> {
    std::size_t operator()(const orvane::MLMultiArrayCreationError& error) const noexcept {
        return std::hash<int>{}(static_cast<int>(error.kind()));
    }
};
