#include "CommandLine/LogOption.h"

#include "CommandLine/CommandLine.h"
#include "OrvaneCore/Logging/Logging.h"

#include <iostream>

namespace sonavex::tool {

void applyLogOption(const std::string& level) {
    using orvane::Logging;
    Logging::LogLevel chosen;
    if (level == "debug") {
        chosen = Logging::LogLevel::debug;
    } else if (level == "info") {
        chosen = Logging::LogLevel::info;
    } else if (level == "error") {
        chosen = Logging::LogLevel::error;
    } else if (level == "none") {
        chosen = Logging::LogLevel::none;
    } else {
        throw CommandLine::UsageError("--log takes debug, info, error or none, not " + level);
    }
    Logging::updateLogLevel(chosen);
    Logging::updateCallback([](const std::string& message) { std::cerr << message << '\n' << std::flush; });
}

} // namespace sonavex::tool
