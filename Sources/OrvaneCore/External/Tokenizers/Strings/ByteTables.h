#pragma once
// The byte-to-character tables of byte-level tokenization: every byte value stands for one printable
// character, so that arbitrary bytes become text a vocabulary can hold ("Ġ" is the space byte).
// Built once per process on first use (thread-safe) and read-only afterwards.

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <unordered_map>

namespace orvane {

/// Byte value to its one-character UTF-8 string.
const std::array<std::string, 256>& byteEncoder();

/// One-character string back to its byte value (the inverse of byteEncoder()).
const std::unordered_map<std::string, std::uint8_t>& byteDecoder();

/// The code point that stands for `byte`.
char32_t byteEncoderCodePoint(std::uint8_t byte);

/// The byte a code point stands for; none when it is outside the table.
std::optional<std::uint8_t> byteDecoderByte(char32_t codePoint);

} // namespace orvane
