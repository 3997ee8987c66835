#include "Sonavex/Core/Audio/Chunking/AudioChunking.h"

#include "OrvaneCore/Errors/ErrorDescription.h"
#include "Sonavex/Utilities/Logging/Logging.h"
#include "Sonavex/Utilities/Transcription/TranscriptionUtilities.h"

#include <cmath>
#include <stdexcept>
#include <string>

namespace sonavex {

namespace {

std::string describe(const std::exception_ptr& error) {
    try {
        std::rethrow_exception(error);
    } catch (...) {
        return orvane::describeCurrentException();
    }
}

/// Refuses an offset whose Int(offsetSeconds × 16000), single precision and truncated, has no 64-bit value.
void requireSampleIndex(float seconds) {
    const float samples = std::trunc(seconds * 16000.0f);
    constexpr float limit = 9223372036854775808.0f;
    if (!(samples >= -limit && samples < limit)) {
        throw std::out_of_range("Chunk offset of " + std::to_string(seconds) + " s has no sample index");
    }
}

} // namespace

std::vector<std::shared_ptr<TranscriptionResult>>
AudioChunking::updateSeekOffsetsForResults(const std::vector<ChunkResults>& chunkedResults,
                                           const std::vector<AudioChunk>& audioChunks) const {
    if (chunkedResults.size() != audioChunks.size()) {
        throw std::invalid_argument("updateSeekOffsetsForResults: " + std::to_string(chunkedResults.size()) +
                                    " outcomes for " + std::to_string(audioChunks.size()) + " chunks");
    }
    std::vector<std::shared_ptr<TranscriptionResult>> moved;
    for (std::size_t i = 0; i < chunkedResults.size(); ++i) {
        if (!chunkedResults[i].isSuccess()) {
            Logging::debug("Error transcribing chunk " + std::to_string(i) + ": " +
                           describe(chunkedResults[i].error()));
            continue;
        }
        const float offsetSeconds = static_cast<float>(audioChunks[i].seekOffsetIndex) / 16000.0f;
        requireSampleIndex(offsetSeconds);
        for (const auto& result : chunkedResults[i].get()) {
            auto segments = result->segments();
            for (auto& segment : segments) {
                segment = TranscriptionUtilities::updateSegmentTimings(segment, offsetSeconds);
            }
            result->setSeekTime(offsetSeconds);
            result->setSegments(std::move(segments));
            moved.push_back(result);
        }
    }
    return moved;
}

} // namespace sonavex
