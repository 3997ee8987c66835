#pragma once
// Turns byte-level tokens back into text: the characters of a run of tokens stand for bytes, and the
// bytes are decoded as UTF-8 (invalid sequences become U+FFFD). Added tokens are not byte-encoded, so
// they end a run and pass through as they are.

#include "OrvaneCore/External/Tokenizers/Decoders/Decoder.h"

#include <unordered_set>

namespace orvane {

class ByteLevelDecoder final : public Decoder {
public:
    explicit ByteLevelDecoder(std::unordered_set<std::string> addedTokens = {});

    std::vector<std::string> decode(const std::vector<std::string>& tokens) const override;

    const std::unordered_set<std::string>& addedTokens() const { return addedTokens_; }

private:
    std::unordered_set<std::string> addedTokens_;
};

} // namespace orvane
