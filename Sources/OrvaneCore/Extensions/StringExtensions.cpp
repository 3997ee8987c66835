#include "OrvaneCore/Extensions/StringExtensions.h"

#include "OrvaneCore/Text/CharacterProperties.h"
#include "OrvaneCore/Text/Encoding.h"
#include "OrvaneCore/Text/Graphemes.h"
#include "OrvaneCore/Text/Normalization.h"
#include "OrvaneCore/Text/Sentences.h"
#include "OrvaneCore/Text/Trimming.h"

#include <algorithm>
#include <array>
#include <stdexcept>

namespace orvane {

namespace {

constexpr std::array<std::string_view, 7> kSentenceTerminators{".",      "!",      "?",     "\u2026",
                                                               "\u3002", "\uFF01", "\uFF1F"};
constexpr std::array<std::string_view, 5> kClauseMarks{",", ";", ":", "-", "\u2013"};
constexpr std::array<std::string_view, 9> kClosingMarks{"\"", "'", "\u201D", "\u2019", ")",
                                                        "]",  "}", "\u00BB", "\u300D"};

template <std::size_t N>
bool isOneOf(std::string_view character, const std::array<std::string_view, N>& set) {
    return std::find(set.begin(), set.end(), character) != set.end();
}

char32_t firstScalar(std::string_view character) {
    std::size_t offset = 0;
    return character.empty() ? 0 : text::nextCodePoint(character, offset);
}

// A character is white space when its first scalar has the White_Space property (line breaks included).
bool isWhitespaceCharacter(std::string_view character) {
    return !character.empty() && text::isWhiteSpace(firstScalar(character));
}

bool isLineBreak(std::string_view character) {
    const char32_t c = firstScalar(character);
    return (c >= 0x0A && c <= 0x0D) || c == 0x85 || c == 0x2028 || c == 0x2029;
}

// A last sentence counts only when it looks finished: its trailing run of white space and closing marks
// holds a line break, or the character before that run ends a sentence.
bool looksFinished(const std::vector<std::string>& characters) {
    std::size_t runStart = characters.size();
    bool hasLineBreak = false;
    while (runStart > 0) {
        const std::string& character = characters[runStart - 1];
        if (!isWhitespaceCharacter(character) && !isOneOf(character, kClosingMarks)) {
            break;
        }
        hasLineBreak = hasLineBreak || isLineBreak(character);
        --runStart;
    }
    return hasLineBreak || (runStart > 0 && isOneOf(characters[runStart - 1], kSentenceTerminators));
}

std::optional<std::string> sentenceBoundary(std::string_view utf8,
                                            const std::function<bool(const std::string&)>& accept) {
    const std::u16string units = text::toUtf16(utf8);
    const std::vector<text::Utf16Range> sentences = text::sentenceRanges(units);
    for (std::size_t i = sentences.size(); i-- > 0;) {
        if (i + 1 == sentences.size() &&
            !looksFinished(text::graphemes(text::toUtf8(sentences[i].of(units))))) {
            continue;
        }
        std::string candidate = text::toUtf8(std::u16string_view(units).substr(0, sentences[i].end));
        if (accept(candidate)) {
            return candidate;
        }
    }
    return std::nullopt;
}

std::optional<std::string> clauseBoundary(std::string_view utf8,
                                          const std::function<bool(const std::string&)>& accept) {
    const std::vector<std::string> characters = text::graphemes(utf8);
    std::size_t byteEnd = utf8.size(); // byte length of the first i characters
    for (std::size_t i = characters.size(); i >= 1; --i) {
        const bool followedByBreak = i == characters.size() || isWhitespaceCharacter(characters[i]);
        if (followedByBreak && isOneOf(characters[i - 1], kClauseMarks)) {
            std::string candidate(utf8.substr(0, byteEnd));
            if (accept(candidate)) {
                return candidate;
            }
        }
        byteEnd -= characters[i - 1].size();
    }
    return std::nullopt;
}

} // namespace

std::string trimmingFromEnd(std::string_view text, std::string_view character, int count) {
    if (text::graphemeCount(character) != 1) {
        throw std::invalid_argument("trimmingFromEnd needs exactly one character, got \"" +
                                    std::string(character) + "\"");
    }
    if (count < 1 || text.empty()) {
        return std::string(text);
    }
    // Canonical equivalence can only hold when the last scalar could belong to the character; the common
    // ASCII case is decided without segmenting the text.
    if (character.size() == 1 && static_cast<unsigned char>(character[0]) < 0x80 &&
        text.back() != character[0]) {
        return std::string(text);
    }
    const std::vector<std::string> characters = text::graphemes(text);
    std::size_t kept = characters.size();
    std::size_t byteEnd = text.size();
    for (int removed = 0; removed < count && kept > 0; ++removed) {
        const std::string& last = characters[kept - 1];
        if (last != character && !text::canonicallyEquivalent(last, character)) {
            break;
        }
        byteEnd -= last.size();
        --kept;
    }
    return std::string(text.substr(0, byteEnd));
}

std::optional<std::string> lastNaturalBoundary(std::string_view text, int minTokenCount,
                                               const TokenEncoder& encode) {
    const auto accept = [&](const std::string& candidate) {
        const auto tokens = encode(std::string(text::trimmedWhiteSpaceAndNewlines(candidate)));
        return static_cast<std::int64_t>(tokens.size()) >= minTokenCount;
    };
    if (auto found = sentenceBoundary(text, accept)) {
        return found;
    }
    if (auto found = clauseBoundary(text, accept)) {
        return found;
    }
    const std::size_t lastSpace = text.rfind(' ');
    if (lastSpace != std::string_view::npos) {
        std::string candidate(text.substr(0, lastSpace));
        if (accept(candidate)) {
            return candidate;
        }
    }
    return std::nullopt;
}

} // namespace orvane
