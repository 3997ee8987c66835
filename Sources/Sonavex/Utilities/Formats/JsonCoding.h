#pragma once
// The engine's records read and write JSON through these helpers, so that every record reports a
// malformed document the same way (orvane::DecodingError: a missing key, a value of the wrong type, data
// that is not JSON) and writes 32-bit floats in their shortest form (0.1 stays 0.1, not
// 0.10000000149011612). Include it from .cpp files only: the JSON library is slow to compile.

#include <cstdint>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace sonavex::json {

/// Keys keep the order they were written in.
using Json = nlohmann::ordered_json;

/// Parses a whole document; text that is not JSON is a DecodingError (dataCorrupted).
Json parseDocument(std::string_view text);

/// A 32-bit float as the JSON number that prints as its shortest form; non-finite values stay non-finite
/// (the writers refuse them, the developer tool prints them as text).
Json fromFloat(float value);

/// The members of `value`, which must be an object (typeMismatch naming `typeName` otherwise).
const Json& requireObject(const Json& value, std::string_view typeName);

/// The elements of `value`, which must be an array (typeMismatch otherwise).
const Json& requireArray(const Json& value, std::string_view context);

/// Decoders of single values; `context` names the value in the error ("key \"start\"").
bool toBool(const Json& value, std::string_view context);
int64_t toInt(const Json& value, std::string_view context);
float toFloat(const Json& value, std::string_view context);
double toDouble(const Json& value, std::string_view context);
std::string toString(const Json& value, std::string_view context);
std::vector<int64_t> toIntArray(const Json& value, std::string_view context);
std::vector<float> toFloatArray(const Json& value, std::string_view context);

/// The value under a key that must be present (keyNotFound); it may be null.
const Json& present(const Json& object, const char* key);
/// The value under a key that must be present (keyNotFound) and not null (valueNotFound).
const Json& required(const Json& object, const char* key);
/// The value under a key, or null when the key is absent or holds null.
const Json* optional(const Json& object, const char* key);

/// "key \"name\"": the context for a keyed member.
std::string keyContext(const char* key);

/// A decoder of one value, such as toInt.
template <class T> using Reader = T (*)(const Json& value, std::string_view context);

/// The elements of an array, each read by `read`.
template <class T> std::vector<T> toArray(const Json& value, std::string_view context, Reader<T> read) {
    std::vector<T> result;
    result.reserve(requireArray(value, context).size());
    for (const Json& element : value) {
        result.push_back(read(element, context));
    }
    return result;
}

/// The value under a required key, read by `read`.
template <class T> T decodeKey(const Json& object, const char* key, Reader<T> read) {
    return read(required(object, key), keyContext(key));
}

/// The value under an optional key (absent or null gives no value), read by `read`.
template <class T> std::optional<T> decodeOptionalKey(const Json& object, const char* key, Reader<T> read) {
    const Json* value = optional(object, key);
    return value ? std::optional<T>(read(*value, keyContext(key))) : std::nullopt;
}

/// A value that may be null (no value), read by `read`.
template <class T> std::optional<T> toNullable(const Json& value, std::string_view context, Reader<T> read) {
    return value.is_null() ? std::nullopt : std::optional<T>(read(value, context));
}

/// Throws sonavex::EncodingError when any number in the document is not finite: JSON has no form for it.
void requireFinite(const Json& document);

} // namespace sonavex::json
