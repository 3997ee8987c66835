#include "VelmoraCore/Transcription/Transcriber.h"

#include "OrvaneCore/Errors/CancellationError.h"
#include "OrvaneCore/System/FileManager.h"
#include "OrvaneCore/System/Progress.h"
#include "OrvaneCore/Text/Trimming.h"
#include "Sonavex/Core/Audio/AudioProcessor.h"
#include "Sonavex/Core/Audio/VoiceActivity/EnergyVAD.h"
#include "VelmoraCore/Transcription/ChunkPlanner.h"
#include "VelmoraCore/Transcription/TranscriberDebugLines.h"

#include <cmath>
#include <iostream>
#include <system_error>

namespace velmora {

Transcriber::Transcriber(const std::string& modelName, const ProgressCallback& onProgress,
                         const EngineAccess& access, std::stop_token stop)
    : pipe_(loadWithOneRetry(modelName, onProgress, access, stop)) {}

std::shared_ptr<SpeechPipeline> Transcriber::loadWithOneRetry(const std::string& modelName,
                                                              const ProgressCallback& onProgress,
                                                              const EngineAccess& access,
                                                              std::stop_token stop) {
    LoadStep step = LoadStep::download;
    try {
        return load(modelName, onProgress, access, stop, step);
    } catch (const orvane::CancellationError&) {
        throw;
    } catch (...) {
        orvane::throwIfCancelled(stop);
        // Only local files that fail to load are worth deleting; a download that failed (no network,
        // say) must not cost the user a good cached copy.
        if (step == LoadStep::construct) {
            removeCachedModel(modelName);
        }
    }
    return load(modelName, onProgress, access, stop, step);
}

std::shared_ptr<SpeechPipeline> Transcriber::load(const std::string& modelName,
                                                  const ProgressCallback& onProgress,
                                                  const EngineAccess& access, std::stop_token stop,
                                                  LoadStep& step) {
    step = LoadStep::download;
    const ModelDownloadRequest request{
        .variant = modelName,
        .downloadBase = std::nullopt,
        .useBackgroundSession = false,
        .repository = std::string(modelRepository),
        .token = std::nullopt,
        .endpoint = access.endpoint,
    };
    const std::filesystem::path folder = access.engine->download(
        request,
        [&onProgress](const orvane::Progress& progress) {
            if (onProgress) {
                onProgress(TranscriberPreparationProgress::downloading(progress.fractionCompleted()));
            }
        },
        stop);

    step = LoadStep::construct;
    if (onProgress) {
        onProgress(TranscriberPreparationProgress::optimizing());
    }
    sonavex::SonavexConfig config;
    config.model = modelName;
    config.modelFolder = folder.string();
    config.verbose = true;
    config.logLevel = orvane::Logging::LogLevel::info;
    config.prewarm = true;
    config.load = true;
    config.download = true;
    config.useBackgroundDownloadSession = false;
    return access.engine->construct(config, stop);
}

std::filesystem::path Transcriber::cachedVariantFolder(const std::string& modelName) {
    return orvane::FileManager::documentsDirectory() / cacheFolder /
           (std::string(variantFolderPrefix) + modelName);
}

void Transcriber::removeCachedModel(const std::string& modelName) {
    std::error_code ignored;
    std::filesystem::remove_all(cachedVariantFolder(modelName), ignored);
}

sonavex::DecodingOptions Transcriber::decodingOptions() {
    return sonavex::DecodingOptions({
        .verbose = false,
        .task = sonavex::DecodingTask::transcribe,
        .language = "ja",
        .temperature = 0.0f,
        .temperatureIncrementOnFallback = 0.2f,
        .temperatureFallbackCount = 5,
        .sampleLength = sonavex::Constants::maxTokenContext,
        .topK = 5,
        .usePrefillPrompt = true,
        .detectLanguage = std::nullopt,
        .skipSpecialTokens = true,
        .withoutTimestamps = false,
        .wordTimestamps = false,
        .maxInitialTimestamp = std::nullopt,
        .maxWindowSeek = std::nullopt,
        .clipTimestamps = {},
        .windowClipTime = 1.0f,
        .promptTokens = std::nullopt,
        .prefixTokens = std::nullopt,
        .suppressBlank = false,
        .suppressTokens = std::nullopt,
        .compressionRatioThreshold = 2.4f,
        .logProbThreshold = -1.0f,
        .firstTokenLogProbThreshold = -1.5f,
        .noSpeechThreshold = 0.6f,
        .concurrentWorkerCount = std::nullopt,
        .chunkingStrategy = std::nullopt,
    });
}

Transcriber::Track Transcriber::planTrack(const std::string& audioPath, float energyThreshold,
                                          std::ostream& out) {
    Track track;
    sonavex::AudioProcessor::FileLoadReport report;
    track.samples = sonavex::AudioProcessor::loadAudioAsFloatArray(
        audioPath, sonavex::AudioInputOptions::SumChannels{}, 0.0, std::nullopt, report);
    if (report.endsEarly()) {
        // A track cut short (a recording that stopped mid-write) is still transcribed as far as it goes.
        std::cerr << "warning: " << audioPath << " ends early: it holds " << report.heldFrames << " of the "
                  << report.statedFrames << " frames its header states; transcribing the "
                  << report.heldFrames << std::endl;
    }
    if (report.nonFiniteSamples > 0) {
        std::cerr << "warning: replaced " << report.nonFiniteSamples
                  << " non-finite or out-of-range samples in " << audioPath << std::endl;
    }
    float peak = 0;
    for (const float sample : track.samples) {
        peak = std::max(peak, std::fabs(sample));
    }
    const auto sampleCount = static_cast<std::int64_t>(track.samples.size());
    out << transcriberdebug::loadedLine(sampleCount, peak) << std::endl;

    const sonavex::EnergyVAD detector(ChunkPlanner::sampleRate, 0.1f, 0.0f, energyThreshold);
    std::vector<SampleRange> voiced;
    for (const sonavex::IndexRange& range : detector.calculateActiveChunks(track.samples)) {
        voiced.push_back({range.startIndex, range.endIndex});
    }
    out << transcriberdebug::voicedRangesLine(voiced.size()) << std::endl;

    track.chunks = ChunkPlanner::plan(voiced, sampleCount);
    out << transcriberdebug::chunksLine(track.chunks.size()) << std::endl;
    return track;
}

std::vector<TranscriptSegment> Transcriber::transcribe(const std::string& audioPath, float energyThreshold,
                                                       const SegmentCallback& onSegment,
                                                       std::stop_token stop) const {
    const Track track = planTrack(audioPath, energyThreshold, std::cout);
    const sonavex::DecodingOptions options = decodingOptions();
    const auto rate = static_cast<double>(ChunkPlanner::sampleRate);
    std::vector<TranscriptSegment> segments;
    for (const SampleRange& chunk : track.chunks) {
        orvane::throwIfCancelled(stop);
        const std::span<const float> audio(track.samples.data() + chunk.start,
                                           static_cast<std::size_t>(chunk.end - chunk.start));
        std::string text;
        for (const auto& result : pipe_->transcribe(audio, options, stop)) {
            for (const sonavex::TranscriptionSegment& piece : result->segments()) {
                // A probability that is not a number fails the test and is dropped too.
                if (piece.noSpeechProb <= maxNoSpeechProbability) {
                    text += piece.text;
                }
            }
        }
        std::cout << transcriberdebug::chunkLine(chunk, text) << std::endl;
        if (orvane::text::trimmedWhiteSpaceAndNewlines(text).empty()) {
            continue;
        }
        segments.push_back(
            {static_cast<double>(chunk.start) / rate, static_cast<double>(chunk.end) / rate, text});
        if (onSegment) {
            onSegment(segments.back());
        }
    }
    return segments;
}

} // namespace velmora
