// sonavex stream: live transcription of a played file or an input device through the streaming
// transcriber, printing every state change and, when capture ends, the final segments.

#include "Arguments/OptionsArgument.h"
#include "Arguments/SampleFiles.h"
#include "Audio/AudioActions.h"
#include "CommandLine/CommandRegistry.h"
#include "CommandLine/JsonLines.h"
#include "CommandLine/NumberArguments.h"
#include "Platform/Audio/Capture/PlaybackCaptureSource.h"
#include "Sonavex/Core/Audio/AudioProcessor.h"
#include "Sonavex/Core/Audio/Streaming/AudioStreamTranscriber.h"
#include "Sonavex/Core/Sonavex.h"
#include "Sonavex/Utilities/Errors/WhisperError.h"
#include "Stream/PinnedDeviceSource.h"
#include "Stream/StepCountingAudioProcessor.h"
#include "Stream/StreamStateLines.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

namespace sonavex::tool {

namespace {

constexpr const char* kUsage =
    "  sonavex stream --model-folder DIR [--from-file INPUT [--speed X] | --device ID] [--seconds N]\n"
    "                 [--vad] [--silence-threshold T] [--confirm N] [--options O]\n"
    "      live transcription: one {\"field\", \"value\"} per state change (\"bufferEnergy\" as its\n"
    "      length), then {\"final\": {\"confirmedSegments\", \"unconfirmedSegments\"}}; capture ends after\n"
    "      N seconds, or when the played file is done and the last pass has finished\n";

constexpr int kDefaultConfirm = 2;
constexpr float kDefaultSilenceThreshold = 0.3f;
// Tokens whose compression ratio is checked while a window decodes.
constexpr int kCompressionCheckWindow = 60;
constexpr double kMaximumSeconds = 86400;

struct StreamArguments {
    std::string folder;
    std::optional<std::string> file;
    double speed = 1.0;
    std::optional<uint32_t> device;
    std::optional<double> seconds;
    bool vad = false;
    float silenceThreshold = kDefaultSilenceThreshold;
    int confirm = kDefaultConfirm;
    DecodingOptions options;
};

StreamArguments parseArguments(CommandLine& commandLine) {
    StreamArguments arguments;
    const auto folder = commandLine.takeOption("--model-folder");
    arguments.file = commandLine.takeOption("--from-file");
    const auto speed = commandLine.takeOption("--speed");
    arguments.device = deviceArgument(commandLine.takeOption("--device"));
    const auto seconds = commandLine.takeOption("--seconds");
    arguments.vad = commandLine.takeFlag("--vad");
    const auto threshold = commandLine.takeOption("--silence-threshold");
    const auto confirm = commandLine.takeOption("--confirm");
    const auto options = commandLine.takeOption("--options");
    commandLine.finish();

    if (!folder) {
        throw CommandLine::UsageError("stream needs --model-folder DIR");
    }
    arguments.folder = *folder;
    if (arguments.file && arguments.device) {
        throw CommandLine::UsageError("stream takes --from-file or --device, not both");
    }
    if (speed) {
        if (!arguments.file) {
            throw CommandLine::UsageError("--speed goes with --from-file");
        }
        arguments.speed = parseDoubleArgument(*speed, "--speed");
        if (!(arguments.speed > 0 && arguments.speed < 1e6)) {
            throw CommandLine::UsageError("--speed must be above 0 and below 1000000");
        }
    }
    if (seconds) {
        arguments.seconds = parseDoubleArgument(*seconds, "--seconds");
        if (!(*arguments.seconds > 0 && *arguments.seconds <= kMaximumSeconds)) {
            throw CommandLine::UsageError("--seconds must be above 0 and at most 86400");
        }
    } else if (!arguments.file) {
        throw CommandLine::UsageError("recording from a device needs --seconds");
    }
    if (threshold) {
        arguments.silenceThreshold = parseFloatArgument(*threshold, "--silence-threshold");
    }
    if (confirm) {
        const int64_t count = parseIntArgument(*confirm, "--confirm");
        if (count < 0 || count > 1000) {
            throw CommandLine::UsageError("--confirm must be from 0 to 1000");
        }
        arguments.confirm = static_cast<int>(count);
    }
    if (options) {
        arguments.options = decodingOptionsFromArgument(*options);
    }
    return arguments;
}

// The transcriber only logs a refused capture and returns as if it had ended; the tool must say why.
void requireCapture(audio::CaptureSource& source) {
    if (source.canRecord()) {
        return;
    }
    std::string reason = "the sound server cannot be reached";
    try {
        source.inputDevices();
    } catch (const std::exception& error) {
        reason += std::string(" (") + error.what() + ")";
    }
    throw WhisperError::microphoneUnavailable("Capture did not start: " + reason);
}

int run(CommandLine& commandLine) {
    const StreamArguments arguments = parseArguments(commandLine);

    // Models and the played file are read before anything records, so either failing stops at once.
    SonavexConfig config;
    config.modelFolder = arguments.folder;
    config.download = false;
    config.load = true;
    config.logLevel = orvane::Logging::shared().logLevel();
    const std::shared_ptr<Sonavex> engine = Sonavex::create(config);

    std::shared_ptr<audio::PlaybackCaptureSource> playback;
    std::shared_ptr<audio::CaptureSource> source;
    if (arguments.file) {
        playback = std::make_shared<audio::PlaybackCaptureSource>(readAudioInput(*arguments.file), arguments.speed);
        source = playback;
    } else {
        std::optional<std::string> deviceName;
        if (arguments.device) {
            deviceName = std::make_shared<AudioProcessor>()->assignAudioInput(*arguments.device);
        }
        source = std::make_shared<PinnedDeviceSource>(AudioProcessor::soundServer(), deviceName);
        requireCapture(*source);
    }
    const auto processor = std::make_shared<StepCountingAudioProcessor>(std::make_shared<AudioProcessor>(source));

    // Lines stop at the final one: progress reports of the last pass may still arrive after it.
    std::mutex outputLock;
    bool finished = false;
    auto printChange = [&](const AudioStreamTranscriber::State& oldState,
                           const AudioStreamTranscriber::State& newState) {
        std::lock_guard guard(outputLock);
        if (!finished) {
            for (const Json& line : stateChangeLines(oldState, newState)) {
                printJsonLine(line);
            }
        }
    };
    // The latest state, for the final line.
    std::mutex stateLock;
    AudioStreamTranscriber::State latest;
    bool recorded = false;
    auto onChange = [&](const AudioStreamTranscriber::State& oldState,
                        const AudioStreamTranscriber::State& newState) {
        {
            std::lock_guard guard(stateLock);
            latest = newState;
            recorded = recorded || newState.isRecording;
        }
        printChange(oldState, newState);
    };

    const auto transcriber = std::make_shared<AudioStreamTranscriber>(
        engine->audioEncoder(), engine->featureExtractor(), engine->segmentSeeker(), engine->textDecoder(),
        engine->tokenizer(), processor, arguments.options, arguments.confirm, arguments.silenceThreshold, kCompressionCheckWindow,
        arguments.vad, onChange, source);

    // Ends capture after the time given, or once the file is played and the step after the one that saw
    // all of it has begun (that step, with its pass if it made one, is then over).
    std::atomic<bool> loopEnded = false;
    std::thread watcher([&] {
        const auto deadline = arguments.seconds
                                  ? std::chrono::steady_clock::now() +
                                        std::chrono::duration_cast<std::chrono::steady_clock::duration>(
                                            std::chrono::duration<double>(*arguments.seconds))
                                  : std::chrono::steady_clock::time_point::max();
        const auto over = [&] { return loopEnded.load() || std::chrono::steady_clock::now() >= deadline; };
        while (!over() && !(playback && playback->isPlayed())) {
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        if (playback && !over()) {
            for (int step = 0; step < 2 && !over(); ++step) {
                const int64_t reads = processor->reads();
                while (!over() && processor->reads() <= reads) {
                    std::this_thread::sleep_for(std::chrono::milliseconds(20));
                }
            }
        }
        if (!loopEnded.load()) {
            transcriber->stopStreamTranscription();
        }
    });
    try {
        transcriber->startStreamTranscription();
    } catch (...) {
        loopEnded = true;
        watcher.join();
        throw;
    }
    loopEnded = true;
    watcher.join();
    {
        std::lock_guard guard(stateLock);
        if (!recorded) {
            throw WhisperError::microphoneUnavailable("Capture did not start: recording was refused");
        }
    }

    Json final = Json::object();
    {
        std::lock_guard guard(stateLock);
        final["confirmedSegments"] = Json(latest.confirmedSegments);
        final["unconfirmedSegments"] = Json(latest.unconfirmedSegments);
    }
    std::lock_guard guard(outputLock);
    finished = true;
    Json line = Json::object();
    line["final"] = final;
    printJsonLine(line);
    return 0;
}

const CommandRegistration registration{{"stream", kUsage, &run}};

} // namespace

} // namespace sonavex::tool
