#include "OrvaneCore/External/Tokenizers/PreTokenizers/ByteLevelPreTokenizer.h"

#include "OrvaneCore/External/Hub/Configuration/Config.h"
#include "OrvaneCore/External/Tokenizers/PreTokenizers/ByteLevelPattern.h"
#include "OrvaneCore/External/Tokenizers/Strings/ByteTables.h"
#include "OrvaneCore/Text/Encoding.h"

namespace orvane {

ByteLevelPreTokenizer::ByteLevelPreTokenizer(const Config& config)
    : addPrefixSpace_(config["addPrefixSpace"].boolean().value_or(false)),
      trimOffsets_(config["trimOffsets"].boolean().value_or(true)),
      useRegex_(config["useRegex"].boolean().value_or(true)) {}

ByteLevelPreTokenizer::ByteLevelPreTokenizer(bool addPrefixSpace, bool useRegex)
    : addPrefixSpace_(addPrefixSpace), useRegex_(useRegex) {}

std::string ByteLevelPreTokenizer::byteEncoded(std::string_view utf8) {
    const auto& table = byteEncoder();
    std::string encoded;
    encoded.reserve(utf8.size() * 2);
    for (unsigned char byte : utf8)
        encoded += table[byte];
    return encoded;
}

namespace {

// The byte-table text of UTF-16 units, without an intermediate UTF-8 copy (a hot path of encoding).
std::string byteEncodedUnits(std::u16string_view units, bool prefixSpace) {
    const auto& table = byteEncoder();
    std::string encoded;
    encoded.reserve(units.size() * 3 + 2);
    if (prefixSpace)
        encoded += table[' '];
    std::string bytes;
    for (std::size_t i = 0; i < units.size(); ++i) {
        char32_t codePoint = units[i];
        if (codePoint >= 0xD800 && codePoint <= 0xDBFF && i + 1 < units.size() && units[i + 1] >= 0xDC00 &&
            units[i + 1] <= 0xDFFF) {
            codePoint = 0x10000 + ((codePoint - 0xD800) << 10) + (units[++i] - 0xDC00);
        }
        if (codePoint < 0x80) {
            encoded += table[codePoint];
            continue;
        }
        bytes.clear();
        text::appendUtf8(bytes, codePoint);
        for (unsigned char byte : bytes)
            encoded += table[byte];
    }
    return encoded;
}

} // namespace

std::vector<std::string> ByteLevelPreTokenizer::preTokenize(const std::string& text,
                                                            const PreTokenizerOptions&) const {
    std::vector<std::string> pieces;
    if (!useRegex_) {
        bool prefix = addPrefixSpace_ && !text.starts_with(' ');
        pieces.push_back((prefix ? byteEncoder()[' '] : std::string()) + byteEncoded(text));
        return pieces;
    }
    std::u16string units = text::toUtf16(text);
    for (const auto& range : byteLevelPattern().findAllRanges(units)) {
        std::u16string_view piece = range.of(units);
        pieces.push_back(byteEncodedUnits(piece, addPrefixSpace_ && !piece.starts_with(u' ')));
    }
    return pieces;
}

} // namespace orvane
