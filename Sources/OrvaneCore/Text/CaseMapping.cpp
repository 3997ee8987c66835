#include "OrvaneCore/Text/CaseMapping.h"

#include "OrvaneCore/Text/Encoding.h"

#include <unicode/ustring.h>
#include <unicode/utf16.h>

namespace orvane::text {

namespace {

void appendLowercase(std::string& out, char32_t c) {
    if (c < 0x80) {
        out.push_back(static_cast<char>(c >= 'A' && c <= 'Z' ? c + ('a' - 'A') : c));
        return;
    }
    // Mapped alone, the code point has no neighbours, so context rules such as final sigma cannot apply;
    // the full mapping may still give several code points (U+0130 -> "i" + U+0307).
    UChar source[2];
    int32_t length = 0;
    U16_APPEND_UNSAFE(source, length, static_cast<UChar32>(c));
    UChar mapped[8];
    UErrorCode status = U_ZERO_ERROR;
    const int32_t mappedLength = u_strToLower(mapped, 8, source, length, "", &status);
    if (U_FAILURE(status)) {
        appendUtf8(out, c);
        return;
    }
    out += toUtf8(std::u16string_view(reinterpret_cast<const char16_t*>(mapped), std::size_t(mappedLength)));
}

} // namespace

std::string lowercaseMapping(char32_t codePoint) {
    std::string out;
    appendLowercase(out, codePoint);
    return out;
}

std::string lowercased(std::string_view utf8) {
    std::string out;
    out.reserve(utf8.size());
    forEachCodePoint(utf8, [&](char32_t c) { appendLowercase(out, c); });
    return out;
}

} // namespace orvane::text
