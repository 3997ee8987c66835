// sonavex decode prompt --tokenizer DIR [--options O] [--english-only]: the opening tokens the decoder
// fills into a window, for a multilingual decoder or an English-only one.

#include "CommandRegistry.h"
#include "JsonLines.h"
#include "OptionsArgument.h"
#include "Sonavex/Core/Constants.h"
#include "Sonavex/Core/Decoding/TextDecoder.h"
#include "TokenizerFolder.h"

namespace sonavex::tool {

namespace {

constexpr const char* kUsage =
    "  sonavex decode prompt --tokenizer DIR [--options O] [--english-only]\n"
    "      {\"prompt\"}: the window's opening token ids; without --options, the prompt of no options\n"
    "      (start of transcript alone); O is a file or JSON text starting with \"{\"\n";

int run(CommandLine& commandLine) {
    const auto folder = commandLine.takeOption("--tokenizer");
    const auto optionsArgument = commandLine.takeOption("--options");
    const bool englishOnly = commandLine.takeFlag("--english-only");
    const std::string action = commandLine.takePositional("prompt");
    commandLine.finish();
    if (action != "prompt") {
        throw CommandLine::UsageError("unknown decode command " + action);
    }
    if (!folder) {
        throw CommandLine::UsageError("decode prompt needs --tokenizer DIR");
    }
    const std::optional<DecodingOptions> options =
        optionsArgument ? std::optional(decodingOptionsFromArgument(*optionsArgument)) : std::nullopt;

    TextDecoder decoder;
    decoder.setTokenizer(loadTokenizerFolder(*folder));
    decoder.setIsModelMultilingual(!englishOnly);
    // The prompt needs no model: state of the smallest size the engine's windows fit.
    const auto inputs = DecodingInputs::make({}, 1, Constants::maxTokenContext, 1);
    decoder.prefillDecoderInputs(*inputs, options);

    Json line = Json::object();
    line["prompt"] = inputs->initialPrompt;
    printJsonLine(line);
    return 0;
}

const CommandRegistration registration{{"decode", kUsage, &run}};

} // namespace

} // namespace sonavex::tool
