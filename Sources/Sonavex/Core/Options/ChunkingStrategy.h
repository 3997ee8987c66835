#pragma once
// How long audio is cut before it is transcribed: not at all (window by window) or at silences found by
// voice-activity detection.

#include <nlohmann/json_fwd.hpp>
#include <optional>
#include <string_view>

namespace sonavex {

enum class ChunkingStrategy { none, vad };

/// "none" or "vad".
std::string_view rawValue(ChunkingStrategy strategy);
/// The strategy with this raw text; no value for any other text.
std::optional<ChunkingStrategy> chunkingStrategyFromRawValue(std::string_view raw);

/// Written as its raw text; any other text fails to read (dataCorrupted).
void to_json(nlohmann::ordered_json& json, const ChunkingStrategy& strategy);
void from_json(const nlohmann::ordered_json& json, ChunkingStrategy& strategy);

} // namespace sonavex
