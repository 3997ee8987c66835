#pragma once
// How the hub client tests an etag or commit against its patterns (HubApi::sha256Pattern,
// HubApi::commitHashPattern): a regular expression searched in the whole text.

#include <string_view>

namespace orvane {

/// True when `pattern` matches somewhere in `text`; a pattern that does not compile matches nothing.
bool matchesHubPattern(std::string_view pattern, std::string_view text);

} // namespace orvane
