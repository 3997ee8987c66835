#pragma once
// Reading a command's arguments: "--name VALUE" options, "--name" flags and positional words.

#include "CommandGroup.h"
#include "ToolOutput.h"

#include <charconv>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace velmoractl {

class CommandLine {
public:
    /// Splits `arguments` into the options named in `optionNames` (each taking one value, each at most
    /// once), the flags named in `flagNames` (no value, at most once) and positional words. An unknown
    /// "--" word or a missing value is a UsageError.
    CommandLine(const Arguments& arguments, const std::set<std::string>& optionNames,
                const std::set<std::string>& flagNames = {});

    std::optional<std::string> option(const std::string& name) const;
    /// UsageError when absent.
    std::string requiredOption(const std::string& name) const;
    const std::vector<std::string>& positional() const { return positional_; }
    bool flag(const std::string& name) const { return flags_.contains(name); }

private:
    std::map<std::string, std::string> options_;
    std::vector<std::string> positional_;
    std::set<std::string> flags_;
};

/// `text` as a finite 32-bit float; a UsageError naming `name` otherwise.
float finiteFloat(const std::string& name, const std::string& text);

/// `text` as a 32-bit float from `lowest` to `highest`; a UsageError naming `name` and the range otherwise.
float floatInRange(const std::string& name, const std::string& text, float lowest, float highest);

/// A threshold as the settings window's slider offers one (0.005 to 0.1).
float vadThresholdArgument(const std::string& name, const std::string& text);

/// `text` as a whole number or decimal of type Number; a UsageError naming `name` otherwise.
template <class Number> Number parseNumber(const std::string& name, const std::string& text) {
    Number value{};
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size()) {
        throw UsageError(name + " needs a number, not \"" + text + "\"");
    }
    return value;
}

} // namespace velmoractl
