#pragma once
// Reading the files a command is given: a path, or "-" for standard input.

#include <string>

namespace sonavex::tool {

/// The whole contents; throws std::runtime_error naming the path and the system's reason.
std::string readInput(const std::string& path);

} // namespace sonavex::tool
