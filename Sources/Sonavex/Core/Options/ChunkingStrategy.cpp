#include "Sonavex/Core/Options/ChunkingStrategy.h"

#include "OrvaneCore/Errors/DecodingError.h"
#include "Sonavex/Utilities/Formats/JsonCoding.h"

namespace sonavex {

std::string_view rawValue(ChunkingStrategy strategy) {
    return strategy == ChunkingStrategy::vad ? "vad" : "none";
}

std::optional<ChunkingStrategy> chunkingStrategyFromRawValue(std::string_view raw) {
    if (raw == "none") {
        return ChunkingStrategy::none;
    }
    if (raw == "vad") {
        return ChunkingStrategy::vad;
    }
    return std::nullopt;
}

void to_json(nlohmann::ordered_json& json, const ChunkingStrategy& strategy) {
    json = std::string(rawValue(strategy));
}

void from_json(const nlohmann::ordered_json& json, ChunkingStrategy& strategy) {
    std::string raw = json::toString(json, "ChunkingStrategy");
    auto known = chunkingStrategyFromRawValue(raw);
    if (!known) {
        throw orvane::DecodingError(orvane::DecodingError::Kind::dataCorrupted,
                                    "Cannot initialize ChunkingStrategy from invalid String value " + raw);
    }
    strategy = *known;
}

} // namespace sonavex
