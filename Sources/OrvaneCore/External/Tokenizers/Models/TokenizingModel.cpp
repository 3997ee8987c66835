#include "OrvaneCore/External/Tokenizers/Models/TokenizingModel.h"

#include "OrvaneCore/External/Tokenizers/Pipeline/Mapped.h"

namespace orvane {

std::vector<std::optional<TokenId>>
TokenizingModel::convertTokensToIds(const std::vector<std::string>& tokens) const {
    return mapped(tokens, [this](const std::string& token) { return convertTokenToId(token); });
}

std::vector<std::optional<std::string>>
TokenizingModel::convertIdsToTokens(const std::vector<TokenId>& ids) const {
    return mapped(ids, [this](TokenId id) { return convertIdToToken(id); });
}

} // namespace orvane
