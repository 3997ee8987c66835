#pragma once
// The command groups of the tool (`sonavex GROUP …`). Each group lives in its own file and registers
// itself with a file-scope CommandRegistration, so adding a group never means editing another file.

#include "CommandLine/CommandLine.h"

#include <functional>
#include <string>
#include <vector>

namespace sonavex::tool {

struct Command {
    /// The first argument that selects the group, e.g. "json".
    std::string name;
    /// The group's usage lines, each starting with "sonavex NAME", ending with a line feed.
    std::string usage;
    /// Runs the group on the arguments after its name and returns the exit status. A CommandLine::UsageError
    /// exits 2 with the usage; any other exception becomes the error line and exit 1.
    std::function<int(CommandLine&)> run;
};

class CommandRegistry {
public:
    static void add(Command command);
    /// Null for a name no group has.
    static const Command* find(const std::string& name);
    /// Every group, ordered by name.
    static std::vector<const Command*> all();
};

/// `static const CommandRegistration registration{{"json", kUsage, &runJson}};` at file scope.
struct CommandRegistration {
    explicit CommandRegistration(Command command) { CommandRegistry::add(std::move(command)); }
};

} // namespace sonavex::tool
