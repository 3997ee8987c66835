#include "OrvaneCore/External/Tokenizers/ByteLevelPreTokenizer.h"

#include "OrvaneCore/External/Hub/Config.h"
#include "OrvaneCore/External/Tokenizers/ByteLevelPattern.h"
#include "OrvaneCore/External/Tokenizers/ByteTables.h"
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
    for (unsigned char byte : utf8) encoded += table[byte];
    return encoded;
}

std::vector<std::string> ByteLevelPreTokenizer::preTokenize(const std::string& text,
                                                            const PreTokenizerOptions&) const {
    std::vector<std::string> pieces;
    if (useRegex_) {
        std::u16string units = text::toUtf16(text);
        for (const auto& range : byteLevelPattern().findAllRanges(units)) {
            pieces.push_back(text::toUtf8(range.of(units)));
        }
    } else {
        pieces.push_back(text);
    }
    for (auto& piece : pieces) {
        if (addPrefixSpace_ && !piece.starts_with(' ')) piece.insert(piece.begin(), ' ');
        piece = byteEncoded(piece);
    }
    return pieces;
}

} // namespace orvane
