#pragma once
// Byte-level pre-tokenization: the text is cut into words (optionally), and every byte of each word
// is written as its byte-table character, so the model only ever sees the table's 256 characters.

#include "OrvaneCore/External/Tokenizers/PreTokenizers/PreTokenizer.h"

namespace orvane {

class Config;

class ByteLevelPreTokenizer final : public PreTokenizer {
public:
    /// Reads add_prefix_space (default false), trim_offsets (true, unused) and use_regex (true).
    explicit ByteLevelPreTokenizer(const Config& config);
    ByteLevelPreTokenizer(bool addPrefixSpace, bool useRegex);

    using PreTokenizer::preTokenize;
    std::vector<std::string> preTokenize(const std::string& text,
                                         const PreTokenizerOptions& options) const override;

    bool addPrefixSpace() const { return addPrefixSpace_; }
    bool trimOffsets() const { return trimOffsets_; }
    bool useRegex() const { return useRegex_; }

    /// Every byte of UTF-8 text replaced by its byte-table character.
    static std::string byteEncoded(std::string_view utf8);

private:
    bool addPrefixSpace_ = false;
    bool trimOffsets_ = true;
    bool useRegex_ = true;
};

} // namespace orvane
