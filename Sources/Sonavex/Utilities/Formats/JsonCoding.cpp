#include "Sonavex/Utilities/Formats/JsonCoding.h"

#include "OrvaneCore/Errors/DecodingError.h"
#include "Sonavex/Utilities/Errors/EncodingError.h"

#include <charconv>
#include <cmath>
#include <limits>

namespace sonavex::json {

using orvane::DecodingError;

namespace {

std::string foundKind(const Json& value) {
    switch (value.type()) {
    case Json::value_t::null:
        return "null";
    case Json::value_t::boolean:
        return "a boolean";
    case Json::value_t::string:
        return "a string";
    case Json::value_t::array:
        return "an array";
    case Json::value_t::object:
        return "a dictionary";
    default:
        return "a number";
    }
}

[[noreturn]] void mismatch(std::string_view expected, const Json& value, std::string_view context) {
    std::string text = "Expected to decode " + std::string(expected);
    if (!context.empty()) {
        text += " for " + std::string(context);
    }
    throw DecodingError(value.is_null() ? DecodingError::Kind::valueNotFound
                                        : DecodingError::Kind::typeMismatch,
                        text + " but found " + foundKind(value) + " instead.");
}

[[noreturn]] void doesNotFit(const Json& value, std::string_view type, std::string_view context) {
    std::string text = "Parsed JSON number <" + value.dump() + "> does not fit in " + std::string(type);
    if (!context.empty()) {
        text += " (" + std::string(context) + ")";
    }
    throw DecodingError(DecodingError::Kind::dataCorrupted, text + ".");
}

} // namespace

Json parseDocument(std::string_view text) {
    Json document = Json::parse(text.begin(), text.end(), nullptr, false);
    if (document.is_discarded()) {
        throw DecodingError(DecodingError::Kind::dataCorrupted, "The given data was not valid JSON.");
    }
    return document;
}

Json fromFloat(float value) {
    if (!std::isfinite(value)) {
        return static_cast<double>(value);
    }
    // The shortest decimal that reads back as this float, as a double: printed, it is that decimal.
    char buffer[32];
    auto written = std::to_chars(buffer, buffer + sizeof buffer, value);
    double shortest = 0;
    std::from_chars(buffer, written.ptr, shortest);
    return shortest;
}

const Json& requireObject(const Json& value, std::string_view typeName) {
    if (!value.is_object()) {
        mismatch(std::string(typeName) + " (a keyed object)", value, "");
    }
    return value;
}

const Json& requireArray(const Json& value, std::string_view context) {
    if (!value.is_array()) {
        mismatch("Array", value, context);
    }
    return value;
}

bool toBool(const Json& value, std::string_view context) {
    if (!value.is_boolean()) {
        mismatch("Bool", value, context);
    }
    return value.get<bool>();
}

int64_t toInt(const Json& value, std::string_view context) {
    if (value.is_number_integer()) {
        if (value.is_number_unsigned() &&
            value.get<uint64_t>() > static_cast<uint64_t>(std::numeric_limits<int64_t>::max())) {
            doesNotFit(value, "Int", context);
        }
        return value.get<int64_t>();
    }
    if (value.is_number_float()) {
        // A whole number written with a fraction or exponent (3.0, 1e3) still names an integer.
        double number = value.get<double>();
        if (std::trunc(number) != number || number < -0x1p63 || number >= 0x1p63) {
            doesNotFit(value, "Int", context);
        }
        return static_cast<int64_t>(number);
    }
    mismatch("Int", value, context);
}

float toFloat(const Json& value, std::string_view context) {
    double number = toDouble(value, context);
    if (std::isfinite(number) && std::fabs(number) > std::numeric_limits<float>::max()) {
        doesNotFit(value, "Float", context);
    }
    return static_cast<float>(number);
}

double toDouble(const Json& value, std::string_view context) {
    if (!value.is_number()) {
        mismatch("Double", value, context);
    }
    return value.get<double>();
}

std::string toString(const Json& value, std::string_view context) {
    if (!value.is_string()) {
        mismatch("String", value, context);
    }
    return value.get<std::string>();
}

std::vector<int64_t> toIntArray(const Json& value, std::string_view context) {
    return toArray(value, context, &toInt);
}

std::vector<float> toFloatArray(const Json& value, std::string_view context) {
    return toArray(value, context, &toFloat);
}

std::string keyContext(const char* key) {
    return std::string("key \"") + key + "\"";
}

const Json& present(const Json& object, const char* key) {
    auto found = object.find(key);
    if (found == object.end()) {
        throw DecodingError(DecodingError::Kind::keyNotFound,
                            std::string("No value associated with key \"") + key + "\".");
    }
    return *found;
}

const Json& required(const Json& object, const char* key) {
    const Json& found = present(object, key);
    if (found.is_null()) {
        throw DecodingError(DecodingError::Kind::valueNotFound,
                            std::string("Expected a value for key \"") + key + "\" but found null instead.");
    }
    return found;
}

const Json* optional(const Json& object, const char* key) {
    auto found = object.find(key);
    if (found == object.end() || found->is_null()) {
        return nullptr;
    }
    return &*found;
}

void requireFinite(const Json& document) {
    if (document.is_number_float()) {
        double number = document.get<double>();
        if (!std::isfinite(number)) {
            throw EncodingError::invalidValue(number);
        }
    } else if (document.is_structured()) {
        for (const Json& element : document) {
            requireFinite(element);
        }
    }
}

} // namespace sonavex::json
