#pragma once
// Joins all tokens into one string (an empty list gives one empty string).

#include "OrvaneCore/External/Tokenizers/Decoders/Decoder.h"

namespace orvane {

class Config;

class FuseDecoder : public Decoder {
public:
    FuseDecoder() = default;
    /// Reads nothing from its configuration.
    explicit FuseDecoder(const Config&) {}

    std::vector<std::string> decode(const std::vector<std::string>& tokens) const override;
};

} // namespace orvane
