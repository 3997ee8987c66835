#pragma once
// Joins word pieces back into words: a piece that carries the continuation prefix loses it, any other
// piece after the first is a new word and gets a blank in front; optionally the blanks before
// punctuation and contractions are removed.

#include "OrvaneCore/External/Tokenizers/Decoders/Decoder.h"
#include "OrvaneCore/Text/Regex.h"

namespace orvane {

class Config;

class WordPieceDecoder : public Decoder {
public:
    /// Reads "prefix" (required) and "cleanup" (false when absent). Throws TokenizerError
    /// (mismatchedConfig "Missing `prefix` configuration for WordPieceDecoder.").
    explicit WordPieceDecoder(const Config& config);
    WordPieceDecoder(std::string prefix, bool cleanup);

    std::vector<std::string> decode(const std::vector<std::string>& tokens) const override;

    const std::string& prefix() const { return prefix_; }
    bool cleanup() const { return cleanup_; }

private:
    std::string cleanUp(const std::string& token) const;

    std::string prefix_;
    bool cleanup_;
    text::Regex re_;
};

} // namespace orvane
