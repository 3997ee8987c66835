#pragma once
// Whether the decoder transcribes in the spoken language or translates; it picks the task token of the
// decoder prompt.

#include <nlohmann/json_fwd.hpp>
#include <string_view>

namespace sonavex {

enum class DecodingTask { transcribe, translate };

/// "transcribe" or "translate".
std::string_view description(DecodingTask task);

/// {"transcribe": {}}: an object whose one key is the case name. Reading ignores keys that name no case
/// and fails unless exactly one case name is present.
void to_json(nlohmann::ordered_json& json, const DecodingTask& task);
void from_json(const nlohmann::ordered_json& json, DecodingTask& task);

} // namespace sonavex
