// Which language is spoken at the start of a file or an array: one window through the front end and one
// decoder step over the language tokens.

#include "Sonavex/Core/Sonavex.h"

#include "OrvaneCore/Errors/CancellationError.h"
#include "Sonavex/Core/Audio/AudioProcessor.h"
#include "Sonavex/Core/Decoding/TextDecoding.h"
#include "Sonavex/Core/FrontEnd/AudioEncoding.h"
#include "Sonavex/Core/FrontEnd/FeatureExtracting.h"
#include "Sonavex/Core/Text/GreedyTokenSampler.h"
#include "Sonavex/Utilities/Errors/WhisperError.h"
#include "Sonavex/Utilities/Logging/Logging.h"

#include <filesystem>

namespace sonavex {

Sonavex::DetectedLanguage Sonavex::detectLanguage(const std::string& audioPath, std::stop_token stop) {
    std::error_code error;
    if (!std::filesystem::exists(audioPath, error)) {
        throw WhisperError::loadAudioFailed("Resource path does not exist " + audioPath);
    }
    const auto buffer = AudioProcessor::loadAudio(audioPath, AudioInputOptions::SumChannels{}, 0.0, 30.0);
    return detectLangauge(AudioProcessor::convertBufferToArray(*buffer, 1024), stop);
}

Sonavex::DetectedLanguage Sonavex::detectLangauge(const std::vector<float>& audioArray, std::stop_token stop) {
    if (modelState() != orvane::ModelState::loaded) {
        loadModels(false, stop);
    }
    const auto decoder = textDecoder();
    if (!decoder->isModelMultilingual()) {
        throw WhisperError::decodingFailed("Language detection not supported for this model");
    }
    const auto currentTokenizer = tokenizer();
    if (!currentTokenizer) {
        throw WhisperError::tokenizerUnavailable("Tokenizer is unavailable");
    }
    DecodingOptions options;
    options.verbose = Logging::isLoggingEnabled();
    const auto inputs = decoder->prepareDecoderInputs({currentTokenizer->specialTokens().startOfTranscriptToken});

    const auto window = audioProcessor()->padOrTrim(audioArray, 0, int(windowSamples()));
    if (!window) {
        throw WhisperError::transcriptionFailed("Audio samples are nil");
    }
    const auto mel = featureExtractor()->logMelSpectrogram(window, stop);
    if (!mel) {
        throw WhisperError::transcriptionFailed("Mel output is nil");
    }
    const auto encoded = audioEncoder()->encodeFeatures(mel, stop);
    if (!encoded) {
        throw WhisperError::transcriptionFailed("Encoder output is nil");
    }
    GreedyTokenSampler sampler(ml::Float16(0.0f), currentTokenizer->specialTokens().endToken, options);
    DecodingResult result;
    try {
        result = decoder->detectLanguage(encoded, *inputs, sampler, options, ml::Float16(0.0f), stop);
    } catch (const orvane::CancellationError&) {
        throw;
    } catch (...) {
        throw WhisperError::decodingFailed("Language detection failed");
    }
    return {result.language, result.languageProbs};
}

} // namespace sonavex
