#include "OrvaneCore/External/Hub/Client/HubPatternMatch.h"

#include "OrvaneCore/Text/Regex.h"

#include <exception>

namespace orvane {

bool matchesHubPattern(std::string_view pattern, std::string_view text) {
    try {
        return text::Regex(pattern).contains(text);
    } catch (const std::exception&) {
        return false;
    }
}

} // namespace orvane
