#pragma once
// Replaces a literal or every match of a regular expression in each token separately.

#include "OrvaneCore/External/Tokenizers/Decoders/Decoder.h"
#include "OrvaneCore/External/Tokenizers/Strings/StringReplacePattern.h"

#include <optional>

namespace orvane {

class Config;

class ReplaceDecoder : public Decoder {
public:
    /// Reads "pattern" and "content"; throws TokenizerError for an expression that does not compile.
    explicit ReplaceDecoder(const Config& config);
    explicit ReplaceDecoder(std::optional<StringReplacePattern> pattern) : pattern_(std::move(pattern)) {}

    std::vector<std::string> decode(const std::vector<std::string>& tokens) const override;

private:
    std::optional<StringReplacePattern> pattern_;
};

} // namespace orvane
