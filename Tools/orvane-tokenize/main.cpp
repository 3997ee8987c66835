// orvane-tokenize (--folder DIR [--class-from-config] | --repo OWNER/NAME [--endpoint URL] [--base DIR])
// COMMAND Loads a tokenizer the way the engine does (from a model folder, or from a hub repository into the
// local mirror) and encodes, tokenizes or decodes with it, so the tokenizers can be exercised and
// compared from the command line.

#include "OrvaneCore/External/Hub/Configuration/LanguageModelConfigurationFromHub.h"
#include "OrvaneCore/External/Tokenizers/Pipeline/TokenizerError.h"
#include "OrvaneCore/Models/AutoTokenizerWrapper.h"
#include "Shared/StandardOptions.h"

#include <charconv>
#include <cstring>
#include <iostream>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <vector>

namespace {

constexpr const char* usage =
    "usage: orvane-tokenize --folder DIR [--class-from-config] COMMAND\n"
    "       orvane-tokenize --repo OWNER/NAME [--endpoint URL] [--base DIR] COMMAND\n"
    "Commands:\n"
    "  --encode TEXT [--no-special]      ids separated by single spaces\n"
    "  --tokenize TEXT                   one token per line\n"
    "  --decode ID,ID,... [--skip-special]  the decoded text\n"
    "  --jsonl                           one JSON object per input line: {\"text\": T} gives\n"
    "                                    ids_with_special, ids_without_special and tokens;\n"
    "                                    {\"ids\": [...]} gives decoded and decoded_skip_special\n"
    "By default the folder gets the general tokenizer class; --class-from-config picks the class the\n"
    "tokenizer class name selects, as loading from the model hub does. --repo fetches the repository's\n"
    "configuration files at revision \"main\" into the mirror under --base (default "
    "~/Documents/huggingface)\n"
    "from --endpoint (default HF_ENDPOINT or the public hub).\n";

struct Options {
    std::string folder;
    std::optional<std::string> repo, endpoint, base;
    bool classFromConfig = false;
    std::optional<std::string> encode, tokenize, decode;
    bool jsonl = false;
    bool noSpecial = false;
    bool skipSpecial = false;
};

std::optional<Options> parse(int argc, char** argv) {
    Options options;
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        auto value = [&](std::optional<std::string>& into) {
            if (i + 1 >= argc)
                return false;
            into = argv[++i];
            return true;
        };
        if (arg == "--folder" && i + 1 < argc) {
            options.folder = argv[++i];
        } else if (arg == "--repo") {
            if (!value(options.repo))
                return std::nullopt;
        } else if (arg == "--endpoint") {
            if (!value(options.endpoint))
                return std::nullopt;
        } else if (arg == "--base") {
            if (!value(options.base))
                return std::nullopt;
        } else if (arg == "--class-from-config") {
            options.classFromConfig = true;
        } else if (arg == "--encode") {
            if (!value(options.encode))
                return std::nullopt;
        } else if (arg == "--tokenize") {
            if (!value(options.tokenize))
                return std::nullopt;
        } else if (arg == "--decode") {
            if (!value(options.decode))
                return std::nullopt;
        } else if (arg == "--jsonl") {
            options.jsonl = true;
        } else if (arg == "--no-special") {
            options.noSpecial = true;
        } else if (arg == "--skip-special") {
            options.skipSpecial = true;
        } else {
            return std::nullopt;
        }
    }
    int commands = options.encode.has_value() + options.tokenize.has_value() + options.decode.has_value() +
                   options.jsonl;
    const bool fromFolder = !options.folder.empty() && !options.repo && !options.endpoint && !options.base;
    const bool fromRepo = options.folder.empty() && options.repo && !options.classFromConfig;
    if (!(fromFolder || fromRepo) || commands != 1)
        return std::nullopt;
    return options;
}

std::optional<std::vector<orvane::TokenId>> parseIds(const std::string& text) {
    std::vector<orvane::TokenId> ids;
    const char* cursor = text.data();
    const char* end = text.data() + text.size();
    while (cursor < end) {
        orvane::TokenId id = 0;
        auto [next, error] = std::from_chars(cursor, end, id);
        if (error != std::errc{})
            return std::nullopt;
        ids.push_back(id);
        cursor = next;
        if (cursor < end) {
            if (*cursor != ',')
                return std::nullopt;
            ++cursor;
            if (cursor == end)
                return std::nullopt;
        }
    }
    return ids;
}

std::string dump(const nlohmann::ordered_json& json) {
    return json.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
}

// One input line, one output line; a line that is not a request gets an "error" member instead.
nlohmann::ordered_json answer(const orvane::Tokenizer& tokenizer, const std::string& line) {
    nlohmann::ordered_json result;
    nlohmann::json request = nlohmann::json::parse(line, nullptr, false);
    if (request.is_discarded() || !request.is_object()) {
        result["error"] = "not a JSON object";
    } else if (auto text = request.find("text"); text != request.end() && text->is_string()) {
        std::string input = text->get<std::string>();
        result["ids_with_special"] = tokenizer.encode(input, true);
        result["ids_without_special"] = tokenizer.encode(input, false);
        result["tokens"] = tokenizer.tokenize(input);
    } else if (auto ids = request.find("ids"); ids != request.end() && ids->is_array()) {
        std::vector<orvane::TokenId> tokens;
        for (const auto& id : *ids) {
            if (!id.is_number_integer()) {
                result["error"] = "\"ids\" must hold integers";
                return result;
            }
            tokens.push_back(id.get<orvane::TokenId>());
        }
        result["decoded"] = tokenizer.decode(tokens, false);
        result["decoded_skip_special"] = tokenizer.decode(tokens, true);
    } else {
        result["error"] = "expected {\"text\": string} or {\"ids\": [integer, ...]}";
    }
    return result;
}

orvane::TokenizerWrapper load(const Options& options) {
    std::optional<std::filesystem::path> base;
    if (options.base)
        base = *options.base;
    const orvane::HubApiWrapper hub(base, std::nullopt, options.endpoint);
    if (options.repo) {
        return orvane::AutoTokenizerWrapper::fromPretrained(*options.repo, hub, true);
    }
    if (!options.classFromConfig) {
        return orvane::AutoTokenizerWrapper::fromModelFolder(options.folder, hub, true);
    }
    const orvane::LanguageModelConfigurationFromHub configuration(std::filesystem::path(options.folder), hub);
    auto tokenizerConfig = configuration.tokenizerConfig();
    if (!tokenizerConfig)
        throw orvane::TokenizerError::missingConfig();
    return orvane::AutoTokenizerWrapper::ofConfiguredClass(
        *tokenizerConfig, configuration.configurations().tokenizerData, true);
}

} // namespace

int main(int argc, char** argv) {
    if (auto status = tools::answerStandardOption("orvane-tokenize", {argv + 1, argv + argc}, usage)) {
        return *status;
    }
    auto options = parse(argc, argv);
    if (!options) {
        std::cerr << usage;
        return 2;
    }
    std::optional<orvane::TokenizerWrapper> wrapper;
    try {
        wrapper = load(*options);
    } catch (const std::exception& error) {
        std::cerr << "orvane-tokenize: cannot build a tokenizer from "
                  << options->repo.value_or(options->folder) << ": " << error.what() << "\n";
        return 1;
    }
    const orvane::Tokenizer* tokenizer = wrapper->impl().get();

    if (options->encode) {
        auto ids = tokenizer->encode(*options->encode, !options->noSpecial);
        for (std::size_t i = 0; i < ids.size(); ++i)
            std::cout << (i ? " " : "") << ids[i];
        std::cout << "\n";
    } else if (options->tokenize) {
        for (const auto& token : tokenizer->tokenize(*options->tokenize))
            std::cout << token << "\n";
    } else if (options->decode) {
        auto ids = parseIds(*options->decode);
        if (!ids) {
            std::cerr << "orvane-tokenize: --decode takes integer ids separated by commas, e.g. 15947,11\n";
            return 2;
        }
        std::cout << tokenizer->decode(*ids, options->skipSpecial) << "\n";
    } else {
        std::string line;
        while (std::getline(std::cin, line)) {
            if (line.empty())
                continue;
            std::cout << dump(answer(*tokenizer, line)) << "\n";
        }
    }
    return 0;
}
