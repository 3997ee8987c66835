// sonavex audio devices → one {"id", "name"} per input device.
// sonavex audio record --seconds N [--device ID] [--out FILE.f32] → {"samples", "buffers", "relativeEnergy"}:
// live capture through the engine's audio processor until N seconds of samples have arrived.

#include "Arguments/SampleFiles.h"
#include "Audio/AudioActions.h"
#include "CommandLine/JsonLines.h"
#include "CommandLine/NumberArguments.h"
#include "Sonavex/Core/Audio/AudioProcessor.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <cstdint>
#include <limits>
#include <mutex>
#include <stdexcept>

namespace sonavex::tool {

const char* const kAudioCaptureUsage = "  sonavex audio devices\n"
                                       "      one {\"id\", \"name\"} per input device of the sound server\n"
                                       "  sonavex audio record --seconds N [--device ID] [--out FILE.f32]\n"
                                       "      captures N seconds at 16 kHz mono in 0.1-s buffers: "
                                       "{\"samples\", \"buffers\", \"relativeEnergy\"};\n"
                                       "      an unknown device records from the default input\n";

namespace {

// At most a day: beyond it the samples would not fit a test machine's memory anyway.
constexpr double maximumSeconds = 86400;
// How long past the wanted length a capture may take before it counts as stalled.
constexpr auto stallAllowance = std::chrono::seconds(10);

int listDevices(CommandLine& commandLine) {
    commandLine.finish();
    for (const auto& device : AudioProcessor::getAudioDevices()) {
        Json line = Json::object();
        line["id"] = device.id;
        line["name"] = device.name;
        printJsonLine(line);
    }
    return 0;
}

int record(CommandLine& commandLine) {
    auto secondsText = commandLine.takeOption("--seconds");
    auto device = deviceArgument(commandLine.takeOption("--device"));
    auto out = commandLine.takeOption("--out");
    commandLine.finish();
    if (!secondsText) {
        throw CommandLine::UsageError("audio record needs --seconds");
    }
    const double seconds = parseDoubleArgument(*secondsText, "--seconds");
    if (!(seconds > 0 && seconds <= maximumSeconds)) {
        throw CommandLine::UsageError("--seconds must be above 0 and at most 86400");
    }
    const auto wanted = static_cast<std::size_t>(std::ceil(seconds * AudioProcessor::targetSampleRate));

    auto processor = std::make_shared<AudioProcessor>();
    std::mutex lock;
    std::condition_variable finished;
    std::size_t received = 0;
    std::size_t buffers = 0;
    bool done = false;
    // Counts what arrives and notes where the length was reached; the callback leaves capture alone
    // (the stop below comes from this thread), and what arrives after that point is not reported.
    auto callback = [&](const std::vector<float>& buffer) {
        std::lock_guard guard(lock);
        if (done) {
            return;
        }
        received += buffer.size();
        ++buffers;
        if (received >= wanted) {
            done = true;
            finished.notify_all();
        }
    };
    // Set before the start too, so that the capture's very first buffer is counted.
    processor->setAudioBufferCallback(callback);
    processor->startRecordingLive(device, callback);
    bool complete = false;
    {
        std::unique_lock guard(lock);
        const auto allowed = std::chrono::duration<double>(seconds) + stallAllowance;
        complete = finished.wait_for(guard, allowed, [&] { return done; });
    }
    processor->stopRecording();
    if (!complete) {
        throw std::runtime_error("capture stalled: " + std::to_string(received) + " of " +
                                 std::to_string(wanted) + " samples arrived");
    }

    auto samples = processor->audioSamples();
    auto energies = processor->relativeEnergy();
    samples.resize(std::min(samples.size(), received));
    energies.resize(std::min(energies.size(), buffers));
    if (out) {
        writeSamples(*out, samples);
    }
    Json line = Json::object();
    line["samples"] = samples.size();
    line["buffers"] = energies.size();
    Json relativeEnergy = Json::array();
    for (float energy : energies) {
        relativeEnergy.push_back(json::fromFloat(energy));
    }
    line["relativeEnergy"] = std::move(relativeEnergy);
    printJsonLine(line);
    return 0;
}

} // namespace

std::optional<uint32_t> deviceArgument(const std::optional<std::string>& text) {
    if (!text) {
        return std::nullopt;
    }
    const int64_t id = parseIntArgument(*text, "--device");
    if (id < 0 || id > int64_t{std::numeric_limits<uint32_t>::max()}) {
        throw CommandLine::UsageError("--device must be a device number from 0 to 4294967295");
    }
    return static_cast<uint32_t>(id);
}

int runAudioDevices(CommandLine& commandLine) {
    return listDevices(commandLine);
}

int runAudioRecord(CommandLine& commandLine) {
    return record(commandLine);
}

} // namespace sonavex::tool
