#pragma once
// The stage that cuts long audio into chunks the engine transcribes one by one, and moves each chunk's
// results back onto the time line of the whole audio.

#include "Sonavex/Core/Options/DecodingOptions.h"
#include "Sonavex/Core/Results/AudioChunk.h"
#include "Sonavex/Core/Results/TranscriptionResult.h"
#include "Sonavex/Utilities/Errors/Result.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <vector>

namespace sonavex {

class AudioChunking {
public:
    using ChunkResults = Result<std::vector<std::shared_ptr<TranscriptionResult>>>;

    virtual ~AudioChunking() = default;

    /// The chunks of 16 kHz samples, in order, each at most `maxChunkLength` long and carrying the index
    /// of its first sample in `audioArray`. Throws WhisperError.
    virtual std::vector<AudioChunk> chunkAll(std::span<const float> audioArray, int64_t maxChunkLength,
                                             const std::optional<DecodingOptions>& decodeOptions) = 0;

    /// `chunkedResults[i]` is the outcome of transcribing `audioChunks[i]`. The successful results, in
    /// chunk order, changed in place: every segment (and word) moved by its chunk's offset, `seekTime` set
    /// to that offset. A failure is logged at debug level and left out. Throws std::invalid_argument when
    /// the two lists differ in length.
    std::vector<std::shared_ptr<TranscriptionResult>>
    updateSeekOffsetsForResults(const std::vector<ChunkResults>& chunkedResults,
                                const std::vector<AudioChunk>& audioChunks) const;
};

} // namespace sonavex
