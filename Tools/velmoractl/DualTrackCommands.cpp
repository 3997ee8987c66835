// velmoractl record-dual --seconds N --dir OUT: records the microphone and everything the computer plays
// through one capture device into OUT/mic.caf and OUT/system.caf, then prints the layout, the devices,
// the counters and why the recording was cut short (exit 1), if it was.
// velmoractl dual-layout A O M T [--aggregate-rate R] [--tap-rate R]: where the two tracks would lie
// among A input channels (O of the output device, M of the microphone, T of the tap).

#include "CommandGroup.h"
#include "CommandLine.h"
#include "ToolOutput.h"
#include "VelmoraCore/AudioCapture/TwoTrack/ChannelLayout.h"
#include "VelmoraCore/AudioCapture/TwoTrack/DualTrackRecorder.h"
#include "VelmoraCore/ErrorText.h"

#include <charconv>
#include <chrono>
#include <cmath>
#include <filesystem>
#include <optional>
#include <thread>

namespace {

using velmoractl::JsonArray;
using velmoractl::JsonObject;
using velmoractl::UsageError;

std::string rangeJson(const velmora::ChannelRange& range) {
    return JsonArray().integer(range.lowerBound).integer(range.upperBound).text();
}

int recordDual(const velmoractl::Arguments& arguments) {
    velmoractl::CommandLine line(arguments, {"--seconds", "--dir"});
    if (!line.positional().empty()) {
        throw UsageError("record-dual takes only --seconds N and --dir OUT");
    }
    const auto seconds = velmoractl::parseNumber<double>("--seconds", line.requiredOption("--seconds"));
    if (!std::isfinite(seconds) || seconds < 0) {
        throw UsageError("--seconds needs a duration of 0 or more seconds");
    }
    const std::filesystem::path folder = line.requiredOption("--dir");
    std::filesystem::create_directories(folder);

    velmora::DualTrackRecorder recorder;
    recorder.start(folder / "mic.caf", folder / "system.caf");
    std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
    recorder.stop();
    // A member whose stream ended by itself (the sound server or the microphone went) cut both tracks short.
    const std::exception_ptr streamError = recorder.streamError();
    std::optional<std::string> lastError;
    if (streamError) {
        lastError = velmora::errorDescription(streamError);
        velmoractl::progress("the recording was cut short: " + *lastError);
    }

    const velmora::ChannelLayout& layout = *recorder.layout();
    velmoractl::printLine(
        JsonObject()
            .raw("layout", JsonObject()
                               .integer("totalInputChannels", layout.totalInputChannels)
                               .raw("micChannels", rangeJson(layout.micChannels))
                               .raw("systemChannels", rangeJson(layout.systemChannels))
                               .number("sampleRate", layout.sampleRate)
                               .number("tapAdvertisedSampleRate", layout.tapAdvertisedSampleRate)
                               .text())
            .string("outputDeviceName", recorder.outputDeviceName())
            .string("outputDeviceTransport", recorder.outputDeviceTransport())
            .string("micDeviceName", recorder.micDeviceName())
            .integer("framesWritten", recorder.framesWritten())
            .integer("ioProcCalls", recorder.ioProcCalls())
            .integer("writeFailures", recorder.writeFailures())
            .integer("emptyInputCalls", recorder.emptyInputCalls())
            .optionalString("lastError", lastError));
    return lastError ? velmoractl::exitFailure : velmoractl::exitSuccess;
}

int channelCount(const std::string& name, const std::string& text) {
    const int count = velmoractl::parseNumber<int>(name, text);
    if (count < 0) {
        throw UsageError(name + " needs a channel count of 0 or more");
    }
    return count;
}

// Sample rates past what any audio device runs at are refused with the range.
double rate(const std::string& name, const std::string& text) {
    constexpr double highest = 768000;
    double value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size() || !(value > 0 && value < highest)) {
        throw UsageError(name + " needs a sample rate above 0 and below 768000, not \"" + text + "\"");
    }
    return value;
}

int dualLayout(const velmoractl::Arguments& arguments) {
    velmoractl::CommandLine line(arguments, {"--aggregate-rate", "--tap-rate"});
    const auto& counts = line.positional();
    if (counts.size() != 4) {
        throw UsageError("dual-layout takes four channel counts: A O M T");
    }
    // No rate given reads as an unreadable one.
    const double aggregateRate =
        line.option("--aggregate-rate") ? rate("--aggregate-rate", *line.option("--aggregate-rate")) : 0;
    const double tapRate = line.option("--tap-rate") ? rate("--tap-rate", *line.option("--tap-rate")) : 0;
    const auto layout = velmora::resolveLayout(channelCount("A", counts[0]), channelCount("O", counts[1]),
                                               channelCount("M", counts[2]), channelCount("T", counts[3]),
                                               aggregateRate, tapRate);
    velmoractl::printLine(JsonObject()
                              .raw("micChannels", rangeJson(layout.micChannels))
                              .raw("systemChannels", rangeJson(layout.systemChannels))
                              .number("sampleRate", layout.sampleRate));
    return velmoractl::exitSuccess;
}

const bool registeredRecordDual =
    velmoractl::registerCommandGroup({"record-dual", "record-dual --seconds N --dir OUT", recordDual});
const bool registeredDualLayout = velmoractl::registerCommandGroup(
    {"dual-layout", "dual-layout A O M T [--aggregate-rate R] [--tap-rate R]", dualLayout});

} // namespace
