// sonavex decode window and decode language: one window through a model folder's decoder and tokenizer.

#include "Arguments/DecodeArguments.h"
#include "Arguments/OptionsArgument.h"
#include "CommandLine/JsonLines.h"
#include "CommandLine/NumberArguments.h"
#include "Decode/DecodeCommands.h"
#include "Decode/FolderDecoder.h"
#include "Sonavex/Core/Decoding/TextDecoder.h"
#include "Sonavex/Core/FrontEnd/StageArray.h"
#include "Sonavex/Core/Text/GreedyTokenSampler.h"
#include "Sonavex/Utilities/Errors/WhisperError.h"

namespace sonavex::tool {

namespace {

struct FolderDecoder {
    std::shared_ptr<TextDecoder> decoder;
    std::shared_ptr<StageArray> encoderOutput;
};

// The folder's decoder and the encoder output from its file, or zeros of the decoder's input shape.
FolderDecoder loadFolder(const std::string& folder, const std::optional<std::string>& encoderOutputPath) {
    FolderDecoder loaded{loadFolderDecoder(folder), nullptr};
    std::shared_ptr<ml::MultiArray> encoderOutput;
    if (encoderOutputPath) {
        encoderOutput = readHalfArray(*encoderOutputPath);
    } else {
        const std::optional<int64_t> frames = loaded.decoder->windowSize();
        if (!frames) {
            throw WhisperError::prepareDecoderInputsFailed("Unable to determine encoderOutputDim");
        }
        encoderOutput = std::make_shared<ml::MultiArray>(
            std::vector<int64_t>{1, *loaded.decoder->embedSize(), 1, *frames},
            ml::MultiArrayDataType::Float16);
    }
    loaded.encoderOutput = StageArray::make(encoderOutput);
    return loaded;
}

Json languageProbabilities(const std::map<std::string, float>& probabilities) {
    Json object = Json::object();
    for (const auto& [code, logProb] : probabilities) {
        object[code] = json::fromFloat(logProb);
    }
    return object;
}

} // namespace

int runDecodeWindow(CommandLine& commandLine) {
    const auto folder = commandLine.takeOption("--model-folder");
    const auto encoderOutputPath = commandLine.takeOption("--encoder-output");
    const auto optionsArgument = commandLine.takeOption("--options");
    const auto temperatureArgument = commandLine.takeOption("--temperature");
    commandLine.finish();
    if (!folder) {
        throw CommandLine::UsageError("decode window needs --model-folder DIR");
    }
    const DecodingOptions options =
        optionsArgument ? decodingOptionsFromArgument(*optionsArgument) : DecodingOptions();
    const float temperature =
        temperatureArgument ? parseFloatArgument(*temperatureArgument, "--temperature") : options.temperature;

    const FolderDecoder loaded = loadFolder(*folder, encoderOutputPath);
    TextDecoder& decoder = *loaded.decoder;
    const std::shared_ptr<DecodingInputs> inputs = decoder.prepareDecoderInputs({});
    decoder.prefillDecoderInputs(*inputs, options);
    GreedyTokenSampler sampler(ml::Float16(temperature), decoder.tokenizer()->specialTokens().endToken,
                               options);
    const DecodingResult result = decoder.decodeText(loaded.encoderOutput, *inputs, sampler, options);

    Json line = Json::object();
    line["language"] = result.language;
    line["languageProbs"] = languageProbabilities(result.languageProbs);
    line["tokens"] = result.tokens;
    Json tokenLogProbs = Json::array();
    for (const auto& entry : result.tokenLogProbs) {
        Json object = Json::object();
        for (const auto& [token, logProb] : entry) {
            object[std::to_string(token)] = json::fromFloat(logProb);
        }
        tokenLogProbs.push_back(object);
    }
    line["tokenLogProbs"] = tokenLogProbs;
    line["text"] = result.text;
    line["avgLogProb"] = json::fromFloat(result.avgLogProb);
    line["noSpeechProb"] = json::fromFloat(result.noSpeechProb);
    line["temperature"] = json::fromFloat(result.temperature);
    line["compressionRatio"] = json::fromFloat(result.compressionRatio);
    if (result.fallback) {
        Json fallback = Json::object();
        fallback["needsFallback"] = result.fallback->needsFallback;
        fallback["fallbackReason"] = result.fallback->fallbackReason;
        line["fallback"] = fallback;
    } else {
        line["fallback"] = nullptr;
    }
    printJsonLine(line);
    return 0;
}

int runDecodeLanguage(CommandLine& commandLine) {
    const auto folder = commandLine.takeOption("--model-folder");
    const auto encoderOutputPath = commandLine.takeOption("--encoder-output");
    commandLine.finish();
    if (!folder) {
        throw CommandLine::UsageError("decode language needs --model-folder DIR");
    }
    const FolderDecoder loaded = loadFolder(*folder, encoderOutputPath);
    TextDecoder& decoder = *loaded.decoder;
    const std::shared_ptr<DecodingInputs> inputs = decoder.prepareDecoderInputs({});
    const DecodingOptions options;
    GreedyTokenSampler sampler(ml::Float16(0.0f), decoder.tokenizer()->specialTokens().endToken, options);
    const DecodingResult result =
        decoder.detectLanguage(loaded.encoderOutput, *inputs, sampler, options, ml::Float16(0.0f));
    Json line = Json::object();
    line["language"] = result.language;
    line["languageProbs"] = languageProbabilities(result.languageProbs);
    printJsonLine(line);
    return 0;
}

} // namespace sonavex::tool
