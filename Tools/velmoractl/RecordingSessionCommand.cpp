// velmoractl recording-session --seconds N [--recordings K] [--fake-transcriber FILE.json]
// [--cancel-after S] [--endpoint URL]: K recordings of N seconds in a row through the recording session
// with the real recorders, each post-processed in turn, printing every published change as
// {"property", "value"}; exits when no job is pending. Exits 1 when a recording or a job failed.

#include "CommandGroup.h"
#include "CommandLine.h"
#include "FileTranscription.h"
#include "ToolOutput.h"
#include "VelmoraCore/PlainMainLoop.h"
#include "VelmoraCore/Recording/RecordingSession.h"
#include "VelmoraCore/Recording/StoreTranscription.h"
#include "VelmoraCore/Settings/AppSettings.h"
#include "VelmoraCore/Transcription/TranscriberStore.h"

#include <cmath>
#include <memory>
#include <optional>

namespace {

using velmoractl::JsonObject;
using velmoractl::UsageError;
using Phase = velmora::RecordingPhase;

double secondsOption(const std::string& name, const std::string& text, bool zeroAllowed) {
    char* end = nullptr;
    const double seconds = std::strtod(text.c_str(), &end);
    if (text.empty() || end != text.c_str() + text.size() || !std::isfinite(seconds) || seconds < 0 ||
        (seconds == 0 && !zeroAllowed)) {
        throw UsageError(name + " needs a " + (zeroAllowed ? "non-negative" : "positive") + " number, not " + text);
    }
    return seconds;
}

int countOption(const std::string& text) {
    char* end = nullptr;
    const long count = std::strtol(text.c_str(), &end, 10);
    if (text.empty() || end != text.c_str() + text.size() || count < 1 || count > 1000) {
        throw UsageError("--recordings needs a whole number from 1 to 1000, not " + text);
    }
    return static_cast<int>(count);
}

std::chrono::milliseconds milliseconds(double seconds) {
    return std::chrono::milliseconds(static_cast<std::int64_t>(std::llround(seconds * 1000)));
}

void printChange(const char* property, const std::function<void(JsonObject&)>& value) {
    JsonObject line;
    line.string("property", property);
    value(line);
    velmoractl::printLine(line);
}

std::string phaseJson(const Phase& phase) {
    if (phase.kind == Phase::Case::failed) {
        return JsonObject().string("failed", phase.message).text();
    }
    return "\"" + std::string(phase.caseName()) + "\"";
}

std::string deviceInfoJson(const velmora::DeviceInfo& info) {
    return JsonObject()
        .string("inputName", info.inputName)
        .string("outputName", info.outputName)
        .boolean("outputIsBuiltInSpeaker", info.outputIsBuiltInSpeaker)
        .boolean("inputSampleRateIsLow", info.inputSampleRateIsLow)
        .number("inputSampleRate", info.inputSampleRate)
        .boolean("inputWasRedirectedFromBluetooth", info.inputWasRedirectedFromBluetooth)
        .text();
}

std::optional<std::string> pathText(const std::optional<std::filesystem::path>& path) {
    return path ? std::optional<std::string>(path->string()) : std::nullopt;
}

void printEveryChange(const velmora::RecordingSession& session) {
    session.phase().subscribe([](const Phase& phase) {
        printChange("phase", [&](JsonObject& line) { line.raw("value", phaseJson(phase)); });
    });
    session.elapsedSeconds().subscribe([](double seconds) {
        printChange("elapsedSeconds", [&](JsonObject& line) { line.number("value", seconds); });
    });
    session.micLevel().subscribe([](float level) {
        printChange("micLevel", [&](JsonObject& line) { line.number("value", level); });
    });
    session.transcriptText().subscribe([](const std::string& text) {
        printChange("transcriptText", [&](JsonObject& line) { line.string("value", text); });
    });
    session.transcriptProgress().subscribe([](const std::string& text) {
        printChange("transcriptProgress", [&](JsonObject& line) { line.string("value", text); });
    });
    session.pendingTranscriptions().subscribe([](int count) {
        printChange("pendingTranscriptions", [&](JsonObject& line) { line.integer("value", count); });
    });
    session.transcriptionError().subscribe([](const std::optional<std::string>& error) {
        printChange("transcriptionError", [&](JsonObject& line) { line.optionalString("value", error); });
    });
    session.lastFinishedFolder().subscribe([](const std::optional<std::filesystem::path>& folder) {
        printChange("lastFinishedFolder", [&](JsonObject& line) { line.optionalString("value", pathText(folder)); });
    });
    session.currentDeviceInfo().subscribe([](const velmora::DeviceInfo& info) {
        printChange("currentDeviceInfo", [&](JsonObject& line) { line.raw("value", deviceInfoJson(info)); });
    });
}

int recordingSession(const velmoractl::Arguments& arguments) {
    const velmoractl::CommandLine line(
        arguments, {"--seconds", "--recordings", "--fake-transcriber", "--cancel-after", "--endpoint"});
    if (!line.positional().empty()) {
        throw UsageError("unexpected argument " + line.positional().front());
    }
    const auto length = milliseconds(secondsOption("--seconds", line.requiredOption("--seconds"), false));
    const int recordings = line.option("--recordings") ? countOption(*line.option("--recordings")) : 1;
    std::optional<std::chrono::milliseconds> cancelAfter;
    if (auto text = line.option("--cancel-after")) {
        cancelAfter = milliseconds(secondsOption("--cancel-after", *text, true));
    }

    velmora::EngineAccess access;
    if (auto endpoint = line.option("--endpoint")) {
        access.endpoint = *endpoint;
    }
    std::unique_ptr<velmora::TranscriberStore> store;
    std::shared_ptr<velmora::SessionTranscription> transcription;
    if (auto file = line.option("--fake-transcriber")) {
        transcription = std::make_shared<velmoractl::FileTranscription>(*file);
    } else {
        store = std::make_unique<velmora::TranscriberStore>(access);
        transcription = std::make_shared<velmora::StoreTranscription>(*store);
    }

    velmora::PlainMainLoop mainLoop;
    velmora::AppSettings settings(velmora::DefaultsStore::standard());
    velmora::RecordingSession session(settings, mainLoop, velmora::SessionCollaborators::standard(transcription));
    printEveryChange(session);

    int made = 0;
    bool wasRecording = false;
    bool recordingsDone = false;
    bool failed = false;
    bool cancelDone = !cancelAfter;
    std::unique_ptr<velmora::RepeatingTimer> stopTimer;
    std::unique_ptr<velmora::RepeatingTimer> cancelTimer;

    const auto quitWhenDone = [&] {
        if (recordingsDone && cancelDone && !session.isChangingRecorders() &&
            session.pendingTranscriptions().value() == 0) {
            mainLoop.quit();
        }
    };
    const auto finishRecordings = [&] {
        recordingsDone = true;
        const auto cancel = [&] {
            if (!cancelDone) {
                cancelDone = true;
                session.cancelTranscription();
                mainLoop.post(quitWhenDone);
            }
        };
        // A timer needs an interval of at least a millisecond; no delay means right after the last stop.
        if (cancelAfter && cancelAfter->count() == 0) {
            mainLoop.post(cancel);
        } else if (cancelAfter) {
            cancelTimer = mainLoop.scheduleRepeating(*cancelAfter, cancel);
        }
        mainLoop.post(quitWhenDone);
    };
    const auto beginRecording = [&] {
        session.reset();
        session.start();
    };

    session.phase().subscribe([&](const Phase& phase) {
        if (phase.isRecording()) {
            wasRecording = true;
            bool stopped = false;
            stopTimer = mainLoop.scheduleRepeating(length, [&session, stopped]() mutable {
                if (!stopped) {
                    stopped = true;
                    session.stop();
                }
            });
            return;
        }
        if (phase.kind == Phase::Case::failed) {
            failed = true;
        }
        if (!wasRecording) {
            if (phase.kind == Phase::Case::failed && !recordingsDone) {
                mainLoop.post(finishRecordings); // a start that failed ends the run
            }
            return;
        }
        wasRecording = false;
        mainLoop.post([&] { stopTimer.reset(); });
        ++made;
        if (phase.kind == Phase::Case::failed || made == recordings) {
            mainLoop.post(finishRecordings);
        } else {
            mainLoop.post(beginRecording);
        }
    });
    session.transcriptionError().subscribe([&](const std::optional<std::string>& error) {
        if (error) {
            failed = true;
        }
    });
    session.pendingTranscriptions().subscribe([&](int) { mainLoop.post(quitWhenDone); });

    mainLoop.post(beginRecording);
    mainLoop.run();
    return failed ? velmoractl::exitFailure : velmoractl::exitSuccess;
}

const bool registered = velmoractl::registerCommandGroup(
    {"recording-session",
     "recording-session --seconds N [--recordings K] [--fake-transcriber FILE.json] [--cancel-after S] "
     "[--endpoint URL]",
     recordingSession});

} // namespace
