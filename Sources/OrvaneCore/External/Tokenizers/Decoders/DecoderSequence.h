#pragma once
// Several decoders applied one after the other, each to the list the previous one returned.

#include "OrvaneCore/External/Tokenizers/Decoders/Decoder.h"

#include <memory>

namespace orvane {

class Config;

class DecoderSequence : public Decoder {
public:
    /// Reads "decoders" (entries without a "type" are skipped; members get no added tokens).
    /// Throws TokenizerError (mismatchedConfig "No decoders in Sequence" or a member's error).
    explicit DecoderSequence(const Config& config);
    explicit DecoderSequence(std::vector<std::shared_ptr<Decoder>> decoders) : decoders_(std::move(decoders)) {}

    std::vector<std::string> decode(const std::vector<std::string>& tokens) const override;

    const std::vector<std::shared_ptr<Decoder>>& decoders() const { return decoders_; }

private:
    std::vector<std::shared_ptr<Decoder>> decoders_;
};

} // namespace orvane
