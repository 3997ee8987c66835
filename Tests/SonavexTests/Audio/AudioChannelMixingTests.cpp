#include "Sonavex/Core/Audio/AudioProcessor.h"
#include "SonavexTests/LogCapture.h"

#include <algorithm>
#include <cmath>
#include <gtest/gtest.h>

namespace {

using sonavex::AudioInputOptions;
using sonavex::AudioProcessor;

/// A buffer whose channel c holds `channels[c]`.
AudioProcessor::Buffer bufferOf(const std::vector<std::vector<float>>& channels, double rate = 16000) {
    auto buffer = audio::PcmBuffer::create(
        *audio::PcmFormat::standard(rate, static_cast<std::uint32_t>(channels.size())),
        static_cast<std::uint32_t>(channels[0].size()));
    for (std::size_t c = 0; c < channels.size(); ++c) {
        std::copy(channels[c].begin(), channels[c].end(), buffer->channel(static_cast<std::uint32_t>(c)));
    }
    buffer->setFrameLength(static_cast<std::uint32_t>(channels[0].size()));
    return buffer;
}

std::vector<float> samplesOf(const AudioProcessor::Buffer& buffer) {
    return {buffer->channel(0), buffer->channel(0) + buffer->frameLength()};
}

const std::vector<float> left = {0.1f, -0.2f, 0.3f, -0.4f};
const std::vector<float> right = {0.5f, 0.25f, -0.125f, 0.0f};
const std::vector<float> third = {-0.05f, 0.05f, 0.6f, -0.05f};

bool contains(const std::vector<std::string>& lines, const std::string& line) {
    return std::find(lines.begin(), lines.end(), line) != lines.end();
}

TEST(ChannelMixing, MonoPassesThroughAndASpecificChannelFallsBackToTheFirst) {
    auto mono = bufferOf({left});
    EXPECT_EQ(AudioProcessor::convertToMono(mono, AudioInputOptions::SpecificChannel{3}), mono);
    EXPECT_EQ(AudioProcessor::convertToMono(mono, AudioInputOptions::SumChannels{}), mono);

    auto stereo = bufferOf({left, right});
    EXPECT_EQ(samplesOf(AudioProcessor::convertToMono(stereo, AudioInputOptions::SpecificChannel{1})), right);
    EXPECT_EQ(samplesOf(AudioProcessor::convertToMono(stereo, AudioInputOptions::SpecificChannel{5})), left);
    EXPECT_EQ(samplesOf(AudioProcessor::convertToMono(stereo, AudioInputOptions::SpecificChannel{-1})), left);
    auto result = AudioProcessor::convertToMono(stereo, AudioInputOptions::SpecificChannel{1});
    EXPECT_EQ(result->format().sampleRate, 16000);
    EXPECT_EQ(result->channelCount(), 1u);
}

TEST(ChannelMixing, ASumIsRescaledToItsLoudestChannel) {
    // Two identical channels of peak 0.5 sum to peak 1.0 and come back as that channel.
    std::vector<float> half = {0.5f, -0.25f, 0.125f};
    EXPECT_EQ(
        samplesOf(AudioProcessor::convertToMono(bufferOf({half, half}), AudioInputOptions::SumChannels{})),
        half);
    // A duplicated index is added twice, then halved.
    EXPECT_EQ(samplesOf(AudioProcessor::convertToMono(
                  bufferOf({left, right}), AudioInputOptions::SumChannels{std::vector<int64_t>{0, 0}})),
              left);

    // Channels 0 and 2 of three: the sum scaled so its peak is the louder channel's (0.6).
    auto mixed = samplesOf(AudioProcessor::convertToMono(
        bufferOf({left, right, third}), AudioInputOptions::SumChannels{std::vector<int64_t>{2, 0, 9}}));
    float sumPeak = 0;
    for (std::size_t i = 0; i < left.size(); ++i) {
        sumPeak = std::max(sumPeak, std::abs(left[i] + third[i]));
    }
    for (std::size_t i = 0; i < left.size(); ++i) {
        EXPECT_FLOAT_EQ(mixed[i], (left[i] + third[i]) * (0.6f / sumPeak)) << i;
    }
    // An empty list and no list both mean every channel.
    EXPECT_EQ(samplesOf(AudioProcessor::convertToMono(
                  bufferOf({left, right, third}), AudioInputOptions::SumChannels{std::vector<int64_t>{}})),
              samplesOf(AudioProcessor::convertToMono(bufferOf({left, right, third}),
                                                      AudioInputOptions::SumChannels{})));
}

TEST(ChannelMixing, CancellingChannelsGiveSilenceAndNoValidIndexGivesTheFirstChannel) {
    std::vector<float> negated(left.size());
    std::transform(left.begin(), left.end(), negated.begin(), [](float v) { return -v; });
    auto silent =
        samplesOf(AudioProcessor::convertToMono(bufferOf({left, negated}), AudioInputOptions::SumChannels{}));
    EXPECT_EQ(silent, std::vector<float>(left.size(), 0.0f));

    LogCapture log;
    EXPECT_EQ(samplesOf(AudioProcessor::convertToMono(
                  bufferOf({left, right}), AudioInputOptions::SumChannels{std::vector<int64_t>{7}})),
              left);
    EXPECT_TRUE(contains(log.lines(), "No valid channel indices provided, defaulting to first channel"));
}

} // namespace
