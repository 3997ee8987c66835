#pragma once
// How the engine reads audio input: which channels of a multi-channel source make the mono signal, and
// whether a file is loaded whole or in pieces. Only the channel mode has a JSON form.

#include <cstddef>
#include <cstdint>
#include <nlohmann/json_fwd.hpp>
#include <optional>
#include <variant>
#include <vector>

namespace sonavex {

struct AudioInputOptions {
    /// The mono signal is this one channel (zero-based; an index the source lacks falls back to 0).
    struct SpecificChannel {
        int64_t channel = 0;
        friend bool operator==(const SpecificChannel&, const SpecificChannel&) = default;
    };
    /// The sum of the listed channels, rescaled to the loudest listed channel's peak; no list means all.
    /// An empty list differs from no list (the mixer treats both as all channels).
    struct SumChannels {
        std::optional<std::vector<int64_t>> channels;
        friend bool operator==(const SumChannels&, const SumChannels&) = default;
    };
    using ChannelMode = std::variant<SpecificChannel, SumChannels>;

    /// Read the file in pieces of `chunkDurationSeconds`, with at most `maxBufferedChunks` speech chunks
    /// handed out and not yet finished by the consumer.
    struct Incremental {
        double chunkDurationSeconds = 0;
        int64_t maxBufferedChunks = 0;
        friend bool operator==(const Incremental&, const Incremental&) = default;
    };
    /// Load the whole file (or the requested range) at once.
    struct FullFile {
        friend bool operator==(const FullFile&, const FullFile&) = default;
    };
    using AudioLoadingMode = std::variant<Incremental, FullFile>;

    static constexpr double defaultChunkDurationSeconds = 120.0;
    static constexpr int64_t defaultMaxBufferedChunks = 2;
    /// Incremental loading with the two defaults.
    static constexpr Incremental incremental() {
        return {defaultChunkDurationSeconds, defaultMaxBufferedChunks};
    }

    ChannelMode channelMode = SumChannels{};
    AudioLoadingMode audioLoadingMode = FullFile{};
};

/// The hash of a channel mode, fed in a fixed order: the case (0 specific, 1 sum), then the index, or a
/// presence flag followed, when present, by the list's count and elements.
std::size_t hashValue(const AudioInputOptions::ChannelMode& mode);

/// {"specificChannel": {"_0": 3}}, {"sumChannels": {"_0": [0, 1]}}, {"sumChannels": {}}. Reading ignores
/// unknown members and fails unless exactly one of the two case names is present. (Named functions: the
/// JSON library does not find coding functions of a std::variant by their argument types.)
nlohmann::ordered_json channelModeToJson(const AudioInputOptions::ChannelMode& mode);
AudioInputOptions::ChannelMode channelModeFromJson(const nlohmann::ordered_json& json);

} // namespace sonavex
