#pragma once
// Cuts a sample array into fixed frames, asks a subclass whether each frame is voiced and turns the
// flags into voiced sample ranges or the longest silence. Subclasses supply the detection alone.
// A detector holds only values fixed at construction, so one detector may serve several threads.

#include "Sonavex/Core/Audio/VoiceActivity/IndexRange.h"
#include "Sonavex/Core/Audio/VoiceActivity/SeekTimestamp.h"
#include "Sonavex/Core/Options/DecodingOptions.h"

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace sonavex {

class VoiceActivityDetector {
public:
    /// Frame i starts at sample i × frameLengthSamples; a frame is measured over frameOverlapSamples
    /// more, but the ranges never include the overlap. Throws std::invalid_argument for a frame length
    /// below 1.
    VoiceActivityDetector(int64_t sampleRate, int64_t frameLengthSamples, int64_t frameOverlapSamples);
    virtual ~VoiceActivityDetector() = default;

    const int64_t sampleRate;
    const int64_t frameLengthSamples;
    const int64_t frameOverlapSamples;

    /// One flag per frame, true for voiced. The base class detects nothing: every frame is silent.
    virtual std::vector<bool> voiceActivity(std::span<const float> samples) const;
    /// The same flags, for callers that treat detection as a long call.
    virtual std::vector<bool> voiceActivityAsync(std::span<const float> samples) const;
    /// Maximal runs of voiced frames as half-open sample ranges, in order, never past the samples' end.
    virtual std::vector<IndexRange> calculateActiveChunks(std::span<const float> samples) const;
    /// Throws std::out_of_range when the sample index does not fit 64 bits.
    virtual int64_t voiceActivityIndexToAudioSampleIndex(int64_t index) const;
    virtual float voiceActivityIndexToSeconds(int64_t index) const;
    /// The longest run of silent frames [startIndex, endIndex); the earliest of equally long runs.
    /// Nothing when no frame is silent.
    virtual std::optional<IndexRange> findLongestSilence(const std::vector<bool>& flags) const;
    /// The voiced ranges as clip times: start and end of each range in seconds, one after the other.
    virtual std::vector<float> voiceActivityClipTimestamps(std::span<const float> samples) const;
    /// The voiced ranges as sample clips.
    virtual std::vector<SeekClip> calculateNonSilentSeekClips(std::span<const float> samples) const;
    /// The voiced ranges in seconds.
    virtual std::vector<SeekTimestamp> calculateSeekTimestamps(std::span<const float> samples) const;
};

} // namespace sonavex
