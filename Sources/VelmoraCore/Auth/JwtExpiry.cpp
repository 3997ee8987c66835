#include "VelmoraCore/Auth/JwtExpiry.h"

#include <nlohmann/json.hpp>
#include <string>
#include <vector>

namespace velmora {

namespace {

int base64Value(char c) {
    if (c >= 'A' && c <= 'Z') {
        return c - 'A';
    }
    if (c >= 'a' && c <= 'z') {
        return c - 'a' + 26;
    }
    if (c >= '0' && c <= '9') {
        return c - '0' + 52;
    }
    if (c == '+') {
        return 62;
    }
    if (c == '/') {
        return 63;
    }
    return -1;
}

std::vector<std::string_view> nonEmptyPieces(std::string_view text, char separator) {
    std::vector<std::string_view> pieces;
    std::size_t start = 0;
    while (start <= text.size()) {
        std::size_t end = text.find(separator, start);
        if (end == std::string_view::npos) {
            end = text.size();
        }
        if (end > start) {
            pieces.push_back(text.substr(start, end - start));
        }
        start = end + 1;
    }
    return pieces;
}

} // namespace

std::optional<std::string> decodeBase64(std::string_view text) {
    if (text.size() % 4 != 0) {
        return std::nullopt;
    }
    std::size_t padding = 0;
    while (padding < 2 && padding < text.size() && text[text.size() - 1 - padding] == '=') {
        ++padding;
    }
    const std::string_view digits = text.substr(0, text.size() - padding);
    std::string out;
    out.reserve(digits.size() * 3 / 4);
    std::uint32_t bits = 0;
    int bitCount = 0;
    for (char c : digits) {
        const int value = base64Value(c);
        if (value < 0) {
            return std::nullopt; // a third "=" lands here too
        }
        bits = (bits << 6) | static_cast<std::uint32_t>(value);
        bitCount += 6;
        if (bitCount >= 8) {
            bitCount -= 8;
            out += static_cast<char>((bits >> bitCount) & 0xFF);
        }
    }
    return out;
}

std::optional<Date> jwtExpiry(std::string_view token) {
    const auto pieces = nonEmptyPieces(token, '.');
    if (pieces.size() != 3) {
        return std::nullopt;
    }
    std::string payload(pieces[1]);
    for (char& c : payload) {
        if (c == '-') {
            c = '+';
        } else if (c == '_') {
            c = '/';
        }
    }
    while (payload.size() % 4 != 0) {
        payload += '=';
    }
    const auto bytes = decodeBase64(payload);
    if (!bytes) {
        return std::nullopt;
    }
    const nlohmann::json json = nlohmann::json::parse(*bytes, nullptr, false);
    if (json.is_discarded() || !json.is_object()) {
        return std::nullopt;
    }
    const auto exp = json.find("exp");
    if (exp == json.end() || !exp->is_number()) {
        return std::nullopt;
    }
    return Date(std::chrono::duration<double>(exp->get<double>()));
}

} // namespace velmora
