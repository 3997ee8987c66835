// sonavex audio vad INPUT [--threshold T] [--frame-length S] [--overlap S] [--flags]
// sonavex audio chunks INPUT [--max N] [--padding N] [--threshold T] [--options O]
//                            [--incremental SECONDS,BUFFERED]
// Voiced ranges and speech chunks of an audio file (mixed to 16 kHz mono) or a sample file, as the
// engine finds them. Positions are samples at 16 kHz, ends exclusive.

#include "Arguments/OptionsArgument.h"
#include "Arguments/SampleFiles.h"
#include "Audio/AudioActions.h"
#include "CommandLine/JsonLines.h"
#include "CommandLine/NumberArguments.h"
#include "Sonavex/Core/Audio/AudioProcessor.h"
#include "Sonavex/Core/Audio/Chunking/VADAudioChunker.h"
#include "Sonavex/Core/Audio/VoiceActivity/EnergyVAD.h"

#include <filesystem>

namespace sonavex::tool {

const char* const kAudioVoiceUsage =
    "  sonavex audio vad INPUT [--threshold T] [--frame-length S] [--overlap S] [--flags]\n"
    "      one {\"start\", \"end\"} per voiced range (samples at 16 kHz, end exclusive), or with --flags\n"
    "      one {\"flags\": [..]}, one per frame; lengths in seconds\n"
    "  sonavex audio chunks INPUT [--max N] [--padding N] [--threshold T] [--options O]\n"
    "                             [--incremental SECONDS,BUFFERED]\n"
    "      one {\"offset\", \"samples\"} per chunk (defaults: max 480000, padding 16000); clips from the\n"
    "      options' clipTimestamps; --incremental reads the file in pieces of SECONDS with at most\n"
    "      BUFFERED chunks out at once\n"
    "  INPUT is an audio file (all channels summed) or a sample file (.f32, .npy)\n";

namespace {

std::optional<float> floatOption(CommandLine& commandLine, const std::string& name) {
    auto value = commandLine.takeOption(name);
    return value ? std::optional(parseFloatArgument(*value, name)) : std::nullopt;
}

int64_t countOption(CommandLine& commandLine, const std::string& name, int64_t fallback) {
    auto value = commandLine.takeOption(name);
    return value ? parseIntArgument(*value, name) : fallback;
}

void printChunk(const AudioChunk& chunk) {
    Json line = Json::object();
    line["offset"] = chunk.seekOffsetIndex;
    line["samples"] = chunk.audioSamples.size();
    printJsonLine(line);
}

} // namespace

int runAudioVad(CommandLine& commandLine) {
    auto threshold = floatOption(commandLine, "--threshold");
    auto frameLength = floatOption(commandLine, "--frame-length");
    auto overlap = floatOption(commandLine, "--overlap");
    const bool flagsOnly = commandLine.takeFlag("--flags");
    const std::string input = commandLine.takePositional("INPUT");
    commandLine.finish();

    std::shared_ptr<VoiceActivityDetector> vad = EnergyVAD::engineDefault();
    if (threshold || frameLength || overlap) {
        vad = std::make_shared<EnergyVAD>(int64_t{16000}, frameLength.value_or(0.1f), overlap.value_or(0.0f),
                                          threshold.value_or(0.02f));
    }
    const auto samples = readAudioInput(input);
    if (flagsOnly) {
        Json line = Json::object();
        line["flags"] = vad->voiceActivity(samples);
        printJsonLine(line);
        return 0;
    }
    for (const auto& range : vad->calculateActiveChunks(samples)) {
        Json line = Json::object();
        line["start"] = range.startIndex;
        line["end"] = range.endIndex;
        printJsonLine(line);
    }
    return 0;
}

int runAudioChunks(CommandLine& commandLine) {
    const int64_t maxChunkLength = countOption(commandLine, "--max", 480000);
    auto padding = commandLine.takeOption("--padding");
    auto threshold = floatOption(commandLine, "--threshold");
    auto optionsArgument = commandLine.takeOption("--options");
    auto incremental = commandLine.takeOption("--incremental");
    const std::string input = commandLine.takePositional("INPUT");
    commandLine.finish();

    std::shared_ptr<VoiceActivityDetector> vad = EnergyVAD::engineDefault();
    if (threshold) {
        vad = std::make_shared<EnergyVAD>(int64_t{16000}, int64_t{1600}, int64_t{0}, *threshold);
    }
    if (incremental) {
        if (padding || optionsArgument) {
            throw CommandLine::UsageError("--incremental cuts with its own padding and no options");
        }
        auto parts = splitList(*incremental, "--incremental");
        if (parts.size() != 2) {
            throw CommandLine::UsageError("--incremental takes SECONDS,BUFFERED");
        }
        auto stream = AudioProcessor::loadFileIncrementally(
            input, AudioInputOptions::SumChannels{}, parseDoubleArgument(parts[0], "SECONDS"),
            parseIntArgument(parts[1], "BUFFERED"), maxChunkLength, vad);
        while (auto chunk = stream.next()) {
            printChunk(chunk->audioChunk);
            chunk->completionSignal();
        }
        return 0;
    }

    std::optional<DecodingOptions> options;
    if (optionsArgument) {
        options = decodingOptionsFromArgument(*optionsArgument);
    }
    VADAudioChunker chunker(padding ? parseIntArgument(*padding, "--padding") : 16000, vad);
    for (const auto& chunk : chunker.chunkAll(readAudioInput(input), maxChunkLength, options)) {
        printChunk(chunk);
    }
    return 0;
}

} // namespace sonavex::tool
