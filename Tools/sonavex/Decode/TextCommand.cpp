// sonavex text compression-ratio (TEXT | --tokens ID,...): how repetitive a text or a token list is.

#include "Arguments/DecodeArguments.h"
#include "CommandLine/CommandRegistry.h"
#include "CommandLine/JsonLines.h"
#include "Sonavex/Utilities/Transcription/TextUtilities.h"

namespace sonavex::tool {

namespace {

constexpr const char* kUsage =
    "  sonavex text compression-ratio (TEXT | --tokens ID,...)\n"
    "      {\"compressionRatio\"}: raw size over raw-DEFLATE size (UTF-8 bytes of\n"
    "      the text, or 4 bytes per token)\n";

int run(CommandLine& commandLine) {
    const auto tokensArgument = commandLine.takeOption("--tokens");
    const std::string action = commandLine.takePositional("compression-ratio");
    if (action != "compression-ratio") {
        throw CommandLine::UsageError("unknown text command " + action);
    }
    const std::optional<std::string> text = commandLine.takeOptionalPositional();
    commandLine.finish();
    if (text.has_value() == tokensArgument.has_value()) {
        throw CommandLine::UsageError("text compression-ratio needs either TEXT or --tokens ID,...");
    }
    const float ratio = tokensArgument
                            ? TextUtilities::compressionRatio(parseTokenList(*tokensArgument, "--tokens"))
                            : TextUtilities::compressionRatio(*text);
    Json line = Json::object();
    line["compressionRatio"] = json::fromFloat(ratio);
    printJsonLine(line);
    return 0;
}

const CommandRegistration registration{{"text", kUsage, &run}};

} // namespace

} // namespace sonavex::tool
