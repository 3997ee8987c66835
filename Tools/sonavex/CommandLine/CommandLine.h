#pragma once
// The arguments of one command group, taken apart by name: flags and options may stand anywhere among
// the positional arguments. A command takes what it knows, then calls finish(), which refuses anything
// left over, so a mistyped flag is a usage error instead of being ignored. Take flags and options before
// positionals: until an option is taken, its value looks like a positional argument.

#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace sonavex::tool {

class CommandLine {
public:
    /// Wrong arguments: the tool prints the message and the group's usage to standard error, exits 2.
    class UsageError : public std::runtime_error {
    public:
        using std::runtime_error::runtime_error;
    };

    explicit CommandLine(std::vector<std::string> arguments);

    /// True when `--name` is present (and removes it).
    bool takeFlag(const std::string& name);
    /// The value after the last `--name` (or of `--name=value`); absent when the option is not given.
    std::optional<std::string> takeOption(const std::string& name);
    /// The values of every `--name`, in order.
    std::vector<std::string> takeOptions(const std::string& name);

    /// The next positional argument; a usage error naming `what` when none is left.
    std::string takePositional(const std::string& what);
    /// The next positional argument, if any.
    std::optional<std::string> takeOptionalPositional();
    /// All remaining positional arguments.
    std::vector<std::string> takeRemainingPositionals();

    /// Refuses every argument not taken (an unknown option or an extra positional).
    void finish() const;

private:
    std::vector<std::string> arguments_;
    std::vector<bool> taken_;
};

} // namespace sonavex::tool
