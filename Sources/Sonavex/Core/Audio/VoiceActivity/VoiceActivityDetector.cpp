#include "Sonavex/Core/Audio/VoiceActivity/VoiceActivityDetector.h"

#include <algorithm>
#include <stdexcept>
#include <string>

namespace sonavex {

VoiceActivityDetector::VoiceActivityDetector(int64_t sampleRate, int64_t frameLengthSamples,
                                             int64_t frameOverlapSamples)
    : sampleRate(sampleRate), frameLengthSamples(frameLengthSamples),
      frameOverlapSamples(frameOverlapSamples) {
    if (frameLengthSamples < 1) {
        throw std::invalid_argument("Voice activity frames must be at least 1 sample long, not " +
                                    std::to_string(frameLengthSamples));
    }
}

std::vector<bool> VoiceActivityDetector::voiceActivity(std::span<const float> samples) const {
    const auto count = static_cast<int64_t>(samples.size());
    return std::vector<bool>(static_cast<std::size_t>(count == 0 ? 0 : (count - 1) / frameLengthSamples + 1),
                             false);
}

std::vector<bool> VoiceActivityDetector::voiceActivityAsync(std::span<const float> samples) const {
    return voiceActivity(samples);
}

std::vector<IndexRange> VoiceActivityDetector::calculateActiveChunks(std::span<const float> samples) const {
    const std::vector<bool> flags = voiceActivity(samples);
    const auto count = static_cast<int64_t>(samples.size());
    std::vector<IndexRange> ranges;
    bool previousVoiced = false;
    for (std::size_t i = 0; i < flags.size(); ++i) {
        if (!flags[i]) {
            previousVoiced = false;
            continue;
        }
        // A subclass may report more frames than the samples fill: such frames end at the last sample.
        const int64_t start = std::min(count, voiceActivityIndexToAudioSampleIndex(static_cast<int64_t>(i)));
        const int64_t end = std::min(count, start + std::min(frameLengthSamples, count - start));
        if (previousVoiced) {
            ranges.back().endIndex = end;
        } else {
            ranges.push_back({start, end});
        }
        previousVoiced = true;
    }
    return ranges;
}

int64_t VoiceActivityDetector::voiceActivityIndexToAudioSampleIndex(int64_t index) const {
    int64_t sample = 0;
    if (__builtin_mul_overflow(index, frameLengthSamples, &sample)) {
        throw std::out_of_range("Voice activity frame " + std::to_string(index) +
                                " has no 64-bit sample index");
    }
    return sample;
}

float VoiceActivityDetector::voiceActivityIndexToSeconds(int64_t index) const {
    return static_cast<float>(voiceActivityIndexToAudioSampleIndex(index)) / static_cast<float>(sampleRate);
}

std::optional<IndexRange> VoiceActivityDetector::findLongestSilence(const std::vector<bool>& flags) const {
    std::optional<IndexRange> longest;
    const auto count = static_cast<int64_t>(flags.size());
    int64_t index = 0;
    while (index < count) {
        if (flags[static_cast<std::size_t>(index)]) {
            ++index;
            continue;
        }
        const int64_t start = index;
        while (index < count && !flags[static_cast<std::size_t>(index)]) {
            ++index;
        }
        // Strictly longer only: among equal runs the earliest stays.
        if (!longest || index - start > longest->endIndex - longest->startIndex) {
            longest = IndexRange{start, index};
        }
    }
    return longest;
}

std::vector<float> VoiceActivityDetector::voiceActivityClipTimestamps(std::span<const float> samples) const {
    std::vector<float> times;
    for (const auto& range : calculateSeekTimestamps(samples)) {
        times.push_back(range.startTime);
        times.push_back(range.endTime);
    }
    return times;
}

std::vector<SeekClip>
VoiceActivityDetector::calculateNonSilentSeekClips(std::span<const float> samples) const {
    std::vector<SeekClip> clips;
    for (const auto& range : calculateActiveChunks(samples)) {
        clips.push_back({range.startIndex, range.endIndex});
    }
    return clips;
}

std::vector<SeekTimestamp>
VoiceActivityDetector::calculateSeekTimestamps(std::span<const float> samples) const {
    std::vector<SeekTimestamp> timestamps;
    const auto rate = static_cast<float>(sampleRate);
    for (const auto& range : calculateActiveChunks(samples)) {
        timestamps.push_back(
            {static_cast<float>(range.startIndex) / rate, static_cast<float>(range.endIndex) / rate});
    }
    return timestamps;
}

} // namespace sonavex
