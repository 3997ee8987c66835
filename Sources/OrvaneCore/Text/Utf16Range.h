#pragma once
// A half-open range of UTF-16 unit offsets into a text, as regular expressions and boundaries report them.

#include <cstddef>
#include <string_view>

namespace orvane::text {

struct Utf16Range {
    std::size_t start = 0;
    std::size_t end = 0;

    std::size_t length() const { return end - start; }
    bool empty() const { return start == end; }
    /// The units of `text` the range covers.
    std::u16string_view of(std::u16string_view text) const { return text.substr(start, end - start); }

    friend bool operator==(const Utf16Range&, const Utf16Range&) = default;
};

} // namespace orvane::text
