// velmoractl audio: the recording's files from the command line — a CAF from raw samples, conversion
// to M4A, the two-track mix, and what a file holds. A failure prints its description on standard error
// and exits 1.

#include "CommandGroup.h"
#include "CommandLine.h"
#include "ToolOutput.h"
#include "Platform/Audio/Files/AudioFileReader.h"
#include "Platform/Audio/Files/CafWriter.h"
#include "Platform/Audio/Files/ContainerInfo.h"
#include "VelmoraCore/AudioCapture/AudioConverter.h"
#include "VelmoraCore/ErrorText.h"

#include <cmath>
#include <fstream>
#include <iostream>
#include <vector>

namespace {

using velmoractl::UsageError;

void expectPositional(const velmoractl::CommandLine& line, std::size_t count, const std::string& command) {
    if (line.positional().size() != count) {
        throw UsageError("wrong number of arguments for audio " + command);
    }
}

// Raw interleaved float32 in, read and written block by block.
void writeCaf(const std::string& input, const std::string& output, double rate, int channels) {
    std::ifstream in(input, std::ios::binary);
    if (!in) {
        throw velmoractl::InputError("cannot open " + input);
    }
    audio::CafWriter writer(output, rate, channels);
    constexpr std::size_t kFrames = 8192;
    std::vector<float> interleaved(kFrames * std::size_t(channels));
    std::vector<std::vector<float>> planes(std::size_t(channels), std::vector<float>(kFrames, 0.0f));
    std::vector<const float*> pointers;
    for (const auto& plane : planes)
        pointers.push_back(plane.data());
    while (in) {
        in.read(reinterpret_cast<char*>(interleaved.data()), std::streamsize(interleaved.size() * sizeof(float)));
        const auto bytes = std::size_t(in.gcount());
        const std::size_t frameBytes = sizeof(float) * std::size_t(channels);
        if (bytes % frameBytes != 0) {
            throw velmoractl::InputError(input + " does not hold whole frames of " + std::to_string(channels) +
                                         " float32 channels");
        }
        const std::size_t frames = bytes / frameBytes;
        for (std::size_t f = 0; f < frames; ++f)
            for (int c = 0; c < channels; ++c)
                planes[std::size_t(c)][f] = interleaved[f * std::size_t(channels) + std::size_t(c)];
        writer.write(pointers.data(), std::int64_t(frames));
    }
    if (in.bad()) {
        throw velmoractl::InputError("cannot read " + input);
    }
    writer.close();
}

void probe(const std::string& path) {
    const auto info = audio::ContainerInfo::inspect(path);
    const audio::AudioFileReader reader(path);
    const auto& format = reader.fileFormat();
    velmoractl::printLine(velmoractl::JsonObject()
                              .string("container", info.container)
                              .string("codec", reader.codecName())
                              .number("sampleRate", format.sampleRate)
                              .integer("channels", format.channelCount)
                              .integer("frames", reader.length())
                              .number("duration", double(reader.length()) / format.sampleRate));
}

int runCommand(const velmoractl::Arguments& arguments) {
    if (arguments.empty()) {
        throw UsageError("missing command");
    }
    const std::string& command = arguments[0];
    const velmoractl::Arguments rest(arguments.begin() + 1, arguments.end());
    if (command == "caf") {
        const velmoractl::CommandLine line(rest, {"--rate", "--channels"});
        expectPositional(line, 2, command);
        const auto rate = velmoractl::parseNumber<double>("--rate", line.requiredOption("--rate"));
        const auto channels = velmoractl::parseNumber<int>("--channels", line.requiredOption("--channels"));
        if (!(rate > 0) || !std::isfinite(rate) || channels < 1) {
            throw UsageError("--rate must be positive and --channels at least 1");
        }
        writeCaf(line.positional()[0], line.positional()[1], rate, channels);
    } else if (command == "convert") {
        const velmoractl::CommandLine line(rest, {});
        expectPositional(line, 2, command);
        velmora::AudioConverter::convertToM4A(line.positional()[0], line.positional()[1]);
    } else if (command == "mix") {
        const velmoractl::CommandLine line(rest, {});
        expectPositional(line, 3, command);
        velmora::AudioConverter::mix(line.positional()[0], line.positional()[1], line.positional()[2]);
    } else if (command == "probe") {
        const velmoractl::CommandLine line(rest, {});
        expectPositional(line, 1, command);
        probe(line.positional()[0]);
    } else {
        throw UsageError("unknown command audio " + command);
    }
    return velmoractl::exitSuccess;
}

int run(const velmoractl::Arguments& arguments) {
    try {
        return runCommand(arguments);
    } catch (const UsageError&) {
        throw;
    } catch (const std::exception& error) {
        std::cerr << velmora::errorDescription(error) << "\n";
        return velmoractl::exitFailure;
    }
}

const bool registered = velmoractl::registerCommandGroup(
    {"audio",
     "audio caf IN.f32 OUT.caf --rate R --channels C\n"
     "audio convert SRC DST.m4a\n"
     "audio mix A B DST.m4a\n"
     "audio probe FILE",
     run});

} // namespace
