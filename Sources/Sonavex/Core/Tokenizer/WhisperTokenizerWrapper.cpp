#include "Sonavex/Core/Tokenizer/WhisperTokenizerWrapper.h"

#include "OrvaneCore/Text/CharacterProperties.h"
#include "OrvaneCore/Text/Encoding.h"
#include "OrvaneCore/Text/Graphemes.h"
#include "OrvaneCore/Text/Trimming.h"
#include "Sonavex/Core/Constants.h"
#include "Sonavex/Core/Tokenizer/DominantLanguage.h"

#include <algorithm>

namespace sonavex {
namespace {

const std::string kReplacementCharacter = "\xEF\xBF\xBD"; // U+FFFD

// Languages written without spaces between words: split at characters.
bool splitsOnCharacters(const std::optional<std::string>& code) {
    static const std::set<std::string> codes{"zh", "ja", "th", "lo", "my", "yue"};
    return code && codes.count(*code) > 0;
}

std::vector<orvane::TokenId> wide(const std::vector<int>& ids) {
    return {ids.begin(), ids.end()};
}

bool isLonePunctuation(const std::string& piece) {
    const std::u32string scalars =
        orvane::text::toCodePoints(orvane::text::trimmed(piece, orvane::text::isHorizontalWhiteSpace));
    return scalars.size() == 1 && orvane::text::isPunctuation(scalars[0]);
}

} // namespace

WhisperTokenizerWrapper::WhisperTokenizerWrapper(orvane::TokenizerWrapper tokenizer,
                                                 std::optional<std::filesystem::path> folder)
    : tokenizer_(std::move(tokenizer)), tokenizerFolder_(std::move(folder)) {
    const auto id = [this](const char* token, int fallback) { return convertTokenToId(token).value_or(fallback); };
    specialTokens_ = SpecialTokens{id("<|endoftext|>", 50257),     id("<|en|>", 50259),
                                   id("<|nospeech|>", 50362),      id("<|notimestamps|>", 50363),
                                   id("<|endoftext|>", 50257),     id("<|startofprev|>", 50361),
                                   id("<|startoftranscript|>", 50258), id("<|0.00|>", 50364),
                                   id("<|transcribe|>", 50359),    id("<|translate|>", 50358),
                                   id(" ", 220)};
    // Vocabularies without a "<|0.00|>" entry (the English-only ones) still place the first timestamp
    // right after "<|notimestamps|>".
    const std::optional<int> noTimestamps = convertTokenToId("<|notimestamps|>");
    if (!convertTokenToId("<|0.00|>") && noTimestamps) {
        specialTokens_.timeTokenBegin = *noTimestamps + 1;
    }
    for (const auto& entry : Constants::languages()) {
        const std::optional<int> language = convertTokenToId("<|" + entry.second + "|>");
        if (language && *language > specialTokens_.specialTokenBegin) {
            allLanguageTokens_.insert(*language);
        }
    }
}

std::vector<int> WhisperTokenizerWrapper::encode(const std::string& text) const {
    const std::vector<orvane::TokenId> ids = tokenizer_.encode(text);
    return {ids.begin(), ids.end()};
}

std::string WhisperTokenizerWrapper::decode(const std::vector<int>& tokens) const {
    return tokenizer_.decode(wide(tokens));
}

// The general tokenizer answers text outside its vocabulary with its unknown token's id (Whisper's is
// end-of-text); only an id that stands for this very text counts, so a missing token reads as absent.
std::optional<int> WhisperTokenizerWrapper::convertTokenToId(const std::string& token) const {
    const std::optional<orvane::TokenId> id = tokenizer_.convertTokenToId(token);
    if (!id || tokenizer_.convertIdToToken(*id) != token) {
        return std::nullopt;
    }
    return static_cast<int>(*id);
}

std::optional<std::string> WhisperTokenizerWrapper::convertIdToToken(int id) const {
    return tokenizer_.convertIdToToken(id);
}

WordTokens WhisperTokenizerWrapper::splitToWordTokens(const std::vector<int>& tokenIds) const {
    std::vector<int> textIds;
    std::copy_if(tokenIds.begin(), tokenIds.end(), std::back_inserter(textIds),
                 [this](int id) { return id < specialTokens_.specialTokenBegin; });
    if (splitsOnCharacters(dominantLanguageCode(decode(textIds)))) {
        return splitTokensOnUnicode(tokenIds);
    }
    return splitTokensOnSpaces(tokenIds);
}

// A token may hold part of a multi-byte character, which decodes to U+FFFD: ids are gathered until the
// piece decodes to whole characters, unless the full text itself has U+FFFD at that place.
WordTokens WhisperTokenizerWrapper::splitTokensOnUnicode(const std::vector<int>& tokens) const {
    WordTokens result;
    if (tokens.empty()) {
        return result;
    }
    const std::vector<std::string> fullText = orvane::text::graphemes(decode(tokens));
    std::vector<int> pending;
    size_t emitted = 0; // characters of the words so far
    for (int id : tokens) {
        pending.push_back(id);
        const std::string piece = decode(pending);
        const std::vector<std::string> characters = orvane::text::graphemes(piece);
        const auto replacement = std::find(characters.begin(), characters.end(), kReplacementCharacter);
        bool complete = replacement == characters.end();
        if (!complete) {
            const size_t position = emitted + size_t(replacement - characters.begin());
            complete = position < fullText.size() && fullText[position] == kReplacementCharacter;
        }
        if (complete) {
            result.words.push_back(piece);
            result.wordTokens.push_back(pending);
            emitted += characters.size();
            pending.clear();
        }
    }
    return result;
}

WordTokens WhisperTokenizerWrapper::splitTokensOnSpaces(const std::vector<int>& tokens) const {
    const WordTokens pieces = splitTokensOnUnicode(tokens);
    WordTokens result;
    for (size_t i = 0; i < pieces.words.size(); ++i) {
        const std::string& piece = pieces.words[i];
        const std::vector<int>& ids = pieces.wordTokens[i];
        const bool special = ids.front() >= specialTokens_.specialTokenBegin;
        const bool leadingSpace = !piece.empty() && piece.front() == ' ';
        if (special || leadingSpace || isLonePunctuation(piece) || result.words.empty()) {
            result.words.push_back(piece);
            result.wordTokens.push_back(ids);
        } else {
            result.words.back() += piece;
            result.wordTokens.back().insert(result.wordTokens.back().end(), ids.begin(), ids.end());
        }
    }
    return result;
}

} // namespace sonavex
