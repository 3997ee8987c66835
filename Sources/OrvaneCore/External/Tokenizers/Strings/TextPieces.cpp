#include "OrvaneCore/External/Tokenizers/Strings/TextPieces.h"

#include "OrvaneCore/Text/Encoding.h"
#include "OrvaneCore/Text/Graphemes.h"
#include "OrvaneCore/Text/Normalization.h"

namespace orvane {
namespace {

// U+0300 is the first code point that can combine with what precedes it; its UTF-8 lead byte is 0xCC.
bool belowCombiningMarks(std::string_view utf8) {
    for (unsigned char byte : utf8) {
        if (byte >= 0xCC)
            return false;
    }
    return true;
}

} // namespace

std::vector<std::size_t> characterBoundaries(std::string_view utf8) {
    std::vector<std::size_t> bounds{0};
    if (belowCombiningMarks(utf8)) {
        for (std::size_t offset = 0; offset < utf8.size();) {
            unsigned char lead = static_cast<unsigned char>(utf8[offset]);
            if (lead == '\r' && offset + 1 < utf8.size() && utf8[offset + 1] == '\n') {
                offset += 2;
            } else {
                offset += lead < 0x80 ? 1 : 2;
            }
            bounds.push_back(std::min(offset, utf8.size()));
        }
        return bounds;
    }
    std::size_t offset = 0;
    for (const std::string& character : text::graphemes(utf8)) {
        offset += character.size();
        bounds.push_back(offset);
    }
    return bounds;
}

std::vector<std::string_view> characters(std::string_view utf8) {
    const std::vector<std::size_t> bounds = characterBoundaries(utf8);
    std::vector<std::string_view> out;
    out.reserve(bounds.size() - 1);
    for (std::size_t i = 1; i < bounds.size(); ++i)
        out.push_back(utf8.substr(bounds[i - 1], bounds[i] - bounds[i - 1]));
    return out;
}

std::string canonicalText(std::string_view utf8) {
    if (belowCombiningMarks(utf8))
        return std::string(utf8);
    return text::canonicalKey(utf8);
}

std::string wellFormedText(std::string_view bytes) {
    if (text::isValidUtf8(bytes))
        return std::string(bytes);
    return text::decodeUtf8(bytes);
}

} // namespace orvane
