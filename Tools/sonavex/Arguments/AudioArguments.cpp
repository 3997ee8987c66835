#include "Arguments/AudioArguments.h"

#include "CommandLine/NumberArguments.h"

namespace sonavex::tool {

AudioInputOptions::ChannelMode channelModeArgument(CommandLine& commandLine) {
    auto channel = commandLine.takeOption("--channel");
    bool sum = commandLine.takeFlag("--sum");
    auto sumChannels = commandLine.takeOption("--sum-channels");
    if (int(channel.has_value()) + int(sum) + int(sumChannels.has_value()) > 1) {
        throw CommandLine::UsageError("--channel, --sum and --sum-channels exclude each other");
    }
    if (channel) {
        return AudioInputOptions::SpecificChannel{parseIntArgument(*channel, "--channel")};
    }
    if (sumChannels) {
        std::vector<int64_t> indices;
        for (const auto& item : splitList(*sumChannels, "--sum-channels")) {
            indices.push_back(parseIntArgument(item, "--sum-channels"));
        }
        return AudioInputOptions::SumChannels{indices};
    }
    return AudioInputOptions::SumChannels{};
}

} // namespace sonavex::tool
