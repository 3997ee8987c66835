// sonavex decode filter: one step's logits through the decoder's filters, and which ids they forbid.

#include "Arguments/DecodeArguments.h"
#include "Arguments/OptionsArgument.h"
#include "CommandLine/JsonLines.h"
#include "CommandLine/NumberArguments.h"
#include "Decode/DecodeCommands.h"
#include "Models/TokenizerFolder.h"
#include "Platform/ML/Files/Npy.h"
#include "Sonavex/Core/Decoding/TextDecoder.h"
#include "Sonavex/Core/Text/LanguageLogitsFilter.h"
#include "Sonavex/Core/Text/SuppressBlankFilter.h"
#include "Sonavex/Core/Text/SuppressTokensFilter.h"
#include "Sonavex/Core/Text/TimestampRulesFilter.h"
#include "Sonavex/Utilities/Errors/WhisperError.h"

#include <cmath>

namespace sonavex::tool {

namespace {

// The filters named on the command line, in the order given, built as the decoder builds them.
std::vector<std::shared_ptr<LogitsFiltering>>
namedFilters(const std::vector<std::string>& names, const DecodingOptions& options,
             const WhisperTokenizer& tokenizer, int64_t sampleBegin, bool multilingual, int64_t vocabulary) {
    std::vector<std::shared_ptr<LogitsFiltering>> filters;
    for (const std::string& name : names) {
        if (name == "suppress-blank") {
            filters.push_back(std::make_shared<SuppressBlankFilter>(tokenizer.specialTokens(), sampleBegin));
        } else if (name == "suppress-tokens") {
            std::vector<int64_t> ids;
            for (int64_t id : options.suppressTokens) {
                if (id < tokenizer.specialTokens().specialTokenBegin) {
                    ids.push_back(id);
                }
            }
            filters.push_back(std::make_shared<SuppressTokensFilter>(std::move(ids)));
        } else if (name == "timestamps") {
            // As the decoder makes it from the options (its maximum initial timestamp included).
            DecodingOptions timestampsOnly = options;
            timestampsOnly.suppressBlank = false;
            timestampsOnly.suppressTokens.clear();
            timestampsOnly.withoutTimestamps = false;
            TextDecoder decoder;
            decoder.setIsModelMultilingual(multilingual);
            filters.push_back(decoder.createLogitsFilters(timestampsOnly, sampleBegin, tokenizer).at(0));
        } else if (name == "language") {
            filters.push_back(std::make_shared<LanguageLogitsFilter>(tokenizer.allLanguageTokens(),
                                                                     vocabulary, sampleBegin));
        } else {
            throw CommandLine::UsageError("unknown filter " + name +
                                          " (suppress-tokens, suppress-blank, timestamps or language)");
        }
    }
    return filters;
}

} // namespace

int runDecodeFilter(CommandLine& commandLine) {
    const auto folder = commandLine.takeOption("--tokenizer");
    const auto tokensArgument = commandLine.takeOption("--tokens");
    const auto sampleBeginArgument = commandLine.takeOption("--sample-begin");
    const auto optionsArgument = commandLine.takeOption("--options");
    const bool englishOnly = commandLine.takeFlag("--english-only");
    const auto filtersArgument = commandLine.takeOption("--filters");
    const auto out = commandLine.takeOption("--out");
    const std::string logitsPath = commandLine.takePositional("LOGITS.npy");
    commandLine.finish();
    if (!folder || !tokensArgument) {
        throw CommandLine::UsageError("decode filter needs --tokenizer DIR and --tokens ID,...");
    }
    const std::vector<int64_t> tokens = parseTokenList(*tokensArgument, "--tokens");
    const int64_t sampleBegin = sampleBeginArgument ? parseIntArgument(*sampleBeginArgument, "--sample-begin")
                                                    : static_cast<int64_t>(tokens.size());
    const DecodingOptions options =
        optionsArgument ? decodingOptionsFromArgument(*optionsArgument) : DecodingOptions();
    const std::vector<std::string> names =
        filtersArgument ? splitList(*filtersArgument, "--filters") : std::vector<std::string>{};

    const auto tokenizer = loadTokenizerFolder(*folder);
    const int64_t vocabulary = vocabularySize(*tokenizer);
    std::shared_ptr<ml::MultiArray> logits = readHalfArray(logitsPath);
    if (logits->count() != vocabulary) {
        throw WhisperError::decodingLogitsFailed("The logits hold " + std::to_string(logits->count()) +
                                                 " values, but the vocabulary has " +
                                                 std::to_string(vocabulary) + " tokens");
    }
    std::vector<std::shared_ptr<LogitsFiltering>> filters;
    if (filtersArgument) {
        filters = namedFilters(names, options, *tokenizer, sampleBegin, !englishOnly, vocabulary);
    } else {
        TextDecoder decoder;
        decoder.setIsModelMultilingual(!englishOnly);
        filters = decoder.createLogitsFilters(options, sampleBegin, *tokenizer);
    }
    for (const auto& filter : filters) {
        logits = filter->filterLogits(logits, tokens);
    }

    Json ranges = Json::array();
    const std::span<const ml::Float16> scores = logits->elements<ml::Float16>();
    for (std::size_t id = 0; id < scores.size();) {
        if (!(std::isinf(float(scores[id])) && float(scores[id]) < 0)) {
            ++id;
            continue;
        }
        const std::size_t first = id;
        while (id < scores.size() && std::isinf(float(scores[id])) && float(scores[id]) < 0) {
            ++id;
        }
        ranges.push_back(Json::array({first, id - 1}));
    }
    if (out) {
        ml::writeNpy(*out, *logits);
    }
    Json line = Json::object();
    line["minusInfinity"] = ranges;
    printJsonLine(line);
    return 0;
}

} // namespace sonavex::tool
