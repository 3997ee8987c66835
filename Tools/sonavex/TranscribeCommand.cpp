// sonavex transcribe: one audio input through the transcription task on a model folder's three models and
// its tokenizer.

#include "CommandRegistry.h"
#include "FolderDecoder.h"
#include "JsonLines.h"
#include "OptionsArgument.h"
#include "OrvaneCore/Models/ModelUtilities.h"
#include "SampleFiles.h"
#include "Sonavex/Core/FrontEnd/AudioEncoder.h"
#include "Sonavex/Core/FrontEnd/FeatureExtractor.h"
#include "Sonavex/Core/Text/SegmentSeeker.h"
#include "Sonavex/Core/TranscribeTask.h"

namespace sonavex::tool {

namespace {

constexpr const char* kUsage =
    "  sonavex transcribe INPUT --model-folder DIR [--options O] [--language CODE] [--word-timestamps]\n"
    "      {\"input\": 0, \"file\", \"result\": [the result]}; INPUT is an audio file or a sample file\n"
    "      (.f32, .npy); the folder holds MelSpectrogram, AudioEncoder, TextDecoder and the tokenizer\n";

int run(CommandLine& commandLine) {
    const std::string input = commandLine.takePositional("INPUT");
    const auto folder = commandLine.takeOption("--model-folder");
    const auto optionsArgument = commandLine.takeOption("--options");
    const auto language = commandLine.takeOption("--language");
    const bool wordTimestamps = commandLine.takeFlag("--word-timestamps");
    commandLine.finish();
    if (!folder) {
        throw CommandLine::UsageError("transcribe needs --model-folder DIR");
    }
    DecodingOptions options =
        optionsArgument ? decodingOptionsFromArgument(*optionsArgument) : DecodingOptions();
    if (language) {
        options.language = *language;
    }
    if (wordTimestamps) {
        options.wordTimestamps = true;
    }

    // Every model is loaded before the audio is read, so a broken folder fails before any work.
    auto featureExtractor = std::make_shared<FeatureExtractor>();
    featureExtractor->loadModel(orvane::ModelUtilities::detectModelURL(*folder, "MelSpectrogram"),
                                ml::ComputeUnits::cpuOnly, false);
    auto audioEncoder = std::make_shared<AudioEncoder>();
    audioEncoder->loadModel(orvane::ModelUtilities::detectModelURL(*folder, "AudioEncoder"),
                            ml::ComputeUnits::cpuOnly, false);
    const std::shared_ptr<TextDecoder> textDecoder = loadFolderDecoder(*folder);
    const std::vector<float> samples = readAudioInput(input);

    TranscribeTask task(TranscriptionTimings{}, nullptr, nullptr, audioEncoder, featureExtractor,
                        std::make_shared<SegmentSeeker>(), textDecoder, textDecoder->tokenizer());
    const std::shared_ptr<TranscriptionResult> result = task.run(samples, options);

    Json line = Json::object();
    line["input"] = 0;
    line["file"] = input;
    line["result"] = Json::array({Json(*result)});
    printJsonLine(line);
    return 0;
}

const CommandRegistration registration{{"transcribe", kUsage, &run}};

} // namespace

} // namespace sonavex::tool
