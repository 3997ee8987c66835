#include "Platform/Desktop/Updates/UpdateUrlPolicy.h"

#include "Platform/Net/Url.h"

#include <algorithm>
#include <cctype>
#include <string>

namespace desktop {

namespace {

std::string lowercased(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

} // namespace

bool isAllowedUpdateUrl(std::string_view text) {
    const auto url = net::Url::parse(text);
    if (!url || !url->hasHost() || url->host().empty()) {
        return false;
    }
    const std::string scheme = lowercased(url->scheme());
    if (scheme == "https") {
        return true;
    }
    const std::string host = lowercased(url->host());
    return scheme == "http" && (host == "localhost" || host == "127.0.0.1" || host == "[::1]");
}

} // namespace desktop
