#pragma once
// The shared procedure of the pre-tokenizers defined by one fixed expression: the pieces are the
// expression's matches, in order; text no alternative matches is dropped.

#include "OrvaneCore/External/Tokenizers/PreTokenizers/PreTokenizer.h"
#include "OrvaneCore/Text/Regex.h"

#include <string>

namespace orvane {

class MatchingPreTokenizer : public PreTokenizer {
public:
    using PreTokenizer::preTokenize;
    std::vector<std::string> preTokenize(const std::string& text,
                                         const PreTokenizerOptions& options) const override;

    /// The expression, as written.
    const std::string& re() const { return regex_.pattern(); }

protected:
    explicit MatchingPreTokenizer(const std::string& re);

private:
    text::Regex regex_;
};

} // namespace orvane
