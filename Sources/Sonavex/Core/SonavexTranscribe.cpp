// Transcribing one audio array (one task over the whole array, or voice-activity chunks as a batch), and
// the batch core that transcribes several arrays side by side.

#include "Sonavex/Core/Sonavex.h"

#include "OrvaneCore/Concurrency/ConcurrencyUtilities.h"
#include "OrvaneCore/Errors/CancellationError.h"
#include "OrvaneCore/Extensions/ArrayExtensions.h"
#include "Sonavex/Core/Audio/Chunking/VADAudioChunker.h"
#include "Sonavex/Core/Audio/VoiceActivity/EnergyVAD.h"
#include "Sonavex/Core/Constants.h"
#include "Sonavex/Core/FrontEnd/FeatureExtracting.h"
#include "Sonavex/Core/TranscribeTask.h"
#include "Sonavex/Utilities/Errors/WhisperError.h"
#include "Sonavex/Utilities/Logging/Logging.h"
#include "Sonavex/Utilities/System/WorkerThreads.h"
#include "Sonavex/Utilities/Transcription/TranscriptionUtilities.h"

#include <algorithm>

namespace sonavex {

namespace {

// The receiver called with every batch of segments moved later by `offset` samples.
SegmentDiscoveryCallback shifted(SegmentDiscoveryCallback receiver, int64_t offset) {
    return [receiver = std::move(receiver), offset](const std::vector<TranscriptionSegment>& segments) {
        std::vector<TranscriptionSegment> moved;
        moved.reserve(segments.size());
        for (const auto& segment : segments) {
            moved.push_back(TranscriptionUtilities::updateSegmentTimings(segment, offset));
        }
        receiver(moved);
    };
}

} // namespace

int64_t Sonavex::windowSamples() const {
    return featureExtractor()->windowSamples().value_or(Constants::defaultWindowSamples);
}

std::shared_ptr<VoiceActivityDetector> Sonavex::chunkingDetector() const {
    auto detector = voiceActivityDetector();
    return detector ? detector : EnergyVAD::engineDefault();
}

Sonavex::TranscriptionResults Sonavex::transcribe(const std::vector<float>& audioArray,
                                                  const std::optional<DecodingOptions>& decodeOptions,
                                                  const TranscriptionProgressCallback& callback,
                                                  const SegmentDiscoveryCallback& segmentCallback,
                                                  std::stop_token stop) {
    return transcribe(audioArray, 0, decodeOptions, callback, segmentCallback, stop);
}

Sonavex::TranscriptionResults Sonavex::transcribe(const std::vector<float>& audioArray, int64_t audioArrayOffset,
                                                  const std::optional<DecodingOptions>& decodeOptions,
                                                  const TranscriptionProgressCallback& callback,
                                                  const SegmentDiscoveryCallback& segmentCallback,
                                                  std::stop_token stop) {
    const int64_t window = windowSamples();
    TranscriptionResults results;
    if (int64_t(audioArray.size()) > window && decodeOptions &&
        decodeOptions->chunkingStrategy == ChunkingStrategy::vad) {
        VADAudioChunker chunker(16000, chunkingDetector());
        const auto chunks = chunker.chunkAll(audioArray, window, decodeOptions);
        Logging::debug("Found " + std::to_string(chunks.size()) + " VAD chunks");
        {
            const auto current = progress();
            current->setTotalUnitCount(std::max<int64_t>(current->totalUnitCount(), int64_t(chunks.size())));
        }
        DecodingOptions chunkOptions = *decodeOptions;
        chunkOptions.clipTimestamps.clear();
        std::vector<std::vector<float>> arrays;
        std::vector<int64_t> offsets;
        for (const auto& chunk : chunks) {
            arrays.push_back(chunk.audioSamples);
            offsets.push_back(chunk.seekOffsetIndex + audioArrayOffset);
        }
        // The caller's receiver, when given, hears the chunks' segments too (else the engine's).
        const auto outcomes =
            transcribeBatch(arrays, std::vector<std::optional<DecodingOptions>>(arrays.size(), chunkOptions),
                            offsets, callback, segmentCallback ? std::optional(segmentCallback) : std::nullopt,
                            stop);
        results = chunker.updateSeekOffsetsForResults(outcomes, chunks);
    } else {
        SegmentDiscoveryCallback receiver = segmentCallback ? segmentCallback : segmentDiscoveryCallback();
        if (audioArrayOffset >= 1 && receiver) {
            receiver = shifted(std::move(receiver), audioArrayOffset);
        }
        results = runTranscribeTask(audioArray, decodeOptions, callback, receiver, stop);
    }
    if (decodeOptions && decodeOptions->verbose) {
        Logging::info("Total Transcription Results: " + std::to_string(results.size()));
        for (size_t i = 0; i < results.size(); ++i) {
            Logging::debug("[Result " + std::to_string(i) + "]");
            results[i]->logSegments();
        }
    }
    return results;
}

Sonavex::TranscriptionResults Sonavex::runTranscribeTask(const std::vector<float>& audioArray,
                                                         const std::optional<DecodingOptions>& decodeOptions,
                                                         const TranscriptionProgressCallback& callback,
                                                         const SegmentDiscoveryCallback& segmentCallback,
                                                         std::stop_token stop) {
    if (modelState() != orvane::ModelState::loaded) {
        loadModels(false, stop);
    }
    const auto currentTokenizer = tokenizer();
    if (!currentTokenizer) {
        throw WhisperError::tokenizerUnavailable("Tokenizer is unavailable");
    }
    if (stop.stop_requested()) {
        setProgress(orvane::Progress::create(0));
        throw orvane::CancellationError();
    }
    auto child = orvane::Progress::create(0);
    {
        std::lock_guard lock(mutex_);
        progress_->setTotalUnitCount(std::max<int64_t>(progress_->totalUnitCount(), 1));
        progress_->addChild(child, 1);
    }
    auto task = setupTranscribeTask(currentTimings(), child, audioProcessor(), audioEncoder(), featureExtractor(),
                                    segmentSeeker(), textDecoder(), currentTokenizer);
    task->setSegmentDiscoveryCallback(segmentCallback);
    std::shared_ptr<TranscriptionResult> result;
    try {
        result = task->run(audioArray, decodeOptions, callback, stop);
    } catch (const orvane::CancellationError&) {
        setProgress(orvane::Progress::create(0));
        throw;
    }
    if (decodeOptions && decodeOptions->verbose) {
        result->logTimings();
    }
    {
        std::lock_guard lock(mutex_);
        if (progress_->isFinished()) {
            progress_ = orvane::Progress::create(0);
        }
    }
    return {result};
}

std::unique_ptr<TranscribeTask>
Sonavex::setupTranscribeTask(const TranscriptionTimings& currentTimings, std::shared_ptr<orvane::Progress> progress,
                             std::shared_ptr<AudioProcessing> audioProcessor,
                             std::shared_ptr<AudioEncoding> audioEncoder,
                             std::shared_ptr<FeatureExtracting> featureExtractor,
                             std::shared_ptr<SegmentSeeking> segmentSeeker,
                             std::shared_ptr<TextDecoding> textDecoder, std::shared_ptr<WhisperTokenizer> tokenizer) {
    return std::make_unique<TranscribeTask>(currentTimings, std::move(progress), std::move(audioProcessor),
                                            std::move(audioEncoder), std::move(featureExtractor),
                                            std::move(segmentSeeker), std::move(textDecoder), std::move(tokenizer));
}

std::vector<Sonavex::TranscriptionOutcome>
Sonavex::transcribeWithOptions(const std::vector<std::vector<float>>& audioArrays,
                               const std::vector<std::optional<DecodingOptions>>& decodeOptionsArray,
                               const std::optional<std::vector<int64_t>>& seekOffsets,
                               const TranscriptionProgressCallback& callback, std::stop_token stop) {
    return transcribeBatch(audioArrays, decodeOptionsArray, seekOffsets, callback, std::nullopt, stop);
}

std::vector<Sonavex::TranscriptionOutcome>
Sonavex::transcribeBatch(const std::vector<std::vector<float>>& audioArrays,
                         const std::vector<std::optional<DecodingOptions>>& decodeOptionsArray,
                         const std::optional<std::vector<int64_t>>& seekOffsets,
                         const TranscriptionProgressCallback& callback,
                         const std::optional<SegmentDiscoveryCallback>& receiver, std::stop_token stop) {
    const auto failure = [](const std::string& message) {
        return TranscriptionOutcome::failure(std::make_exception_ptr(WhisperError::transcriptionFailed(message)));
    };
    if (audioArrays.size() != decodeOptionsArray.size()) {
        return {failure("The number of audio arrays and decoding options must be balanced.")};
    }
    if (seekOffsets && seekOffsets->size() != audioArrays.size()) {
        return {failure("The number of audio arrays and seek offset indexes must be balanced.")};
    }
    int64_t batchSize = 0;
    for (const auto& options : decodeOptionsArray) {
        batchSize = std::max<int64_t>(batchSize, options ? options->concurrentWorkerCount : 0);
    }
    const size_t batchLength = batchSize > 0 ? size_t(batchSize) : std::max<size_t>(audioArrays.size(), 1);
    // Inputs of one batch run side by side; without a batch size, as many at a time as there are processors.
    const size_t workers =
        batchSize > 0 ? size_t(batchSize) : size_t(std::max(1, orvane::ConcurrencyUtilities::activeProcessorCount()));

    const std::weak_ptr<Sonavex> weakEngine = weak_from_this();
    std::vector<TranscriptionOutcome> outcomes;
    outcomes.reserve(audioArrays.size());
    for (size_t batchStart = 0; batchStart < audioArrays.size(); batchStart += batchLength) {
        const size_t count = std::min(batchLength, audioArrays.size() - batchStart);
        std::vector<std::optional<TranscriptionOutcome>> slots(count);
        runOnWorkerThreads(count, workers, [&](size_t position) {
            const size_t index = batchStart + position;
            const auto engine = weakEngine.lock();
            if (!engine) {
                slots[position] = failure("Sonavex instance was deallocated");
                return;
            }
            TranscriptionProgressCallback progressCallback;
            if (callback) {
                progressCallback = [callback, index](const TranscriptionProgress& progress) {
                    TranscriptionProgress copy = progress;
                    copy.windowId = int64_t(index);
                    return callback(copy);
                };
            }
            SegmentDiscoveryCallback segments = receiver ? *receiver : engine->segmentDiscoveryCallback();
            if (seekOffsets) {
                segments = segments ? shifted(std::move(segments), (*seekOffsets)[index])
                                    : [](const std::vector<TranscriptionSegment>&) {};
            }
            try {
                slots[position] = TranscriptionOutcome::success(
                    engine->transcribe(audioArrays[index], decodeOptionsArray[index], progressCallback, segments,
                                       stop));
            } catch (...) {
                slots[position] = TranscriptionOutcome::currentFailure();
            }
        });
        for (auto& slot : slots) {
            outcomes.push_back(std::move(*slot));
        }
    }
    return outcomes;
}

} // namespace sonavex
