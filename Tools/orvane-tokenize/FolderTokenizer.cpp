#include "FolderTokenizer.h"

#include "OrvaneCore/External/Hub/BomPreservingJsonReader.h"
#include "OrvaneCore/External/Tokenizers/PreTrainedTokenizerClasses.h"
#include "OrvaneCore/External/Tokenizers/TokenizerError.h"
#include "OrvaneCore/Text/CaseMapping.h"

#include <fstream>
#include <optional>
#include <sstream>

namespace tokenize_tool {
namespace {

std::optional<orvane::Config> readJsonFile(const std::filesystem::path& path, bool required) {
    std::error_code error;
    if (!std::filesystem::is_regular_file(path, error)) {
        if (required)
            throw FolderError("cannot find " + path.string());
        return std::nullopt;
    }
    std::ifstream in(path, std::ios::binary);
    std::ostringstream contents;
    contents << in.rdbuf();
    if (!in)
        throw FolderError("cannot read " + path.string());
    try {
        return orvane::BomPreservingJsonReader::bomPreservingJsonObject(contents.str());
    } catch (const orvane::BomPreservingJsonReader::ParseError& parseError) {
        throw FolderError(path.string() + " is not valid JSON: " + parseError.what());
    }
}

std::string withoutFast(std::string name) {
    for (std::size_t at = 0; (at = name.find("Fast", at)) != std::string::npos;)
        name.erase(at, 4);
    return name;
}

} // namespace

orvane::Config completedTokenizerConfig(const orvane::Config& tokenizerConfig,
                                        const orvane::Config* modelConfig) {
    if (tokenizerConfig["tokenizerClass"].string())
        return tokenizerConfig;
    auto modelType = modelConfig ? (*modelConfig)["modelType"].string() : std::nullopt;
    if (!modelType)
        return tokenizerConfig;
    orvane::Config::Dictionary entries;
    if (const auto* existing = tokenizerConfig.dictionary())
        entries = *existing;
    entries[orvane::BinaryDistinctString("tokenizer_class")] =
        orvane::text::capitalized(*modelType) + "Tokenizer";
    return orvane::Config(std::move(entries));
}

std::unique_ptr<orvane::PreTrainedTokenizer> loadFolder(const std::filesystem::path& folder,
                                                        bool classFromConfig, bool strict) {
    auto modelConfig = readJsonFile(folder / "config.json", false);
    auto tokenizerData = readJsonFile(folder / "tokenizer.json", true);
    auto tokenizerConfig = readJsonFile(folder / "tokenizer_config.json", false);
    if (!tokenizerConfig)
        throw orvane::TokenizerError::missingConfig();
    orvane::Config config = completedTokenizerConfig(*tokenizerConfig, modelConfig ? &*modelConfig : nullptr);

    if (classFromConfig) {
        if (auto className = config["tokenizerClass"].string()) {
            const auto& classes = orvane::PreTrainedTokenizerClasses::tokenizerClasses();
            if (auto found = classes.find(withoutFast(*className)); found != classes.end()) {
                return found->second(config, *tokenizerData, strict);
            }
        }
    }
    return std::make_unique<orvane::PreTrainedTokenizer>(config, *tokenizerData, strict);
}

} // namespace tokenize_tool
