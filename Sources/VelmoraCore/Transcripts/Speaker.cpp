#include "VelmoraCore/Transcripts/Speaker.h"

namespace velmora {

std::string_view rawValue(Speaker speaker) {
    return speaker == Speaker::me ? "自分" : "相手";
}

std::optional<Speaker> speakerFromRawValue(std::string_view text) {
    if (text == "自分") {
        return Speaker::me;
    }
    if (text == "相手") {
        return Speaker::other;
    }
    return std::nullopt;
}

} // namespace velmora
