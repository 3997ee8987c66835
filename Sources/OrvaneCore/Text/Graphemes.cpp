#include "OrvaneCore/Text/Graphemes.h"

#include "OrvaneCore/Text/BreakIterators.h"

#include <algorithm>
#include <stdexcept>

namespace orvane::text {

namespace {

// In ASCII text every character is one cluster except CR LF, which is one: the common case needs no ICU.
template <typename Char> bool isAscii(std::basic_string_view<Char> text) {
    return std::all_of(text.begin(), text.end(), [](Char c) { return static_cast<std::uint32_t>(c) < 0x80; });
}

template <typename Char> std::size_t asciiCount(std::basic_string_view<Char> text) {
    std::size_t count = text.size();
    for (std::size_t i = 1; i < text.size(); ++i) {
        if (text[i - 1] == Char('\r') && text[i] == Char('\n')) {
            --count;
        }
    }
    return count;
}

std::size_t countBoundaries(icu::BreakIterator& iterator) {
    std::size_t count = 0;
    iterator.first();
    while (iterator.next() != icu::BreakIterator::DONE) {
        ++count;
    }
    return count;
}

} // namespace

std::size_t graphemeCount(std::string_view utf8) {
    if (isAscii(utf8)) {
        return asciiCount(utf8);
    }
    return countBoundaries(detail::characterIterator(utf8));
}

std::size_t graphemeCount(std::u16string_view utf16) {
    if (isAscii(utf16)) {
        return asciiCount(utf16);
    }
    return countBoundaries(detail::characterIterator(utf16));
}

std::vector<std::string> graphemes(std::string_view utf8) {
    std::vector<std::string> result;
    if (isAscii(utf8)) {
        result.reserve(utf8.size());
        for (std::size_t i = 0; i < utf8.size(); ++i) {
            const std::size_t length = utf8[i] == '\r' && i + 1 < utf8.size() && utf8[i + 1] == '\n' ? 2 : 1;
            result.emplace_back(utf8.substr(i, length));
            i += length - 1;
        }
        return result;
    }
    // Over UTF-8 the iterator reports byte offsets, so slices need no conversion.
    icu::BreakIterator& iterator = detail::characterIterator(utf8);
    int32_t start = iterator.first();
    for (int32_t end = iterator.next(); end != icu::BreakIterator::DONE; start = end, end = iterator.next()) {
        result.emplace_back(utf8.substr(std::size_t(start), std::size_t(end - start)));
    }
    return result;
}

std::vector<std::size_t> graphemeBoundaries(std::u16string_view utf16) {
    std::vector<std::size_t> boundaries{0};
    icu::BreakIterator& iterator = detail::characterIterator(utf16);
    iterator.first();
    for (int32_t end = iterator.next(); end != icu::BreakIterator::DONE; end = iterator.next()) {
        boundaries.push_back(std::size_t(end));
    }
    return boundaries;
}

std::size_t nextGraphemeBoundary(std::u16string_view utf16, std::size_t offset) {
    if (offset >= utf16.size()) {
        return utf16.size();
    }
    if (utf16[offset] < 0x80 && (offset + 1 == utf16.size() || utf16[offset + 1] < 0x80)) {
        return offset +
               (utf16[offset] == u'\r' && offset + 1 < utf16.size() && utf16[offset + 1] == u'\n' ? 2 : 1);
    }
    const int32_t next = detail::characterIterator(utf16).following(static_cast<int32_t>(offset));
    return next == icu::BreakIterator::DONE ? utf16.size() : std::size_t(next);
}

} // namespace orvane::text
