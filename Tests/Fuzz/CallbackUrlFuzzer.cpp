// Addresses handed to the application for the sign-in: an address is read or refused, never half read;
// what is read holds no byte the address could not carry, and the token the sign-in takes is the first
// "token" item's value.

#include "VelmoraCore/Auth/CallbackUrl.h"

#include <cctype>
#include <cstdint>
#include <cstdlib>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const auto url = velmora::CallbackUrl::parse(text);
    if (!url) {
        return 0;
    }
    if (const auto& scheme = url->scheme()) {
        if (scheme->empty() || !std::isalpha(static_cast<unsigned char>(scheme->front())) ||
            !text.starts_with(*scheme + ":")) {
            std::abort();
        }
    }
    const bool hasQuery = text.substr(0, text.find('#')).find('?') != std::string_view::npos;
    if (url->queryItems().has_value() != hasQuery) {
        std::abort();
    }
    std::optional<std::string> firstToken;
    bool seen = false;
    for (const auto& item : url->queryItems().value_or(std::vector<velmora::CallbackUrl::QueryItem>{})) {
        if (item.name == "token" && !seen) {
            seen = true;
            firstToken = item.value;
        }
    }
    if (url->firstQueryValue("token") != firstToken) {
        std::abort();
    }
    return 0;
}
