#pragma once
// Cuts audio at silences: each window of at most `maxChunkLength` samples ends in the middle of the
// longest silence the detector finds in the window's second half, or at the window's end when it finds
// none. Clip timestamps of the decoding options limit the cutting to their clips.

#include "Sonavex/Core/Audio/Chunking/AudioChunking.h"
#include "Sonavex/Core/Audio/VoiceActivity/VoiceActivityDetector.h"

namespace sonavex {

class VADAudioChunker : public AudioChunking {
public:
    /// Without a detector, the engine's default one (EnergyVAD::engineDefault()).
    explicit VADAudioChunker(int64_t windowPadding = 16000,
                             std::shared_ptr<VoiceActivityDetector> vad = nullptr);

    /// Samples at the end of a clip that are not worth a chunk of their own.
    const int64_t windowPadding;

    /// Audio no longer than `maxChunkLength` is one chunk at 0 (an empty array too). Otherwise each clip
    /// is cut until at most `windowPadding` of its samples are left, which are dropped; a clip end past
    /// the audio counts as the audio's end. Throws WhisperError.audioProcessingFailed "startIndex is
    /// outside the buffer size" for a clip that starts at or after the end of the audio, and
    /// std::invalid_argument for a `maxChunkLength` below 1.
    std::vector<AudioChunk> chunkAll(std::span<const float> audioArray, int64_t maxChunkLength,
                                     const std::optional<DecodingOptions>& decodeOptions) override;

private:
    /// Where the window [start, windowEnd) is cut: the middle frame of its second half's longest silence.
    int64_t cutPoint(std::span<const float> audioArray, int64_t start, int64_t windowEnd) const;

    std::shared_ptr<VoiceActivityDetector> vad_;
};

} // namespace sonavex
