#pragma once
// Cuts text at the matches of a configured literal or expression. Matches of an expression are kept
// as pieces of their own; matches of a literal too, unless "invert" is set, which drops them.
// Without a usable pattern the text stays whole.

#include "OrvaneCore/External/Tokenizers/PreTokenizers/PreTokenizer.h"
#include "OrvaneCore/External/Tokenizers/PreTokenizers/StringSplitPattern.h"
#include "OrvaneCore/External/Tokenizers/Strings/SearchPattern.h"

#include <optional>

namespace orvane {

class Config;

class SplitPreTokenizer final : public PreTokenizer {
public:
    /// Reads "pattern" ("String" or "Regex") and invert (default false). An expression that does not
    /// compile finds nothing, so the text stays whole.
    explicit SplitPreTokenizer(const Config& config);
    SplitPreTokenizer(std::optional<StringSplitPattern> pattern, bool invert);

    using PreTokenizer::preTokenize;
    std::vector<std::string> preTokenize(const std::string& text,
                                         const PreTokenizerOptions& options) const override;

    const std::optional<StringSplitPattern>& pattern() const { return pattern_; }
    bool invert() const { return invert_; }

private:
    std::optional<StringSplitPattern> pattern_;
    bool invert_ = false;
    std::optional<SearchPattern> search_;
};

} // namespace orvane
