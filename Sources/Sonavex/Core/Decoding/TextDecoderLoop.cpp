// The decoder's main loop: one window, one model step per token.

#include "OrvaneCore/Extensions/FloatExtensions.h"
#include "OrvaneCore/System/Uuid.h"
#include "Sonavex/Core/Constants.h"
#include "Sonavex/Core/Decoding/ProgressDispatcher.h"
#include "Sonavex/Core/Decoding/TextDecoder.h"
#include "Sonavex/Core/Decoding/TextDecoderMLMultiArrayInputType.h"
#include "Sonavex/Core/Decoding/TextDecoderMLMultiArrayOutputType.h"
#include "Sonavex/Core/FrontEnd/StageArray.h"
#include "Sonavex/Core/Text/GreedyTokenSampler.h"
#include "Sonavex/Core/Text/LogitsFiltering.h"
#include "Sonavex/Utilities/Errors/WhisperError.h"
#include "Sonavex/Utilities/Extensions/StringExtensions.h"
#include "Sonavex/Utilities/Logging/AbsoluteTime.h"
#include "Sonavex/Utilities/Logging/Logging.h"
#include "Sonavex/Utilities/Transcription/TextUtilities.h"

#include <algorithm>
#include <chrono>
#include <numeric>

namespace sonavex {

namespace {

using Clock = std::chrono::steady_clock;

double secondsSince(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

std::vector<int> tokenIds(const std::vector<int64_t>& tokens) {
    return {tokens.begin(), tokens.end()};
}

float averageOf(const std::vector<float>& values) {
    return std::accumulate(values.begin(), values.end(), 0.0f) / static_cast<float>(values.size());
}

// The decoding steps' share of the timings: what each step adds up.
struct LoopTotals {
    double predictions = 0;
    double filtering = 0;
    double sampling = 0;
    double kvCaching = 0;
    double nonPrediction = 0;
    double loop = 0;
    double loops = 0;
    double kvUpdates = 0;
    double firstTokenTime = std::numeric_limits<double>::max();

    TranscriptionTimings timings() const {
        TranscriptionTimings timings;
        timings.firstTokenTime = firstTokenTime;
        timings.decodingPredictions = predictions;
        timings.decodingFiltering = filtering;
        timings.decodingSampling = sampling;
        timings.decodingKvCaching = kvCaching;
        timings.decodingNonPrediction = nonPrediction;
        timings.decodingLoop = loop;
        timings.totalDecodingLoops = loops;
        timings.totalKVUpdateRuns = kvUpdates;
        return timings;
    }
};

// The highest step count and token count of a window: one below the cache's 224 positions.
constexpr int64_t kMaxSteps = Constants::maxTokenContext - 1;

} // namespace

DecodingResult TextDecoder::decodeText(const std::shared_ptr<AudioEncoderOutputType>& encoderOutput,
                                       DecodingInputs& decoderInputs, TokenSampling& sampler,
                                       const DecodingOptions& options,
                                       const TranscriptionProgressCallback& callback,
                                       std::stop_token stopToken) {
    const std::shared_ptr<WhisperTokenizer> tokenizer = this->tokenizer();
    if (!tokenizer) {
        throw WhisperError::tokenizerUnavailable();
    }
    const std::vector<int64_t> prompt = decoderInputs.initialPrompt;
    if (prompt.empty()) {
        throw WhisperError::prepareDecoderInputsFailed("Initial prompt must not be empty");
    }
    const SpecialTokens& special = tokenizer->specialTokens();
    const auto n = static_cast<int64_t>(prompt.size());
    std::vector<int64_t> currentTokens = prompt;
    std::vector<float> currentLogProbs(prompt.size(), 0.0f);
    int64_t nextToken = prompt.back();
    const std::vector<std::shared_ptr<LogitsFiltering>> filters = createLogitsFilters(options, n, *tokenizer);
    // n - 1 + sampleLength, formed only where it cannot overflow.
    const int64_t loopBound =
        options.sampleLength > kMaxSteps ? kMaxSteps : std::min(n - 1 + options.sampleLength, kMaxSteps);
    Logging::debug("Running main loop for a maximum of", loopBound, "iterations");

    const orvane::Uuid windowId;
    const std::shared_ptr<orvane::EarlyStopActor> earlyStop = earlyStopActor_;
    earlyStop->set(false, windowId);
    std::shared_ptr<ProgressDispatcher> dispatcher = callback ? progressDispatcher() : nullptr;

    LoopTotals totals;
    bool isFirstTokenLogProbTooLow = false;
    bool alignmentSeen = false;
    auto describeToken = [&](int64_t token) { return tokenizer->decode({static_cast<int>(token)}); };
    // The per-step lines decode a token each: only made when they will be seen.
    auto stepLine = [&](const char* what, int64_t index, int64_t token) {
        if (Logging::isLoggingEnabled(Logging::LogLevel::debug)) {
            Logging::debug(std::string(what) + " tokenIndex: " + std::to_string(index) +
                           ", token: " + std::to_string(token) + ", text: " + describeToken(token));
        }
    };

    for (int64_t t = 0; t < loopBound; ++t) {
        const Clock::time_point stepStart = Clock::now();
        const bool forced = t < n - 1;
        if (t < n) {
            auto& promptToken = currentTokens[static_cast<std::size_t>(t)];
            if (t == n - 1 && promptToken >= special.timeTokenBegin && nextToken >= special.timeTokenBegin) {
                // The timestamp sampled at the last forced step takes the place of the prompt's own.
                promptToken = nextToken;
                stepLine("Skipping prompt", t, nextToken);
            } else {
                nextToken = promptToken;
                stepLine("Forcing prompt", t, nextToken);
            }
        }
        decoderInputs.inputIds->setValue(0, static_cast<double>(nextToken));
        decoderInputs.cacheLength->setValue(0, static_cast<double>(t));
        if (t <= 3) {
            debugCaches(decoderInputs, t);
        }

        const Clock::time_point predictionStart = Clock::now();
        std::shared_ptr<ml::MultiArray> encoderArray = StageArray::arrayOf(encoderOutput.get());
        if (!encoderArray) {
            throw WhisperError::prepareDecoderInputsFailed("Input must be MLMultiArray");
        }
        const TextDecoderMLMultiArrayInputType input(decoderInputs.inputIds, decoderInputs.cacheLength,
                                                     decoderInputs.keyCache, decoderInputs.valueCache,
                                                     decoderInputs.kvCacheUpdateMask, std::move(encoderArray),
                                                     decoderInputs.decoderKeyPaddingMask);
        const auto output =
            std::dynamic_pointer_cast<TextDecoderMLMultiArrayOutputType>(predictLogits(input, stopToken));
        if (!output || !output->logits) {
            throw WhisperError::decodingLogitsFailed("Unable to decode logits");
        }
        std::shared_ptr<ml::MultiArray> logits = output->logits;
        if (logits->dataType() != ml::MultiArrayDataType::Float16) {
            logits = std::make_shared<ml::MultiArray>(logits->converted(ml::MultiArrayDataType::Float16));
        }
        const Clock::time_point filteringStart = Clock::now();
        const double predictionTime = std::chrono::duration<double>(filteringStart - predictionStart).count();

        for (const auto& filter : filters) {
            logits = filter->filterLogits(std::move(logits), currentTokens);
            if (!logits) {
                throw WhisperError::decodingLogitsFailed("Unable to decode logits: a filter returned none");
            }
        }
        const Clock::time_point samplingStart = Clock::now();
        const double filteringTime = std::chrono::duration<double>(samplingStart - filteringStart).count();

        const SamplingResult sampled = sampler.update(currentTokens, *logits, currentLogProbs);
        if (sampled.tokens.empty() || sampled.logProbs.empty()) {
            throw WhisperError::decodingFailed("The sampler returned no token");
        }
        const int64_t candidate = sampled.tokens.back();
        const float logProb = sampled.logProbs.back();
        nextToken = candidate;
        stepLine("Predicted next", t + 1, candidate);
        const double samplingTime = secondsSince(samplingStart);

        totals.predictions += predictionTime;
        totals.filtering += filteringTime;
        totals.sampling += samplingTime;

        const bool firstTokenTest =
            options.firstTokenLogProbThreshold && t == n - 1 && logProb < *options.firstTokenLogProbThreshold;
        const bool completion = sampled.completed && !forced;
        const bool budget = static_cast<int64_t>(currentTokens.size()) >= kMaxSteps;
        if (firstTokenTest || completion || budget) {
            isFirstTokenLogProbTooLow = firstTokenTest;
            totals.nonPrediction += secondsSince(filteringStart);
            totals.loop += secondsSince(stepStart);
            totals.loops += 1;
            break;
        }
        if (!forced) {
            currentTokens.push_back(candidate);
            currentLogProbs.push_back(logProb);
        }

        const std::optional<DecodingCache>& stepCache = output->cache;
        if (!stepCache || !stepCache->keyCache || !stepCache->valueCache) {
            throw WhisperError::decodingFailed(
                std::string("The decoder's prediction has no \"") +
                (stepCache && stepCache->keyCache ? "value_cache_updates" : "key_cache_updates") +
                "\" output");
        }
        const Clock::time_point cacheStart = Clock::now();
        updateKVCache(*decoderInputs.keyCache, *stepCache->keyCache, *decoderInputs.valueCache,
                      *stepCache->valueCache, t);
        decoderInputs.decoderKeyPaddingMask->setValue(t + 1, 0.0);
        decoderInputs.kvCacheUpdateMask->setValue(t, 0.0);
        decoderInputs.kvCacheUpdateMask->setValue(t + 1, 1.0);
        if (stepCache->alignmentWeights) {
            updateAlignmentWeights(*decoderInputs.alignmentWeights, *stepCache->alignmentWeights, t);
            alignmentSeen = true;
        }
        totals.kvCaching += secondsSince(cacheStart);
        totals.kvUpdates += 1;

        if (dispatcher) {
            TranscriptionProgress progress;
            progress.timings = totals.timings(); // loop and non-prediction totals still of the earlier steps
            std::vector<int> shown = tokenIds(currentTokens);
            if (options.skipSpecialTokens) {
                std::erase_if(shown, [&](int token) { return token >= special.specialTokenBegin; });
            }
            progress.text = tokenizer->decode(shown);
            progress.tokens = currentTokens;
            progress.avgLogprob = averageOf(currentLogProbs);
            progress.compressionRatio = TextUtilities::compressionRatio(currentTokens);
            progress.windowId = 0;
            dispatcher->post([callback, progress = std::move(progress), earlyStop, windowId, forced] {
                const std::optional<bool> goOn = callback(progress);
                if (goOn == false && !forced) {
                    Logging::debug("Early stopping");
                    earlyStop->set(true, windowId);
                }
            });
        }

        totals.nonPrediction += secondsSince(filteringStart);
        totals.loop += secondsSince(stepStart);
        totals.loops += 1;

        if (t == 0) {
            Logging::debug("Found first token at: " + currentDateDescription());
            totals.firstTokenTime = currentAbsoluteTime();
        }
        if (earlyStop->get(windowId)) {
            break;
        }
    }

    if (!earlyStop->remove(windowId)) {
        Logging::error("Early stop flag not found for window: " + windowId.uuidString());
    }
    DecodingCache cache{decoderInputs.keyCache, decoderInputs.valueCache,
                        alignmentSeen ? decoderInputs.alignmentWeights : nullptr};

    const SamplingResult final = sampler.finalize(currentTokens, currentLogProbs);
    const auto startAt = std::find(final.tokens.begin(), final.tokens.end(), special.startOfTranscriptToken);
    const std::size_t first = startAt == final.tokens.end() ? 0 : std::size_t(startAt - final.tokens.begin());
    const auto endAt = std::find(final.tokens.begin(), final.tokens.end(), special.endToken);
    if (endAt == final.tokens.end() || std::size_t(endAt - final.tokens.begin()) < first ||
        final.logProbs.size() <= std::size_t(endAt - final.tokens.begin())) {
        throw WhisperError::decodingFailed(
            "The sampler's final tokens do not close with the end token after the start of transcript");
    }
    const std::size_t last = std::size_t(endAt - final.tokens.begin());

    DecodingResult result;
    result.tokens.assign(final.tokens.begin() + first, final.tokens.begin() + last + 1);
    const std::vector<float> logProbs(final.logProbs.begin() + first, final.logProbs.begin() + last + 1);
    for (std::size_t i = 0; i < result.tokens.size(); ++i) {
        result.tokenLogProbs.push_back({{result.tokens[i], logProbs[i]}});
    }
    result.avgLogProb = averageOf(logProbs);
    std::vector<int64_t> textTokens;
    std::copy_if(result.tokens.begin(), result.tokens.end(), std::back_inserter(textTokens),
                 [&](int64_t token) { return token < special.specialTokenBegin; });
    result.compressionRatio = TextUtilities::compressionRatio(textTokens);
    const auto* greedy = dynamic_cast<const GreedyTokenSampler*>(&sampler);
    result.temperature =
        greedy ? orvane::rounded(static_cast<float>(greedy->temperature), 3) : options.temperature;

    if (options.language) {
        result.language = *options.language;
        result.languageProbs = {{*options.language, 0.0f}};
    } else {
        const std::set<int>& languages = tokenizer->allLanguageTokens();
        const auto found = std::find_if(result.tokens.begin(), result.tokens.end(), [&](int64_t token) {
            return languages.count(static_cast<int>(token)) > 0;
        });
        if (found != result.tokens.end()) {
            result.language = trimmingSpecialTokenCharacters(describeToken(*found));
            result.languageProbs = {{result.language, logProbs[std::size_t(found - result.tokens.begin())]}};
        } else {
            result.language = "en";
            result.languageProbs = {{"en", 0.0f}};
        }
    }
    result.text = tokenizer->decode(tokenIds(result.tokens));
    Logging::debug("Completed window: " + result.text);
    result.noSpeechProb = 0;
    result.cache = std::move(cache);
    result.timings = totals.timings();
    result.fallback = DecodingFallback::from(options, isFirstTokenLogProbTooLow, 0.0f,
                                             result.compressionRatio, result.avgLogProb);
    return result;
}

} // namespace sonavex
