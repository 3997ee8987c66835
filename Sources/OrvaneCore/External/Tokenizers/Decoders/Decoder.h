#pragma once
// A decoder turns the token texts of decoded ids back into text pieces, which the pipeline joins.
// Built by DecoderFactory from the "decoder" object of "tokenizer.json". Immutable once built;
// decoding never fails.

#include <string>
#include <vector>

namespace orvane {

class Decoder {
public:
    virtual ~Decoder() = default;

    virtual std::vector<std::string> decode(const std::vector<std::string>& tokens) const = 0;
    std::vector<std::string> operator()(const std::vector<std::string>& tokens) const {
        return decode(tokens);
    }
};

} // namespace orvane
