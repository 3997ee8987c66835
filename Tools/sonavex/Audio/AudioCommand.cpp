// sonavex audio load INPUT… [--channel I | --sum | --sum-channels A,B…] [--start S] [--end S] [--out FILE]
// Audio files as the engine loads them: 16 kHz mono samples, with the source's own rate, channels and
// length. Several inputs load side by side; each gets its own line, in input order. The group's other
// actions live in AudioVoiceCommand.cpp (vad, chunks) and AudioCaptureCommand.cpp (devices, record).

#include "Arguments/AudioArguments.h"
#include "Arguments/SampleFiles.h"
#include "Audio/AudioActions.h"
#include "CommandLine/CommandRegistry.h"
#include "CommandLine/JsonLines.h"
#include "CommandLine/NumberArguments.h"
#include "Platform/Audio/Files/AudioFileReader.h"
#include "Sonavex/Core/Audio/AudioProcessor.h"

namespace sonavex::tool {

namespace {

constexpr const char* kUsage =
    "  sonavex audio load INPUT… [--channel I | --sum | --sum-channels A,B…] [--start S] [--end S]\n"
    "                            [--out FILE.f32|FILE.npy]\n"
    "      per input {\"file\", \"samples\", \"sourceSampleRate\", \"sourceChannels\", \"sourceFrames\"};\n"
    "      all channels summed unless told otherwise; --out (one input) writes the 16 kHz samples\n";

Json loadedLine(const std::string& path, const std::vector<float>& samples) {
    audio::AudioFileReader source(path);
    Json line = Json::object();
    line["file"] = path;
    line["samples"] = samples.size();
    line["sourceSampleRate"] = source.fileFormat().sampleRate;
    line["sourceChannels"] = source.fileFormat().channelCount;
    line["sourceFrames"] = source.length();
    return line;
}

int runLoad(CommandLine& commandLine) {
    auto mode = channelModeArgument(commandLine);
    auto start = commandLine.takeOption("--start");
    auto end = commandLine.takeOption("--end");
    auto out = commandLine.takeOption("--out");
    auto inputs = commandLine.takeRemainingPositionals();
    commandLine.finish();
    if (inputs.empty()) {
        throw CommandLine::UsageError("audio load needs at least one INPUT");
    }
    if (out && inputs.size() != 1) {
        throw CommandLine::UsageError("--out takes exactly one INPUT");
    }
    std::optional<double> startTime;
    std::optional<double> endTime;
    if (start) {
        startTime = parseDoubleArgument(*start, "--start");
    }
    if (end) {
        endTime = parseDoubleArgument(*end, "--end");
    }

    std::vector<Result<std::vector<float>>> results;
    if (!startTime && !endTime) {
        results = AudioProcessor::loadAudio(inputs, mode);
    } else {
        for (const auto& input : inputs) {
            try {
                results.push_back(Result<std::vector<float>>::success(
                    AudioProcessor::loadAudioAsFloatArray(input, mode, startTime, endTime)));
            } catch (...) {
                results.push_back(Result<std::vector<float>>::currentFailure());
            }
        }
    }

    int status = 0;
    for (std::size_t i = 0; i < inputs.size(); ++i) {
        Json fileOnly = Json::object();
        fileOnly["file"] = inputs[i];
        try {
            const auto& samples = results[i].get();
            if (out) {
                writeSamples(*out, samples);
            }
            printJsonLine(loadedLine(inputs[i], samples));
        } catch (...) {
            printJsonLine(errorLine(std::current_exception(), fileOnly));
            status = 1;
        }
    }
    return status;
}

int run(CommandLine& commandLine) {
    auto action = commandLine.takePositional("load, vad, chunks, devices or record");
    if (action == "load") {
        return runLoad(commandLine);
    }
    if (action == "vad") {
        return runAudioVad(commandLine);
    }
    if (action == "chunks") {
        return runAudioChunks(commandLine);
    }
    if (action == "devices") {
        return runAudioDevices(commandLine);
    }
    if (action == "record") {
        return runAudioRecord(commandLine);
    }
    throw CommandLine::UsageError("unknown audio command " + action);
}

const CommandRegistration registration{
    {"audio", std::string(kUsage) + kAudioVoiceUsage + kAudioCaptureUsage, &run}};

} // namespace

} // namespace sonavex::tool
