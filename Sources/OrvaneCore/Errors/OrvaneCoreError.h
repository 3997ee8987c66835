#pragma once
// The utility module's general error: a configuration that cannot be used. Its description is the
// message itself.

#include <stdexcept>
#include <string>

namespace orvane {

class OrvaneCoreError : public std::runtime_error {
public:
    enum class Kind { invalidConfiguration };

    static OrvaneCoreError invalidConfiguration(const std::string& message) {
        return OrvaneCoreError(Kind::invalidConfiguration, message);
    }

    Kind kind() const { return kind_; }
    const std::string& message() const { return message_; }

private:
    OrvaneCoreError(Kind kind, const std::string& message)
        : std::runtime_error(message), kind_(kind), message_(message) {}

    Kind kind_;
    std::string message_;
};

} // namespace orvane
