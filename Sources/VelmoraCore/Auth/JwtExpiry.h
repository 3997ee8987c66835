#pragma once
// The expiry a JSON Web Token carries: the "exp" member of its payload, in seconds since 1970 (fractions
// kept). The signature is not checked: the token is only read to know when to ask for a new one.

#include <chrono>
#include <optional>
#include <string_view>

namespace velmora {

/// A point in time on the system clock with fractional seconds.
using Date = std::chrono::time_point<std::chrono::system_clock, std::chrono::duration<double>>;

/// Nothing unless the token has exactly three non-empty "."-separated pieces, the second is base64url
/// (padded with "=" to a multiple of four, then decoded strictly) holding a JSON object, and its "exp" is
/// a number.
std::optional<Date> jwtExpiry(std::string_view token);

/// Strict standard base64: length a multiple of four, only the alphabet, "=" only as one or two final
/// characters. Nothing for anything else.
std::optional<std::string> decodeBase64(std::string_view text);

} // namespace velmora
