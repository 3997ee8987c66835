#include "OrvaneCore/External/Tokenizers/TokenizingModel.h"

namespace orvane {

std::vector<std::optional<TokenId>> TokenizingModel::convertTokensToIds(const std::vector<std::string>& tokens) const {
    std::vector<std::optional<TokenId>> ids;
    ids.reserve(tokens.size());
    for (const auto& token : tokens) ids.push_back(convertTokenToId(token));
    return ids;
}

std::vector<std::optional<std::string>> TokenizingModel::convertIdsToTokens(const std::vector<TokenId>& ids) const {
    std::vector<std::optional<std::string>> tokens;
    tokens.reserve(ids.size());
    for (TokenId id : ids) tokens.push_back(convertIdToToken(id));
    return tokens;
}

} // namespace orvane
