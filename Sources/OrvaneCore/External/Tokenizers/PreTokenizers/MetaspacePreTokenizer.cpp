#include "OrvaneCore/External/Tokenizers/PreTokenizers/MetaspacePreTokenizer.h"

#include "OrvaneCore/External/Hub/Configuration/Config.h"
#include "OrvaneCore/External/Tokenizers/Strings/StringSplitting.h"
#include "OrvaneCore/Text/RegexError.h"

namespace orvane {
namespace {

MetaspacePreTokenizer::PrependScheme schemeFrom(const std::optional<std::string>& raw) {
    if (raw == "first")
        return MetaspacePreTokenizer::PrependScheme::first;
    if (raw == "never")
        return MetaspacePreTokenizer::PrependScheme::never;
    return MetaspacePreTokenizer::PrependScheme::always;
}

// The marker is searched as an expression; one that does not compile (a lone "(" as marker) is
// searched as itself instead, so pre-tokenizing still cuts at it.
SearchPattern markerPattern(const std::string& replacement) {
    try {
        return SearchPattern::regularExpression(replacement);
    } catch (const text::RegexError&) {
        return SearchPattern::literal(replacement);
    }
}

std::string replacingBlanks(const std::string& text, const std::string& with) {
    std::string result;
    result.reserve(text.size());
    for (char c : text) {
        if (c == ' ') {
            result += with;
        } else {
            result += c;
        }
    }
    return result;
}

} // namespace

MetaspacePreTokenizer::MetaspacePreTokenizer(const Config& config)
    : MetaspacePreTokenizer(config["addPrefixSpace"].boolean().value_or(false),
                            config["replacement"].string().value_or(" "),
                            config["strRep"].string().value_or(config["replacement"].string().value_or(" ")),
                            schemeFrom(config["prependScheme"].string())) {}

MetaspacePreTokenizer::MetaspacePreTokenizer(bool addPrefixSpace, std::string replacement,
                                             std::string stringReplacement, PrependScheme prependScheme)
    : addPrefixSpace_(addPrefixSpace), replacement_(std::move(replacement)),
      stringReplacement_(std::move(stringReplacement)), prependScheme_(prependScheme),
      marker_(markerPattern(replacement_)) {}

std::vector<std::string> MetaspacePreTokenizer::preTokenize(const std::string& text,
                                                            const PreTokenizerOptions& options) const {
    std::string replaced = replacingBlanks(text, stringReplacement_);
    std::string prefix;
    if (addPrefixSpace_ && !replaced.starts_with(replacement_)) {
        if (prependScheme_ == PrependScheme::always ||
            (prependScheme_ == PrependScheme::first && options.contains(PreTokenizerOption::firstSection))) {
            prefix = stringReplacement_;
        }
    }
    return split(prefix + replaced, marker_, SplitDelimiterBehavior::mergedWithNext);
}

} // namespace orvane
