#pragma once
// Compact JSON objects and arrays for velmoractl's standard output: members in the order they are
// added, numbers in the shortest form of their width, non-finite numbers as the strings "inf", "-inf"
// and "nan".

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace velmoractl {

class JsonObject {
public:
    JsonObject& string(std::string_view key, std::string_view value);
    /// null when absent.
    JsonObject& optionalString(std::string_view key, const std::optional<std::string>& value);
    JsonObject& number(std::string_view key, double value);
    JsonObject& number(std::string_view key, float value);
    JsonObject& integer(std::string_view key, std::int64_t value);
    JsonObject& boolean(std::string_view key, bool value);
    JsonObject& null(std::string_view key);
    /// `json` must already be JSON text (a nested JsonObject's or JsonArray's text()).
    JsonObject& raw(std::string_view key, std::string_view json);

    std::string text() const { return body_ + "}"; }

private:
    void key(std::string_view key);
    std::string body_ = "{";
};

class JsonArray {
public:
    JsonArray& string(std::string_view value);
    JsonArray& number(double value);
    JsonArray& number(float value);
    JsonArray& integer(std::int64_t value);
    JsonArray& raw(std::string_view json);

    std::string text() const { return body_ + "]"; }

private:
    void separator();
    std::string body_ = "[";
};

/// A number as velmoractl prints it.
std::string numberText(double value);
std::string numberText(float value);

} // namespace velmoractl
