#include "JsonLine.h"

#include "VelmoraCore/JsonText.h"

#include <cmath>

namespace velmoractl {

namespace {

template <class T> std::string numberOrName(T value) {
    if (std::isnan(value)) {
        return "\"nan\"";
    }
    if (std::isinf(value)) {
        return value < 0 ? "\"-inf\"" : "\"inf\"";
    }
    return velmora::json::number(value);
}

} // namespace

std::string numberText(double value) {
    return numberOrName(value);
}

std::string numberText(float value) {
    return numberOrName(value);
}

void JsonObject::key(std::string_view key) {
    if (body_.size() > 1) {
        body_ += ',';
    }
    velmora::json::appendString(body_, key);
    body_ += ':';
}

JsonObject& JsonObject::string(std::string_view key, std::string_view value) {
    this->key(key);
    velmora::json::appendString(body_, value);
    return *this;
}

JsonObject& JsonObject::optionalString(std::string_view key, const std::optional<std::string>& value) {
    return value ? string(key, std::string_view(*value)) : null(key);
}

JsonObject& JsonObject::number(std::string_view key, double value) {
    return raw(key, numberText(value));
}

JsonObject& JsonObject::number(std::string_view key, float value) {
    return raw(key, numberText(value));
}

JsonObject& JsonObject::integer(std::string_view key, std::int64_t value) {
    return raw(key, std::to_string(value));
}

JsonObject& JsonObject::boolean(std::string_view key, bool value) {
    return raw(key, value ? "true" : "false");
}

JsonObject& JsonObject::null(std::string_view key) {
    return raw(key, "null");
}

JsonObject& JsonObject::raw(std::string_view key, std::string_view json) {
    this->key(key);
    body_ += json;
    return *this;
}

void JsonArray::separator() {
    if (body_.size() > 1) {
        body_ += ',';
    }
}

JsonArray& JsonArray::string(std::string_view value) {
    separator();
    velmora::json::appendString(body_, value);
    return *this;
}

JsonArray& JsonArray::number(double value) {
    return raw(numberText(value));
}

JsonArray& JsonArray::number(float value) {
    return raw(numberText(value));
}

JsonArray& JsonArray::integer(std::int64_t value) {
    return raw(std::to_string(value));
}

JsonArray& JsonArray::raw(std::string_view json) {
    separator();
    body_ += json;
    return *this;
}

} // namespace velmoractl
