#include "OrvaneCore/External/Tokenizers/WhitespaceTrimming.h"

#include "OrvaneCore/Text/CharacterProperties.h"
#include "OrvaneCore/Text/Encoding.h"
#include "OrvaneCore/Text/Graphemes.h"

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

std::string joined(const std::vector<std::string>& characters, std::size_t begin, std::size_t end) {
    std::string out;
    for (std::size_t i = begin; i < end; ++i) {
        out += characters[i];
    }
    return out;
}

} // namespace

bool isWhitespaceCharacter(std::string_view character) {
    return !character.empty() && text::isWhiteSpace(firstCodePoint(character));
}

std::string trimmingExtraSpaces(const std::string& token) {
    const std::vector<std::string> characters = text::graphemes(token);
    std::size_t leading = 0;
    while (leading < characters.size() && isWhitespaceCharacter(characters[leading])) {
        ++leading;
    }
    if (leading == characters.size()) {
        return characters.empty() ? std::string() : characters.front();
    }
    std::size_t trailing = 0;
    while (isWhitespaceCharacter(characters[characters.size() - 1 - trailing])) {
        ++trailing;
    }
    const std::size_t begin = leading > 0 ? leading - 1 : 0;
    const std::size_t end = characters.size() - (trailing > 0 ? trailing - 1 : 0);
    return joined(characters, begin, end);
}

std::string trimmingBlanks(const std::string& token) {
    const std::vector<std::string> characters = text::graphemes(token);
    std::size_t begin = 0;
    std::size_t end = characters.size();
    while (begin < end && isBlankCharacter(characters[begin])) {
        ++begin;
    }
    while (end > begin && isBlankCharacter(characters[end - 1])) {
        --end;
    }
    return joined(characters, begin, end);
}

} // namespace orvane
