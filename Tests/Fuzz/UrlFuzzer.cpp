// Addresses as the hub client reads them (endpoints, redirect targets) and builds them (repository
// and file paths): parsing is stable when written out again, and appended paths stay one path.

#include "OrvaneCore/External/Hub/Client/HubApi.h"
#include "Platform/Net/Url.h"

#include <cstdint>
#include <cstdlib>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    if (const auto url = net::Url::parse(text)) {
        const std::string written = url->absoluteString();
        const auto again = net::Url::parse(written);
        if (!again || again->absoluteString() != written) {
            std::abort();
        }
        (void)url->lastPathComponent();
        (void)url->appendingPath(text).absoluteString();
    }
    const auto base = *net::Url::parse("https://hub.example/owner/name");
    const auto appended = base.appendingPathComponent(text);
    if (!text.empty() && appended.lastPathComponent() != text) {
        std::abort(); // one segment, whatever it holds
    }
    if (net::percentDecode(net::percentEncodePathSegment(text)) != text) {
        std::abort();
    }
    static const orvane::HubApi client(std::filesystem::path("/nonexistent"), std::string(""));
    try {
        orvane::HubApi hub = client;
        hub.endpoint = std::string(text);
        (void)hub.listingUrl(orvane::HubApi::Repo{std::string(text)}, std::string(text)).absoluteString();
    } catch (const orvane::Hub::HubClientError&) {
        // not an http(s) endpoint
    }
    return 0;
}
