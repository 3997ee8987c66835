// sonavex decode prompt: the opening tokens the decoder fills into a window, for a multilingual decoder or
// an English-only one.

#include "Arguments/OptionsArgument.h"
#include "CommandLine/JsonLines.h"
#include "Decode/DecodeCommands.h"
#include "Models/TokenizerFolder.h"
#include "Sonavex/Core/Constants.h"
#include "Sonavex/Core/Decoding/TextDecoder.h"

namespace sonavex::tool {

int runDecodePrompt(CommandLine& commandLine) {
    const auto folder = commandLine.takeOption("--tokenizer");
    const auto optionsArgument = commandLine.takeOption("--options");
    const bool englishOnly = commandLine.takeFlag("--english-only");
    commandLine.finish();
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

} // namespace sonavex::tool
