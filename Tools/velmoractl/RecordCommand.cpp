// velmoractl record --seconds N --dir OUT [--mic UID] [--mic-only | --system-only]: records the
// microphone into OUT/mic.caf and what the computer plays into OUT/system_capture.mp4 as a recording
// does, printing the microphone's level every 0.1 s and then what was recorded. Ctrl-C ends early and
// still finishes both files. A track whose stream ended by itself exits 1, saying why.

#include "CommandGroup.h"
#include "CommandLine.h"
#include "ToolOutput.h"
#include "VelmoraCore/AudioCapture/Recording/MicRecorder.h"
#include "VelmoraCore/AudioCapture/Recording/SystemAudioRecorder.h"
#include "VelmoraCore/ErrorText.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <thread>

namespace {

std::atomic<bool> interrupted{false};

void onInterrupt(int) {
    interrupted = true;
}

double secondsFrom(const std::string& text) {
    char* end = nullptr;
    const double seconds = std::strtod(text.c_str(), &end);
    if (text.empty() || end != text.c_str() + text.size() || !std::isfinite(seconds) || seconds <= 0) {
        throw velmoractl::UsageError("--seconds needs a positive number, not " + text);
    }
    return seconds;
}

std::optional<std::string> descriptionOf(const std::exception_ptr& error) {
    return error ? std::optional<std::string>(velmora::errorDescription(error)) : std::nullopt;
}

std::string micObject(const velmora::MicRecorder& mic) {
    return velmoractl::JsonObject()
        .string("device", mic.deviceUID())
        .number("sampleRate", mic.sampleRate())
        .integer("channels", mic.channelCount())
        .integer("frames", mic.framesWritten())
        .integer("writeFailureCount", mic.writeFailureCount())
        .optionalString("lastError", descriptionOf(mic.lastWriteError()))
        .text();
}

std::string systemObject(const velmora::SystemAudioRecorder& system) {
    return velmoractl::JsonObject()
        .boolean("started", system.didStartWallClock().has_value())
        .optionalString("lastError", descriptionOf(system.lastError()))
        .text();
}

int record(const velmoractl::Arguments& arguments) {
    bool micOnly = false;
    bool systemOnly = false;
    velmoractl::Arguments rest;
    for (const auto& word : arguments) {
        if (word == "--mic-only") {
            micOnly = true;
        } else if (word == "--system-only") {
            systemOnly = true;
        } else {
            rest.push_back(word);
        }
    }
    velmoractl::CommandLine line(rest, {"--seconds", "--dir", "--mic"});
    if (!line.positional().empty()) {
        throw velmoractl::UsageError("record takes no positional arguments");
    }
    if (micOnly && systemOnly) {
        throw velmoractl::UsageError("--mic-only and --system-only exclude each other");
    }
    const double seconds = secondsFrom(line.requiredOption("--seconds"));
    const std::filesystem::path folder = line.requiredOption("--dir");
    std::filesystem::create_directories(folder);

    std::optional<velmora::MicRecorder> mic;
    std::optional<velmora::SystemAudioRecorder> system;
    if (!systemOnly) {
        mic.emplace();
        mic->preferredDeviceUID = line.option("--mic");
        try {
            mic->start(folder / "mic.caf");
        } catch (...) {
            mic->stop();
            throw;
        }
    }
    if (!micOnly) {
        system.emplace();
        try {
            system->start(folder / "system_capture.mp4");
        } catch (...) {
            system->stop();
            if (mic) {
                mic->stop();
            }
            throw;
        }
    }

    std::signal(SIGINT, onInterrupt);
    std::signal(SIGTERM, onInterrupt);
    const auto begin = std::chrono::steady_clock::now();
    const auto end = begin + std::chrono::duration_cast<std::chrono::steady_clock::duration>(
                                 std::chrono::duration<double>(seconds));
    for (int tick = 1; !interrupted; ++tick) {
        const auto next = std::min(end, begin + tick * std::chrono::milliseconds(100));
        std::this_thread::sleep_until(next);
        if (mic) {
            std::printf("level %s\n", velmoractl::numberText(mic->level()).c_str());
            std::fflush(stdout);
        }
        if (next >= end) {
            break;
        }
    }

    if (mic) {
        mic->stop();
    }
    if (system) {
        system->stop();
    }
    // Stretches the sound server dropped because they were not taken in time: for the record, not a result.
    velmoractl::progress("dropped stretches: microphone " + std::to_string(mic ? mic->overruns() : 0) +
                         ", system " + std::to_string(system ? system->overruns() : 0));
    velmoractl::JsonObject result;
    if (mic) {
        result.raw("mic", micObject(*mic));
    } else {
        result.null("mic");
    }
    if (system) {
        result.raw("system", systemObject(*system));
    } else {
        result.null("system");
    }
    velmoractl::printLine(result);
    // A track cut short (its stream ended: the sound server or the input went) is no success.
    bool cutShort = false;
    if (mic && mic->inputEnded()) {
        velmoractl::progress("the microphone's track was cut short: " + *descriptionOf(mic->lastWriteError()));
        cutShort = true;
    }
    if (system && system->captureEnded()) {
        velmoractl::progress("the system track was cut short: " + *descriptionOf(system->lastError()));
        cutShort = true;
    }
    return cutShort ? velmoractl::exitFailure : velmoractl::exitSuccess;
}

const bool registered = velmoractl::registerCommandGroup(
    {"record", "record --seconds N --dir OUT [--mic UID] [--mic-only | --system-only]", record});

} // namespace
