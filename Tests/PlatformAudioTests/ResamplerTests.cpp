#include "Platform/Audio/Files/AudioFileError.h"
#include "Platform/Audio/Files/PcmBuffer.h"
#include "Platform/Audio/Files/Resampler.h"

#include <cmath>
#include <gtest/gtest.h>

namespace {

using audio::AudioFileError;
using audio::PcmBuffer;
using audio::PcmFormat;
using audio::Resampler;

std::shared_ptr<PcmBuffer> sine(double rate, std::uint32_t frames, double frequency,
                                std::uint32_t channels = 1) {
    auto buffer = PcmBuffer::create(*PcmFormat::standard(rate, channels), frames);
    for (std::uint32_t c = 0; c < channels; ++c) {
        for (std::uint32_t i = 0; i < frames; ++i) {
            buffer->channel(c)[i] =
                static_cast<float>((c + 1) * 0.25 * std::sin(2 * M_PI * frequency * i / rate));
        }
    }
    buffer->setFrameLength(frames);
    return buffer;
}

TEST(Resampler, ConvertsAToneToTheNewRateWithTheExpectedLength) {
    for (auto [from, to] :
         {std::pair{48000.0, 16000.0}, {44100.0, 16000.0}, {8000.0, 16000.0}, {96000.0, 16000.0}}) {
        auto input = sine(from, static_cast<std::uint32_t>(from), 300, 2);
        Resampler resampler(input->format(), *PcmFormat::standard(to, 2));
        auto output = PcmBuffer::create(resampler.outputFormat(), static_cast<std::uint32_t>(to) + 100);
        std::uint32_t produced = resampler.convert(*input, *output);
        EXPECT_NEAR(produced, to, 2) << from << " → " << to;
        EXPECT_EQ(output->frameLength(), produced);
        for (std::uint32_t c = 0; c < 2; ++c) {
            double worst = 0;
            // Away from the edges the converted tone is the tone at the new rate.
            for (std::uint32_t i = 200; i + 200 < produced; ++i) {
                double ideal = (c + 1) * 0.25 * std::sin(2 * M_PI * 300 * i / to);
                worst = std::max(worst, std::abs(output->channel(c)[i] - ideal));
            }
            EXPECT_LT(worst, 0.01) << from << " → " << to << " channel " << c;
        }
    }
}

TEST(Resampler, EachConversionStandsAloneAndIsCutAtTheOutputCapacity) {
    auto input = sine(48000, 4800, 440);
    Resampler resampler(input->format(), *PcmFormat::standard(16000, 1));
    auto first = PcmBuffer::create(resampler.outputFormat(), 1600);
    auto second = PcmBuffer::create(resampler.outputFormat(), 1600);
    EXPECT_EQ(resampler.convert(*input, *first), 1600u);
    EXPECT_EQ(resampler.convert(*input, *second), 1600u);
    for (std::uint32_t i = 0; i < 1600; ++i) {
        ASSERT_EQ(first->channel(0)[i], second->channel(0)[i]) << "state carried over at " << i;
    }
    auto small = PcmBuffer::create(resampler.outputFormat(), 500);
    EXPECT_EQ(resampler.convert(*input, *small), 500u);
    for (std::uint32_t i = 0; i < 500; ++i) {
        ASSERT_EQ(small->channel(0)[i], first->channel(0)[i]);
    }
    // What was cut off does not come out of the next conversion.
    EXPECT_EQ(resampler.convert(*input, *second), 1600u);
    EXPECT_EQ(second->channel(0)[0], first->channel(0)[0]);
}

TEST(Resampler, EqualRatesCopyTheSamplesExactly) {
    auto input = sine(16000, 1000, 123.4);
    Resampler resampler(input->format(), input->format());
    auto output = PcmBuffer::create(input->format(), 1000);
    ASSERT_EQ(resampler.convert(*input, *output), 1000u);
    for (std::uint32_t i = 0; i < 1000; ++i) {
        ASSERT_EQ(output->channel(0)[i], input->channel(0)[i]);
    }
}

// A stretch too short to give one frame at the new rate (one frame at 48 kHz to 16 kHz) makes empty
// buffers: their planes are still valid pointers, so copying no frames is no fault.
TEST(Resampler, EmptyBuffersHavePlanesToCopyNothingWith) {
    const auto empty = PcmBuffer::create(*PcmFormat::standard(16000, 2), 0);
    ASSERT_NE(empty, nullptr);
    EXPECT_NE(empty->channel(0), nullptr);
    EXPECT_NE(empty->channel(1), nullptr);
    Resampler resampler(*PcmFormat::standard(48000, 2), empty->format());
    EXPECT_EQ(resampler.convert(*sine(48000, 1, 440, 2), *empty), 0u);
}

TEST(Resampler, RefusesMismatchedChannelsBuffersAndFractionalRates) {
    EXPECT_THROW(Resampler(*PcmFormat::standard(48000, 2), *PcmFormat::standard(16000, 1)), AudioFileError);
    EXPECT_THROW(Resampler(*PcmFormat::standard(44100.5, 1), *PcmFormat::standard(16000, 1)), AudioFileError);
    Resampler resampler(*PcmFormat::standard(48000, 1), *PcmFormat::standard(16000, 1));
    auto wrongInput = sine(44100, 100, 440);
    auto output = PcmBuffer::create(resampler.outputFormat(), 100);
    EXPECT_THROW(resampler.convert(*wrongInput, *output), AudioFileError);
}

} // namespace
