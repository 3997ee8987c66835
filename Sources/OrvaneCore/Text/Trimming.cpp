#include "OrvaneCore/Text/Trimming.h"

#include "OrvaneCore/Text/CharacterProperties.h"
#include "OrvaneCore/Text/Encoding.h"

#include <algorithm>

namespace orvane::text {

std::string_view trimmed(std::string_view utf8, CodePointPredicate isTrimmed) {
    // One forward walk: decoding backwards would have to re-synchronise on invalid bytes.
    std::size_t start = utf8.size();
    std::size_t end = 0;
    for (std::size_t offset = 0; offset < utf8.size();) {
        const std::size_t begin = offset;
        if (!isTrimmed(nextCodePoint(utf8, offset))) {
            start = std::min(start, begin);
            end = offset;
        }
    }
    return start < end ? utf8.substr(start, end - start) : std::string_view();
}

std::string_view trimmedWhiteSpaceAndNewlines(std::string_view utf8) {
    return trimmed(utf8, isWhiteSpaceOrNewline);
}

} // namespace orvane::text
