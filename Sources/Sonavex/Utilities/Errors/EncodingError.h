#pragma once
// A record could not be written as JSON: the format has no form for a non-finite number. Nothing is
// written when it is thrown.

#include <stdexcept>
#include <string>

namespace sonavex {

class EncodingError : public std::runtime_error {
public:
    enum class Kind { invalidValue };

    /// "Unable to encode Float.nan directly in JSON." and the like.
    static EncodingError invalidValue(double value);

    Kind kind() const { return kind_; }

private:
    EncodingError(Kind kind, const std::string& message) : std::runtime_error(message), kind_(kind) {}

    Kind kind_;
};

} // namespace sonavex
