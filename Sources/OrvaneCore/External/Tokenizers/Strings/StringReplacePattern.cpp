#include "OrvaneCore/External/Tokenizers/Strings/StringReplacePattern.h"

#include "OrvaneCore/External/Hub/Configuration/Config.h"
#include "OrvaneCore/External/Tokenizers/Pipeline/TokenizerError.h"
#include "OrvaneCore/External/Tokenizers/Strings/FailedSearch.h"
#include "OrvaneCore/Text/RegexError.h"

namespace orvane {

std::string replacingOccurrences(const std::string& text, const std::string& pattern, const std::string& replacement) {
    if (pattern.empty()) {
        return text;
    }
    std::string out;
    std::size_t start = 0;
    for (std::size_t found = text.find(pattern); found != std::string::npos; found = text.find(pattern, start)) {
        out.append(text, start, found - start);
        out += replacement;
        start = found + pattern.size();
    }
    out.append(text, start);
    return out;
}

std::optional<StringReplacePattern> StringReplacePattern::from(const Config& config) {
    const std::optional<std::string> content = config["content"].string();
    if (!content) {
        return std::nullopt;
    }
    const Config& pattern = config["pattern"];
    if (auto literal = pattern["String"].string()) {
        return StringReplacePattern(Literal{*literal, *content});
    }
    if (auto expression = pattern["Regex"].string()) {
        try {
            return StringReplacePattern(Expression{std::make_shared<const text::Regex>(*expression), *content});
        } catch (const text::RegexError&) {
            throw TokenizerError::mismatchedConfig("Cannot build regexp from " + *expression);
        }
    }
    return std::nullopt;
}

std::string StringReplacePattern::replace(const std::string& text) const {
    if (const auto* literal = std::get_if<Literal>(&kind_)) {
        return replacingOccurrences(text, literal->pattern, literal->replacement);
    }
    const auto& expression = std::get<Expression>(kind_);
    try {
        return expression.regexp->replaceAll(text, expression.replacement);
    } catch (const text::RegexError& error) {
        // A template naming a group the expression lacks, or an expression that gave up on this text:
        // leave the text as it is rather than fail.
        if (error.searchGaveUp())
            reportFailedSearch("Replace", error);
        return text;
    }
}

} // namespace orvane
