// Access tokens as the sign-in reads their expiry: any text gives an expiry or none, and the strict
// base64 under it decodes only what it can account for, three bytes per four characters.

#include "VelmoraCore/Auth/JwtExpiry.h"

#include <cstdint>
#include <cstdlib>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    (void)velmora::jwtExpiry(text);
    if (const auto decoded = velmora::decodeBase64(text)) {
        const std::size_t padding = text.ends_with("==") ? 2 : text.ends_with("=") ? 1 : 0;
        if (text.size() % 4 != 0 || decoded->size() != text.size() / 4 * 3 - padding) {
            std::abort();
        }
    }
    return 0;
}
