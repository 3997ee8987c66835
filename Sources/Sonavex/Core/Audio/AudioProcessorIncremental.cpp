// Incremental file loading of AudioProcessor: the checks made before the stream exists.

#include "Sonavex/Core/Audio/AudioProcessor.h"
#include "Sonavex/Core/Audio/VoiceActivity/EnergyVAD.h"
#include "Sonavex/Utilities/Errors/WhisperError.h"

#include <cmath>
#include <filesystem>

namespace sonavex {

IncrementalFileStream AudioProcessor::loadFileIncrementally(const std::string& fromPath,
                                                            const ChannelMode& channelMode,
                                                            double chunkDurationSeconds,
                                                            int64_t maxBufferedChunks, int64_t maxChunkLength,
                                                            std::shared_ptr<VoiceActivityDetector> vad) {
    if (!std::isfinite(chunkDurationSeconds) || !(chunkDurationSeconds > 0)) {
        throw WhisperError::loadAudioFailed("Incremental chunk duration must be greater than 0");
    }
    if (maxBufferedChunks < 1) {
        throw WhisperError::loadAudioFailed("Incremental chunk buffer size must be greater than 0");
    }
    std::error_code ignored;
    if (!std::filesystem::exists(fromPath, ignored)) {
        throw WhisperError::loadAudioFailed("Audio file not found at path: " + fromPath);
    }
    // The chunker keeps up to 16,000 samples back from each cut; with chunks no longer than that, what is
    // pending would never be cut and the reader would go round for ever.
    if (maxChunkLength <= 16000) {
        throw WhisperError::loadAudioFailed("Incremental max chunk length must be greater than 16000");
    }
    return IncrementalFileStream({fromPath, channelMode, chunkDurationSeconds, maxBufferedChunks,
                                  maxChunkLength, vad ? std::move(vad) : EnergyVAD::engineDefault()});
}

} // namespace sonavex
