#include "OrvaneCore/Errors/CancellationError.h"
#include "Platform/ML/Model/PredictionError.h"
#include "Platform/ML/Whisper/AudioEncoderModel.h"
#include "Platform/ML/Whisper/MelSpectrogramModel.h"
#include "Sonavex/Core/FrontEnd/AudioEncoder.h"
#include "Sonavex/Core/FrontEnd/AudioEncoderInput.h"
#include "Sonavex/Core/FrontEnd/FeatureExtractor.h"
#include "Sonavex/Core/FrontEnd/MelSpectrogramInput.h"
#include "Sonavex/Core/FrontEnd/StageArray.h"
#include "Sonavex/Utilities/Errors/WhisperError.h"
#include "SonavexTests/SignpostSink.h"
#include "Support/TestSupport.h"

#include <cmath>
#include <gtest/gtest.h>

namespace {

using sonavex::AudioEncoder;
using sonavex::FeatureExtractor;
using sonavex::SignpostEvent;
using sonavex::StageArray;
using sonavex::WhisperError;

constexpr int64_t kWindowSamples = 16000; // one second: 100 mel frames, 50 encoder frames

// A value of a stage's own making that the engine's stages do not take.
struct ForeignValue : sonavex::AudioProcessorOutputType, sonavex::FeatureExtractorOutputType {};

std::shared_ptr<StageArray> sineWindow(int64_t samples) {
    auto audio =
        std::make_shared<ml::MultiArray>(std::vector<int64_t>{samples}, ml::MultiArrayDataType::Float32);
    auto values = audio->elements<float>();
    for (int64_t i = 0; i < samples; ++i) {
        values[i] = 0.5f * std::sin(2.0f * float(M_PI) * 440.0f * float(i) / 16000.0f);
    }
    return std::make_shared<StageArray>(audio);
}

std::stop_token stoppedToken() {
    static std::stop_source source;
    source.request_stop();
    return source.get_token();
}

void expectOneInterval(const std::vector<SignpostEvent>& events, const std::string& name,
                       const std::string& category) {
    ASSERT_EQ(events.size(), 2u);
    EXPECT_EQ(events[0].kind, SignpostEvent::Kind::intervalBegin);
    EXPECT_EQ(events[1].kind, SignpostEvent::Kind::intervalEnd);
    for (const auto& event : events) {
        EXPECT_EQ(event.name, name);
        EXPECT_EQ(event.category, category);
        EXPECT_EQ(event.signpostId, events[0].signpostId);
        EXPECT_EQ(event.message, "");
    }
}

template <class Call>
void expectWhisperError(Call&& call, WhisperError::Kind kind, const std::string& message) {
    try {
        call();
        ADD_FAILURE() << "no error, expected " << message;
    } catch (const WhisperError& error) {
        EXPECT_EQ(error.kind(), kind);
        EXPECT_EQ(error.message(), message);
    }
}

class FrontEndStageTest : public testing::Test {
protected:
    void SetUp() override {
        ml::MelSpectrogramModel::writer(80, kWindowSamples)
            .writeCompiled(temporary / "MelSpectrogram.mlmodelc");
        ml::AudioEncoderShape shape{80, 64, 1, 1, kWindowSamples / 320};
        ml::AudioEncoderModel::writer(shape, 7).writeCompiled(temporary / "AudioEncoder.mlmodelc");
    }

    void load() {
        extractor.loadModel(temporary / "MelSpectrogram.mlmodelc", ml::ComputeUnits::cpuOnly, false);
        encoder.loadModel(temporary / "AudioEncoder.mlmodelc", ml::ComputeUnits::cpuOnly, false);
    }

    testsupport::TemporaryDirectory temporary;
    FeatureExtractor extractor;
    AudioEncoder encoder;
};

} // namespace

TEST_F(FrontEndStageTest, WindowBecomesFeaturesThenEmbeddingsEachInsideOneInterval) {
    load();
    EXPECT_EQ(extractor.melCount(), 80);
    EXPECT_EQ(extractor.windowSamples(), kWindowSamples);
    EXPECT_EQ(encoder.embedSize(), 64);
    EXPECT_EQ(encoder.sequenceLength(), kWindowSamples / 320);

    SignpostSink sink;
    auto features = extractor.logMelSpectrogram(sineWindow(kWindowSamples));
    expectOneInterval(sink.events(), "ExtractAudioFeatures", "FeatureExtractor");
    auto featureArray = StageArray::arrayOf(features.get());
    ASSERT_NE(featureArray, nullptr);
    EXPECT_EQ(featureArray->shape(), (std::vector<int64_t>{1, 80, 1, kWindowSamples / 160}));

    auto embeddings = encoder.encodeFeatures(features);
    auto events = sink.events();
    events.erase(events.begin(), events.begin() + 2);
    expectOneInterval(events, "EncodeAudio", "AudioEncoding");
    auto embeddingArray = StageArray::arrayOf(embeddings.get());
    ASSERT_NE(embeddingArray, nullptr);
    EXPECT_EQ(embeddingArray->shape(), (std::vector<int64_t>{1, 64, 1, kWindowSamples / 320}));
    // The array form gives the same embeddings for the same features.
    EXPECT_EQ(*encoder.encodeFeatures(featureArray), *embeddingArray);
}

TEST(FrontEndStageInputs, AreHandedToTheModelsUncopiedUnderTheirExactNames) {
    auto samples = sineWindow(4)->array();
    sonavex::MelSpectrogramInput melInput(samples);
    EXPECT_EQ(melInput.featureValue("audio")->multiArrayValue(), samples);
    EXPECT_FALSE(melInput.featureValue("Audio"));
    sonavex::AudioEncoderInput encoderInput(samples);
    EXPECT_EQ(encoderInput.featureValue("melspectrogram_features")->multiArrayValue(), samples);
    EXPECT_FALSE(encoderInput.featureValue("audio"));
}

TEST_F(FrontEndStageTest, ChecksComeInOrderInputModelCancellation) {
    using Kind = WhisperError::Kind;
    const auto foreign = std::make_shared<ForeignValue>();
    SignpostSink sink;

    // Without a model: sizes are absent, a foreign input is refused before the model is missed.
    EXPECT_FALSE(extractor.melCount());
    EXPECT_FALSE(extractor.windowSamples());
    EXPECT_FALSE(encoder.embedSize());
    EXPECT_FALSE(encoder.sequenceLength());
    expectWhisperError([&] { extractor.logMelSpectrogram(foreign, stoppedToken()); },
                       Kind::audioProcessingFailed, "FeatureExtractor input must be MLMultiArray");
    expectWhisperError(
        [&] { encoder.encodeFeatures(std::shared_ptr<sonavex::FeatureExtractorOutputType>(foreign)); },
        Kind::audioProcessingFailed, "AudioEncoder input must be MLMultiArray");
    expectWhisperError([&] { extractor.logMelSpectrogram(sineWindow(kWindowSamples), stoppedToken()); },
                       Kind::modelsUnavailable, "Models are unavailable");
    const std::shared_ptr<sonavex::FeatureExtractorOutputType> features = sineWindow(8);
    expectWhisperError([&] { encoder.encodeFeatures(features, stoppedToken()); }, Kind::modelsUnavailable,
                       "Models are unavailable");

    // With models, a cancelled call stops before its interval opens.
    load();
    EXPECT_THROW(extractor.logMelSpectrogram(sineWindow(kWindowSamples), stoppedToken()),
                 orvane::CancellationError);
    EXPECT_THROW(encoder.encodeFeatures(features, stoppedToken()), orvane::CancellationError);
    EXPECT_TRUE(sink.events().empty());
}

TEST_F(FrontEndStageTest, FailedPredictionPassesTheRuntimeErrorAndClosesItsInterval) {
    load();
    SignpostSink sink;
    // Half a window: the mel model's input has another shape.
    EXPECT_THROW(extractor.logMelSpectrogram(sineWindow(kWindowSamples / 2)), ml::PredictionError);
    expectOneInterval(sink.events(), "ExtractAudioFeatures", "FeatureExtractor");
}
