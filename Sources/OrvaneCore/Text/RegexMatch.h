#pragma once
// One match of a Regex: the range of the whole match and of each capture group, in UTF-16 units.

#include "OrvaneCore/Text/Utf16Range.h"

#include <optional>
#include <vector>

namespace orvane::text {

struct RegexMatch {
    /// Group 0 is the whole match; a group that took no part in the match has no range.
    std::vector<std::optional<Utf16Range>> groups;

    /// The whole match.
    const Utf16Range& range() const { return *groups.front(); }
    /// Capture group `index` (0 = whole match); none when the group did not participate or does not exist.
    std::optional<Utf16Range> group(std::size_t index) const {
        return index < groups.size() ? groups[index] : std::nullopt;
    }
};

} // namespace orvane::text
