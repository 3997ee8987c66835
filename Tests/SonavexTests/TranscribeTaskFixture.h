#pragma once
// The engine's stages for transcription-task tests: the mel and encoder test models for one-second
// windows (16,000 samples, 50 encoder frames), a scripted decoder model of the same window behind a text
// decoder that watches its state and can answer with scripted results, the engine's segment seeker and
// the table tokenizer.

#include "DecoderTestSupport.h"
#include "Platform/ML/Whisper/AudioEncoderModel.h"
#include "Platform/ML/Whisper/MelSpectrogramModel.h"
#include "Sonavex/Core/FrontEnd/AudioEncoder.h"
#include "Sonavex/Core/FrontEnd/FeatureExtractor.h"
#include "Sonavex/Core/Text/GreedyTokenSampler.h"
#include "Sonavex/Core/Text/SegmentSeeker.h"
#include "Sonavex/Core/TranscribeTask.h"
#include "Sonavex/Utilities/Errors/WhisperError.h"

#include <mutex>

namespace tasktest {

using decodertest::A;
using decodertest::B;
using decodertest::EN;
using decodertest::EOT;
using decodertest::JA;
using decodertest::Rule;
using decodertest::SOT;
using decodertest::T0;
using decodertest::T1;
using decodertest::TRANSCRIBE;
constexpr int T25 = T0 + 25;
constexpr int64_t kWindow = 16000, kFrames = 50, kWidth = 64;

/// What one decodeText call saw.
struct Attempt {
    float temperature;
    std::optional<std::string> language;
    bool verbose;
    /// The state marked position 0 alone as the one to write.
    bool freshState;
    std::vector<int64_t> prompt;
};

class WatchedDecoder : public sonavex::TextDecoder {
public:
    /// Answers of decodeText in turn (the last one repeats) instead of decoding; empty: decode.
    std::vector<sonavex::DecodingResult> scripted;
    /// The language detection finds; none: detection fails.
    std::optional<std::string> detected;
    int detections = 0;
    /// Called before each prediction with its position.
    std::function<void(int64_t)> beforePrediction;

    std::vector<Attempt> attempts() const {
        std::lock_guard lock(mutex_);
        return attempts_;
    }
    /// Predictions whose update mask did not mark their own position alone.
    int staleSteps() const {
        std::lock_guard lock(mutex_);
        return staleSteps_;
    }

    using TextDecoder::predictLogits;
    std::shared_ptr<sonavex::TextDecoderOutputType> predictLogits(const sonavex::TextDecoderInputType& input,
                                                                  std::stop_token stopToken = {}) override {
        const auto& arrays = dynamic_cast<const sonavex::TextDecoderMLMultiArrayInputType&>(input);
        const auto position = int64_t(arrays.cacheLength->value(0));
        if (!marksOnly(*arrays.kvCacheUpdateMask, position)) {
            std::lock_guard lock(mutex_);
            ++staleSteps_;
        }
        if (beforePrediction) {
            beforePrediction(position);
        }
        return TextDecoder::predictLogits(input, std::move(stopToken));
    }

    sonavex::DecodingResult decodeText(const std::shared_ptr<sonavex::AudioEncoderOutputType>& encoderOutput,
                                       sonavex::DecodingInputs& inputs, sonavex::TokenSampling& sampler,
                                       const sonavex::DecodingOptions& options,
                                       const sonavex::TranscriptionProgressCallback& callback = {},
                                       std::stop_token stopToken = {}) override {
        {
            std::lock_guard lock(mutex_);
            attempts_.push_back({float(dynamic_cast<sonavex::GreedyTokenSampler&>(sampler).temperature),
                                 options.language, options.verbose, marksOnly(*inputs.kvCacheUpdateMask, 0),
                                 inputs.initialPrompt});
        }
        if (!scripted.empty()) {
            return scripted[std::min(attempts().size(), scripted.size()) - 1];
        }
        return TextDecoder::decodeText(encoderOutput, inputs, sampler, options, callback,
                                       std::move(stopToken));
    }

    sonavex::DecodingResult detectLanguage(const std::shared_ptr<sonavex::AudioEncoderOutputType>&,
                                           sonavex::DecodingInputs&, sonavex::TokenSampling&,
                                           const sonavex::DecodingOptions&, ml::Float16,
                                           std::stop_token = {}) override {
        ++detections;
        if (!detected) {
            throw sonavex::WhisperError::decodingFailed("no language");
        }
        sonavex::DecodingResult result;
        result.language = *detected;
        result.timings = sonavex::TranscriptionTimings{};
        result.timings->decodingPredictions = 0.25;
        result.timings->decodingSampling = 0.125;
        return result;
    }

private:
    static bool marksOnly(const ml::MultiArray& mask, int64_t position) {
        for (int64_t i = 0; i < mask.count(); ++i) {
            if ((mask.value(i) != 0) != (i == position)) {
                return false;
            }
        }
        return true;
    }

    mutable std::mutex mutex_;
    std::vector<Attempt> attempts_;
    int staleSteps_ = 0;
};

/// A decoding result for scripted answers: [SOT, EN, TRANSCRIBE, T0, text, T1, EOT] with a verdict.
inline sonavex::DecodingResult scriptedResult(int text, std::optional<std::string> reason = std::nullopt,
                                              bool needsFallback = true) {
    sonavex::DecodingResult result;
    result.tokens = {SOT, EN, TRANSCRIBE, T0, text, T1, EOT};
    for (int64_t token : result.tokens) {
        result.tokenLogProbs.push_back({{token, -0.1f}});
    }
    result.language = "de";
    result.timings = sonavex::TranscriptionTimings{};
    result.timings->totalDecodingLoops = 4;
    if (reason) {
        result.fallback = sonavex::DecodingFallback{needsFallback, *reason};
    }
    return result;
}

/// The stages over freshly written models; the decoder follows `rules`.
struct Stages {
    explicit Stages(const std::vector<Rule>& rules, bool wordTimestamps = true) {
        ml::MelSpectrogramModel::writer(80, kWindow).writeCompiled(folder / "MelSpectrogram.mlmodelc");
        ml::AudioEncoderShape encoderShape{80, kWidth, 1, 1, kFrames};
        ml::AudioEncoderModel::writer(encoderShape, 7).writeCompiled(folder / "AudioEncoder.mlmodelc");
        ml::TextDecoderShape decoderShape;
        decoderShape.width = kWidth;
        decoderShape.layers = 2;
        decoderShape.audioFrames = kFrames;
        ml::ScriptedTextDecoderModel::writer(decoderShape, rules, -1, 0, wordTimestamps)
            .writeCompiled(folder / "TextDecoder.mlmodelc");
        mel->loadModel(folder / "MelSpectrogram.mlmodelc", ml::ComputeUnits::cpuOnly, false);
        encoder->loadModel(folder / "AudioEncoder.mlmodelc", ml::ComputeUnits::cpuOnly, false);
        decoder->loadModel(folder / "TextDecoder.mlmodelc", ml::ComputeUnits::cpuOnly, false);
        decoder->setTokenizer(tokenizer);
        decoder->setIsModelMultilingual(true);
    }

    template <class Task = sonavex::TranscribeTask> std::unique_ptr<Task> task() {
        return std::make_unique<Task>(sonavex::TranscriptionTimings{}, nullptr, nullptr, encoder, mel, seeker,
                                      decoder, tokenizer);
    }

    testsupport::TemporaryDirectory folder;
    std::shared_ptr<TableTokenizer> tokenizer = decodertest::tableTokenizer();
    std::shared_ptr<sonavex::FeatureExtractor> mel = std::make_shared<sonavex::FeatureExtractor>();
    std::shared_ptr<sonavex::AudioEncoder> encoder = std::make_shared<sonavex::AudioEncoder>();
    std::shared_ptr<WatchedDecoder> decoder = std::make_shared<WatchedDecoder>();
    std::shared_ptr<sonavex::SegmentSeeking> seeker = std::make_shared<sonavex::SegmentSeeker>();
};

/// One window: text, then the pair T25 T25 that sends the next window half a window on.
inline std::vector<Rule> halfWindowScript() {
    return {{T0, 3, A, -1}, {A, 4, T25, -1}, {T25, 5, T25, -1}, {T25, 6, EOT, -1}};
}

/// One window: "ab" up to the window's end (T1), so the next window starts after it.
inline std::vector<Rule> wholeWindowScript() {
    return {{T0, 3, A, -1}, {A, 4, B, -1}, {B, 5, T1, -1}, {T1, 6, EOT, -1}};
}

inline std::vector<float> silence(int64_t samples) {
    return std::vector<float>(size_t(samples), 0.0f);
}

} // namespace tasktest
