#pragma once
// Turns runs of "<0xHH>" byte tokens back into text: the bytes of a run are decoded as UTF-8, an
// invalid or cut sequence becoming U+FFFD; every other token passes unchanged.

#include "OrvaneCore/External/Tokenizers/Decoders/Decoder.h"

#include <cstdint>
#include <optional>

namespace orvane {

class Config;

class ByteFallbackDecoder : public Decoder {
public:
    ByteFallbackDecoder() = default;
    /// Reads nothing from its configuration.
    explicit ByteFallbackDecoder(const Config&) {}

    std::vector<std::string> decode(const std::vector<std::string>& tokens) const override;

    /// The byte of a token of exactly the form "<0xHH>" (hexadecimal digits of either case).
    static std::optional<std::uint8_t> byteValue(const std::string& token);
};

} // namespace orvane
