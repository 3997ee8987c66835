#pragma once
// Where Config meets JSON. Apart from Config.h so that only the files that touch JSON pay for it;
// this header needs nothing but nlohmann-json's forward declarations.

#include "OrvaneCore/External/Hub/Configuration/Config.h"

#include <cstddef>
#include <cstdint>
#include <nlohmann/json_fwd.hpp>

namespace orvane {

/// How deeply arrays and objects may nest in a document read into a Config. Values are released, compared
/// and described recursively, so a hostile document nested hundreds of thousands of levels would overflow
/// the stack; no configuration file comes close.
inline constexpr std::size_t maximumConfigDepth = 512;

/// The reading of configuration files: a JSON boolean becomes integer 1 or 0, every integral number (2,
/// 2.0, 2e0) becomes integer, any other number the nearest 32-bit float. Integers outside the signed
/// 64-bit range (tokenizer_config.json files hold 1e30 as an integer) also become the nearest float.
/// Deeper trees than maximumConfigDepth throw std::invalid_argument (so does from_json).
Config configFromJsonObject(const nlohmann::json& tree);

/// The number rules of configFromJsonObject, for readers that build a Config without a JSON tree.
Config configFromJsonNumber(std::int64_t number);
Config configFromJsonNumber(std::uint64_t number);
Config configFromJsonNumber(double number);

/// Encoding: token as [id, text], floats in their shortest decimal form, unpaired surrogates as U+FFFD.
void to_json(nlohmann::json& json, const Config& config);
/// Decoding: as configFromJsonObject, except that JSON booleans stay boolean and a two-element array of
/// an unsigned integer and a string is a token.
void from_json(const nlohmann::json& json, Config& config);

} // namespace orvane
