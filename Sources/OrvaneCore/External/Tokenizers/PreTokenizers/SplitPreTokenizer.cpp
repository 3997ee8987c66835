#include "OrvaneCore/External/Tokenizers/PreTokenizers/SplitPreTokenizer.h"

#include "OrvaneCore/External/Hub/Configuration/Config.h"
#include "OrvaneCore/External/Tokenizers/Strings/FailedSearch.h"
#include "OrvaneCore/External/Tokenizers/Strings/StringSplitting.h"
#include "OrvaneCore/Text/RegexError.h"

namespace orvane {

SplitPreTokenizer::SplitPreTokenizer(const Config& config)
    : SplitPreTokenizer(StringSplitPattern::from(config), config["invert"].boolean().value_or(false)) {}

SplitPreTokenizer::SplitPreTokenizer(std::optional<StringSplitPattern> pattern, bool invert)
    : pattern_(std::move(pattern)), invert_(invert) {
    if (!pattern_)
        return;
    if (pattern_->kind == StringSplitPattern::Kind::string) {
        search_ = SearchPattern::literal(pattern_->pattern);
        return;
    }
    try {
        search_ = SearchPattern::regularExpression(pattern_->pattern);
    } catch (const text::RegexError&) {
        // A search with an expression that does not compile finds nothing.
    }
}

std::vector<std::string> SplitPreTokenizer::preTokenize(const std::string& text,
                                                        const PreTokenizerOptions&) const {
    if (!pattern_)
        return {text};
    if (!search_)
        return text.empty() ? std::vector<std::string>{} : std::vector<std::string>{text};
    bool keepSeparators = pattern_->kind == StringSplitPattern::Kind::regexp || !invert_;
    try {
        return split(text, *search_, keepSeparators);
    } catch (const text::RegexError& error) {
        reportFailedSearch("Split pre-tokenizer", error);
        return text.empty() ? std::vector<std::string>{} : std::vector<std::string>{text};
    }
}

} // namespace orvane
