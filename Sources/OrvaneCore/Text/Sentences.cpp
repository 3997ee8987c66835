#include "OrvaneCore/Text/Sentences.h"

#include "OrvaneCore/Text/BreakIterators.h"
#include "OrvaneCore/Text/Encoding.h"

namespace orvane::text {

std::vector<Utf16Range> sentenceRanges(std::u16string_view utf16) {
    std::vector<Utf16Range> ranges;
    if (utf16.empty()) {
        return ranges;
    }
    icu::BreakIterator& iterator = detail::sentenceIterator(utf16);
    int32_t start = iterator.first();
    for (int32_t end = iterator.next(); end != icu::BreakIterator::DONE; start = end, end = iterator.next()) {
        ranges.push_back({std::size_t(start), std::size_t(end)});
    }
    return ranges;
}

std::vector<std::string> sentences(std::string_view utf8) {
    const std::u16string units = toUtf16(utf8);
    std::vector<std::string> result;
    for (const Utf16Range& range : sentenceRanges(units)) {
        result.push_back(toUtf8(range.of(units)));
    }
    return result;
}

} // namespace orvane::text
