// Transcribing several arrays, one file (whole, or streamed in pieces) and several files.

#include "Sonavex/Core/Sonavex.h"

#include "Sonavex/Core/Audio/AudioProcessor.h"
#include "Sonavex/Core/TranscribeTask.h"
#include "Sonavex/Utilities/Errors/WhisperError.h"
#include "Sonavex/Utilities/Extensions/ResultExtensions.h"
#include "Sonavex/Utilities/Logging/Logging.h"
#include "Sonavex/Utilities/System/WorkerThreads.h"
#include "Sonavex/Utilities/Transcription/TranscriptionUtilities.h"

#include <algorithm>
#include <chrono>

namespace sonavex {

namespace {

double secondsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

const AudioInputOptions::Incremental* incrementalMode(const AudioInputOptions& options) {
    return std::get_if<AudioInputOptions::Incremental>(&options.audioLoadingMode);
}

} // namespace

void Sonavex::reportState(TranscriptionState state) const {
    if (const auto callback = transcriptionStateCallback()) {
        callback(state);
    }
}

std::vector<Sonavex::TranscriptionOutcome>
Sonavex::transcribeWithResults(const std::vector<std::vector<float>>& audioArrays,
                               const std::optional<DecodingOptions>& decodeOptions,
                               const TranscriptionProgressCallback& callback, std::stop_token stop) {
    return transcribeWithOptions(audioArrays,
                                 std::vector<std::optional<DecodingOptions>>(audioArrays.size(), decodeOptions),
                                 std::nullopt, callback, stop);
}

std::vector<std::optional<Sonavex::TranscriptionResults>>
Sonavex::transcribe(const std::vector<std::vector<float>>& audioArrays,
                    const std::optional<DecodingOptions>& decodeOptions,
                    const TranscriptionProgressCallback& callback, std::stop_token stop) {
    return toOptionalArrays(transcribeWithResults(audioArrays, decodeOptions, callback, stop));
}

Sonavex::TranscriptionResults Sonavex::transcribe(const std::string& audioPath,
                                                  const std::optional<AudioInputOptions>& audioInputOptions,
                                                  const std::optional<DecodingOptions>& decodeOptions,
                                                  const TranscriptionProgressCallback& callback,
                                                  std::stop_token stop) {
    const AudioInputOptions input = audioInputOptions.value_or(this->audioInputOptions());
    const auto start = std::chrono::steady_clock::now();
    if (const auto* incremental = incrementalMode(input)) {
        const auto recordTime = [&] {
            const double seconds = secondsSince(start);
            modifyCurrentTimings([&](TranscriptionTimings& timings) { timings.audioLoading = seconds; });
            Logging::debug("Audio streaming and transcription time: " + std::to_string(seconds));
            Logging::logCurrentMemoryUsage("Audio Streaming");
        };
        try {
            auto stream = AudioProcessor::loadFileIncrementally(audioPath, input.channelMode,
                                                                incremental->chunkDurationSeconds,
                                                                incremental->maxBufferedChunks, windowSamples(),
                                                                chunkingDetector());
            auto results = transcribeFileStream(stream, decodeOptions, callback, true, stop);
            recordTime();
            return results;
        } catch (...) {
            recordTime();
            throw;
        }
    }

    reportState(TranscriptionState::convertingAudio);
    std::vector<float> samples;
    try {
        samples = AudioProcessor::loadAudioAsFloatArray(audioPath, input.channelMode, 0.0, std::nullopt);
    } catch (...) {
        const double seconds = secondsSince(start);
        modifyCurrentTimings([&](TranscriptionTimings& timings) { timings.audioLoading = seconds; });
        Logging::debug("Audio loading and convert time: " + std::to_string(seconds));
        Logging::logCurrentMemoryUsage("Audio Loading and Convert");
        throw;
    }
    const double seconds = secondsSince(start);
    modifyCurrentTimings([&](TranscriptionTimings& timings) { timings.audioLoading = seconds; });
    Logging::debug("Audio loading and convert time: " + std::to_string(seconds));
    Logging::logCurrentMemoryUsage("Audio Loading and Convert");

    reportState(TranscriptionState::transcribing);
    try {
        auto results = transcribe(samples, decodeOptions, callback, {}, stop);
        reportState(TranscriptionState::finished);
        return results;
    } catch (...) {
        reportState(TranscriptionState::finished);
        throw;
    }
}

Sonavex::TranscriptionResults Sonavex::transcribeFileStream(IncrementalFileStream& audioStream,
                                                            const std::optional<DecodingOptions>& decodeOptions,
                                                            const TranscriptionProgressCallback& callback,
                                                            bool emitStateCallbacks, std::stop_token stop) {
    if (decodeOptions && !decodeOptions->clipTimestamps.empty()) {
        throw WhisperError::transcriptionFailed(
            "clipTimestamps is not supported with AudioLoadingMode.incremental. Use .fullFile, or transcribe the "
            "desired range as a separate call.");
    }
    const auto finish = [&] {
        if (emitStateCallbacks) {
            reportState(TranscriptionState::finished);
        }
    };
    if (emitStateCallbacks) {
        reportState(TranscriptionState::transcribing);
    }
    TranscriptionResults collected;
    try {
        while (auto piece = audioStream.next(stop)) {
            const int64_t offset = piece->audioChunk.seekOffsetIndex;
            TranscriptionResults results;
            try {
                results = transcribe(piece->audioChunk.audioSamples, offset, decodeOptions, callback, {}, stop);
            } catch (...) {
                piece->completionSignal();
                throw;
            }
            for (const auto& result : results) {
                result->modifySegments([&](std::vector<TranscriptionSegment>& segments) {
                    for (auto& segment : segments) {
                        segment = TranscriptionUtilities::updateSegmentTimings(segment, offset);
                    }
                });
                result->setSeekTime(result->seekTime().value_or(0) + float(offset) / 16000.0f);
            }
            collected.insert(collected.end(), results.begin(), results.end());
            piece->completionSignal();
        }
    } catch (...) {
        finish();
        throw;
    }
    std::stable_sort(collected.begin(), collected.end(), [](const auto& a, const auto& b) {
        return a->seekTime().value_or(0) < b->seekTime().value_or(0);
    });
    finish();
    return collected;
}

std::vector<Sonavex::TranscriptionOutcome>
Sonavex::transcribeWithResults(const std::vector<std::string>& audioPaths,
                               const std::optional<AudioInputOptions>& audioInputOptions,
                               const std::optional<DecodingOptions>& decodeOptions,
                               const TranscriptionProgressCallback& callback, std::stop_token stop) {
    const AudioInputOptions input = audioInputOptions.value_or(this->audioInputOptions());
    const auto start = std::chrono::steady_clock::now();
    std::vector<TranscriptionOutcome> answer;

    if (const auto* incremental = incrementalMode(input)) {
        reportState(TranscriptionState::transcribing);
        // Files stream one at a time within a batch slot; batches follow one another.
        std::vector<std::optional<DecodingOptions>> perFile(audioPaths.size(), decodeOptions);
        const int64_t batchSize = decodeOptions ? decodeOptions->concurrentWorkerCount : 0;
        const size_t batchLength = batchSize > 0 ? size_t(batchSize) : std::max<size_t>(audioPaths.size(), 1);
        const std::weak_ptr<Sonavex> weakEngine = weak_from_this();
        for (size_t batchStart = 0; batchStart < audioPaths.size(); batchStart += batchLength) {
            const size_t count = std::min(batchLength, audioPaths.size() - batchStart);
            std::vector<std::optional<TranscriptionOutcome>> slots(count);
            runOnWorkerThreads(count, count, [&](size_t position) {
                const auto engine = weakEngine.lock();
                if (!engine) {
                    slots[position] = TranscriptionOutcome::failure(std::make_exception_ptr(
                        WhisperError::transcriptionFailed("Sonavex instance was deallocated")));
                    return;
                }
                try {
                    auto stream = AudioProcessor::loadFileIncrementally(
                        audioPaths[batchStart + position], input.channelMode, incremental->chunkDurationSeconds,
                        incremental->maxBufferedChunks, engine->windowSamples(), engine->chunkingDetector());
                    slots[position] = TranscriptionOutcome::success(
                        engine->transcribeFileStream(stream, decodeOptions, callback, false, stop));
                } catch (...) {
                    slots[position] = TranscriptionOutcome::currentFailure();
                }
            });
            for (auto& slot : slots) {
                answer.push_back(std::move(*slot));
            }
        }
        const double seconds = secondsSince(start);
        modifyCurrentTimings([&](TranscriptionTimings& timings) { timings.audioProcessing = seconds; });
        Logging::debug("Total Audio Streaming and Transcription Time: " + std::to_string(seconds));
        reportState(TranscriptionState::finished);
        return answer;
    }

    reportState(TranscriptionState::convertingAudio);
    auto loaded = AudioProcessor::loadAudio(audioPaths, input.channelMode);
    const double seconds = secondsSince(start);
    modifyCurrentTimings([&](TranscriptionTimings& timings) { timings.audioLoading = seconds; });
    Logging::debug("Total Audio Loading and Converting Time: " + std::to_string(seconds));
    reportState(TranscriptionState::transcribing);
    std::vector<std::vector<float>> buffers;
    for (const auto& outcome : loaded) {
        if (outcome.isSuccess()) {
            buffers.push_back(outcome.get());
        }
    }
    auto transcribed = transcribeWithResults(buffers, decodeOptions, callback, stop);
    size_t next = 0;
    for (const auto& outcome : loaded) {
        if (outcome.isSuccess()) {
            answer.push_back(std::move(transcribed[next++]));
        } else {
            answer.push_back(TranscriptionOutcome::failure(outcome.error()));
        }
    }
    reportState(TranscriptionState::finished);
    return answer;
}

std::vector<std::optional<Sonavex::TranscriptionResults>>
Sonavex::transcribe(const std::vector<std::string>& audioPaths,
                    const std::optional<AudioInputOptions>& audioInputOptions,
                    const std::optional<DecodingOptions>& decodeOptions,
                    const TranscriptionProgressCallback& callback, std::stop_token stop) {
    return toOptionalArrays(transcribeWithResults(audioPaths, audioInputOptions, decodeOptions, callback, stop));
}

} // namespace sonavex
