#pragma once
// Which addresses the updater fetches or hands to the browser: anything the feed names could end up in
// front of the user, so only "https" is trusted, plus "http" to this machine for local testing.
// Everything else (file:, javascript:, http to another host, text that is no URL) is refused.

#include <string_view>

namespace desktop {

bool isAllowedUpdateUrl(std::string_view url);

} // namespace desktop
