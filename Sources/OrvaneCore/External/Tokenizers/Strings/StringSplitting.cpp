#include "OrvaneCore/External/Tokenizers/Strings/StringSplitting.h"

#include "OrvaneCore/Text/Encoding.h"

namespace orvane {
namespace {

void appendPiece(std::vector<std::string>& pieces, std::u16string_view text, std::size_t start,
                 std::size_t end) {
    if (end > start)
        pieces.push_back(text::toUtf8(text.substr(start, end - start)));
}

} // namespace

std::vector<text::Utf16Range> ranges(std::u16string_view text, const SearchPattern& pattern) {
    return pattern.ranges(text);
}

std::vector<std::string> matches(std::string_view text, const SearchPattern& pattern) {
    std::u16string units = text::toUtf16(text);
    std::vector<std::string> found;
    for (const auto& range : pattern.ranges(units))
        found.push_back(text::toUtf8(range.of(units)));
    return found;
}

std::vector<std::string> split(std::string_view text, const SearchPattern& pattern, bool includeSeparators) {
    std::u16string units = text::toUtf16(text);
    std::vector<std::string> pieces;
    std::size_t start = 0;
    for (const auto& match : pattern.ranges(units)) {
        appendPiece(pieces, units, start, match.start);
        if (includeSeparators)
            appendPiece(pieces, units, match.start, match.end);
        start = match.end;
    }
    appendPiece(pieces, units, start, units.size());
    return pieces;
}

std::vector<std::string> split(std::string_view text, const SearchPattern& pattern,
                               SplitDelimiterBehavior behavior) {
    switch (behavior) {
    case SplitDelimiterBehavior::removed:
        return split(text, pattern, false);
    case SplitDelimiterBehavior::isolated:
        return split(text, pattern, true);
    case SplitDelimiterBehavior::mergedWithPrevious:
    case SplitDelimiterBehavior::mergedWithNext:
        break;
    }
    std::u16string units = text::toUtf16(text);
    std::vector<std::string> pieces;
    std::size_t start = 0;
    for (const auto& match : pattern.ranges(units)) {
        std::size_t cut = behavior == SplitDelimiterBehavior::mergedWithPrevious ? match.end : match.start;
        if (cut == 0)
            continue;
        appendPiece(pieces, units, start, cut);
        start = std::max(start, cut);
    }
    appendPiece(pieces, units, start, units.size());
    return pieces;
}

std::vector<std::string> split(std::string_view text, const text::Regex& regex) {
    std::u16string units = text::toUtf16(text);
    auto found = regex.findAll(units);
    if (found.empty())
        return {std::string(text)};
    std::vector<std::string> pieces;
    std::size_t start = 0;
    for (const auto& match : found) {
        const auto& whole = match.range();
        if (whole.start < start || whole.end > units.size())
            continue;
        appendPiece(pieces, units, start, whole.start);
        start = whole.end;
        for (std::size_t group = match.groups.size(); group-- > 0;) {
            if (match.groups[group]) {
                pieces.push_back(text::toUtf8(match.groups[group]->of(units)));
                break;
            }
        }
    }
    appendPiece(pieces, units, start, units.size());
    return pieces;
}

} // namespace orvane
