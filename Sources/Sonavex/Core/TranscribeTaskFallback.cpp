// The temperature fallback of one window: attempts at rising temperatures until a result is accepted.

#include "OrvaneCore/Errors/CancellationError.h"
#include "Sonavex/Core/Constants.h"
#include "Sonavex/Core/Text/GreedyTokenSampler.h"
#include "Sonavex/Core/TranscribeTask.h"
#include "Sonavex/Core/TranscribeTaskLogs.h"
#include "Sonavex/Utilities/Errors/WhisperError.h"
#include "Sonavex/Utilities/Logging/Logging.h"
#include "Sonavex/Utilities/Logging/SignpostScope.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace sonavex {

namespace {

using Clock = std::chrono::steady_clock;

double secondsSince(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

} // namespace

std::vector<ml::Float16> TranscribeTask::fallbackTemperatures(const DecodingOptions& options) {
    std::vector<ml::Float16> temperatures;
    if (options.temperatureFallbackCount < 0) {
        return temperatures;
    }
    // Products and sums of two half values are exact in double, so each is rounded to half once.
    const double first = static_cast<float>(ml::Float16(options.temperature));
    const double increment = static_cast<float>(ml::Float16(options.temperatureIncrementOnFallback));
    for (int64_t i = 0; i <= options.temperatureFallbackCount; ++i) {
        const double step = static_cast<float>(ml::Float16(static_cast<float>(i)));
        const double product = static_cast<float>(ml::Float16(step * increment));
        temperatures.push_back(ml::Float16(first + product));
    }
    return temperatures;
}

std::string TranscribeTask::describeTemperature(ml::Float16 temperature) {
    const float value = static_cast<float>(temperature);
    if (std::isnan(value)) {
        return "nan";
    }
    if (std::isinf(value)) {
        return value < 0 ? "-inf" : "inf";
    }
    char buffer[32];
    for (int digits = 1; digits <= 9; ++digits) {
        std::snprintf(buffer, sizeof buffer, "%.*g", digits, static_cast<double>(value));
        if (static_cast<float>(ml::Float16(std::strtof(buffer, nullptr))) == value) {
            break;
        }
    }
    std::string text(buffer);
    if (text.find_first_of(".e") == std::string::npos) {
        text += ".0";
    }
    return text;
}

void TranscribeTask::mergeDecodingTimings(const TranscriptionTimings& attempt) {
    timings_.firstTokenTime = std::min(timings_.firstTokenTime, attempt.firstTokenTime);
    timings_.decodingPredictions += attempt.decodingPredictions;
    timings_.decodingFiltering += attempt.decodingFiltering;
    timings_.decodingSampling += attempt.decodingSampling;
    timings_.decodingKvCaching += attempt.decodingKvCaching;
    timings_.decodingNonPrediction += attempt.decodingNonPrediction;
    timings_.totalDecodingLoops += attempt.totalDecodingLoops;
    timings_.totalKVUpdateRuns += attempt.totalKVUpdateRuns;
}

DecodingResult
TranscribeTask::decodeWithFallback(const std::shared_ptr<AudioEncoderOutputType>& encoderSegment,
                                   const DecodingOptions& decodingOptions, DecodingInputs& decoderInputs,
                                   std::optional<std::string>& detectedLanguage,
                                   const TranscriptionProgressCallback& callback, std::stop_token stopToken) {
    const SignpostScope signpost("Decode", Logging::TranscribeTask::signposter());
    const std::vector<ml::Float16> temperatures = fallbackTemperatures(decodingOptions);
    std::string list = "[";
    for (std::size_t i = 0; i < temperatures.size(); ++i) {
        list += (i > 0 ? ", " : "") + describeTemperature(temperatures[i]);
    }
    Logging::debug("Decoding with temperatures " + list + "]");

    const bool detectsLanguage =
        textDecoder_->isModelMultilingual() && !decodingOptions.language && decodingOptions.detectLanguage;
    std::optional<DecodingResult> result;
    for (std::size_t i = 0; i < temperatures.size(); ++i) {
        const ml::Float16 temperature = temperatures[i];
        Logging::info("Decoding Temperature: " + describeTemperature(temperature));
        const Clock::time_point attemptStart = Clock::now();
        GreedyTokenSampler sampler(temperature, tokenizer_->specialTokens().endToken, decodingOptions);
        DecodingOptions attemptOptions = decodingOptions;

        if (detectsLanguage) {
            std::optional<DecodingResult> detection;
            try {
                detection = textDecoder_->detectLanguage(encoderSegment, decoderInputs, sampler,
                                                         decodingOptions, temperature, stopToken);
            } catch (const orvane::CancellationError&) {
                throw; // a stop is no failed detection
            } catch (const std::exception& error) {
                Logging::debug("Language detection failed: " + std::string(error.what()));
            }
            attemptOptions.language = detection ? std::optional(detection->language) : std::nullopt;
            detectedLanguage = attemptOptions.language;
            if (decodingOptions.usePrefillPrompt) {
                textDecoder_->prefillDecoderInputs(decoderInputs, attemptOptions);
            }
            Logging::debug("Prefill prompt updated to: " +
                           promptDescription(decoderInputs.initialPrompt, *tokenizer_));
            if (detection && detection->timings) {
                timings_.decodingPredictions += detection->timings->decodingPredictions;
                timings_.decodingSampling += detection->timings->decodingSampling;
            }
        }

        result = textDecoder_->decodeText(encoderSegment, decoderInputs, sampler, attemptOptions, callback,
                                          stopToken);
        if (!detectedLanguage) {
            detectedLanguage = result->language;
        }
        if (result->timings) {
            mergeDecodingTimings(*result->timings);
        }
        if (!result->fallback || !result->fallback->needsFallback) {
            break;
        }
        timings_.decodingFallback += secondsSince(attemptStart);
        timings_.totalDecodingFallbacks = static_cast<double>(i + 1);
        decoderInputs.reset(Constants::maxTokenContext);
        Logging::info("Fallback #" + std::to_string(i + 1) + " (" + result->fallback->fallbackReason + ")");
    }
    if (!result) {
        throw WhisperError::decodingFailed("Decoding failed");
    }
    return std::move(*result);
}

} // namespace sonavex
