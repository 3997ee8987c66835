#include "OrvaneCore/External/Hub/Configuration/ConfigJson.h"

#include <charconv>
#include <cmath>
#include <limits>
#include <nlohmann/json.hpp>
#include <stdexcept>
#include <string>

namespace orvane {

namespace {

// 2^63: the first double above the signed 64-bit range.
constexpr double kIntegerLimit = 9223372036854775808.0;

// Configuration files read booleans as integers; the structured decoder keeps them and knows tokens.
enum class Mode { configurationFile, decoding };

bool isTokenPair(const nlohmann::json& json) {
    if (!json.is_array() || json.size() != 2 || !json[1].is_string()) {
        return false;
    }
    const auto& id = json[0];
    return id.is_number_unsigned() || (id.is_number_integer() && id.get<std::int64_t>() >= 0);
}

Config convertTree(const nlohmann::json& json, Mode mode, std::size_t depth);

Config convertContainer(const nlohmann::json& json, Mode mode, std::size_t depth) {
    if (depth >= maximumConfigDepth) {
        throw std::invalid_argument("too many nested arrays or objects (more than " +
                                    std::to_string(maximumConfigDepth) + " levels)");
    }
    if (mode == Mode::decoding && isTokenPair(json)) {
        return Config(Config::Token{json[0].get<std::uint64_t>(),
                                    BinaryDistinctString(json[1].get_ref<const std::string&>())});
    }
    if (json.is_object()) {
        Config::Dictionary entries;
        for (const auto& [key, element] : json.items()) {
            entries.emplace_hint(entries.end(), BinaryDistinctString(key),
                                 convertTree(element, mode, depth + 1));
        }
        return Config(std::move(entries));
    }
    Config::Array elements;
    elements.reserve(json.size());
    for (const auto& element : json) {
        elements.push_back(convertTree(element, mode, depth + 1));
    }
    return Config(std::move(elements));
}

Config convertTree(const nlohmann::json& json, Mode mode, std::size_t depth) {
    using Type = nlohmann::json::value_t;
    switch (json.type()) {
    case Type::object:
    case Type::array:
        return convertContainer(json, mode, depth);
    case Type::string:
        return Config(json.get_ref<const std::string&>());
    case Type::boolean:
        return mode == Mode::configurationFile ? Config(json.get<bool>() ? 1 : 0) : Config(json.get<bool>());
    case Type::number_integer:
        return configFromJsonNumber(json.get<std::int64_t>());
    case Type::number_unsigned:
        return configFromJsonNumber(json.get<std::uint64_t>());
    case Type::number_float:
        return configFromJsonNumber(json.get<double>());
    default:
        return Config();
    }
}

// The double whose shortest text is the float's shortest text, so 0.1f is written as 0.1.
double shortestDouble(float number) {
    if (!std::isfinite(number)) {
        return number;
    }
    char buffer[64];
    auto end = std::to_chars(buffer, buffer + sizeof buffer, number).ptr;
    double wide = number;
    std::from_chars(buffer, end, wide);
    return wide;
}

} // namespace

Config configFromJsonNumber(std::int64_t number) {
    return Config(number);
}

Config configFromJsonNumber(std::uint64_t number) {
    if (number <= static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max())) {
        return Config(static_cast<std::int64_t>(number));
    }
    return Config(static_cast<float>(number));
}

Config configFromJsonNumber(double number) {
    if (number >= -kIntegerLimit && number < kIntegerLimit && std::trunc(number) == number) {
        return Config(static_cast<std::int64_t>(number));
    }
    return Config(static_cast<float>(number));
}

Config configFromJsonObject(const nlohmann::json& tree) {
    return convertTree(tree, Mode::configurationFile, 0);
}

void to_json(nlohmann::json& json, const Config& config) {
    switch (config.kind()) {
    case Config::Kind::string:
        json = *config.string();
        break;
    case Config::Kind::integer:
        json = *config.integer();
        break;
    case Config::Kind::boolean:
        json = std::get<bool>(config.value);
        break;
    case Config::Kind::floating:
        json = shortestDouble(std::get<float>(config.value));
        break;
    case Config::Kind::dictionary:
        json = nlohmann::json::object();
        for (const auto& [key, element] : *config.dictionary()) {
            to_json(json[key.string()], element);
        }
        break;
    case Config::Kind::array:
        json = nlohmann::json::array();
        for (const auto& element : *config.array()) {
            to_json(json.emplace_back(), element);
        }
        break;
    case Config::Kind::token: {
        const auto& token = std::get<Config::Token>(config.value);
        json = nlohmann::json::array({token.id, token.text.string()});
        break;
    }
    case Config::Kind::null:
        json = nullptr;
        break;
    }
}

void from_json(const nlohmann::json& json, Config& config) {
    config = convertTree(json, Mode::decoding, 0);
}

} // namespace orvane
