#pragma once
// Replaces a literal or every match of a regular expression; without a usable pattern the text stays.

#include "OrvaneCore/External/Tokenizers/Normalizers/Normalizer.h"
#include "OrvaneCore/External/Tokenizers/Strings/StringReplacePattern.h"

#include <optional>

namespace orvane {

class Config;

class ReplaceNormalizer : public Normalizer {
public:
    /// Reads "pattern" and "content"; throws TokenizerError for an expression that does not compile.
    explicit ReplaceNormalizer(const Config& config);
    explicit ReplaceNormalizer(std::optional<StringReplacePattern> pattern) : pattern_(std::move(pattern)) {}

    std::string normalize(const std::string& text) const override;

    const std::optional<StringReplacePattern>& pattern() const { return pattern_; }

private:
    std::optional<StringReplacePattern> pattern_;
};

} // namespace orvane
