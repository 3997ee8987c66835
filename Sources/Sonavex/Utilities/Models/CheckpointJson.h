#pragma once
// Reading the small JSON files of a checkpoint, with errors that name the file and the key.

#include <cstdint>
#include <filesystem>
#include <limits>
#include <string>

#include <nlohmann/json_fwd.hpp>

namespace sonavex::checkpoint {

/// The file's JSON object; throws CheckpointConversionError when it is missing, unreadable or no object.
nlohmann::json readObject(const std::filesystem::path& file);

/// An integer (a number with a zero fractional part counts) from `minimum` to `maximum`.
int64_t integer(const nlohmann::json& value, const std::filesystem::path& file, const std::string& key,
                int64_t minimum, int64_t maximum = std::numeric_limits<int64_t>::max());

} // namespace sonavex::checkpoint
