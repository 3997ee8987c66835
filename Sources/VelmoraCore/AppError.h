#pragma once
// The base of the application core's errors: an enumeration case with a message, like the engine's
// errors. The description is what the panel shows (a Japanese sentence); the textual form is the
// default one, the case name followed by the quoted message: modelsUnavailable("…").

#include <stdexcept>
#include <string>

namespace velmora {

class AppError : public std::runtime_error {
public:
    AppError(std::string caseName, std::string message);

    const std::string& caseName() const { return caseName_; }
    const std::string& message() const { return message_; }

    /// The localized description: the message itself unless a subclass says otherwise.
    virtual std::string description() const;
    /// The case name, "(", the message quoted and escaped as a string literal, ")".
    virtual std::string textualForm() const;

private:
    std::string caseName_;
    std::string message_;
};

} // namespace velmora
