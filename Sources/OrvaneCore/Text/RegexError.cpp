#include "OrvaneCore/Text/RegexError.h"

namespace orvane::text {

RegexError::RegexError(std::string pattern, std::string reason, const std::string& message)
    : std::runtime_error(message), pattern_(std::move(pattern)), reason_(std::move(reason)) {}

bool RegexError::searchGaveUp() const {
    return reason_ == "U_REGEX_STOPPED_BY_CALLER" || reason_ == "U_REGEX_TIME_OUT" ||
           reason_ == "U_REGEX_STACK_OVERFLOW";
}

} // namespace orvane::text
