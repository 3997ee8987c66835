#pragma once
// Turns word markers back into blanks, dropping the blank the marker of the very first word left.

#include "OrvaneCore/External/Tokenizers/Decoders/Decoder.h"

namespace orvane {

class Config;

class MetaspaceDecoder : public Decoder {
public:
    /// Reads add_prefix_space (false when absent) and "replacement" ("_" when absent).
    explicit MetaspaceDecoder(const Config& config);
    MetaspaceDecoder(bool addPrefixSpace, std::string replacement)
        : addPrefixSpace_(addPrefixSpace), replacement_(std::move(replacement)) {}

    std::vector<std::string> decode(const std::vector<std::string>& tokens) const override;

    bool addPrefixSpace() const { return addPrefixSpace_; }
    const std::string& replacement() const { return replacement_; }

private:
    bool addPrefixSpace_;
    std::string replacement_;
};

} // namespace orvane
