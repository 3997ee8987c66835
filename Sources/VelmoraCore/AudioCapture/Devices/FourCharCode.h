#pragma once
// Four-character codes: the 32-bit value whose bytes, most significant first, are the four characters
// ('bltn' for built-in). Transport types are written this way.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace velmora {

constexpr uint32_t fourCharCode(const char (&text)[5]) {
    return (uint32_t(uint8_t(text[0])) << 24) | (uint32_t(uint8_t(text[1])) << 16) |
           (uint32_t(uint8_t(text[2])) << 8) | uint32_t(uint8_t(text[3]));
}

/// The code of exactly four characters, or none for any other length.
std::optional<uint32_t> fourCharCode(std::string_view text);

} // namespace velmora
