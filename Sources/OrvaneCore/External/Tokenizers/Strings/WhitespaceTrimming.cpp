#include "OrvaneCore/External/Tokenizers/Strings/WhitespaceTrimming.h"

#include "OrvaneCore/External/Tokenizers/Strings/TextPieces.h"
#include "OrvaneCore/Text/CharacterProperties.h"
#include "OrvaneCore/Text/Encoding.h"

#include <vector>

namespace orvane {
namespace {

char32_t firstCodePoint(std::string_view character) {
    std::size_t offset = 0;
    return text::nextCodePoint(character, offset);
}

bool isBlankCharacter(std::string_view character) {
    const char32_t c = firstCodePoint(character);
    return c == U'\t' || text::generalCategory(c) == text::GeneralCategory::Zs;
}

// The text of characters [begin, end), which are views into one text.
std::string joined(const std::vector<std::string_view>& pieces, std::size_t begin, std::size_t end) {
    if (begin >= end) {
        return {};
    }
    return std::string(pieces[begin].data(), pieces[end - 1].data() + pieces[end - 1].size());
}

std::string trimming(std::string_view text, bool (*isTrimmed)(std::string_view), bool left, bool right) {
    const std::vector<std::string_view> pieces = characters(text);
    std::size_t begin = 0;
    std::size_t end = pieces.size();
    while (left && begin < end && isTrimmed(pieces[begin])) {
        ++begin;
    }
    while (right && end > begin && isTrimmed(pieces[end - 1])) {
        --end;
    }
    return joined(pieces, begin, end);
}

} // namespace

bool isWhitespaceCharacter(std::string_view character) {
    return !character.empty() && text::isWhiteSpace(firstCodePoint(character));
}

std::string trimmingWhitespace(std::string_view text, bool left, bool right) {
    return trimming(text, isWhitespaceCharacter, left, right);
}

std::string trimmingExtraSpaces(std::string_view token) {
    const std::vector<std::string_view> pieces = characters(token);
    std::size_t leading = 0;
    while (leading < pieces.size() && isWhitespaceCharacter(pieces[leading])) {
        ++leading;
    }
    if (leading == pieces.size()) {
        return pieces.empty() ? std::string() : std::string(pieces.front());
    }
    std::size_t trailing = 0;
    while (isWhitespaceCharacter(pieces[pieces.size() - 1 - trailing])) {
        ++trailing;
    }
    const std::size_t begin = leading > 0 ? leading - 1 : 0;
    const std::size_t end = pieces.size() - (trailing > 0 ? trailing - 1 : 0);
    return joined(pieces, begin, end);
}

std::string trimmingBlanks(std::string_view token) { return trimming(token, isBlankCharacter, true, true); }

} // namespace orvane
