// sonavex json TYPE [FILE|-]: reads a document as one of the engine's records and prints the record's
// own encoding, so stored files can be checked and normalised from the shell.

#include "CommandLine/CommandRegistry.h"
#include "CommandLine/InputFiles.h"
#include "CommandLine/JsonLines.h"
#include "Results/JsonRecords.h"

#include <functional>
#include <map>

namespace sonavex::tool {

namespace {

constexpr const char* kUsage =
    "  sonavex json TYPE [FILE|-]\n"
    "      decodes the document as TYPE and prints its encoding; TYPE is decoding-options, decoding-task,\n"
    "      channel-mode, result, result-struct, segment, word or timings (without FILE the default value\n"
    "      of decoding-options, channel-mode or timings)\n";

int run(CommandLine& commandLine) {
    const std::string type = commandLine.takePositional("TYPE");
    auto file = commandLine.takeOptionalPositional();
    commandLine.finish();

    const JsonRecordType* record = findJsonRecordType(type);
    if (record == nullptr) {
        throw CommandLine::UsageError("unknown TYPE " + type);
    }
    if (!file) {
        if (!record->defaultValue) {
            throw CommandLine::UsageError("TYPE " + type + " has no default value: give FILE or -");
        }
        printJsonLine(record->defaultValue());
        return 0;
    }
    printJsonLine(record->roundTrip(sonavex::json::parseDocument(readInput(*file))));
    return 0;
}

const CommandRegistration registration{{"json", kUsage, &run}};

} // namespace

} // namespace sonavex::tool
