#include "OrvaneCore/Text/RegexError.h"

namespace orvane::text {

RegexError::RegexError(std::string pattern, std::string reason, const std::string& message)
    : std::runtime_error(message), pattern_(std::move(pattern)), reason_(std::move(reason)) {}

} // namespace orvane::text
