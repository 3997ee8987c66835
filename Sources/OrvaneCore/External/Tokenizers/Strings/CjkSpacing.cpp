#include "OrvaneCore/External/Tokenizers/Strings/CjkSpacing.h"

#include "OrvaneCore/External/Tokenizers/Strings/TextPieces.h"
#include "OrvaneCore/Text/Encoding.h"

namespace orvane {

bool isCjkIdeograph(char32_t c) {
    return (c >= 0x4E00 && c <= 0x9FFF) || (c >= 0x3400 && c <= 0x4DBF) || (c >= 0x20000 && c <= 0x2A6DF) ||
           (c >= 0x2A700 && c <= 0x2CEAF) || (c >= 0xF900 && c <= 0xFAFF) || (c >= 0x2F800 && c <= 0x2FA1F);
}

std::string spacingCjkIdeographs(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::string_view character : characters(text)) {
        std::size_t offset = 0;
        if (isCjkIdeograph(text::nextCodePoint(character, offset))) {
            out += ' ';
            out += character;
            out += ' ';
        } else {
            out += character;
        }
    }
    return out;
}

} // namespace orvane
