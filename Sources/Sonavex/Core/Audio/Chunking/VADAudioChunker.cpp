#include "Sonavex/Core/Audio/Chunking/VADAudioChunker.h"

#include "Sonavex/Core/Audio/VoiceActivity/EnergyVAD.h"
#include "Sonavex/Utilities/Errors/WhisperError.h"
#include "Sonavex/Utilities/Logging/Logging.h"

#include <algorithm>
#include <cstdio>
#include <stdexcept>
#include <string>

namespace sonavex {

namespace {

/// current < end − padding, without overflow for any of the three.
bool beforePadding(int64_t current, int64_t end, int64_t padding) {
    int64_t limit = 0;
    if (__builtin_sub_overflow(end, padding, &limit)) {
        return padding < 0; // past the largest value, or below the smallest
    }
    return current < limit;
}

std::string secondsText(int64_t sample) {
    char text[64];
    std::snprintf(text, sizeof text, "%.2f", static_cast<double>(static_cast<float>(sample) / 16000.0f));
    return text;
}

} // namespace

VADAudioChunker::VADAudioChunker(int64_t windowPadding, std::shared_ptr<VoiceActivityDetector> vad)
    : windowPadding(windowPadding), vad_(vad ? std::move(vad) : EnergyVAD::engineDefault()) {}

int64_t VADAudioChunker::cutPoint(std::span<const float> audioArray, int64_t start, int64_t windowEnd) const {
    const int64_t mid = start + (windowEnd - start) / 2;
    const auto secondHalf =
        audioArray.subspan(static_cast<std::size_t>(mid), static_cast<std::size_t>(windowEnd - mid));
    const std::vector<bool> flags = vad_->voiceActivity(secondHalf);
    // The base class's search, whatever the detector overrides: the earliest of equally long silences.
    const auto silence = vad_->VoiceActivityDetector::findLongestSilence(flags);
    if (!silence) {
        return windowEnd;
    }
    const int64_t middleFrame = silence->startIndex + (silence->endIndex - silence->startIndex) / 2;
    // A detector reporting more frames than the samples fill must not move the cut past the window.
    if (middleFrame >= (windowEnd - mid - 1) / vad_->frameLengthSamples + 1) {
        return windowEnd;
    }
    return mid + middleFrame * vad_->frameLengthSamples;
}

std::vector<AudioChunk> VADAudioChunker::chunkAll(std::span<const float> audioArray, int64_t maxChunkLength,
                                                  const std::optional<DecodingOptions>& decodeOptions) {
    if (maxChunkLength < 1) {
        throw std::invalid_argument("chunkAll: the chunk length must be at least 1, not " +
                                    std::to_string(maxChunkLength));
    }
    const auto count = static_cast<int64_t>(audioArray.size());
    if (maxChunkLength >= count) {
        return {AudioChunk{0, std::vector<float>(audioArray.begin(), audioArray.end())}};
    }
    const auto clips = decodeOptions.value_or(DecodingOptions()).prepareSeekClips(count);

    std::vector<AudioChunk> chunks;
    for (const auto& clip : clips) {
        int64_t current = clip.start;
        // A clip must start inside the audio, even one with nothing to cut; one that ends past the audio
        // ends at its end.
        if (current < 0 || current >= count) {
            throw WhisperError::audioProcessingFailed("startIndex is outside the buffer size");
        }
        const int64_t clipEnd = std::min(clip.end, count);
        while (beforePadding(current, clipEnd, windowPadding)) {
            int64_t end = clipEnd;
            if (current + maxChunkLength < clipEnd) {
                end = cutPoint(audioArray, current, std::min(current + maxChunkLength, count));
            }
            if (end <= current) {
                break;
            }
            Logging::debug("Found chunk from " + secondsText(current) + " to " + secondsText(end));
            chunks.push_back(AudioChunk{
                current, std::vector<float>(audioArray.begin() + current, audioArray.begin() + end)});
            current = end;
        }
    }
    return chunks;
}

} // namespace sonavex
