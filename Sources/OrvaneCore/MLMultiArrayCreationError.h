#pragma once
// A half-precision array whose backing buffer cannot be made.

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
