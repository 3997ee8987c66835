#include "OrvaneCore/External/Tokenizers/Strings/SearchPattern.h"

#include "OrvaneCore/Text/Encoding.h"

namespace orvane {

SearchPattern SearchPattern::literal(std::string_view literal) {
    SearchPattern pattern;
    pattern.literal_ = text::toUtf16(literal);
    return pattern;
}

SearchPattern SearchPattern::regularExpression(std::string_view pattern) {
    return regularExpression(text::Regex(pattern));
}

SearchPattern SearchPattern::regularExpression(text::Regex regex) {
    SearchPattern pattern;
    pattern.regex_ = std::make_shared<const text::Regex>(std::move(regex));
    return pattern;
}

std::vector<text::Utf16Range> SearchPattern::ranges(std::u16string_view text) const {
    if (regex_)
        return regex_->findAllRanges(text);
    std::vector<text::Utf16Range> found;
    if (literal_.empty())
        return found;
    for (std::size_t start = text.find(literal_); start != std::u16string_view::npos;
         start = text.find(literal_, start + literal_.size())) {
        found.push_back({start, start + literal_.size()});
    }
    return found;
}

} // namespace orvane
