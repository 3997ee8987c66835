#pragma once
// The options every program and every command answers the same way: --help and -h print the usage on
// standard output, --version prints the program's name and the project's version; both exit 0.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tools {

/// "NAME VERSION", the version being the project's.
std::string versionLine(std::string_view program);

/// When `arguments` hold --help, -h or --version (the first one wins), prints the usage (completed with a
/// line feed) or the version line on standard output and returns the exit status 0; none otherwise, and
/// nothing is printed.
std::optional<int> answerStandardOption(std::string_view program, const std::vector<std::string>& arguments,
                                        std::string_view usage);

} // namespace tools
