#pragma once
// A pattern that does not compile, or a replacement template that does not apply.

#include <stdexcept>
#include <string>

namespace orvane::text {

class RegexError : public std::runtime_error {
public:
    /// `pattern` is the offending text, `reason` the engine's error name (e.g. "U_REGEX_MISMATCHED_PAREN").
    RegexError(std::string pattern, std::string reason, const std::string& message);

    const std::string& pattern() const { return pattern_; }
    const std::string& reason() const { return reason_; }

private:
    std::string pattern_;
    std::string reason_;
};

} // namespace orvane::text
