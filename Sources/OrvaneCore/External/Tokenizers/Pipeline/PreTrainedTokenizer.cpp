#include "OrvaneCore/External/Tokenizers/Pipeline/PreTrainedTokenizer.h"

#include "OrvaneCore/External/Tokenizers/Decoders/DecoderFactory.h"
#include "OrvaneCore/External/Tokenizers/Models/TokenizerModel.h"
#include "OrvaneCore/External/Tokenizers/Normalizers/NormalizerFactory.h"
#include "OrvaneCore/External/Tokenizers/PostProcessors/PostProcessorFactory.h"
#include "OrvaneCore/External/Tokenizers/PreTokenizers/PreTokenizerFactory.h"
#include "OrvaneCore/External/Tokenizers/Strings/StringReplacePattern.h"
#include "OrvaneCore/External/Tokenizers/Strings/TextPieces.h"
#include "OrvaneCore/Text/Graphemes.h"
#include "OrvaneCore/Text/RegexError.h"

#include <algorithm>
#include <array>
#include <utility>

namespace orvane {
namespace {

// Longest tokens first (stable for equal lengths), so that a token is never cut short by another that
// is its prefix. A token with empty content would match between every two characters, so it takes no part.
std::vector<AddedTokenMatcher::Entry> addedTokenEntries(const Config::Array& list) {
    struct Sortable {
        AddedTokenMatcher::Entry entry;
        std::size_t length; // user-perceived characters
    };
    std::vector<Sortable> sortable;
    for (const Config& token : list) {
        if (!token.dictionary())
            continue;
        auto content = token["content"].string();
        if (!content || content->empty())
            continue;
        std::size_t length = text::graphemeCount(*content);
        sortable.push_back({{std::move(*content), token["lstrip"].boolean().value_or(false),
                             token["rstrip"].boolean().value_or(false)},
                            length});
    }
    std::stable_sort(sortable.begin(), sortable.end(),
                     [](const Sortable& a, const Sortable& b) { return a.length > b.length; });
    std::vector<AddedTokenMatcher::Entry> entries;
    for (auto& item : sortable)
        entries.push_back(std::move(item.entry));
    return entries;
}

// "\s*" affixes let a token swallow the blanks beside it ("lstrip"/"rstrip").
std::optional<text::Regex> addedTokensExpression(const std::vector<AddedTokenMatcher::Entry>& entries) {
    std::string pattern;
    for (const auto& entry : entries) {
        if (!pattern.empty())
            pattern += '|';
        if (entry.prefix)
            pattern += R"(\s*)";
        pattern += '(' + text::Regex::escape(entry.content) + ')';
        if (entry.suffix)
            pattern += R"(\s*)";
    }
    if (pattern.empty())
        return std::nullopt;
    try {
        return text::Regex(pattern);
    } catch (const text::RegexError&) {
        return std::nullopt;
    }
}

} // namespace

PreTrainedTokenizer::PreTrainedTokenizer(const Config& tokenizerConfig, const Config& tokenizerData,
                                         bool strict) {
    static const Config::Array noTokens;
    const Config::Array* list = tokenizerData["addedTokens"].array();
    if (!list)
        list = &noTokens;

    AddedTokenIds addedTokenIds;
    for (const Config& token : *list) {
        auto id = token["id"].integer();
        if (!id)
            continue;
        auto content = token["content"].string();
        if (!content)
            continue;
        addedTokenIds[*content] = *id;
        if (token["special"].boolean().value_or(false))
            specialTokens_[*content] = *id;
    }
    auto entries = addedTokenEntries(*list);
    addedTokensRegex_ = addedTokensExpression(entries);
    if (addedTokensRegex_)
        addedTokensMatcher_.emplace(entries);
    for (const auto& [content, id] : addedTokenIds)
        addedTokens_.insert(content);
    for (const auto& [content, id] : specialTokens_)
        specialTokenIds_.insert(id);

    preTokenizer_ = PreTokenizerFactory::fromConfig(tokenizerData["preTokenizer"]);
    normalizer_ = NormalizerFactory::fromConfig(tokenizerData["normalizer"]);
    postProcessor_ = PostProcessorFactory::fromConfig(tokenizerData["postProcessor"]);
    decoder_ = DecoderFactory::fromConfig(tokenizerData["decoder"], &addedTokens_);

    cleanUpTokenizationSpaces_ = tokenizerConfig["cleanUpTokenizationSpaces"].boolean().value_or(true);
    tokenizerConfig_ = tokenizerConfig;

    model_ = TokenizerModel::from(tokenizerConfig, tokenizerData, addedTokenIds, strict);
}

PreTrainedTokenizer::~PreTrainedTokenizer() = default;

std::vector<std::string> PreTrainedTokenizer::preTokenize(const std::string& text,
                                                          const PreTokenizerOptions& options) const {
    if (!preTokenizer_)
        return {text};
    return preTokenizer_->preTokenize(text, options);
}

std::string PreTrainedTokenizer::normalize(const std::string& text) const {
    if (!normalizer_)
        return text;
    return normalizer_->normalize(text);
}

std::vector<std::string> PreTrainedTokenizer::postProcess(const std::vector<std::string>& tokens,
                                                          bool addSpecialTokens) const {
    if (!postProcessor_)
        return tokens;
    return postProcessor_->postProcess(tokens, std::nullopt, addSpecialTokens);
}

std::vector<std::string> PreTrainedTokenizer::decodeTokens(const std::vector<std::string>& tokens) const {
    if (!decoder_)
        return tokens;
    return decoder_->decode(tokens);
}

std::string PreTrainedTokenizer::cleanUp(const std::string& text) const {
    if (!cleanUpTokenizationSpaces_)
        return text;
    static const std::array<std::pair<std::string, std::string>, 10> replacements{{
        {" .", "."},
        {" ?", "?"},
        {" !", "!"},
        {" ,", ","},
        {" ' ", "'"},
        {" n't", "n't"},
        {" 'm", "'m"},
        {" 's", "'s"},
        {" 've", "'ve"},
        {" 're", "'re"},
    }};
    std::string result = text;
    for (const auto& [find, replacement] : replacements)
        result = replacingOccurrences(result, find, replacement);
    return result;
}

std::vector<std::string> PreTrainedTokenizer::fuseUnknown(const std::vector<std::string>& tokens) const {
    if (!fuseUnknownTokens())
        return tokens;
    std::vector<std::string> fused;
    bool previousUnknown = false;
    auto unknownId = model_->unknownTokenId();
    for (const auto& token : tokens) {
        bool unknown = model_->convertTokenToId(token) == unknownId;
        if (unknown && previousUnknown)
            continue;
        fused.push_back(token);
        previousUnknown = unknown;
    }
    return fused;
}

std::vector<std::string> PreTrainedTokenizer::tokenize(const std::string& text) const {
    std::string input = wellFormedText(text);
    std::vector<std::string> sections =
        addedTokensMatcher_ ? addedTokensMatcher_->split(input) : std::vector{input};
    std::vector<std::string> tokens;
    for (std::size_t index = 0; index < sections.size(); ++index) {
        const std::string& section = sections[index];
        std::vector<std::string> sectionTokens;
        if (addedTokens_.contains(section)) {
            sectionTokens.push_back(section);
        } else {
            PreTokenizerOptions options;
            if (index == 0)
                options.insert(PreTokenizerOption::firstSection);
            for (const auto& piece : preTokenize(normalize(section), options)) {
                auto pieceTokens = model_->tokenize(piece);
                sectionTokens.insert(sectionTokens.end(), std::make_move_iterator(pieceTokens.begin()),
                                     std::make_move_iterator(pieceTokens.end()));
            }
        }
        auto fused = fuseUnknown(sectionTokens);
        tokens.insert(tokens.end(), std::make_move_iterator(fused.begin()),
                      std::make_move_iterator(fused.end()));
    }
    return tokens;
}

// A token without an id (a byte token or a framing token the vocabulary lacks, with no unknown token to
// stand in) is left out, as decode leaves out ids it does not know.
std::vector<TokenId> PreTrainedTokenizer::encode(const std::string& text, bool addSpecialTokens) const {
    auto tokens = tokenize(text);
    tokens = postProcess(tokens, addSpecialTokens);
    std::vector<TokenId> ids;
    ids.reserve(tokens.size());
    for (const auto& token : tokens) {
        if (auto id = model_->convertTokenToId(token))
            ids.push_back(*id);
    }
    return ids;
}

std::string PreTrainedTokenizer::decode(const std::vector<TokenId>& tokens, bool skipSpecialTokens) const {
    std::vector<std::string> texts;
    texts.reserve(tokens.size());
    for (TokenId id : tokens) {
        if (skipSpecialTokens && specialTokenIds_.contains(id))
            continue;
        if (auto token = model_->convertIdToToken(id))
            texts.push_back(std::move(*token));
    }
    texts = decodeTokens(texts);
    std::string joined;
    for (const auto& text : texts)
        joined += text;
    return cleanUp(joined);
}

std::optional<TokenId> PreTrainedTokenizer::convertTokenToId(const std::string& token) const {
    return model_->convertTokenToId(token);
}

std::optional<std::string> PreTrainedTokenizer::convertIdToToken(TokenId id) const {
    return model_->convertIdToToken(id);
}

} // namespace orvane
