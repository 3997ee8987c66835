#pragma once
// Word-marker pre-tokenization: blanks become the replacement marker (usually "▁"), a marker may be put
// in front of the text, and the text is cut before every marker, so each word starts with one.

#include "OrvaneCore/External/Tokenizers/PreTokenizers/PreTokenizer.h"
#include "OrvaneCore/External/Tokenizers/Strings/SearchPattern.h"

#include <optional>
#include <string>

namespace orvane {

class Config;

class MetaspacePreTokenizer final : public PreTokenizer {
public:
    /// When a marker goes in front: always, never, or only in the first section of a text.
    enum class PrependScheme { first, never, always };

    /// Reads add_prefix_space (default false), replacement (default a blank), str_rep (default the
    /// replacement) and prepend_scheme ("first", "never" or "always"; anything else is "always").
    explicit MetaspacePreTokenizer(const Config& config);
    MetaspacePreTokenizer(bool addPrefixSpace, std::string replacement, std::string stringReplacement,
                          PrependScheme prependScheme);

    using PreTokenizer::preTokenize;
    std::vector<std::string> preTokenize(const std::string& text,
                                         const PreTokenizerOptions& options) const override;

    bool addPrefixSpace() const { return addPrefixSpace_; }
    const std::string& replacement() const { return replacement_; }
    const std::string& stringReplacement() const { return stringReplacement_; }
    PrependScheme prependScheme() const { return prependScheme_; }

private:
    bool addPrefixSpace_;
    std::string replacement_;
    std::string stringReplacement_;
    PrependScheme prependScheme_;
    SearchPattern marker_;
};

} // namespace orvane
