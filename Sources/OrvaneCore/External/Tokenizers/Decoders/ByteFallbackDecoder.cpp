#include "OrvaneCore/External/Tokenizers/Decoders/ByteFallbackDecoder.h"

#include "OrvaneCore/Text/Encoding.h"

namespace orvane {
namespace {

std::optional<int> hexDigit(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    return std::nullopt;
}

} // namespace

std::optional<std::uint8_t> ByteFallbackDecoder::byteValue(const std::string& token) {
    if (token.size() != 6 || !token.starts_with("<0x") || token[5] != '>') {
        return std::nullopt;
    }
    const auto high = hexDigit(token[3]);
    const auto low = hexDigit(token[4]);
    if (!high || !low) {
        return std::nullopt;
    }
    return static_cast<std::uint8_t>(*high * 16 + *low);
}

std::vector<std::string> ByteFallbackDecoder::decode(const std::vector<std::string>& tokens) const {
    std::vector<std::string> out;
    std::string bytes;
    for (const std::string& token : tokens) {
        if (auto byte = byteValue(token)) {
            bytes.push_back(static_cast<char>(*byte));
            continue;
        }
        if (!bytes.empty()) {
            out.push_back(text::decodeUtf8(bytes));
            bytes.clear();
        }
        out.push_back(token);
    }
    if (!bytes.empty()) {
        out.push_back(text::decodeUtf8(bytes));
    }
    return out;
}

} // namespace orvane
