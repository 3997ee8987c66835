#include "Sonavex/Core/TranscribeTask.h"

#include "OrvaneCore/Errors/CancellationError.h"
#include "OrvaneCore/Text/CharacterProperties.h"
#include "OrvaneCore/Text/Trimming.h"
#include "Sonavex/Core/Audio/AudioProcessor.h"
#include "Sonavex/Core/Constants.h"
#include "Sonavex/Core/TranscribeTaskLogs.h"
#include "Sonavex/Utilities/Errors/WhisperError.h"
#include "Sonavex/Utilities/Formats/NumberFormat.h"
#include "Sonavex/Utilities/Logging/AbsoluteTime.h"
#include "Sonavex/Utilities/Logging/Logging.h"
#include "Sonavex/Utilities/Logging/SignpostScope.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <limits>

namespace sonavex {

namespace {

using Clock = std::chrono::steady_clock;
constexpr int64_t kSampleRate = 16000;

double secondsSince(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

std::string twoDecimals(double value) {
    return formatNumber("%.2f", value);
}

// windowClipTime × 16000 in single precision, truncated; a value without a sample count is refused
// instead of being converted undefinedly.
int64_t clipEndMargin(float windowClipTime) {
    const float margin = windowClipTime * static_cast<float>(kSampleRate);
    constexpr float limit = 9.2e18f;
    if (!std::isfinite(margin) || margin <= -limit || margin >= limit) {
        throw WhisperError::transcriptionFailed("windowClipTime " + orvane::describing(windowClipTime) +
                                                " cannot be turned into a sample count");
    }
    return static_cast<int64_t>(margin);
}

// Clip bounds moved into the audio: clip times past its end would otherwise cut windows out of nothing.
std::vector<SeekClip> clampedClips(std::vector<SeekClip> clips, int64_t sampleCount) {
    for (SeekClip& clip : clips) {
        clip.start = std::clamp<int64_t>(clip.start, 0, sampleCount);
        clip.end = std::clamp<int64_t>(clip.end, 0, sampleCount);
    }
    return clips;
}

void logWordTimings(const std::vector<TranscriptionSegment>& segments) {
    Logging::debug("Word timestamps:");
    for (const TranscriptionSegment& segment : segments) {
        if (!segment.words) {
            continue;
        }
        for (const WordTiming& word : *segment.words) {
            Logging::debug("[" + formatNumber("%.3g", word.start) + " -> " + formatNumber("%.3g", word.end) +
                           "] prob: " + orvane::describing(word.probability) + ", word: " + word.word);
        }
    }
}

void logSegments(const std::vector<TranscriptionSegment>& segments) {
    Logging::debug("Segments for window:");
    for (const TranscriptionSegment& segment : segments) {
        Logging::debug("[" + twoDecimals(segment.start) + " --> " + twoDecimals(segment.end) + "] " +
                       segment.text);
    }
}

} // namespace

TranscribeTask::TranscribeTask(
    TranscriptionTimings currentTimings, std::shared_ptr<orvane::Progress> progress,
    std::shared_ptr<AudioProcessing> audioProcessor, std::shared_ptr<AudioEncoding> audioEncoder,
    std::shared_ptr<FeatureExtracting> featureExtractor, std::shared_ptr<SegmentSeeking> segmentSeeker,
    std::shared_ptr<TextDecoding> textDecoder, std::shared_ptr<WhisperTokenizer> tokenizer)
    : timings_(currentTimings), progress_(progress ? std::move(progress) : orvane::Progress::create(0)),
      audioEncoder_(std::move(audioEncoder)), featureExtractor_(std::move(featureExtractor)),
      segmentSeeker_(std::move(segmentSeeker)), textDecoder_(std::move(textDecoder)),
      audioProcessor_(audioProcessor ? std::move(audioProcessor) : std::make_shared<AudioProcessor>()),
      tokenizer_(std::move(tokenizer)) {}

void TranscribeTask::windowPreprocess(const std::shared_ptr<AudioProcessorOutputType>& /*window*/,
                                      int64_t /*seek*/, int64_t /*segmentSize*/) {}

std::vector<TranscriptionSegment>
TranscribeTask::windowPostProcess(int64_t /*seek*/, int64_t /*segmentSize*/,
                                  std::vector<TranscriptionSegment> originalSegments) {
    return originalSegments;
}

std::shared_ptr<TranscriptionResult> TranscribeTask::finalizeTranscriptionResult(
    const std::vector<int64_t>& tokens, std::vector<TranscriptionSegment> segments,
    std::optional<std::string> language, TranscriptionTimings timings) {
    const std::shared_ptr<WhisperTokenizer> tokenizer = this->tokenizer();
    const int64_t specialTokenBegin = tokenizer->specialTokens().specialTokenBegin;
    std::vector<int> textTokens;
    for (int64_t token : tokens) {
        if (token < specialTokenBegin) {
            textTokens.push_back(static_cast<int>(token));
        }
    }
    const std::string decoded = tokenizer->decode(textTokens);
    std::string text(orvane::text::trimmed(decoded, orvane::text::isHorizontalWhiteSpace));
    return TranscriptionResult::make(std::move(text), std::move(segments),
                                     language.value_or(std::string(Constants::defaultLanguageCode)), timings);
}

std::shared_ptr<TranscriptionResult> TranscribeTask::run(const std::vector<float>& audioArray,
                                                         const std::optional<DecodingOptions>& decodeOptions,
                                                         const TranscriptionProgressCallback& callback,
                                                         std::stop_token stopToken) {
    const SignpostScope signpost("TranscribeAudio", Logging::TranscribeTask::signposter());
    timings_.pipelineStart = std::min(currentAbsoluteTime(), timings_.pipelineStart);
    Logging::debug("Starting pipeline at: " + currentDateDescription());

    DecodingOptions options = decodeOptions.value_or(DecodingOptions());
    options.verbose = Logging::isLoggingEnabled();
    std::optional<std::string> detectedLanguage;
    std::vector<TranscriptionSegment> allSegments;
    std::vector<int64_t> allTokens;
    const std::shared_ptr<WhisperTokenizer> tokenizer = this->tokenizer();
    if (!tokenizer) {
        throw WhisperError::tokenizerUnavailable();
    }

    const auto sampleCount = static_cast<int64_t>(audioArray.size());
    const double firstClipTime =
        decodeOptions && !decodeOptions->clipTimestamps.empty() ? decodeOptions->clipTimestamps.front() : 0.0;
    timings_.inputAudioSeconds = static_cast<double>(sampleCount) / kSampleRate - firstClipTime;

    const Clock::time_point initStart = Clock::now();
    const std::shared_ptr<DecodingInputs> decoderInputs =
        textDecoder_->prepareDecoderInputs({tokenizer->specialTokens().startOfTranscriptToken});
    timings_.decodingInit = secondsSince(initStart);
    Logging::debug("Decoder init time: " + orvane::describing(timings_.decodingInit));
    if (options.usePrefillPrompt) {
        textDecoder_->prefillDecoderInputs(*decoderInputs, options);
    }
    Logging::debug("Prefill prompt: " + promptDescription(decoderInputs->initialPrompt, *tokenizer));

    const std::vector<SeekClip> seekClips = clampedClips(options.prepareSeekClips(sampleCount), sampleCount);
    Logging::debug("Decoding seek clips: " + seekClipsDescription(seekClips));
    int64_t totalUnits = 0;
    for (const SeekClip& clip : seekClips) {
        totalUnits += std::max<int64_t>(clip.end - clip.start, 0);
    }
    progress_->setTotalUnitCount(totalUnits);
    const double loopStart = currentAbsoluteTime();

    for (const SeekClip& clip : seekClips) {
        const int64_t clipStartCount = progress_->completedUnitCount();
        const int64_t margin = clipEndMargin(options.windowClipTime);
        const int64_t windowSamples =
            featureExtractor_->windowSamples().value_or(Constants::defaultWindowSamples);
        const int64_t clipEnd = clip.end;
        int64_t seek = clip.start;

        while (seek < clipEnd - margin) {
            // Front end: the window's samples, padded to the model's length, to mel features and encoder
            // output.
            const int64_t segmentSize = std::min(clipEnd - seek, std::min(windowSamples, sampleCount - seek));
            const int64_t windowEnd = seek + segmentSize;
            const float seekSeconds = static_cast<float>(seek) / kSampleRate;
            const float endSeconds = static_cast<float>(windowEnd) / kSampleRate;
            Logging::debug("Decoding Seek: " + std::to_string(seek) + " (" + twoDecimals(seekSeconds) + "s)");
            Logging::debug("Decoding Window Size: " + std::to_string(segmentSize) + " (" +
                           twoDecimals(endSeconds - seekSeconds) + "s)");

            const Clock::time_point audioStart = Clock::now();
            const std::vector<float> cut(audioArray.begin() + seek, audioArray.begin() + windowEnd);
            const std::shared_ptr<AudioProcessorOutputType> window =
                audioProcessor_->padOrTrim(cut, 0, static_cast<int>(windowSamples));
            if (!window) {
                throw WhisperError::transcriptionFailed("Audio samples are nil");
            }
            windowPreprocess(window, seek, segmentSize);
            timings_.audioProcessing += secondsSince(audioStart);
            timings_.totalAudioProcessingRuns += 1;
            orvane::throwIfCancelled(stopToken);

            const Clock::time_point melStart = Clock::now();
            const std::shared_ptr<FeatureExtractorOutputType> mel =
                featureExtractor_->logMelSpectrogram(window, stopToken);
            if (!mel) {
                throw WhisperError::transcriptionFailed("Mel output is nil");
            }
            timings_.logmels += secondsSince(melStart);
            timings_.totalLogmelRuns += 1;
            orvane::throwIfCancelled(stopToken);

            const Clock::time_point encoderStart = Clock::now();
            const std::shared_ptr<AudioEncoderOutputType> encoderOutput =
                audioEncoder_->encodeFeatures(mel, stopToken);
            if (!encoderOutput) {
                throw WhisperError::transcriptionFailed("Encoder output is nil");
            }
            timings_.encoding += secondsSince(encoderStart);
            timings_.totalEncodingRuns += 1;
            Logging::info("Decoding " + twoDecimals(seekSeconds) + "s - " + twoDecimals(endSeconds) + "s");

            // Decoding, with the window's id on every progress report.
            const auto windowId =
                static_cast<int64_t>(timings_.totalDecodingWindows - timings_.totalDecodingFallbacks);
            TranscriptionProgressCallback relay;
            if (callback) {
                relay = [callback, windowId](const TranscriptionProgress& progress) {
                    TranscriptionProgress relayed = progress;
                    relayed.windowId = windowId;
                    return callback(relayed);
                };
            }
            orvane::throwIfCancelled(stopToken);
            const DecodingResult decoded = decodeWithFallback(encoderOutput, options, *decoderInputs,
                                                              detectedLanguage, relay, stopToken);

            // Segmentation: where the next window starts, and what this one said.
            const Clock::time_point windowingStart = Clock::now();
            auto [seekPoint, segments] = segmentSeeker_->findSeekPointAndSegments(
                decoded, options, static_cast<int64_t>(allSegments.size()), seek, segmentSize, kSampleRate,
                tokenizer->specialTokens().timeTokenBegin, tokenizer->specialTokens().specialTokenBegin,
                *tokenizer);
            int64_t newSeek = std::max(seekPoint, seek);

            if (options.wordTimestamps && decoded.cache && decoded.cache->alignmentWeights) {
                const Clock::time_point wordStart = Clock::now();
                TranscriptionTimings timingsCopy = timings_;
                std::vector<TranscriptionSegment> timed = segmentSeeker_->addWordTimestamps(
                    segments.value_or(std::vector<TranscriptionSegment>{}), *decoded.cache->alignmentWeights,
                    *tokenizer, seek, segmentSize, Constants::defaultPrependPunctuations,
                    Constants::defaultAppendPunctuations,
                    static_cast<float>(static_cast<double>(seek) / kSampleRate), options, timingsCopy);
                timings_.decodingWordTimestamps += secondsSince(wordStart);
                timings_.totalTimestampAlignmentRuns += 1;
                std::erase_if(timed, [](const TranscriptionSegment& segment) {
                    return !(segment.start < segment.end);
                });
                if (!timed.empty()) {
                    newSeek = std::max(
                        newSeek, static_cast<int64_t>(timed.back().end * static_cast<float>(kSampleRate)));
                }
                segments = std::move(timed);
                if (options.verbose) {
                    logWordTimings(*segments);
                }
            }
            if (options.maxWindowSeek) {
                newSeek = std::min(newSeek, seek + *options.maxWindowSeek);
            }
            if (newSeek <= seek) {
                // A window that gives no later start would be decoded again for ever.
                const int64_t advance = options.maxWindowSeek && *options.maxWindowSeek > 0
                                            ? std::min(segmentSize, *options.maxWindowSeek)
                                            : segmentSize;
                Logging::debug("Seek did not advance from " + std::to_string(seek) + "; moving to " +
                               std::to_string(seek + advance));
                newSeek = seek + advance;
            }

            if (segments) {
                std::vector<TranscriptionSegment> kept =
                    windowPostProcess(seek, segmentSize, std::move(*segments));
                if (options.verbose) {
                    logSegments(kept);
                }
                if (const SegmentDiscoveryCallback discovered = segmentDiscoveryCallback()) {
                    discovered(kept);
                }
                for (TranscriptionSegment& segment : kept) {
                    allTokens.insert(allTokens.end(), segment.tokens.begin(), segment.tokens.end());
                    allSegments.push_back(std::move(segment));
                }
                timings_.decodingWindowing += secondsSince(windowingStart);
                timings_.totalDecodingWindows += 1;
                progress_->setCompletedUnitCount(clipStartCount + (std::min(newSeek, clipEnd) - clip.start));
            }
            // Every window starts from a clean cache, also after one that gave no segments.
            decoderInputs->reset(Constants::maxTokenContext);
            seek = newSeek;
        }
    }

    progress_->setCompletedUnitCount(progress_->totalUnitCount());
    timings_.decodingLoop = currentAbsoluteTime() - loopStart;
    timings_.fullPipeline = currentAbsoluteTime() - timings_.pipelineStart;
    return finalizeTranscriptionResult(allTokens, std::move(allSegments), detectedLanguage, timings_);
}

} // namespace sonavex
