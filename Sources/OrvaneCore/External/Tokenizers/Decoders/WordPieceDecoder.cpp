#include "OrvaneCore/External/Tokenizers/Decoders/WordPieceDecoder.h"

#include "OrvaneCore/External/Hub/Configuration/Config.h"
#include "OrvaneCore/External/Tokenizers/Pipeline/TokenizerError.h"
#include "OrvaneCore/External/Tokenizers/Strings/StringReplacePattern.h"

namespace orvane {
namespace {

constexpr const char* cleanupPattern = R"(\s(\.|\?|\!|\,|'\s|n't|'m|'s|'ve|'re))";

std::string requiredPrefix(const Config& config) {
    if (auto prefix = config["prefix"].string()) {
        return *prefix;
    }
    throw TokenizerError::mismatchedConfig("Missing `prefix` configuration for WordPieceDecoder.");
}

} // namespace

WordPieceDecoder::WordPieceDecoder(const Config& config)
    : WordPieceDecoder(requiredPrefix(config), config["cleanup"].boolean().value_or(false)) {}

WordPieceDecoder::WordPieceDecoder(std::string prefix, bool cleanup)
    : prefix_(std::move(prefix)), cleanup_(cleanup), re_(cleanupPattern) {}

std::string WordPieceDecoder::cleanUp(const std::string& token) const {
    return replacingOccurrences(re_.replaceAll(token, "$1"), " do not", " don't");
}

std::vector<std::string> WordPieceDecoder::decode(const std::vector<std::string>& tokens) const {
    std::vector<std::string> out;
    out.reserve(tokens.size());
    for (std::size_t i = 0; i < tokens.size(); ++i) {
        std::string token = tokens[i];
        if (i > 0) {
            if (token.starts_with(prefix_)) {
                token.erase(0, prefix_.size());
            } else {
                token = " " + token;
            }
        }
        out.push_back(cleanup_ ? cleanUp(token) : std::move(token));
    }
    return out;
}

} // namespace orvane
