#include "OrvaneCore/External/Tokenizers/Strings/ByteTables.h"

#include "OrvaneCore/External/Tokenizers/Strings/Utils.h"
#include "OrvaneCore/Text/Encoding.h"

namespace orvane {
namespace {

// Printable bytes keep their own code point; the 68 others (controls, space, DEL, NBSP, soft hyphen)
// take U+0100 onwards in byte order, so no table character is blank or invisible.
struct CodePointTable {
    std::array<char32_t, 256> encode{};
    CodePointTable() {
        char32_t next = 0x100;
        for (int byte = 0; byte < 256; ++byte) {
            bool printable = (byte >= 0x21 && byte <= 0x7E) || (byte >= 0xA1 && byte <= 0xAC) || byte >= 0xAE;
            encode[byte] = printable ? static_cast<char32_t>(byte) : next++;
        }
    }
};

const CodePointTable& codePointTable() {
    static const CodePointTable table;
    return table;
}

} // namespace

char32_t byteEncoderCodePoint(std::uint8_t byte) {
    return codePointTable().encode[byte];
}

std::optional<std::uint8_t> byteDecoderByte(char32_t codePoint) {
    if (codePoint <= 0xFF) {
        auto byte = static_cast<std::uint8_t>(codePoint);
        if (codePointTable().encode[byte] == codePoint)
            return byte;
        return std::nullopt;
    }
    if (codePoint >= 0x100 && codePoint <= 0x143) {
        // The non-printable bytes in increasing order.
        static const std::array<std::uint8_t, 68> shifted = [] {
            std::array<std::uint8_t, 68> bytes{};
            for (int byte = 0; byte < 256; ++byte) {
                char32_t cp = codePointTable().encode[byte];
                if (cp >= 0x100)
                    bytes[cp - 0x100] = static_cast<std::uint8_t>(byte);
            }
            return bytes;
        }();
        return shifted[codePoint - 0x100];
    }
    return std::nullopt;
}

const std::array<std::string, 256>& byteEncoder() {
    static const std::array<std::string, 256> table = [] {
        std::array<std::string, 256> strings;
        for (int byte = 0; byte < 256; ++byte)
            strings[byte] = text::utf8(byteEncoderCodePoint(static_cast<std::uint8_t>(byte)));
        return strings;
    }();
    return table;
}

const std::unordered_map<std::string, std::uint8_t>& byteDecoder() {
    static const std::unordered_map<std::string, std::uint8_t> table = [] {
        std::unordered_map<std::uint8_t, std::string> encoder;
        for (int byte = 0; byte < 256; ++byte)
            encoder[static_cast<std::uint8_t>(byte)] = byteEncoder()[byte];
        return Utils::invert(encoder);
    }();
    return table;
}

} // namespace orvane
