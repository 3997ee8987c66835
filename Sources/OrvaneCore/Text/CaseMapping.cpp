#include "OrvaneCore/Text/CaseMapping.h"

#include "OrvaneCore/Text/Encoding.h"

#include <unicode/uchar.h>
#include <unicode/ustring.h>
#include <unicode/utf16.h>

namespace orvane::text {

namespace {

enum class Mapping { lower, title };

// Mapped alone, a code point has no neighbours, so context rules such as final sigma cannot apply;
// the full mapping may still give several code points (U+0130 -> "i" + U+0307, U+00DF -> "Ss").
void appendMapped(std::string& out, char32_t c, Mapping mapping) {
    if (c < 0x80) {
        const bool flip = mapping == Mapping::lower ? (c >= 'A' && c <= 'Z') : (c >= 'a' && c <= 'z');
        out.push_back(static_cast<char>(flip ? c ^ 0x20 : c));
        return;
    }
    if (c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) {
        appendUtf8(out, c);
        return;
    }
    UChar source[2];
    int32_t length = 0;
    U16_APPEND_UNSAFE(source, length, static_cast<UChar32>(c));
    UChar mapped[8];
    UErrorCode status = U_ZERO_ERROR;
    const int32_t mappedLength = mapping == Mapping::lower
                                     ? u_strToLower(mapped, 8, source, length, "", &status)
                                     : u_strToTitle(mapped, 8, source, length, nullptr, "", &status);
    if (U_FAILURE(status)) {
        appendUtf8(out, c);
        return;
    }
    out += toUtf8(std::u16string_view(reinterpret_cast<const char16_t*>(mapped), std::size_t(mappedLength)));
}

void appendLowercase(std::string& out, char32_t c) {
    appendMapped(out, c, Mapping::lower);
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

std::string capitalized(std::string_view utf8) {
    std::string out;
    out.reserve(utf8.size());
    bool afterCased = false;
    forEachCodePoint(utf8, [&](char32_t c) {
        appendMapped(out, c, afterCased ? Mapping::lower : Mapping::title);
        // Apostrophes and combining marks continue a word rather than end it.
        if (!u_hasBinaryProperty(static_cast<UChar32>(c), UCHAR_CASE_IGNORABLE)) {
            afterCased = u_hasBinaryProperty(static_cast<UChar32>(c), UCHAR_CASED);
        }
    });
    return out;
}

} // namespace orvane::text
