#pragma once
// Every choice of one transcription request: task, language, temperature and its fallback schedule, how
// the decoder prompt is built, timestamps, token suppression, the fallback thresholds, concurrency over
// several inputs and the chunking of long audio. A plain value; callers build one per request.

#include "Sonavex/Core/Options/ChunkingStrategy.h"
#include "Sonavex/Core/Options/DecodingTask.h"

#include <cstdint>
#include <nlohmann/json_fwd.hpp>
#include <optional>
#include <string>
#include <vector>

namespace sonavex {

/// One range of the audio to transcribe, in samples at 16 kHz.
struct SeekClip {
    int64_t start = 0;
    int64_t end = 0;
    friend bool operator==(const SeekClip&, const SeekClip&) = default;
};

struct DecodingOptions {
    /// The initializer's arguments, named like the fields: `DecodingOptions({.language = "ja"})`.
    /// Three differ from their fields: without a value `detectLanguage` becomes !usePrefillPrompt,
    /// `suppressTokens` the empty list and `concurrentWorkerCount` 16. Nothing is validated. Every member
    /// has an initializer, so a designated list may leave any of them out.
    struct Arguments {
        bool verbose = false;
        DecodingTask task = DecodingTask::transcribe;
        std::optional<std::string> language{};
        float temperature = 0.0f;
        float temperatureIncrementOnFallback = 0.2f;
        int64_t temperatureFallbackCount = 5;
        int64_t sampleLength = 224;
        int64_t topK = 5;
        bool usePrefillPrompt = true;
        std::optional<bool> detectLanguage{};
        bool skipSpecialTokens = false;
        bool withoutTimestamps = false;
        bool wordTimestamps = false;
        std::optional<float> maxInitialTimestamp{};
        std::optional<int64_t> maxWindowSeek{};
        std::vector<float> clipTimestamps{};
        float windowClipTime = 1.0f;
        std::optional<std::vector<int64_t>> promptTokens{};
        std::optional<std::vector<int64_t>> prefixTokens{};
        bool suppressBlank = false;
        std::optional<std::vector<int64_t>> suppressTokens{};
        std::optional<float> compressionRatioThreshold = 2.4f;
        std::optional<float> logProbThreshold = -1.0f;
        std::optional<float> firstTokenLogProbThreshold = -1.5f;
        std::optional<float> noSpeechThreshold = 0.6f;
        std::optional<int64_t> concurrentWorkerCount{};
        std::optional<ChunkingStrategy> chunkingStrategy{};
    };

    DecodingOptions() : DecodingOptions(Arguments{}) {}
    explicit DecodingOptions(const Arguments& arguments);

    bool verbose;
    DecodingTask task;
    std::optional<std::string> language;
    float temperature;
    float temperatureIncrementOnFallback;
    int64_t temperatureFallbackCount;
    int64_t sampleLength;
    int64_t topK;
    bool usePrefillPrompt;
    bool detectLanguage;
    bool skipSpecialTokens;
    bool withoutTimestamps;
    bool wordTimestamps;
    std::optional<float> maxInitialTimestamp;
    std::optional<int64_t> maxWindowSeek;
    std::vector<float> clipTimestamps;
    float windowClipTime;
    std::optional<std::vector<int64_t>> promptTokens;
    std::optional<std::vector<int64_t>> prefixTokens;
    bool suppressBlank;
    std::vector<int64_t> suppressTokens;
    std::optional<float> compressionRatioThreshold;
    std::optional<float> logProbThreshold;
    std::optional<float> firstTokenLogProbThreshold;
    std::optional<float> noSpeechThreshold;
    int64_t concurrentWorkerCount;
    std::optional<ChunkingStrategy> chunkingStrategy;

    /// The sample ranges to transcribe: each clip time becomes a sample index (seconds × 16000 in single
    /// precision, halves rounded away from zero); no times means 0, an odd count gets `contentFrames`
    /// appended, and consecutive pairs are the clips, handed on unsorted and unclamped. A time that is not
    /// finite or whose index does not fit 64 bits throws WhisperError transcriptionFailed naming it.
    std::vector<SeekClip> prepareSeekClips(int64_t contentFrames) const;

    friend bool operator==(const DecodingOptions&, const DecodingOptions&) = default;
};

/// All 27 keys in field order; optional fields without a value are left out. Reading requires every
/// non-optional key and takes no defaults.
void to_json(nlohmann::ordered_json& json, const DecodingOptions& options);
void from_json(const nlohmann::ordered_json& json, DecodingOptions& options);

} // namespace sonavex
