#pragma once
// The registration table of velmoractl: each command group lives in its own file and adds itself
// here with a static registration, so a new group is a new file and nothing else changes.
//
//   namespace {
//   int run(const velmoractl::Arguments& arguments) { ... }
//   const bool registered = velmoractl::registerCommandGroup({"settings", "settings show\n...", run});
//   }

#include <functional>
#include <string>
#include <vector>

namespace velmoractl {

using Arguments = std::vector<std::string>;

struct CommandGroup {
    std::string name;
    /// One line per command, without the program name ("settings show").
    std::string usage;
    /// Gets the arguments after the group name; returns the exit status. Throws UsageError for bad
    /// arguments and any other exception for a failure (see ToolOutput.h).
    std::function<int(const Arguments&)> run;
};

/// Returns true so that it can initialise a namespace-scope constant.
bool registerCommandGroup(CommandGroup group);

/// The registered groups, ordered by name.
std::vector<CommandGroup> commandGroups();

} // namespace velmoractl
