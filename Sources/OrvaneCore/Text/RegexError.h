#pragma once
// A pattern that does not compile, a replacement template that does not apply, or a search that gave up.

#include <stdexcept>
#include <string>

namespace orvane::text {

class RegexError : public std::runtime_error {
public:
    /// `pattern` is the offending text, `reason` the engine's error name (e.g. "U_REGEX_MISMATCHED_PAREN").
    RegexError(std::string pattern, std::string reason, const std::string& message);

    const std::string& pattern() const { return pattern_; }
    const std::string& reason() const { return reason_; }
    /// True when a search gave up at the matcher's step or stack limit (the expression itself is fine).
    bool searchGaveUp() const;

private:
    std::string pattern_;
    std::string reason_;
};

} // namespace orvane::text
