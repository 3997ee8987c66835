#include "Sonavex/Core/Audio/AudioInputOptions.h"

#include "OrvaneCore/Errors/DecodingError.h"
#include "Sonavex/Utilities/Formats/JsonCoding.h"
#include "Sonavex/Utilities/System/Hasher.h"

namespace sonavex {

using json::Json;

std::size_t hashValue(const AudioInputOptions::ChannelMode& mode) {
    Hasher hasher;
    if (const auto* specific = std::get_if<AudioInputOptions::SpecificChannel>(&mode)) {
        hasher.combine(int64_t{0});
        hasher.combine(specific->channel);
        return hasher.finalize();
    }
    const auto& sum = std::get<AudioInputOptions::SumChannels>(mode);
    hasher.combine(int64_t{1});
    hasher.combine(sum.channels.has_value());
    if (sum.channels) {
        hasher.combine(static_cast<int64_t>(sum.channels->size()));
        for (int64_t channel : *sum.channels) {
            hasher.combine(channel);
        }
    }
    return hasher.finalize();
}

Json channelModeToJson(const AudioInputOptions::ChannelMode& mode) {
    Json json = Json::object();
    if (const auto* specific = std::get_if<AudioInputOptions::SpecificChannel>(&mode)) {
        json["specificChannel"] = Json{{"_0", specific->channel}};
        return json;
    }
    const auto& sum = std::get<AudioInputOptions::SumChannels>(mode);
    Json payload = Json::object();
    if (sum.channels) {
        payload["_0"] = *sum.channels;
    }
    json["sumChannels"] = std::move(payload);
    return json;
}

AudioInputOptions::ChannelMode channelModeFromJson(const Json& json) {
    json::requireObject(json, "ChannelMode");
    const bool specific = json.contains("specificChannel");
    const bool sum = json.contains("sumChannels");
    if (specific == sum) {
        throw orvane::DecodingError(orvane::DecodingError::Kind::typeMismatch,
                                    "Invalid number of keys found, expected one.");
    }
    if (specific) {
        const Json& payload = json::requireObject(json.at("specificChannel"), "specificChannel");
        return AudioInputOptions::SpecificChannel{
            json::toInt(json::required(payload, "_0"), json::keyContext("_0"))};
    }
    const Json& payload = json::requireObject(json.at("sumChannels"), "sumChannels");
    AudioInputOptions::SumChannels read;
    if (const Json* channels = json::optional(payload, "_0")) {
        read.channels = json::toIntArray(*channels, json::keyContext("_0"));
    }
    return read;
}

} // namespace sonavex
