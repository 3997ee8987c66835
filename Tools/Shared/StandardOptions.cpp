#include "Shared/StandardOptions.h"

#include <iostream>

namespace tools {

std::string versionLine(std::string_view program) {
    return std::string(program) + " " + VELMORA_VERSION;
}

std::optional<int> answerStandardOption(std::string_view program, const std::vector<std::string>& arguments,
                                        std::string_view usage) {
    for (const auto& argument : arguments) {
        if (argument == "--help" || argument == "-h") {
            std::cout << usage << (usage.ends_with('\n') ? "" : "\n") << std::flush;
            return 0;
        }
        if (argument == "--version") {
            std::cout << versionLine(program) << std::endl;
            return 0;
        }
    }
    return std::nullopt;
}

} // namespace tools
