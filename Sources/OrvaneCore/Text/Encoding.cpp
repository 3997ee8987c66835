#include "OrvaneCore/Text/Encoding.h"

namespace orvane::text {

namespace {

// Continuation bytes are 80..BF, except that the second byte after E0, ED, F0 and F4 is narrowed so
// that overlong forms, surrogates and values above U+10FFFF are rejected at the earliest byte. Stopping
// at the first byte that does not fit gives the maximal-subpart replacement policy.
struct LeadInfo {
    int trailing;            // continuation bytes that follow
    unsigned char low, high; // allowed range of the first continuation byte
};

LeadInfo leadInfo(unsigned char b) {
    if (b >= 0xC2 && b <= 0xDF)
        return {1, 0x80, 0xBF};
    if (b == 0xE0)
        return {2, 0xA0, 0xBF};
    if (b == 0xED)
        return {2, 0x80, 0x9F};
    if (b >= 0xE1 && b <= 0xEF)
        return {2, 0x80, 0xBF};
    if (b == 0xF0)
        return {3, 0x90, 0xBF};
    if (b >= 0xF1 && b <= 0xF3)
        return {3, 0x80, 0xBF};
    if (b == 0xF4)
        return {3, 0x80, 0x8F};
    return {-1, 0, 0}; // 80..C1 and F5..FF never start a sequence
}

bool isSurrogate(char32_t c) {
    return c >= 0xD800 && c <= 0xDFFF;
}

} // namespace

char32_t nextCodePoint(std::string_view utf8, std::size_t& offset) {
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(utf8[i]); };
    const unsigned char lead = byte(offset++);
    if (lead < 0x80) {
        return lead;
    }
    const LeadInfo info = leadInfo(lead);
    if (info.trailing < 0) {
        return replacementCharacter;
    }
    char32_t value = lead & (0x3F >> info.trailing);
    for (int i = 0; i < info.trailing; ++i) {
        if (offset >= utf8.size()) {
            return replacementCharacter;
        }
        const unsigned char next = byte(offset);
        const unsigned char low = i == 0 ? info.low : 0x80;
        const unsigned char high = i == 0 ? info.high : 0xBF;
        if (next < low || next > high) {
            return replacementCharacter; // the offending byte starts the next sequence
        }
        value = (value << 6) | (next & 0x3F);
        ++offset;
    }
    return value;
}

void appendUtf8(std::string& out, char32_t c) {
    if (isSurrogate(c) || c > 0x10FFFF) {
        c = replacementCharacter;
    }
    if (c < 0x80) {
        out.push_back(static_cast<char>(c));
    } else if (c < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (c >> 6)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else if (c < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | (c >> 12)));
        out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | (c >> 18)));
        out.push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    }
}

std::string utf8(char32_t codePoint) {
    std::string out;
    appendUtf8(out, codePoint);
    return out;
}

bool isValidUtf8(std::string_view bytes) {
    for (std::size_t offset = 0; offset < bytes.size();) {
        const std::size_t start = offset;
        if (nextCodePoint(bytes, offset) == replacementCharacter &&
            bytes.substr(start, offset - start) != "\xEF\xBF\xBD") {
            return false;
        }
    }
    return true;
}

std::string decodeUtf8(std::string_view bytes) {
    std::string out;
    out.reserve(bytes.size());
    for (std::size_t offset = 0; offset < bytes.size();) {
        const std::size_t start = offset;
        const char32_t c = nextCodePoint(bytes, offset);
        if (c == replacementCharacter) {
            appendUtf8(out, c);
        } else {
            out.append(bytes.substr(start, offset - start));
        }
    }
    return out;
}

std::u16string toUtf16(std::string_view utf8) {
    std::u16string out;
    out.reserve(utf8.size());
    for (std::size_t offset = 0; offset < utf8.size();) {
        const char32_t c = nextCodePoint(utf8, offset);
        if (c < 0x10000) {
            out.push_back(static_cast<char16_t>(c));
        } else {
            out.push_back(static_cast<char16_t>(0xD7C0 + (c >> 10)));
            out.push_back(static_cast<char16_t>(0xDC00 | (c & 0x3FF)));
        }
    }
    return out;
}

std::string toUtf8(std::u16string_view utf16) {
    std::string out;
    out.reserve(utf16.size());
    for (std::size_t i = 0; i < utf16.size(); ++i) {
        char32_t c = utf16[i];
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < utf16.size() && utf16[i + 1] >= 0xDC00 &&
            utf16[i + 1] <= 0xDFFF) {
            c = 0x10000 + ((c - 0xD800) << 10) + (utf16[++i] - 0xDC00);
        }
        appendUtf8(out, c); // an unpaired surrogate comes out as U+FFFD
    }
    return out;
}

std::u32string toCodePoints(std::string_view utf8) {
    std::u32string out;
    out.reserve(utf8.size());
    forEachCodePoint(utf8, [&](char32_t c) { out.push_back(c); });
    return out;
}

std::string fromCodePoints(std::u32string_view codePoints) {
    std::string out;
    out.reserve(codePoints.size());
    for (char32_t c : codePoints) {
        appendUtf8(out, c);
    }
    return out;
}

std::size_t utf16Length(std::string_view utf8) {
    std::size_t length = 0;
    forEachCodePoint(utf8, [&](char32_t c) { length += c < 0x10000 ? 1 : 2; });
    return length;
}

} // namespace orvane::text
