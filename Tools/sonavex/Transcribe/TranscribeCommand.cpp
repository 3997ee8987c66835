// sonavex transcribe: audio files and sample files through the engine facade, on a model folder or a
// model variant fetched from the hub, with the facade's options for chunking, streaming, channels and
// batches; results as JSON lines and, when asked, as result files.

#include "Arguments/AudioArguments.h"
#include "Arguments/EngineArguments.h"
#include "Arguments/OptionsArgument.h"
#include "Arguments/SampleFiles.h"
#include "CommandLine/CommandRegistry.h"
#include "CommandLine/JsonLines.h"
#include "CommandLine/NumberArguments.h"
#include "CommandLine/StandardOutputToError.h"
#include "Results/ResultWriters.h"
#include "Results/SubtitleCues.h"
#include "Sonavex/Core/Audio/AudioProcessor.h"
#include "Sonavex/Core/Constants.h"
#include "Sonavex/Core/Sonavex.h"
#include "Sonavex/Core/TranscribeTask.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <mutex>

namespace sonavex::tool {

namespace {

constexpr const char* kUsage =
    "  sonavex transcribe INPUT… (--model-folder DIR | --model VARIANT [--repo OWNER/NAME] [--endpoint URL]\n"
    "                    [--download-base DIR]) [--options O] [--language CODE] [--word-timestamps] [--vad]\n"
    "                    [--incremental SECONDS,BUFFERED] [--channel I | --sum | --sum-channels A,B…]\n"
    "                    [--workers N] [--segments] [--states] [--format json|srt|vtt --out DIR]\n"
    "      per input, in order: {\"input\", \"file\", \"result\": [results]} or {\"input\", \"file\", \"error\",\n"
    "      \"message\"}; sample files (.f32, .npy) go through the array entry point, audio files through the\n"
    "      file entry points; --segments and --states print each window's segments and each state as they\n"
    "      come; --format also writes each result to DIR (NAME, NAME-1, …) and adds \"url\"; exit 1 when an\n"
    "      input failed\n";

// Lines printed while transcriptions run on several threads stay whole. They go to the process's
// standard output directly: while the engine may touch the hub, std::cout is turned to standard error.
std::mutex printMutex;

void printLine(const Json& line) {
    const std::string text =
        withNonFiniteAsText(line).dump(-1, ' ', false, Json::error_handler_t::replace) + "\n";
    std::lock_guard lock(printMutex);
    std::fwrite(text.data(), 1, text.size(), stdout);
    std::fflush(stdout);
}

struct Output {
    std::optional<std::string> format;
    std::optional<std::string> folder;

    bool isSubtitles() const { return format == "srt" || format == "vtt"; }
};

// The line of one input: its results (written to files when asked) or its failure.
bool printOutcome(size_t index, const std::string& input, const Sonavex::TranscriptionOutcome& outcome,
                  const Output& output) {
    Json line = Json::object();
    line["input"] = index;
    line["file"] = input;
    if (!outcome.isSuccess()) {
        const auto error = describeError(outcome.error());
        line["error"] = error.name;
        line["message"] = error.message;
        printLine(line);
        return false;
    }
    const auto& results = outcome.get();
    Json list = Json::array();
    for (const auto& result : results) {
        list.push_back(Json(*result));
    }
    line["result"] = list;
    if (output.format) {
        const auto writer = writerFor(*output.format, *output.folder);
        const std::string name = std::filesystem::path(input).stem().string();
        // Read again for its length only: no cue may end after the audio does.
        const double audioSeconds =
            output.isSubtitles() ? double(readAudioInput(input).size()) / AudioProcessor::targetSampleRate
                                 : 0;
        Json urls = Json::array();
        for (size_t i = 0; i < results.size(); ++i) {
            const auto& result =
                output.isSubtitles() ? subtitleResult(*results[i], audioSeconds) : results[i];
            const auto written = writer->write(*result, i == 0 ? name : name + "-" + std::to_string(i));
            urls.push_back(written.get());
        }
        line["url"] = results.size() == 1 ? urls[0] : urls;
    }
    printLine(line);
    return true;
}

int run(CommandLine& commandLine) {
    SonavexConfig config;
    takeModelArguments(commandLine, config);
    const auto optionsArgument = commandLine.takeOption("--options");
    const auto language = commandLine.takeOption("--language");
    const bool wordTimestamps = commandLine.takeFlag("--word-timestamps");
    const bool vad = commandLine.takeFlag("--vad");
    const auto incremental = commandLine.takeOption("--incremental");
    const auto channelMode = channelModeArgument(commandLine);
    const auto workers = commandLine.takeOption("--workers");
    const bool segments = commandLine.takeFlag("--segments");
    const bool states = commandLine.takeFlag("--states");
    Output output{commandLine.takeOption("--format"), commandLine.takeOption("--out")};
    const std::vector<std::string> inputs = commandLine.takeRemainingPositionals();
    commandLine.finish();
    if (inputs.empty()) {
        throw CommandLine::UsageError("transcribe needs at least one INPUT");
    }
    if (output.format.has_value() != output.folder.has_value()) {
        throw CommandLine::UsageError("--format and --out go together");
    }
    if (output.format) {
        writerFor(*output.format, *output.folder); // refuses an unknown format before any work
        std::filesystem::create_directories(*output.folder);
    }

    // Subtitles show text: special tokens are left out unless the options say otherwise.
    DecodingOptions::Arguments start;
    start.skipSpecialTokens = output.isSubtitles();
    DecodingOptions options =
        optionsArgument ? decodingOptionsFromArgument(*optionsArgument, start) : DecodingOptions(start);
    if (language) {
        options.language = *language;
    }
    if (wordTimestamps) {
        options.wordTimestamps = true;
    }
    if (vad) {
        options.chunkingStrategy = ChunkingStrategy::vad;
    }
    if (workers) {
        options.concurrentWorkerCount = parseIntArgument(*workers, "--workers");
    }
    AudioInputOptions inputOptions;
    inputOptions.channelMode = channelMode;
    if (incremental) {
        const auto values = splitList(*incremental, "--incremental");
        if (values.size() != 2) {
            throw CommandLine::UsageError("--incremental takes SECONDS,BUFFERED");
        }
        inputOptions.audioLoadingMode = AudioInputOptions::Incremental{
            parseDoubleArgument(values[0], "--incremental"), parseIntArgument(values[1], "--incremental")};
    }
    config.audioInputConfig = inputOptions;

    std::shared_ptr<Sonavex> engine;
    {
        StandardOutputToError quiet;
        engine = Sonavex::create(config);
    }
    // Which input the segments belong to, while one input runs alone.
    std::optional<size_t> running;
    if (segments) {
        engine->setSegmentDiscoveryCallback([&running](const std::vector<TranscriptionSegment>& found) {
            Json line = Json::object();
            if (running) {
                line["input"] = *running;
            }
            Json list = Json::array();
            for (const auto& segment : found) {
                list.push_back(Json(segment));
            }
            line["segments"] = list;
            printLine(line);
        });
    }
    if (states) {
        engine->setTranscriptionStateCallback([](TranscriptionState state) {
            Json line = Json::object();
            line["state"] = std::string(description(state));
            printLine(line);
        });
    }

    std::vector<std::string> files;
    for (const auto& input : inputs) {
        if (!isSampleFile(input)) {
            files.push_back(input);
        }
    }
    std::vector<std::optional<Sonavex::TranscriptionOutcome>> outcomes(inputs.size());
    const auto transcribeAlone = [&](size_t index, const std::function<Sonavex::TranscriptionResults()>& call) {
        running = index;
        try {
            StandardOutputToError quiet;
            outcomes[index] = Sonavex::TranscriptionOutcome::success(call());
        } catch (...) {
            outcomes[index] = Sonavex::TranscriptionOutcome::currentFailure();
        }
        running.reset();
    };
    bool allSucceeded = true;
    if (files.size() > 1) {
        std::vector<Sonavex::TranscriptionOutcome> fileOutcomes;
        {
            StandardOutputToError quiet;
            fileOutcomes = engine->transcribeWithResults(files, inputOptions, options);
        }
        size_t next = 0;
        for (size_t i = 0; i < inputs.size(); ++i) {
            if (!isSampleFile(inputs[i])) {
                outcomes[i] = fileOutcomes[next++];
            }
        }
    }
    for (size_t i = 0; i < inputs.size(); ++i) {
        if (isSampleFile(inputs[i])) {
            transcribeAlone(i, [&] { return engine->transcribe(readSamples(inputs[i]), options); });
        } else if (files.size() == 1) {
            transcribeAlone(i, [&] { return engine->transcribe(inputs[i], inputOptions, options); });
        }
        allSucceeded = printOutcome(i, inputs[i], *outcomes[i], output) && allSucceeded;
    }
    return allSucceeded ? 0 : 1;
}

const CommandRegistration registration{{"transcribe", kUsage, &run}};

} // namespace

} // namespace sonavex::tool
