#pragma once
// The "pattern" of a split configuration: a literal ("String") or a regular expression ("Regex").

#include <optional>
#include <string>

namespace orvane {

class Config;

struct StringSplitPattern {
    enum class Kind { regexp, string };
    Kind kind;
    std::string pattern;

    /// From the configuration's "pattern" object: its "String" member when that is a string (it wins),
    /// else its "Regex" member when that is a string, else none.
    static std::optional<StringSplitPattern> from(const Config& config);

    friend bool operator==(const StringSplitPattern&, const StringSplitPattern&) = default;
};

} // namespace orvane
