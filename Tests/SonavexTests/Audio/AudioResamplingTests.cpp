#include "Sonavex/Core/Audio/AudioProcessor.h"
#include "Sonavex/Utilities/Errors/WhisperError.h"
#include "SonavexTests/LogCapture.h"
#include "Support/Audio/TestAudioFile.h"
#include "Support/TestSupport.h"

#include <algorithm>
#include <cmath>
#include <gtest/gtest.h>

namespace {

using sonavex::AudioInputOptions;
using sonavex::AudioProcessor;
using sonavex::WhisperError;

AudioProcessor::Buffer tone(double rate, std::uint32_t frames, double frequency) {
    auto buffer = audio::PcmBuffer::create(*audio::PcmFormat::standard(rate, 1), frames);
    for (std::uint32_t i = 0; i < frames; ++i) {
        buffer->channel(0)[i] = static_cast<float>(0.5 * std::sin(2 * M_PI * frequency * i / rate));
    }
    buffer->setFrameLength(frames);
    return buffer;
}

bool contains(const std::vector<std::string>& lines, const std::string& line) {
    return std::find(lines.begin(), lines.end(), line) != lines.end();
}

bool containsPrefix(const std::vector<std::string>& lines, const std::string& prefix) {
    return std::any_of(lines.begin(), lines.end(),
                       [&](const std::string& line) { return line.rfind(prefix, 0) == 0; });
}

/// The log lines of the single reads ("Resampling 0.00s - 27.56s").
std::vector<std::string> readLines(const std::vector<std::string>& lines) {
    std::vector<std::string> found;
    std::copy_if(lines.begin(), lines.end(), std::back_inserter(found), [](const std::string& line) {
        return line.rfind("Resampling ", 0) == 0 && line.find("s - ") != std::string::npos;
    });
    return found;
}

TEST(Resampling, AFractionalLengthIsRoundedHalfToEvenAndLogged) {
    audio::Resampler converter(*audio::PcmFormat::standard(48000, 1), *audio::PcmFormat::standard(16000, 1));
    LogCapture log;
    auto converted = AudioProcessor::resampleBuffer(*tone(48000, 1000, 440), converter);
    EXPECT_EQ(converted->frameLength(), 333u);
    EXPECT_TRUE(contains(
        log.lines(),
        "Rounding buffer frame capacity from 333.3333333333333 to 333.0 to better fit new sample rate"));

    // 1 frame at a third of the rate rounds to 0, and at least one frame is made.
    EXPECT_EQ(AudioProcessor::resampleBuffer(*tone(48000, 1, 440), converter)->frameLength(), 1u);
    // 2.5 frames: the tie goes to the even neighbour.
    audio::Resampler doubling(*audio::PcmFormat::standard(8000, 1), *audio::PcmFormat::standard(20000, 1));
    EXPECT_EQ(AudioProcessor::resampleBuffer(*tone(8000, 1, 440), doubling)->frameLength(), 2u);
}

TEST(Resampling, AWholeLengthIsKeptAndTheToneRunsOnToItsEnd) {
    audio::Resampler converter(*audio::PcmFormat::standard(48000, 1), *audio::PcmFormat::standard(16000, 1));
    LogCapture log;
    auto converted = AudioProcessor::resampleBuffer(*tone(48000, 48000, 100), converter);
    ASSERT_EQ(converted->frameLength(), 16000u);
    EXPECT_FALSE(containsPrefix(log.lines(), "Rounding"));
    // Every converted frame is the tone at the new rate, the last ones too: the input went in once, so
    // the end of the output is not its start over again.
    for (std::uint32_t i = 50; i < 16000; ++i) {
        ASSERT_NEAR(converted->channel(0)[i], 0.5 * std::sin(2 * M_PI * 100 * i / 16000), 0.01)
            << "frame " << i;
    }
}

TEST(Resampling, ConversionFailuresAreReportedAsThePartSays) {
    audio::Resampler converter(*audio::PcmFormat::standard(48000, 1), *audio::PcmFormat::standard(16000, 1));
    try {
        AudioProcessor::resampleBuffer(*tone(44100, 100, 440), converter);
        ADD_FAILURE() << "a buffer of another format converted";
    } catch (const WhisperError& error) {
        EXPECT_EQ(error.kind(), WhisperError::Kind::audioProcessingFailed);
        EXPECT_EQ(error.message().rfind("Error converting audio: ", 0), 0u) << error.message();
    }

    LogCapture log;
    EXPECT_EQ(AudioProcessor::resampleAudio(*tone(48000, 100, 440), 0, 1), nullptr);
    EXPECT_TRUE(contains(log.lines(), "Failed to create output audio format"));
    EXPECT_EQ(AudioProcessor::resampleAudio(*tone(48000, 100, 440), 16000, 2), nullptr);
    EXPECT_TRUE(contains(log.lines(), "Failed to create audio converter"));
}

TEST(Resampling, AFileStretchIsReadInBoundedReadsEachMixedAndConvertedAlone) {
    testsupport::TemporaryDirectory folder;
    auto path = folder / "long.wav";
    audiotest::writeAudioFile(path, audiotest::FileKind::wavF32, 48000,
                              audiotest::sinePlanes(2, 3000000, 48000, 100));
    audio::AudioFileReader file(path);

    LogCapture log;
    auto output =
        AudioProcessor::resampleAudio(file, 16000, 1, AudioInputOptions::SumChannels{}, 3000000u, 1323000);
    ASSERT_NE(output, nullptr);
    EXPECT_EQ(output->frameCapacity(), 1000000u);
    EXPECT_EQ(output->frameLength(), 1000000u);
    EXPECT_TRUE(contains(log.lines(), "Resampling 62.50 seconds of audio"));
    EXPECT_EQ(readLines(log.lines()),
              (std::vector<std::string>{"Resampling 0.00s - 27.56s", "Resampling 27.56s - 55.12s",
                                        "Resampling 55.12s - 62.50s"}));
    EXPECT_EQ(file.framePosition(), 3000000);
    // The sum of the two channels (levels 0.1 and 0.2) rescaled to the louder one, across read edges.
    for (std::uint32_t i = 100; i + 100 < 1000000; i += 7) {
        ASSERT_NEAR(output->channel(0)[i], 0.2 * std::sin(2 * M_PI * 100 * i / 16000), 0.005)
            << "frame " << i;
    }
}

TEST(Resampling, AStretchPastTheEndStopsAtTheEndWithoutAnExtraRead) {
    testsupport::TemporaryDirectory folder;
    auto path = folder / "short.wav";
    audiotest::writeAudioFile(path, audiotest::FileKind::wavS16, 44100,
                              audiotest::sinePlanes(1, 44100, 44100));
    audio::AudioFileReader file(path);
    file.setFramePosition(22050);

    LogCapture log;
    auto output =
        AudioProcessor::resampleAudio(file, 16000, 1, AudioInputOptions::SumChannels{}, 44100u, 10000);
    ASSERT_NE(output, nullptr);
    // The capacity is that of the requested count; only the half second the file has is filled.
    EXPECT_EQ(output->frameCapacity(), 16000u);
    EXPECT_EQ(output->frameLength(), 8000u);
    EXPECT_EQ(readLines(log.lines()),
              (std::vector<std::string>{"Resampling 0.50s - 0.73s", "Resampling 0.73s - 0.95s",
                                        "Resampling 0.95s - 1.00s"}));
}

} // namespace
