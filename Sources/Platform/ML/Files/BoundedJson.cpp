#include "Platform/ML/Files/BoundedJson.h"

namespace ml {

nlohmann::json parseBoundedJson(std::string_view text, bool& tooDeep, int maxDepth) {
    tooDeep = false;
    // Returning false from the callback drops the value being built, so nothing deeper than the limit
    // is ever kept; the parse carries on to tell a syntax error from a deep document.
    auto limit = [&](int depth, nlohmann::json::parse_event_t, nlohmann::json&) {
        if (depth > maxDepth) {
            tooDeep = true;
            return false;
        }
        return true;
    };
    nlohmann::json parsed = nlohmann::json::parse(text.begin(), text.end(), limit, false);
    if (tooDeep) {
        return nlohmann::json(nlohmann::json::value_t::discarded);
    }
    return parsed;
}

} // namespace ml
