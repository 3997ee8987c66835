// velmoractl: the application core from the command line. `velmoractl GROUP …`; each group is a file
// of its own that registers itself (CommandGroup.h), and the shared output rules are in ToolOutput.h.

#include "CommandGroup.h"
#include "Shared/StandardOptions.h"
#include "ToolOutput.h"

#include <iostream>

namespace {

std::string usage(const std::vector<velmoractl::CommandGroup>& groups) {
    std::string text = "usage:\n";
    for (const auto& group : groups) {
        std::size_t start = 0;
        while (start < group.usage.size()) {
            std::size_t end = group.usage.find('\n', start);
            if (end == std::string::npos) {
                end = group.usage.size();
            }
            text += "  velmoractl " + group.usage.substr(start, end - start) + "\n";
            start = end + 1;
        }
    }
    return text;
}

} // namespace

int main(int argc, char** argv) {
    const auto groups = velmoractl::commandGroups();
    if (argc < 2) {
        std::cerr << usage(groups);
        return velmoractl::exitUsage;
    }
    const std::string name = argv[1];
    for (const auto& group : groups) {
        if (group.name != name) {
            continue;
        }
        const velmoractl::Arguments arguments(argv + 2, argv + argc);
        if (auto status = tools::answerStandardOption("velmoractl", arguments, usage({group}))) {
            return *status;
        }
        try {
            return group.run(arguments);
        } catch (const velmoractl::UsageError& error) {
            std::cerr << "velmoractl: " << error.what() << "\n";
            std::cerr << usage({group});
            return velmoractl::exitUsage;
        } catch (const std::exception& error) {
            velmoractl::printError(error);
            return velmoractl::exitFailure;
        }
    }
    if (auto status = tools::answerStandardOption("velmoractl", velmoractl::Arguments(argv + 1, argv + argc),
                                                  usage(groups))) {
        return *status;
    }
    std::cerr << "velmoractl: unknown command group " << name << "\n" << usage(groups);
    return velmoractl::exitUsage;
}
