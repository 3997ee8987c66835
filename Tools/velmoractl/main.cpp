// velmoractl: the application core from the command line. `velmoractl GROUP …`; each group is a file
// of its own that registers itself (CommandGroup.h), and the shared output rules are in ToolOutput.h.

#include "CommandGroup.h"
#include "ToolOutput.h"

#include <iostream>

namespace {

void printUsage(const std::vector<velmoractl::CommandGroup>& groups) {
    std::cerr << "usage:\n";
    for (const auto& group : groups) {
        std::size_t start = 0;
        while (start < group.usage.size()) {
            std::size_t end = group.usage.find('\n', start);
            if (end == std::string::npos) {
                end = group.usage.size();
            }
            std::cerr << "  velmoractl " << group.usage.substr(start, end - start) << "\n";
            start = end + 1;
        }
    }
}

} // namespace

int main(int argc, char** argv) {
    const auto groups = velmoractl::commandGroups();
    if (argc < 2) {
        printUsage(groups);
        return velmoractl::exitUsage;
    }
    const std::string name = argv[1];
    for (const auto& group : groups) {
        if (group.name != name) {
            continue;
        }
        try {
            return group.run(velmoractl::Arguments(argv + 2, argv + argc));
        } catch (const velmoractl::UsageError& error) {
            std::cerr << "velmoractl: " << error.what() << "\n";
            printUsage({group});
            return velmoractl::exitUsage;
        } catch (const std::exception& error) {
            velmoractl::printError(error);
            return velmoractl::exitFailure;
        }
    }
    std::cerr << "velmoractl: unknown command group " << name << "\n";
    printUsage(groups);
    return velmoractl::exitUsage;
}
