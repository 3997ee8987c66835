#pragma once
// `--log debug|info|error|none` (default none): the engine's log messages go to standard error as their
// bare text, one per line, so standard output keeps only results.

#include <string>

namespace sonavex::tool {

/// Sets the engine's log level and routes its messages to standard error; throws
/// CommandLine::UsageError for an unknown level.
void applyLogOption(const std::string& level);

} // namespace sonavex::tool
