#pragma once
// A replacement read from a "pattern" object ({"String": literal} or {"Regex": expression}) and a
// "content" string; shared by the Replace normalizer and the Replace decoder.

#include "OrvaneCore/Text/Regex.h"

#include <memory>
#include <optional>
#include <string>
#include <variant>

namespace orvane {

class Config;

class StringReplacePattern {
public:
    /// Every match replaced by `replacement`, a template where "$n" stands for capture group n.
    struct Expression {
        std::shared_ptr<const text::Regex> regexp;
        std::string replacement;
    };
    /// Every occurrence of a literal, left to right and without overlap.
    struct Literal {
        std::string pattern;
        std::string replacement;
    };

    explicit StringReplacePattern(Expression expression) : kind_(std::move(expression)) {}
    explicit StringReplacePattern(Literal literal) : kind_(std::move(literal)) {}

    /// None without a string "content" or without a string "String" or "Regex" member of "pattern";
    /// "String" wins when both are there. Throws TokenizerError (mismatchedConfig "Cannot build regexp
    /// from " and the expression) when the expression does not compile.
    static std::optional<StringReplacePattern> from(const Config& config);

    std::string replace(const std::string& text) const;

    const std::variant<Expression, Literal>& kind() const { return kind_; }

private:
    std::variant<Expression, Literal> kind_;
};

/// Every occurrence of `pattern` in `text` replaced, left to right and without overlap; an empty
/// pattern replaces nothing.
std::string replacingOccurrences(const std::string& text, const std::string& pattern, const std::string& replacement);

} // namespace orvane
