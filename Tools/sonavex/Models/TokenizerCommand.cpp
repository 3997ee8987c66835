// sonavex tokenizer (--folder DIR | --variant V [--tokenizer-folder DIR] [--search DIR]…) special | split
// ID,… | decode ID,…: the engine's tokenizer, loaded from a folder or found for a model size as the engine
// finds it (local folders first, else the model hub).

#include "CommandLine/CommandRegistry.h"
#include "CommandLine/JsonLines.h"
#include "CommandLine/NumberArguments.h"
#include "CommandLine/StandardOutputToError.h"
#include "Models/TokenizerFolder.h"
#include "Sonavex/Core/Tokenizer/WhisperTokenizerWrapper.h"
#include "Sonavex/Utilities/Models/ModelUtilities.h"

#include <climits>

namespace sonavex::tool {

namespace {

constexpr const char* kUsage =
    "  sonavex tokenizer (--folder DIR | --variant V [--tokenizer-folder DIR] [--search DIR]...) COMMAND\n"
    "      COMMAND: special                {\"specialTokens\", \"allLanguageTokens\", \"folder\"}\n"
    "               split ID,...           {\"words\", \"wordTokens\"}\n"
    "               decode ID,...          {\"text\"}\n"
    "      V is a model size as the engine names it: tiny, tiny.en, ..., large-v2, large-v3\n";

ModelVariant variantNamed(const std::string& name) {
    for (ModelVariant variant : allModelVariants) {
        if (description(variant) == name) {
            return variant;
        }
    }
    throw CommandLine::UsageError("--variant takes a model size such as tiny, base.en or large-v3, not " + name);
}

std::shared_ptr<const WhisperTokenizerWrapper> loadTokenizer(CommandLine& commandLine) {
    const auto folder = commandLine.takeOption("--folder");
    const auto variant = commandLine.takeOption("--variant");
    const auto tokenizerFolder = commandLine.takeOption("--tokenizer-folder");
    const auto searches = commandLine.takeOptions("--search");
    if (folder.has_value() == variant.has_value()) {
        throw CommandLine::UsageError("give one of --folder and --variant");
    }
    if (folder && (tokenizerFolder || !searches.empty())) {
        throw CommandLine::UsageError("--tokenizer-folder and --search go with --variant");
    }
    if (folder) {
        return loadTokenizerFolder(*folder);
    }
    StandardOutputToError quiet;
    const ModelVariant size = variantNamed(*variant);
    const std::vector<std::filesystem::path> paths(searches.begin(), searches.end());
    return std::static_pointer_cast<const WhisperTokenizerWrapper>(ModelUtilities::loadTokenizer(
        size, tokenizerFolder ? std::optional<std::filesystem::path>(*tokenizerFolder) : std::nullopt, paths));
}

std::vector<int> tokenIds(const std::string& list) {
    std::vector<int> ids;
    for (const std::string& item : splitList(list, "ID,...")) {
        const int64_t id = parseIntArgument(item, "ID");
        if (id < INT_MIN || id > INT_MAX) {
            throw CommandLine::UsageError("token id out of range: " + item);
        }
        ids.push_back(static_cast<int>(id));
    }
    return ids;
}

Json specialTokensJson(const SpecialTokens& tokens) {
    Json json = Json::object();
    json["endToken"] = tokens.endToken;
    json["englishToken"] = tokens.englishToken;
    json["noSpeechToken"] = tokens.noSpeechToken;
    json["noTimestampsToken"] = tokens.noTimestampsToken;
    json["specialTokenBegin"] = tokens.specialTokenBegin;
    json["startOfPreviousToken"] = tokens.startOfPreviousToken;
    json["startOfTranscriptToken"] = tokens.startOfTranscriptToken;
    json["timeTokenBegin"] = tokens.timeTokenBegin;
    json["transcribeToken"] = tokens.transcribeToken;
    json["translateToken"] = tokens.translateToken;
    json["whitespaceToken"] = tokens.whitespaceToken;
    return json;
}

int run(CommandLine& commandLine) {
    const auto tokenizer = loadTokenizer(commandLine);
    const std::string action = commandLine.takePositional("special, split or decode");
    Json line = Json::object();
    if (action == "special") {
        commandLine.finish();
        line["specialTokens"] = specialTokensJson(tokenizer->specialTokens());
        line["allLanguageTokens"] = tokenizer->allLanguageTokens(); // a set: ascending
        line["folder"] = tokenizer->tokenizerFolder() ? Json(tokenizer->tokenizerFolder()->string()) : Json();
    } else if (action == "split" || action == "decode") {
        const std::vector<int> ids = tokenIds(commandLine.takePositional("ID,..."));
        commandLine.finish();
        if (action == "split") {
            const WordTokens split = tokenizer->splitToWordTokens(ids);
            line["words"] = split.words;
            line["wordTokens"] = split.wordTokens;
        } else {
            line["text"] = tokenizer->decode(ids);
        }
    } else {
        throw CommandLine::UsageError("unknown tokenizer command " + action);
    }
    printJsonLine(line);
    return 0;
}

const CommandRegistration registration{{"tokenizer", kUsage, &run}};

} // namespace

} // namespace sonavex::tool
