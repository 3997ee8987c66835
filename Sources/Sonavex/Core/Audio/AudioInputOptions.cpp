#include "Sonavex/Core/Audio/AudioInputOptions.h"

#include "OrvaneCore/Errors/DecodingError.h"
#include "Sonavex/Utilities/JsonCoding.h"

namespace sonavex {

using json::Json;

namespace {

// The 64-bit FNV-1a step over one integer's bytes.
void feed(std::size_t& state, uint64_t value) {
    for (int byte = 0; byte < 8; ++byte) {
        state ^= (value >> (8 * byte)) & 0xff;
        state *= 0x100000001b3ull;
    }
}

} // namespace

std::size_t hashValue(const AudioInputOptions::ChannelMode& mode) {
    std::size_t state = 0xcbf29ce484222325ull;
    if (const auto* specific = std::get_if<AudioInputOptions::SpecificChannel>(&mode)) {
        feed(state, 0);
        feed(state, static_cast<uint64_t>(specific->channel));
        return state;
    }
    const auto& sum = std::get<AudioInputOptions::SumChannels>(mode);
    feed(state, 1);
    feed(state, sum.channels ? 1 : 0);
    if (sum.channels) {
        feed(state, sum.channels->size());
        for (int64_t channel : *sum.channels) {
            feed(state, static_cast<uint64_t>(channel));
        }
    }
    return state;
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
