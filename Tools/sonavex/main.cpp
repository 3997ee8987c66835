// sonavex GROUP …: the speech engine from the command line. Each command group lives in its own file
// and registers itself (CommandRegistry); this file only reads the options every group shares and
// dispatches. Results go to standard output as JSON lines; a failure prints {"error", "message"} there
// and exits 1; a usage error exits 2 with the usage on standard error.

#include "CommandLine/CommandLine.h"
#include "CommandLine/CommandRegistry.h"
#include "CommandLine/JsonLines.h"
#include "CommandLine/LogOption.h"
#include "Shared/StandardOptions.h"

#include <iostream>
#include <string>
#include <vector>

namespace {

using sonavex::tool::CommandLine;
using sonavex::tool::CommandRegistry;

constexpr const char* kCommonUsage =
    "Every command takes --log debug|info|error|none (default none): engine log\n"
    "messages on standard error.\n";

std::string usage() {
    std::string text = "usage:\n";
    for (const auto* command : CommandRegistry::all()) {
        text += command->usage;
    }
    return text + kCommonUsage;
}

} // namespace

int main(int argc, char** argv) {
    std::vector<std::string> arguments(argv + 1, argv + argc);
    if (arguments.empty()) {
        std::cerr << usage();
        return 2;
    }
    const auto* command = CommandRegistry::find(arguments.front());
    if (command == nullptr) {
        if (auto status = tools::answerStandardOption("sonavex", arguments, usage())) {
            return *status;
        }
        std::cerr << "sonavex: unknown command " << arguments.front() << "\n" << usage();
        return 2;
    }
    if (auto status =
            tools::answerStandardOption("sonavex", arguments, "usage:\n" + command->usage + kCommonUsage)) {
        return *status;
    }
    CommandLine commandLine(std::vector<std::string>(arguments.begin() + 1, arguments.end()));
    try {
        sonavex::tool::applyLogOption(commandLine.takeOption("--log").value_or("none"));
        return command->run(commandLine);
    } catch (const CommandLine::UsageError& error) {
        std::cerr << "sonavex " << command->name << ": " << error.what() << "\nusage:\n"
                  << command->usage << kCommonUsage;
        return 2;
    } catch (...) {
        sonavex::tool::printJsonLine(sonavex::tool::errorLine(std::current_exception()));
        return 1;
    }
}
